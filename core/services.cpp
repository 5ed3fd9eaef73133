#include "core/services.h"

#include <QtGlobal>

namespace platform {

namespace {
Services &current()
{
    static Services services;
    return services;
}

template <class T>
T &require(const std::unique_ptr<T> &service)
{
    Q_ASSERT_X(service, "platform", "services used before platform::install()");
    return *service;
}
} // namespace

namespace {
class SystemClock final : public Clock {
public:
    QDate today() const override { return QDate::currentDate(); }
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};
} // namespace

std::unique_ptr<Clock> systemClock()
{
    return std::make_unique<SystemClock>();
}

void install(Services services)
{
    current() = std::move(services);
}

Services &installed()
{
    return current();
}

WebLauncher &web()
{
    return require(current().web);
}
SettingsStore &settings()
{
    return require(current().settings);
}
Clock &clock()
{
    static const std::unique_ptr<Clock> fallback = systemClock();
    return current().clock ? *current().clock : *fallback;
}
RandomSource &random()
{
    return require(current().random);
}
SystemFacts &system()
{
    return require(current().system);
}
InstanceLock &instanceLock()
{
    return require(current().instanceLock);
}
ProcessEnd &processEnd()
{
    return require(current().processEnd);
}
PasswordPrompt *passwordPrompt()
{
    return current().passwordPrompt.get();
}
ScreenLockWatch *screenLockWatch()
{
    return current().screenLock.get();
}

} // namespace platform
