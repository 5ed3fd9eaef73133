#pragma once

#include <QString>

// What makes an entry complete enough to be saved: a keyword and its meaning.
namespace entries {

enum class Check { Passed, BothEmpty, KeywordEmpty, MeaningEmpty };

// Texts already trimmed of spaces: a text of spaces only counts as empty.
Check check(const QString &keyword, const QString &meaning);
// The entry in full, on labelled lines, a meaning of several lines kept under its label: as the
// History and Bring Back windows show an entry before and after.
QString labelled(const QString &keyword, const QString &meaning);
// The message that refuses the entry; empty for Passed.
QString refusal(Check check);

// Whether the boxes hold words the user would lose by leaving: for a new entry anything but
// spaces (which the checks count as nothing), for an edited one anything that differs from what
// the boxes were given.
bool unsaved(bool newEntry, const QString &keyword, const QString &meaning, const QString &shownKeyword,
             const QString &shownMeaning);

} // namespace entries
