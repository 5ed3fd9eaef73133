#pragma once

#include <QDate>
#include <QLocale>

namespace reminder {

// Once per start: at most once in 15 days, asks whether to check for an update.
void remindOfUpdate();
void remindOfUpdate(const QLocale &locale, const QDate &today);

} // namespace reminder
