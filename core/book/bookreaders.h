#pragma once

// Reading entries back from files: any CSV table with the columns section, keyword and meaning,
// and Markdown with a heading for each section and keyword. A file is read whole or refused whole, at
// its first line that cannot be taken.

#include "core/book/book.h"

#include <QByteArray>

#include <optional>

namespace book {

// Where and why a file cannot be imported.
struct Problem {
    int line = 0;   // counted from 1
    QString reason; // completes "line 12 …": "has an empty keyword"
};

struct Parsed {
    Book book; // the sections in the order of the section table, the entries in the file's order
    std::optional<Problem> problem;
};

// UTF-8 with or without a byte-order mark; RFC 4180 fields, quoted ones with separators,
// quotes and line breaks; the columns in any order by the header row.
Parsed parseCsv(const QByteArray &bytes);
// A section's heading (any level, its name in the singular or plural, any case), a heading below
// it for each keyword, and up to the next heading its meaning: the lines of a code block between
// its fences, or else the lines as they stand; the meanings come back byte for byte.
Parsed parseMarkdown(const QByteArray &bytes);
// Whether the meaning, written as it is under its keyword, reads back exactly as itself.
bool readsBackPlain(const QString &meaning);

// What the user reads: nothing was imported, the line and the reason, the file.
QString problemMessage(const QString &path, const Problem &problem);

// Gathers entries into sections and checks each as the windows check a new entry.
class BookBuilder {
public:
    // The section by its name ("Spell", any case) or its table's name; none for other text.
    static std::optional<Table> sectionNamed(const QString &name);
    // Why the entry cannot be taken ("has an empty keyword"); none when it can.
    static std::optional<QString> refusalOf(const Entry &entry);
    // Adds the entry or gives why it cannot be taken.
    std::optional<QString> add(Table table, Entry entry);
    Book take();

private:
    std::array<std::vector<Entry>, sections::kTables.size()> m_entries;
};

} // namespace book
