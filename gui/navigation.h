#pragma once

// Which window comes next. Windows never include one another: each asks this unit for the way
// on, and the show, unload and hide steps of every way live here, in their one order.

#include "core/sections.h"
#include "gui/sectionchoice.h"

#include <QtGlobal>

class QWidget;

namespace chrome {
struct PromoFrame;
}
namespace forms {
class Form;
}

namespace navigation {

// The start-up window's way in: the main window appears.
void start();
// Continue: the section window of the chosen section takes the place of the main window.
void toSectionWindow(forms::Form *from, const SectionChoice &choice);
// Back: a new main window takes the place of the section window, and keeps its choice.
void toMainWindow(forms::Form *from, const SectionChoice &choice);
// What remains when the main or the section window is unloaded: the exit window, alone.
void afterMainOrSectionWindow();
// The find window of this window: opened, or raised when it is open already.
void showFind(forms::Form *from);
// Shows one entry, selected, in its section window, the way the user would get there from this
// window: through Back, the section's option, Continue and Open, as each of them would; the
// section window comes to the front, and a find window that asked stays open behind it.
// Refused, with a message over the window that asked, while the section window is adding or
// editing an entry. False when any step stopped short (its message has been shown).
bool showEntry(forms::Form *from, sections::Table table, qint64 index, QWidget *asking);
// The history window of this window: opened, or raised when it is open already.
void showHistory(forms::Form *from);
// File, Undo in the section window: takes back this run's last change in its section.
void undoInSection(forms::Form *from);
// Whether the diary's entries may change under the user now; when the section window is adding
// or editing an entry, says why not over the window that asked.
bool entriesMayChange(QWidget *asking);
// The About window, modal; returns when it is closed.
void showAbout();
// Diary Password over the window it was asked from, modal; returns when it is closed.
void showDiaryPassword(forms::Form *from);
// Lock Diary: every window hides the diary until its password is typed again.
void lockDiary(forms::Form *from);
// Export Book: the sections and format, then the file; the book is written.
void exportBook(forms::Form *from);
// Print Book: the print dialog with its preview.
void printBook(forms::Form *from);
// Import Entries: the file, a preview of what changes, then the import.
void importEntries(forms::Form *from);

// The main window's promotional frame, which the start-up window's draw also decides; none
// while the main window is not loaded.
chrome::PromoFrame *mainWindowPromo();

} // namespace navigation
