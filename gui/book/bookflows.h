#pragma once

// The steps of exporting, printing and importing after their first window: the file dialog, the
// work with a progress window that appears when it lasts, and the messages that end it.

#include "core/book/book.h"

#include <QString>

class QWidget;

namespace bookflows {

// The file dialog, then the chosen sections written in the format.
void exportBook(QWidget *parent, const std::vector<sections::Table> &tables, book::Format format);
// The platform's print dialog with its preview of the whole book.
void printBook(QWidget *parent);
// The file dialog, the preview with its counts, then the import.
void importEntries(QWidget *parent);
// The preview of what this file would bring in, then the import; true when entries came in.
bool importFrom(QWidget *parent, const QString &path);

} // namespace bookflows
