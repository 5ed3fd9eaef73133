#pragma once

// The rules of the update reminder, and the scrambler that hides the name and value of its one
// setting.

#include <QDate>
#include <QLocale>
#include <QString>

#include <optional>

namespace reminder {

// Added to each Latin-1 code when scrambling. The key word and every short-date text that stays
// within Latin-1 (no character above 'y') land on printable ASCII, and the key has no '/' or '\'.
inline constexpr int kScrambleOffset = 5;

// The scrambled name of the reminder's setting, recomputed at the start of every reminder.
extern QString durationKey;

// One routine in two directions: each character's Latin-1 code moves by the offset. A character
// without a Latin-1 code, or whose new code leaves 0 to 255, is left out.
QString scrambleText(const QString &text);
QString unscrambleText(const QString &text);

// The text a day is recorded as: the locale's short date, or yyyy-MM-dd where the short date
// has a character the scrambler cannot keep.
QString reminderDateText(const QLocale &locale, const QDate &day);
// Reads a recorded text back: the locale's short format (two-digit years in the century nearest
// today), then yyyy-MM-dd. Empty when neither reads.
std::optional<QDate> readReminderDate(const QLocale &locale, const QString &text, const QDate &today);

// Whether the reminder is due today: the recorded day lies 15 days or more away. A first run, or
// a recorded text that no longer reads as a day, records today instead and is not due.
bool updateReminderDue(const QLocale &locale, const QDate &today);
// Records today as the day of the last reminder; false when the setting could not be stored.
bool recordReminderDate(const QLocale &locale, const QDate &today);

} // namespace reminder
