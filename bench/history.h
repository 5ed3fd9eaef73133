#pragma once

// What the diary's history costs: each write of the section window with its history and without
// it, taking a change back, and reading a long history for its window.

#include "harness.h"

namespace bench {

struct HistoryFigures {
    // Median ms of the store's call with its history, and of the same write through the same
    // open, check and transaction without it.
    double add = 0, addBare = 0;
    double edit = 0, editBare = 0;
    double remove = 0, removeBare = 0;
    // The history's own statements in each of those writes, timed inside the transaction (the
    // entry's text read before an edit or remove, and the rows written), free of the disk's noise.
    double addOwn = 0, editOwn = 0, removeOwn = 0;
    // Undo in the section of this run's last change: a removal, an add.
    double undoRemoval = 0, undoAdd = 0;
    // The same on the thread's processor clock, which a loaded disk does not touch.
    double addCpu = 0, undoRemovalCpu = 0, undoAddCpu = 0;
    double readChanges = 0, readChangesCpu = 0;
    int changes = 0; // how many readChanges read
    // The History window on those changes: opened until painted, a Page Down, an End.
    double windowOpen = 0, windowPageDown = 0, windowEnd = 0;
};

HistoryFigures measureHistory(const Run &run, const QString &folder, int entries);
void printHistory(const Run &run, const HistoryFigures &figures, int entries);

} // namespace bench
