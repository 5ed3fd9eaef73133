#include "core/entries.h"

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

} // namespace entries
