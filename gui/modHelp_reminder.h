#pragma once

#include <QDate>
#include <QLocale>

namespace modHelp {

// Once per start: at most once in 15 days, asks whether to check for an update.
void RemindOfUpdate();
void RemindOfUpdate(const QLocale &locale, const QDate &today);

} // namespace modHelp
