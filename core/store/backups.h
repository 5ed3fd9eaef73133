#pragma once

// Rolling backups. Before the first write of each program run to a diary, the store copies the
// diary, as it was before that write, into the folder "backups" beside it (readable by the user
// only), named like "updatediary-20261207-211500.dll" after the local time; names sort in the
// order the copies were made. The newest ten are kept. That first write also checks every page:
// a damaged diary is neither written nor copied (the write fails as damaged), so damage never
// spreads and never pushes the good backups out. A backup that cannot be made does not stop the
// write: the write is just as safe without it, and the user keeps working. What a restore keeps
// of the diary it replaces goes to a folder beside them that is never pruned, so that a restore
// never costs a backup.

#include "core/result.h"
#include "core/store/runwrites.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>

class QFile;

namespace store {

class Connection;

inline constexpr int kBackupsKept = 10;
QString backupFolder(const QString &path);
// The backups of this diary, oldest first.
QStringList backupsOf(const QString &path);
// The newest backup of this diary; empty when there is none.
QString newestBackupOf(const QString &path);

// Every backup of this diary, oldest first: those in the backups folder, then those kept from a
// lost diary, folder by folder.
QStringList everyBackupOf(const QString &path);

// Whether the file is one of everyBackupOf(path), by the file itself, whatever name it is given by.
bool isBackupOf(const QString &path, const QString &file);

// A diary that cannot be used as it is: the message points to its newest backup.
Failure toldOf(Failure failure, const QString &path);

// The backups beside a diary that has gone missing are all that is left of it: the fresh
// diary's own backups would push them out after a few runs, so they move to a folder beside
// them that is never pruned, "backups-kept-<local time>". Gives that folder, or nothing when
// there were no backups or they could not be moved.
std::optional<QString> keepBackupsOfLostDiary(const QString &path);

// For the store's writes, inside the write's transaction before it changes anything: the first
// write of a run to a diary checks it whole and backs it up; a later write checks it whole
// again when the file is no longer as this run's last write left it. A damaged diary fails.
std::optional<Failure> checkBeforeWrite(const Connection &connection);

// Reads every page: damage that no read has touched yet is found before anything is written.
std::optional<Failure> checkWhole(const Connection &connection);

// For the check made ahead of the first write (core/store/checkahead.h): the bytes of the diary
// open on `connection`, inside a transaction of the caller's. Ends early once `stop` is set.
std::optional<Failure> copyDiaryInto(const Connection &connection, QFile &target, const std::atomic<bool> &stop);

// The diary of the moment, before a restore puts another file in its place: kept in a folder of
// its own beside the backups, "backups-kept-before-restore", which is never pruned, so that it
// pushes no backup out and the restore can be taken back. From the diary open on `connection`,
// inside a transaction of the caller's. Gives the copy's path.
Result<QString> keepBeforeRestore(const Connection &connection);
// The same for a diary that does not open whole (damaged, or under a password nobody gave): its
// bytes as they are.
Result<QString> keepUnreadableDiary(const QString &path);
// When a backup was made, from its name; the file's modification time when the name does not say.
QDateTime timeOfBackup(const QString &backup);

// Copies being written beside a diary or in a backup folder are named ".<base>-XXXXXX.part"; those
// a stopped run left behind are removed before the next copy there, with the super-journals of
// this diary's files that no journal needs any more.
QString partialPattern(const QString &base);
void removeLeftovers(const QString &folder, const QString &base);
// Appends the file's bytes to target; fails with the system's reason.
std::optional<Failure> copyFileInto(const QString &source, QFile &target);

} // namespace store
