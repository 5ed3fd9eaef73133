#pragma once

// A password of the user's own for the diary, instead of the program's built-in one. Its key
// comes from Argon2id over the salt SQLCipher keeps at the start of the file, so nothing beside
// the diary is needed to open it, and nothing but the password opens it: a forgotten password
// cannot be recovered.

#include "core/result.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace modDB {

// Opens the diary once, asking for its password (the prompt seam) when the built-in key does
// not open it and this run does not know its key yet. Gives a failure only when the user was
// asked and the diary stays locked; any other failure is for the first real use to report.
std::optional<Failure> Unlock(const QString &path);

// Whether the diary is under a password of the user's own (asking for it when needed).
Result<bool> HasOwnPassword(const QString &path);

struct PasswordChange {
    int backupsRekeyed = 0;
    // Backups that opened with none of the keys tried (damaged, or under an older password):
    // left as they were.
    QStringList backupsLeft;
};

// Puts the diary under another key in one transaction, after the run's usual backup: `current`
// is the password it has now, `next` the new one; an empty one stands for the built-in key.
// Then every backup of it, the kept ones of a lost diary included, gets the new key, each
// through a copy that takes the backup's place. WrongPassword when `current` does not open it.
Result<PasswordChange> ChangePassword(const QString &path, const QString &current, const QString &next);

} // namespace modDB
