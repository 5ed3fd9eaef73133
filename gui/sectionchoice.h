#pragma once

#include <QString>

// What the main window's options chose last, handed to the section window it opens and back to
// the main window that follows it.
struct SectionChoice {
    // The option clicked last: 0 to 3 for a section, 4 or 5 for a book option.
    int option = 0;
    // The section clicked last; a book option leaves it as it was.
    QString name;
};
