#pragma once

// The book on paper: a title page with the date, the contents with page numbers, then one
// chapter per section, each keyword a heading over its meaning with the line breaks it has, and
// the page number at the foot of every page after the title. The same pages go to a PDF file and
// to a printer.

#include "core/book/book.h"

#include <QPageLayout>

class QPagedPaintDevice;

namespace bookpages {

// A4 with margins for binding and a band at the foot for the page number.
QPageLayout pageLayout();

// Paints the book on a device whose page layout is set; false when the progress said stop.
bool paint(QPagedPaintDevice &device, const book::Book &book, const QString &dated, const book::Progress &progress);

// Writes the book as a PDF file with its fonts embedded, whole or not at all (as book::exportText).
book::Outcome writePdf(const QString &path, const book::Book &book, const QString &dated,
                       const book::Progress &progress = {});

// Any format: PDF here, the text formats through the core.
book::Outcome exportBook(const QString &path, book::Format format, const book::Book &book, const QString &dated,
                         const book::Progress &progress = {});

} // namespace bookpages
