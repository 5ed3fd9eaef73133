#pragma once

// Where a search's words occur in an entry it found, for a list of results to show: the words are
// found as the search finds them (find.h), in the text as the diary holds it.

#include <QString>
#include <QStringView>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace finder {

// A text on one line, and its parts that a word matched.
struct Marked {
    QString text;
    // Start and length in `text`, in order, apart from each other.
    std::vector<std::pair<int, int>> marks;
};

// Every place in a text where one of the words occurs (wordsToLookUp); the text on one line.
Marked marked(QStringView text, const std::vector<std::string> &words);

// A short part of a meaning on one line, around the first place where one of the words occurs,
// cut between words where it can be and never inside a character, "…" where it was cut; the whole
// meaning when it is short. Nothing when no word occurs in it.
std::optional<Marked> excerpt(QStringView meaning, const std::vector<std::string> &words);

} // namespace finder
