#pragma once

// What tests and the benchmark observe of the store, and the few things they may reset. Only the
// store's own files, which define these, include it; no caller in the program does.

#include <cstddef>

namespace store::probe {

// How often a key was derived from a password in this process.
int keyDerivations();
// Forgets which diaries this run has checked and backed up, as if the program started again.
void startNewRun();
// The check made ahead of the first write (core/store/checkahead.h) waits, once made, until a
// write waits for it: that write surely comes while the check runs.
void holdCheckAhead(bool held);
// How often a diary was checked whole (every page read) in this process.
int wholeChecks();
// Forgets which key opened which diary, as if the program started again: a diary with a
// password of its own asks for it anew.
void forgetKeys();
// The cost of deriving the key of a password of the user's own (Argon2id passes and memory),
// small in tests; a diary keyed with one cost opens with that cost only.
void setPasswordCost(unsigned long long passes, std::size_t memoryBytes);

} // namespace store::probe
