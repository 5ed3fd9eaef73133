#pragma once

// Bringing entries into the diary from a CSV table, a Markdown book or another diary file (a
// backup, a copy from another computer, a sync tool's conflict copy). A preview first says what
// would change; the import then appends the new entries in one transaction.

#include "core/book/book.h"

#include <array>

namespace book {

// Reads the file by its kind: ".csv" is a table, ".md" and ".markdown" are Markdown, anything
// else is taken for a diary file and read through the store. A file refused whole fails with the
// whole message as the detail.
store::Result<Book> load(const QString &path);

struct Preview {
    Book additions;                                       // the entries not yet in the diary, by section
    std::array<qint64, sections::kTables.size()> added{}; // by section, in the section table's order
    qint64 skipped = 0; // the same section, keyword and meaning are in the diary already
    qint64 leftOut = 0; // without a keyword or meaning: never added
};

// What the import would do to this diary: an entry without a keyword or meaning is left out (a
// diary file's rows were never checked on their way in), every entry whose section, keyword and
// meaning are already there (or earlier in the file) is skipped, the rest are added.
store::Result<Preview> preview(const QString &diary, const Book &incoming);
// The preview in words, one line per section, one for the skipped and one for those left out.
QString describe(const Preview &preview);

// Appends the additions at the end of their sections, all or none, after the run's backup.
Outcome import(const QString &diary, const Preview &preview, const Progress &progress = {});

} // namespace book
