#pragma once

// When a diary with a password of its own locks by itself: after a time without use, and when
// the desktop session locks, as the user chose; and never in the middle of a write, since the
// windows of some writes let events (and so a lock) in while they work.

#include <QDateTime>

namespace autolock {

struct Choice {
    // 0: never by time.
    int idleMinutes = 10;
    bool withScreen = true;
};

inline constexpr int kMostIdleMinutes = 24 * 60;

// The user's choice from the settings; a value that does not read as one is the default.
Choice readChoice();
// False when it could not be stored.
bool writeChoice(const Choice &choice);

// Whether the time since the last use calls for the lock. A clock set back counts as use.
bool idleLongEnough(const QDateTime &lastUse, const QDateTime &now, int idleMinutes);

// Held for the length of a write to the diary; a lock asked for meanwhile waits until none is.
class WriteUnderWay {
public:
    WriteUnderWay();
    ~WriteUnderWay();
    WriteUnderWay(const WriteUnderWay &) = delete;
    WriteUnderWay &operator=(const WriteUnderWay &) = delete;
};
bool writeUnderWay();

} // namespace autolock
