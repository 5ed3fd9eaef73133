#include "core/reminder.h"

#include "core/identity.h"
#include "core/services.h"

#include <QtGlobal>

namespace reminder {

QString durationKey;

namespace {

const QString kSection = QStringLiteral("Settings");
const QString kDurationWord = QStringLiteral("Duration");
const QString kIsoFormat = QStringLiteral("yyyy-MM-dd");
// Days on either side of the recorded date on which the reminder stays quiet.
constexpr qint64 kQuietDays = 14;

QString shiftText(const QString &text, int delta)
{
    QString result;
    result.reserve(text.size());
    for (const QChar character : text) {
        const int code = character.unicode();
        if (code > 0xFF)
            continue;
        const qint16 shifted = static_cast<qint16>(code + delta);
        if (shifted < 0 || shifted > 0xFF)
            continue;
        result.append(QChar(static_cast<char16_t>(shifted)));
    }
    return result;
}

bool hasTwoDigitYear(const QString &format)
{
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            continue;
        }
        if (quoted || c != QLatin1Char('y'))
            continue;
        qsizetype run = 0;
        while (i + run < format.size() && format.at(i + run) == QLatin1Char('y'))
            ++run;
        if (run < 4)
            return true;
        i += run - 1;
    }
    return false;
}

// Qt reads a two-digit year as 19xx; the century nearest today is the one the user meant.
QDate inNearestCentury(const QDate &parsed, const QDate &today)
{
    const int twoDigits = ((parsed.year() % 100) + 100) % 100;
    QDate best;
    for (int century = today.year() / 100 - 1; century <= today.year() / 100 + 1; ++century) {
        const QDate candidate(century * 100 + twoDigits, parsed.month(), parsed.day());
        if (candidate.isValid() && (!best.isValid() || qAbs(today.daysTo(candidate)) < qAbs(today.daysTo(best))))
            best = candidate;
    }
    return best.isValid() ? best : parsed;
}

} // namespace

QString scrambleText(const QString &text)
{
    return shiftText(text, kScrambleOffset);
}

QString unscrambleText(const QString &text)
{
    return shiftText(text, -kScrambleOffset);
}

QString reminderDateText(const QLocale &locale, const QDate &day)
{
    const QString text = locale.toString(day, QLocale::ShortFormat);
    // Qt reads a two-digit year as 19xx first, so "29/02/00" names no day at all.
    if (unscrambleText(scrambleText(text)) == text && readReminderDate(locale, text, day) == day)
        return text;
    return day.toString(kIsoFormat);
}

std::optional<QDate> readReminderDate(const QLocale &locale, const QString &text, const QDate &today)
{
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    const QDate local = locale.toDate(text, format);
    if (local.isValid())
        return hasTwoDigitYear(format) ? inNearestCentury(local, today) : local;
    const QDate iso = QDate::fromString(text, kIsoFormat);
    if (iso.isValid())
        return iso;
    return std::nullopt;
}

bool recordReminderDate(const QLocale &locale, const QDate &today)
{
    return platform::settings().write(app::kSettingsApplication, kSection, scrambleText(kDurationWord),
                                      scrambleText(reminderDateText(locale, today)));
}

bool updateReminderDue(const QLocale &locale, const QDate &today)
{
    durationKey = scrambleText(kDurationWord);
    const QString stored = unscrambleText(platform::settings().read(app::kSettingsApplication, kSection, durationKey));
    if (stored.isEmpty()) {
        recordReminderDate(locale, today);
        return false;
    }

    // A date that cannot be read would otherwise silence the reminder for good: start afresh.
    const std::optional<QDate> last = readReminderDate(locale, stored, today);
    if (!last) {
        recordReminderDate(locale, today);
        return false;
    }

    const qint64 days = today.daysTo(*last);
    return days < -kQuietDays || days > kQuietDays;
}

} // namespace reminder
