#pragma once

// What tests and the benchmark observe of the find index, and the one thing they may hold back.
// Only the find's own files, which define these, include it; no caller in the program does.

namespace finder::probe {

// How many sections the find index has read in this process.
int sectionReads();
// While held, a reading of the find index waits at its first entry, the diary read in part and
// not locked: a change told meanwhile must reach what it read, and a write must not wait for it.
void holdReading(bool held);
// Whether a reading is held back now.
bool readingHeld();
// When the last reading ended on its thread, on the steady clock, in nanoseconds.
long long readingEndedNs();

} // namespace finder::probe
