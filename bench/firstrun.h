#pragma once

// One run of the program as a user meets it, on four sections of many entries of 400 characters:
// from start-up through the first search, the longest the window's event loop stood still and
// how soon the first results followed the index read in the background; the first save of a run
// and the adds, edits and removes after it through the window, beside their floor; an undo in the
// History window shown in the open section window; and the memory of it all.

#include "harness.h"

namespace bench {

class Home;

void measureFirstRun(const Run &run, int entries);

} // namespace bench
