#pragma once

#include "core/sections.h"

#include <QString>

#include <optional>

// What the main window's options chose last, handed to the section window it opens and back to
// the main window that follows it.
struct SectionChoice {
    // The option clicked last: 0 to 3 for a section, 4 or 5 for a book option.
    int option = 0;
    // The section clicked last, by name and by table; a book option leaves both as they were.
    QString name;
    std::optional<sections::Table> table;
};
