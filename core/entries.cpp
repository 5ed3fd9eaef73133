#include "core/entries.h"

#include "core/text.h"

namespace entries {

Check check(const QString &keyword, const QString &meaning)
{
    if (keyword.isEmpty() && meaning.isEmpty())
        return Check::BothEmpty;
    if (keyword.isEmpty())
        return Check::KeywordEmpty;
    if (meaning.isEmpty())
        return Check::MeaningEmpty;
    return Check::Passed;
}

QString refusal(Check check)
{
    switch (check) {
    case Check::BothEmpty: return QStringLiteral("Please Enter Keyword And Its Corresponding Meaning");
    case Check::KeywordEmpty: return QStringLiteral("Please Enter The Keyword");
    case Check::MeaningEmpty: return QStringLiteral("Please Enter The Meaning Of The Keyword");
    case Check::Passed: break;
    }
    return {};
}

bool unsaved(bool newEntry, const QString &keyword, const QString &meaning, const QString &shownKeyword,
             const QString &shownMeaning)
{
    if (newEntry)
        return !text::trimSpaces(keyword).isEmpty() || !text::trimSpaces(meaning).isEmpty();
    return keyword != shownKeyword || meaning != shownMeaning;
}

QString labelled(const QString &keyword, const QString &meaning)
{
    QString lines = meaning;
    lines.replace(QLatin1Char('\n'), QStringLiteral("\n           "));
    return QStringLiteral("  Keyword: %1\n  Meaning: %2\n").arg(keyword, lines);
}

} // namespace entries
