#pragma once

#include <QString>

// What makes an entry complete enough to be saved: a keyword and its meaning.
namespace entries {

enum class Check { Passed, BothEmpty, KeywordEmpty, MeaningEmpty };

// Texts already trimmed of spaces: a text of spaces only counts as empty.
Check check(const QString &keyword, const QString &meaning);
// The message that refuses the entry; empty for Passed.
QString refusal(Check check);

} // namespace entries
