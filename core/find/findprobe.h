#pragma once

// What tests and the benchmark observe of the find index, and the one thing they may hold back.
// Only the find's own files, which define these, include it; no caller in the program does.

namespace finder::probe {

// How many sections the find index has read in this process.
int sectionReads();
// While held, a reading of the find index waits, once read, before the window's thread takes
// what it read: every change told meanwhile must then be applied to it.
void holdReading(bool held);
// Whether a reading is held back now.
bool readingHeld();
// When the last reading ended on its thread, on the steady clock, in nanoseconds.
long long readingEndedNs();

} // namespace finder::probe
