#pragma once

// A diary file written anew under another key, and what a password change keeps inside the new
// file until it is finished: the keys under which its backups may still be. A change writes the
// diary first and its backups after it, and a stopped program must not leave a backup for good
// under a password the diary no longer has. The keys live in the table below, written in the
// same transaction as the new file itself and so exactly as secret as the diary; the next open
// gives every backup the diary's key with them, and only then drops the table.

#include "core/result.h"
#include "core/store/diarykey.h"
#include "core/store/statements.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace files {
class NewFile;
}

namespace store {

// The schema statement of the table, for the schema check.
QString unfinishedChangeStatement();

struct Rewrite {
    // Runs in the copy's transaction before anything is written (the run's backup).
    std::function<std::optional<Failure>()> beforeCopy;
    // Kept in the new file's table, in place of any the old file held; no table without them.
    std::optional<std::vector<RawKey>> keys;
    // Receives a read of the old file left open, which keeps other programs from writing into it
    // until the new file has taken its place: such a write would be lost with it.
    std::optional<Statement> *hold = nullptr;
};

// Writes the diary file open on `connection` anew under `key`, with its tables, indexes, rows and
// AUTOINCREMENT counters, into `fresh` (whose name is not claimed yet). The engine gives a new
// file the salt of the raw key it is made with, which is checked to be `salt`.
std::optional<Failure> writeAnewInto(const Connection &connection, files::NewFile &fresh, const RawKey &key,
                                     const QByteArray &salt, const Rewrite &rewrite = {});

// The keys kept in the diary open on `connection`; none when no change is unfinished.
Result<std::optional<std::vector<RawKey>>> keptKeys(const Connection &connection);
// Drops the table from the diary, which opens with `key`, its bytes overwritten.
std::optional<Failure> dropKeptKeys(const QString &path, const RawKey &key);

} // namespace store
