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

// Replaces the diary by this backup, after checking that the backup is a whole diary (asking for
// its password when no key of this run opens it; the prompt names the file). The current diary is
// first kept as a backup of its own, so that the restore can be taken back too, and the diary is
// whole, old or new, at every moment. Gives the backup the current diary was kept as: a new one
// in the backups folder, or for a diary that does not open whole, its bytes as they were in a
// kept folder outside the rotation of ten (core/store/backups.h); empty when there was no diary.
// Any diary file may be put back, never the diary itself; the backup is only read. The diary then
// has the backup's password, and this run knows its key.
Result<QString> restoreBackup(const QString &diary, const QString &backup);

} // namespace store
