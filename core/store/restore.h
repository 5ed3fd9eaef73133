#pragma once

// The backups of a diary as the user sees them, and bringing one back whole.

#include "core/result.h"
#include "core/sections.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace store {

struct BackupSummary {
    QString path;
    QDateTime madeAt; // local time, from the file's name (its modification time when the name says none)
    // Entries per section, in the section table's order; none when the backup does not open with
    // a key this run knows (it is under another password) or is damaged.
    std::optional<std::array<qint64, sections::kTables.size()>> entries;
    // Whether it opened at all: false for a damaged backup (or one under an unknown password).
    bool readable = false;
};

// Every backup of the diary, newest first, the kept ones of a lost diary included. Never asks for a
// password and never writes.
std::vector<BackupSummary> summarizeBackups(const QString &diary);

// Which password a diary keeps when the backup put back was made under another one.
enum class PasswordChoice {
    Current, // the diary's own: the restored copy is written anew under the diary's key and salt
    Backups, // the backup's
};

// The passwords of a diary and a backup of it, as far as their keys tell. They may differ unless
// both have the built-in key or they share key and salt, or the diary does not open (the backup's
// password is the only one then): a restore then asks which one the diary keeps.
struct Passwords {
    bool mayDiffer = false;
    bool diaryOwn = false;  // the diary has a password of the user's own
    bool backupOwn = false; // and the backup
};
// Opens the backup (asking for its password, naming the file, when no key of this run opens it)
// and the diary; writes nothing.
Result<Passwords> passwordsOf(const QString &diary, const QString &backup);

struct Restored {
    // Where the diary as it was is kept: a copy outside the rotation of backups, or the backup it
    // was put back from when it has not changed since; empty when there was no diary.
    QString kept;
    // The diary now has the backup's password, which may not be the one it had (it had none that
    // opened, or the choice was the backup's).
    bool backupsPassword = false;
    // The diary now has a password of the user's own.
    bool ownPassword = false;
};

// Replaces the diary by this backup, after checking that the backup is a whole diary (asking for
// its password when no key of this run opens it; the prompt names the file). The current diary is
// first kept (core/store/backups.h: keepBeforeRestore, keepUnreadableDiary), outside the rotation
// of ten, so that the restore costs no backup and can be taken back too, and the diary is whole,
// old or new, at every moment: when it cannot be kept, nothing is replaced. A diary that is a link
// stays one; the file it leads to is replaced. Any diary file may be put back, never the diary
// itself; the backup is only read. With passwords that may differ, the diary keeps the password
// chosen; this run knows its key. The diary put back holds the backup's history and, on top, the
// restore itself (history::Kind::Restored, at the time of the restore, naming the backup's time),
// written into the copy before it takes the diary's place. A backup put back needs no backup of
// itself (it differs only by that line): the run's next write makes none, and the next restore
// keeps no copy of it while it is unchanged.
Result<Restored> restoreBackup(const QString &diary, const QString &backup,
                               PasswordChoice choice = PasswordChoice::Current);

} // namespace store
