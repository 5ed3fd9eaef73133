#pragma once

#include <QString>

namespace starterdiary {

struct CopyResult {
    bool copied = false;
    QString reason; // why it failed, in the words of the system
};

// Puts a copy of the starter diary at the working diary path. The copy is written to a
// temporary file beside the target and renamed into place, so that the working diary is either
// whole or absent; anything already at the working path is never replaced.
CopyResult copyStarterDiary();

} // namespace starterdiary
