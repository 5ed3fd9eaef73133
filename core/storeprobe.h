#pragma once

// What tests and the benchmark observe of the store, and the one thing they may reset. Only the
// store's own files, which define these, include it; no caller in the program does.

namespace modDB::probe {

// How often the key was derived from the password in this process.
int keyDerivations();
// Forgets which diaries this run has checked and backed up, as if the program started again.
void startNewRun();

} // namespace modDB::probe
