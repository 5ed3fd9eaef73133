#pragma once

// Finding entries in the whole diary. A search must answer while the user types, also in a diary
// of many thousands of long entries, and the diary is encrypted: reading it all for every
// keystroke is far too slow. So the diary is read once into a word index, which is read again
// only when the diary has changed since, and each search is answered from memory.
//
// A search matches an entry when every word typed occurs in its keyword or its meaning, as part
// of a word or a whole one, ignoring case and accents. The typed text is taken literally.

#include "core/find/wordindex.h"
#include "core/store/backups.h"
#include "core/store/store.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace finder {

// Text as a search compares it, in UTF-8: compatibility-decomposed, accents dropped, case-folded,
// every kind of white space a plain space. Appended to `folded`.
void foldInto(QStringView text, std::string &folded);

// The words of a typed text that a search looks up, folded: each once, and none that is a part of
// another, since every entry that holds the longer one holds its part too. Longest first.
std::vector<std::string> wordsToLookUp(QStringView typed);

struct Hit {
    store::Table table;
    qint64 index;
    QString keyword;
    // The start of the meaning on one line.
    QString meaningStart;
};

// An entry as a list of results shows it.
Hit hitOf(store::Table table, qint64 index, const store::Entry &entry);

class Index {
public:
    // Reads every section of the diary. A missing diary is an empty one: a search never makes
    // or copies a diary.
    static store::Result<Index> build(const QString &path);
    // Reads one section, off the window's thread (store::readEntriesUnasked): nobody is asked for
    // a password, and the reading ends early, with nothing, once `goOn` (asked before each entry)
    // says no.
    static store::Result<std::optional<Index>> readSection(const QString &path, store::Table table,
                                                           const std::function<bool()> &goOn);

    // False once the diary has changed since this index was read.
    bool isCurrent() const;
    // The entries that match, in section order and then in diary order.
    std::vector<std::uint32_t> search(QStringView typed) const;
    Hit hit(std::uint32_t entry) const;
    std::uint32_t size() const { return std::uint32_t(m_indexes.size()); }
    // The "Index" of an entry, and the entry of a section's "Index" (none when it holds none).
    qint64 indexOf(std::uint32_t entry) const { return m_indexes[entry]; }
    std::optional<std::uint32_t> entryOf(store::Table table, qint64 index) const;

private:
    void add(qint64 row, const store::Entry &entry, std::string &folded);
    void finish();
    // A bit for every entry.
    std::vector<std::uint64_t> allEntries() const;

    QString m_path;
    store::DiaryVersion m_version;
    parts::Words m_words;
    parts::Postings m_postings;
    // For each entry, its keyword and the start of its meaning, a line break between them.
    parts::Texts m_texts;
    std::vector<std::uint32_t> m_shown;
    std::vector<qint64> m_indexes;
    // Where each section's entries end.
    std::vector<std::uint32_t> m_sectionEnds;
};

} // namespace finder
