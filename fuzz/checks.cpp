#include "fuzz/checks.h"

#include "core/links.h"
#include "core/referral.h"
#include "core/reminder.h"
#include "core/sections.h"
#include "core/store/store.h"

#include <QDate>
#include <QList>
#include <QLocale>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

#include <array>
#include <optional>

namespace fuzzchecks {

namespace {

// Failure messages show every character outside printable ASCII as \uXXXX, and stay short.
QString visible(const QString &text)
{
    constexpr qsizetype kShown = 200;
    QString shown;
    for (const QChar c : text.left(kShown)) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F && c != QLatin1Char('\\'))
            shown += c;
        else
            shown += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    if (text.size() > kShown)
        shown += QStringLiteral("...");
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

// The first `lines` lines of the input, then everything after them (line breaks included).
// Missing lines are empty.
template <std::size_t lines>
std::array<QByteArrayView, lines + 1> splitLines(QByteArrayView input)
{
    std::array<QByteArrayView, lines + 1> parts{};
    for (std::size_t i = 0; i < lines; ++i) {
        const qsizetype end = input.indexOf('\n');
        if (end < 0) {
            parts[i] = input;
            return parts;
        }
        parts[i] = input.first(end);
        input = input.sliced(end + 1);
    }
    parts[lines] = input;
    return parts;
}

std::optional<qint64> number(QByteArrayView line)
{
    bool ok = false;
    const qint64 value = line.toByteArray().trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

// A value in [0, span) for any number, negative ones included.
qint64 wrapped(qint64 value, qint64 span)
{
    return ((value % span) + span) % span;
}

// ---- short dates

const QDate kFirstDay(1, 1, 1);
const QDate kLastDay(9999, 12, 31);
const QDate kDayZero(2000, 1, 1);
// Two-digit years resolve to the nearest century, so a text read more than 50 years after it was
// written cannot mean the day it was written on.
constexpr qint64 kLongestWait = 49 * 365;

const QList<QLocale> &allLocales()
{
    static const QList<QLocale> locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    return locales;
}

QLocale localeFrom(QByteArrayView line)
{
    if (const auto index = number(line))
        return allLocales().at(wrapped(*index, allLocales().size()));
    return QLocale(QString::fromUtf8(line));
}

QDate dayFrom(QByteArrayView line)
{
    const qint64 span = kLastDay.toJulianDay() - kFirstDay.toJulianDay() + 1;
    const QDate iso = QDate::fromString(QString::fromUtf8(line.trimmed()), Qt::ISODate);
    const qint64 offset = iso.isValid()
        ? iso.toJulianDay() - kFirstDay.toJulianDay()
        : kDayZero.toJulianDay() - kFirstDay.toJulianDay() + wrapped(number(line).value_or(0), span);
    return QDate::fromJulianDay(kFirstDay.toJulianDay() + wrapped(offset, span));
}

// ---- table names

const QStringList kSectionTables{QStringLiteral("tblspell"), QStringLiteral("tblincense"), QStringLiteral("tblrecipes"),
                                 QStringLiteral("tblrituals")};

QString tableOutcome(const std::optional<store::Table> &table, const QString &how)
{
    if (!table)
        return {};
    const QString name = store::tableName(*table);
    if (!kSectionTables.contains(name))
        return how + QStringLiteral(" gave the table ") + visible(name);
    if (store::tableNamed(name) != table)
        return how + QStringLiteral(" gave ") + visible(name) + QStringLiteral(", which names another table");
    return {};
}

int sectionNumber(QByteArrayView line)
{
    if (const auto value = number(line))
        return static_cast<int>(*value);
    quint32 bytes = 0;
    for (qsizetype i = 0; i < qMin<qsizetype>(line.size(), 4); ++i)
        bytes |= quint32(quint8(line.at(i))) << (8 * i);
    return static_cast<int>(bytes);
}

} // namespace

QString scrambler(QByteArrayView input)
{
    const QString text = QString::fromUtf8(input);
    const int offset = reminder::kScrambleOffset;
    // The scrambler keeps exactly the characters whose Latin-1 code stays within 0 to 255 when moved.
    QString keptUp;
    QString keptDown;
    for (const QChar c : text) {
        if (c.unicode() + offset <= 0xFF)
            keptUp += c;
        if (c.unicode() >= offset && c.unicode() <= 0xFF)
            keptDown += c;
    }

    const QString scrambled = reminder::scrambleText(text);
    if (scrambled.size() > text.size())
        return QStringLiteral("scrambling made ") + visible(text) + QStringLiteral(" longer");
    for (const QChar c : scrambled)
        if (c.unicode() > 0xFF)
            return QStringLiteral("scrambling gave a character outside Latin-1: ") + visible(scrambled);
    const QString back = reminder::unscrambleText(scrambled);
    if (back != keptUp)
        return QStringLiteral("scrambled and unscrambled ") + visible(text) + QStringLiteral(" gives ") + visible(back)
            + QStringLiteral(" instead of ") + visible(keptUp);

    const QString unscrambled = reminder::unscrambleText(text);
    if (unscrambled.size() > text.size())
        return QStringLiteral("unscrambling made ") + visible(text) + QStringLiteral(" longer");
    const QString again = reminder::scrambleText(unscrambled);
    if (again != keptDown)
        return QStringLiteral("unscrambled and scrambled ") + visible(text) + QStringLiteral(" gives ") + visible(again)
            + QStringLiteral(" instead of ") + visible(keptDown);
    return {};
}

QString shortDate(QByteArrayView input)
{
    const auto parts = splitLines<3>(input);
    const QLocale locale = localeFrom(parts[0]);
    const QDate day = dayFrom(parts[1]);
    constexpr qint64 kWaits = 2 * kLongestWait + 1;
    const qint64 wait = wrapped(wrapped(number(parts[2]).value_or(0), kWaits) + kLongestWait, kWaits) - kLongestWait;
    const QDate today = day.addDays(wait);
    const QString where = QStringLiteral(" (locale %1, today %2)").arg(locale.name(), today.toString(Qt::ISODate));

    const QString text = QString::fromUtf8(parts[3]);
    const std::optional<QDate> read = reminder::readReminderDate(locale, text, today);
    if (read && !read->isValid())
        return QStringLiteral("reading ") + visible(text) + QStringLiteral(" gave an invalid date") + where;

    const QString written = reminder::reminderDateText(locale, day);
    if (reminder::unscrambleText(reminder::scrambleText(written)) != written)
        return visible(written) + QStringLiteral(" does not survive the scrambler") + where;
    const std::optional<QDate> back = reminder::readReminderDate(locale, written, today);
    if (back != day)
        return day.toString(Qt::ISODate) + QStringLiteral(", written as ") + visible(written)
            + QStringLiteral(", reads back as ") + (back ? back->toString(Qt::ISODate) : QStringLiteral("nothing"))
            + where;
    return {};
}

QString referralAddress(QByteArrayView input)
{
    const auto parts = splitLines<4>(input);
    referral::ReferralValues values;
    values.yourName = QString::fromUtf8(parts[0]);
    values.yourEmail = QString::fromUtf8(parts[1]);
    values.friendName = QString::fromUtf8(parts[2]);
    values.friendEmail = QString::fromUtf8(parts[3]);
    values.yourMessage = QString::fromUtf8(parts[4]);
    const QString expected[] = {values.yourName,    values.yourEmail,
                                values.yourMessage, values.friendName,
                                values.friendEmail, links::kMakerWebSite + QStringLiteral("/brimvale/")};

    const QString address = referral::referralAddress(links::kMakerWebSite, values);
    for (const QChar c : address)
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7F)
            return QStringLiteral("the address holds a character that is not printable ASCII: ") + visible(address);

