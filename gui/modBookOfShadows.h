#pragma once

#include <QString>

// The section the user chose last in the main window, read by the section window.
namespace modBookOfShadows {

// Index of the option clicked last: 0 to 3 for a section, 4 or 5 for a book option.
inline qint16 intSection = 0;
// Name of the last section clicked ("Spell", "Incense", "Recipes" or "Rituals").
inline QString strSection;

} // namespace modBookOfShadows
