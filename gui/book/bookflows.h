#pragma once

// The steps of exporting, printing and importing after their first window: the file dialog, the
// work with a progress window that appears when it lasts, and the messages that end it.

#include "core/book/book.h"

class QWidget;

namespace bookflows {

// The file dialog, then the chosen sections written in the format.
void exportBook(QWidget *parent, const std::vector<sections::Table> &tables, book::Format format);
// The platform's print dialog with its preview of the whole book.
void printBook(QWidget *parent);
// The file dialog, the preview with its counts, then the import.
void importEntries(QWidget *parent);

} // namespace bookflows
