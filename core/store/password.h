#pragma once

// A password of the user's own for the diary, instead of the program's built-in one. Its key
// comes from Argon2id over the salt SQLCipher keeps at the start of the file, so nothing beside
// the diary is needed to open it, and nothing but the password opens it: a forgotten password
// cannot be recovered. Each new key comes with a new random salt, so that no two diaries share
// one and no table of keys worked out in advance for common passwords opens more than one.

#include "core/result.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace store {

// Opens the diary once, asking for its password (the prompt seam) when the built-in key does
// not open it and this run does not know its key yet, and finishes a password change that was
// stopped before every backup had the new key. Gives a failure only when the user was asked and
// the diary stays locked; any other failure is for the first real use to report.
std::optional<Failure> unlock(const QString &path);

// Whether the diary is under a password of the user's own (asking for it when needed).
Result<bool> hasOwnPassword(const QString &path);

// Whether this run opened the diary with a password of the user's own and still holds its key.
// Asks nobody and derives nothing.
bool ownPasswordInUse(const QString &path);

// Opens the diary with this password of the user's own only, and remembers its key when it does:
// WrongPassword when it does not. Nobody is asked, and the built-in key is never tried.
std::optional<Failure> reopenWith(const QString &path, const QString &password);

// The first words of a prompt for this diary's password. A file other than the working diary (one
// to import) is named by its whole path: a copy from another computer mostly bears the working
// diary's own file name.
QString passwordQuestion(const QString &path);

struct PasswordChange {
    int backupsRekeyed = 0;
    // Backups that opened with none of the keys tried (damaged, or under an older password):
    // left as they were.
    QStringList backupsLeft;
};

// Writes the diary anew under another key with a new salt, after the run's usual backup, and
// moves it into the diary's place (the file a link there leads to), so that the diary is whole
// under the old key or the new one at every moment: `current` is the password it has now, `next`
// the new one; an empty one stands for the built-in key. Then every backup of it, the kept ones
// included, is written anew under the same key and salt, each through a copy that takes its
// place. The keys the backups had are kept inside the new diary until then (core/store/
// rekeying.h), so that a change stopped on the way is finished by the next unlock().
// WrongPassword when `current` does not open it.
Result<PasswordChange> changePassword(const QString &path, const QString &current, const QString &next);

} // namespace store
