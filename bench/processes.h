#pragma once

// The real program and the bare Qt yardstick as child processes, timed from their start to their
// first painted window by the probe plugin.

#include "harness.h"

namespace bench {

class Home;

struct ProcessFigures {
    double programStart = 0;  // brimvale: process start to the main window painted
    double bareStart = 0;     // one empty window
    double bareTextStart = 0; // one window with a line of text: what fonts cost any program
    double programPeakMb = 0; // brimvale with the working diary's section open
    double barePeakMb = 0;
    int rows = 0; // lines listed when the peak was read
};

// The working diary in `home` is the one the program opens.
ProcessFigures measureProcesses(const Run &run, const Home &home);

} // namespace bench
