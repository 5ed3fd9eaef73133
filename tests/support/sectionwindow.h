#pragma once

// The ways a user arrives at the windows, and reading and driving the section window's list.

#include <QStringList>

class MainWindow;
class SectionWindow;

namespace testing {

// Starts the program as its entry does; the main window it shows.
MainWindow *startProgram();
// Main window, the section's option (then a book option, if given), Continue: the way every user
// arrives in a section. The section window, activated, once the diary's background readers have
// ended; null when it did not open.
SectionWindow *enterSection(int option, int bookOption = -1);

// The lines of the keyword list, top to bottom.
QStringList listed(const SectionWindow *window);
// The text of the Meaning box as it shows.
QString meaningShown(const SectionWindow *window);
// Clicks a line of the list with the mouse, scrolling it into view first.
void selectLine(SectionWindow *window, int row);

} // namespace testing
