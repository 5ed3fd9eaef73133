#include "gui/modHelp_reminder.h"

#include "core/links.h"
#include "core/reminder.h"
#include "core/services.h"
#include "gui/messages.h"

namespace modHelp {

void RemindOfUpdate(const QLocale &locale, const QDate &today)
{
    if (!UpdateReminderDue(locale, today))
        return;
    const gui::Answer answer = gui::messages().askYesNo(
        nullptr, QStringLiteral("There maybe an update to this software available\r"
                                "Do you want to check for an update?"));
    if (!RecordReminderDate(locale, today))
        return;
    if (answer == gui::Answer::Yes)
        DownloadPage();
}

void RemindOfUpdate()
{
    RemindOfUpdate(QLocale(), platform::clock().today());
}

} // namespace modHelp
