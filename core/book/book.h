#pragma once

// The diary as a book: its sections in order, each with its entries in the order they were
// written. Exports write it out, imports read it back in.

#include "core/store/store.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QIODevice;

namespace book {

using sections::Table;
using store::Chapter;
using store::Entry;
using Book = std::vector<Chapter>;

inline const QString kTitle = QStringLiteral("Book of Shadows");

enum class Format { Pdf, Html, Markdown, Text, Csv };

// "pdf", "html", "md", "txt", "csv": the name on the command line and the file name's suffix.
QString formatName(Format format);
std::optional<Format> formatNamed(const QString &name);
// The format a file name asks for by its suffix ("book.htm" is HTML); none for another suffix.
std::optional<Format> formatOfFile(const QString &fileName);
// What a file dialog's filter calls it: "PDF document (*.pdf)".
QString filterOf(Format format);

qint64 entryCount(const Book &book);
// The date line under the title: today, as the user's locale writes a date in full.
QString dateLine();

// The chosen sections of a diary that hold entries, one read each, in the order of the section
// table.
store::Result<Book> read(const QString &diary, const std::vector<Table> &tables,
                         store::ReadFrom from = store::ReadFrom::Diary);

// Hears how many entries are done out of how many; false stops the work.
using Progress = std::function<bool(qint64 done, qint64 total)>;

// What came of an export or an import.
struct Outcome {
    enum class Kind { Done, Cancelled, Failed };
    Kind kind = Kind::Done;
    QString message; // for Failed: what the user reads
    bool done() const { return kind == Kind::Done; }
};

// Writes the book as text (HTML, Markdown, plain text or CSV) to an open device; false when the
// progress said stop or the device failed.
bool writeText(QIODevice &device, Format format, const Book &book, const QString &dated, const Progress &progress);

// The message for a book that could not be written to path, with the system's reason.
QString exportFailure(const QString &path, const QString &reason);

// Writes the book to path in one of the text formats. The file appears whole or not at all: an
// existing file keeps its content until the new one is complete, and a stop or failure leaves
// it as it was. A place that BookFile refuses is never written. dated is the date line under the
// title.
Outcome exportText(const QString &path, Format format, const Book &book, const QString &dated,
                   const Progress &progress = {});

} // namespace book
