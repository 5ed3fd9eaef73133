#pragma once

// The ways a user arrives at the windows, and reading and driving the section window's list.

#include <QStringList>

class frmMain;
class frmResultBOS;

namespace testing {

// Starts the program as its entry does; the main window it shows.
frmMain *startProgram();
// Main window, the section's option (then a book option, if given), Continue: the way every user
// arrives in a section. The section window, activated; null when it did not open.
frmResultBOS *enterSection(int option, int bookOption = -1);

// The lines of the keyword list, top to bottom.
QStringList listed(const frmResultBOS *window);
// Clicks a line of the list with the mouse, scrolling it into view first.
void selectLine(frmResultBOS *window, int row);

} // namespace testing
