#pragma once

// Which window comes next. Windows never include one another: each asks this unit for the way
// on, and the show, unload and hide steps of every way live here, in their one order.

#include "core/sections.h"
#include "gui/sectionchoice.h"

#include <QtGlobal>

class QWidget;

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

} // namespace navigation
