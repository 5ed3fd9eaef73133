#pragma once

// The section window keeps no state variable: its mode is what its captions and enabled
// controls say. This reads it back, for the ways out of the window, tests and the benchmark.

class SectionWindow;

enum class SectionWindowMode { Closed, Browsing, Adding, Editing, Other };
SectionWindowMode SectionWindowState(const SectionWindow &window);
