#include "platform/Platform.h"

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

void install(Services services)
{
    current() = std::move(services);
}

Services &installed()
{
    return current();
}

MessageBoxes &messages() { return require(current().messages); }
WebLauncher &web() { return require(current().web); }
SettingsStore &settings() { return require(current().settings); }
Clock &clock() { return require(current().clock); }
RandomSource &random() { return require(current().random); }
SystemFacts &system() { return require(current().system); }
InstanceLock &instanceLock() { return require(current().instanceLock); }
ProcessEnd &processEnd() { return require(current().processEnd); }

} // namespace platform
