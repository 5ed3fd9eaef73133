#include "gui/updatereminder.h"

#include "core/links.h"
#include "core/reminder.h"
#include "core/services.h"
#include "gui/messages.h"

namespace reminder {

void remindOfUpdate(const QLocale &locale, const QDate &today)
{
    if (!updateReminderDue(locale, today))
        return;
    const gui::Answer answer =
        gui::messages().askYesNo(nullptr,
                                 QStringLiteral("There maybe an update to this software available\r"
                                                "Do you want to check for an update?"));
    if (!recordReminderDate(locale, today))
        return;
    if (answer == gui::Answer::Yes)
        links::downloadPage();
}

void remindOfUpdate()
{
    remindOfUpdate(QLocale(), platform::clock().today());
}

} // namespace reminder
