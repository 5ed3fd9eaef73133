#pragma once

// Reading and driving the section window's list as a user sees it.

#include <QStringList>

class frmResultBOS;

namespace testing {

// The lines of the keyword list, top to bottom.
QStringList listed(const frmResultBOS *window);
// Clicks a line of the list with the mouse, scrolling it into view first.
void selectLine(frmResultBOS *window, int row);

} // namespace testing