    const QUrl url = QUrl::fromEncoded(address.toLatin1(), QUrl::StrictMode);
    if (!url.isValid())
        return QStringLiteral("not a valid URL (") + url.errorString() + QStringLiteral("): ") + visible(address);
    // The browser is handed the encoded form; it must be the address as built.
    if (url.toEncoded() != address.toLatin1())
        return QStringLiteral("the URL changes the address ") + visible(address) + QStringLiteral(" into ")
            + visible(QString::fromLatin1(url.toEncoded()));
    if (url.hasFragment())
        return QStringLiteral("the address has a fragment: ") + visible(address);
    const QString page = links::kMakerWebSite + QStringLiteral("/qzpr-refer-a-friend.php");
    if (url.adjusted(QUrl::RemoveQuery).toString(QUrl::FullyEncoded) != page)
        return QStringLiteral("the address leads elsewhere: ") + visible(address);

    const QStringList pairs = url.query(QUrl::FullyEncoded).split(QLatin1Char('&'));
    if (pairs.size() != 6)
        return QStringLiteral("the query has %1 parts: ").arg(pairs.size()) + visible(address);
    // Qt's own decoding turns noncharacters such as U+FFFFF into U+FFFD, so only its keys are compared.
    const QList<QPair<QString, QString>> items = QUrlQuery(url).queryItems(QUrl::FullyEncoded);
    if (items.size() != 6)
        return QStringLiteral("the query has %1 items: ").arg(items.size()) + visible(address);
    for (int i = 0; i < 6; ++i) {
        const QString key = QStringLiteral("taf%1").arg(i + 1);
        const QStringList keyAndValue = pairs.at(i).split(QLatin1Char('='));
        if (keyAndValue.size() != 2 || keyAndValue.at(0) != key || items.at(i).first != key)
            return QStringLiteral("part %1 of the query is not %2=value: ").arg(i + 1).arg(key) + visible(address);
        const QString decoded = QUrl::fromPercentEncoding(keyAndValue.at(1).toLatin1());
        if (decoded != expected[i])
            return key + QStringLiteral(" decodes to ") + visible(decoded) + QStringLiteral(" instead of ")
                + visible(expected[i]);
    }
    return {};
}

QString tableMapping(QByteArrayView input)
{
    const auto parts = splitLines<1>(input);
    const int number = sectionNumber(parts[0]);
    const QString name = QString::fromUtf8(parts[1]);

    if (const sections::Section *section = sections::sectionAt(number)) {
        // The list is read from the section's table, and editing names it through the section's
        // name: both must be the same table.
        const QString label = QStringLiteral("section %1").arg(number);
        if (const QString failure = tableOutcome(section->table, label); !failure.isEmpty())
            return failure;
        if (store::tableNamed(captions::table(section->name)) != section->table)
            return label + QStringLiteral(" edits another table than it lists");
    }

    if (const QString failure =
            tableOutcome(store::tableNamed(captions::table(name)), QStringLiteral("the section name ") + visible(name));
        !failure.isEmpty())
        return failure;
    if (const QString failure =
            tableOutcome(store::tableNamed(name), QStringLiteral("the table name ") + visible(name));
        !failure.isEmpty())
        return failure;

    const QString byValue = store::tableName(static_cast<store::Table>(number));
    if (!byValue.isEmpty() && !kSectionTables.contains(byValue))
        return QStringLiteral("table value %1 is named ").arg(number) + visible(byValue);
    return {};
}

} // namespace fuzzchecks
