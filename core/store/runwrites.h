#pragma once

// What this run knows of the diaries it writes: whether it has checked each one whole and backed
// it up (its first write, core/store/backups.h), and how the file looked right after the run's own
// last write to it. Another program that changes the file in between (a sync tool, a disk fault, a
// careless editor) changes that look, and the next write reads the whole file again before it
// writes into it. The diary's readers off the window's thread ask too.

#include <QString>
#include <QtGlobal>

#include <optional>

namespace store {

// After a write is committed: what the file looks like now, for the next write to compare.
void rememberWrite(const QString &path);
// After the diary was replaced whole by a file that is no backup: the next write checks it whole
// and backs it up, as a run's first write does. (One that is a backup is checked whole when it
// is put back, and needs no backup of itself: rememberWrite.)
void rememberReplaced(const QString &path);
// After a write of the store's own that changes nothing the user wrote (and makes no backup
// first): the file's new look, so that the next write need not check it whole again.
void rememberOwnWrite(const QString &path);

// Whether this run has checked the diary whole (its first write, or a restore, is behind it).
bool checkedThisRun(const QString &path);
// Nothing while this run has not checked the diary; else whether the file is still as this run's
// last write left it (not so while no write has ended since the check).
std::optional<bool> asLastWritten(const QString &path);
// The diary was checked whole, and backed up where that could be done.
void markChecked(const QString &path);

// Differs whenever the diary may have changed since it was taken: by a write of this run (two
// writes within the file system's clock tick leave the same time and size) or of another program.
struct DiaryVersion {
    bool exists = false;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    quint64 inode = 0;
    quint64 writesThisRun = 0;
    bool operator==(const DiaryVersion &) const = default;
};
DiaryVersion versionOf(const QString &path);

} // namespace store
