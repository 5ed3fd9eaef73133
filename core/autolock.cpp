#include "core/autolock.h"

#include "core/identity.h"
#include "core/services.h"

namespace autolock {

namespace {
const QString kSection = QStringLiteral("Lock");
const QString kIdleKey = QStringLiteral("IdleMinutes");
const QString kScreenKey = QStringLiteral("WithScreen");

int g_writes = 0;
} // namespace

Choice readChoice()
{
    Choice choice;
    auto &settings = platform::settings();
    bool number = false;
    const int minutes = settings.read(app::kSettingsApplication, kSection, kIdleKey).toInt(&number);
    if (number && minutes >= 0 && minutes <= kMostIdleMinutes)
        choice.idleMinutes = minutes;
    const QString screen = settings.read(app::kSettingsApplication, kSection, kScreenKey);
    if (screen == QLatin1String("0") || screen == QLatin1String("1"))
        choice.withScreen = screen == QLatin1String("1");
    return choice;
}

bool writeChoice(const Choice &choice)
{
    auto &settings = platform::settings();
    return settings.write(app::kSettingsApplication, kSection, kIdleKey, QString::number(choice.idleMinutes))
        && settings.write(app::kSettingsApplication, kSection, kScreenKey,
                          choice.withScreen ? QStringLiteral("1") : QStringLiteral("0"));
}

bool idleLongEnough(const QDateTime &lastUse, const QDateTime &now, int idleMinutes)
{
    return idleMinutes > 0 && lastUse.isValid() && lastUse.secsTo(now) >= qint64(idleMinutes) * 60;
}

WriteUnderWay::WriteUnderWay()
{
    ++g_writes;
}

WriteUnderWay::~WriteUnderWay()
{
    --g_writes;
}

bool writeUnderWay()
{
    return g_writes > 0;
}

} // namespace autolock
