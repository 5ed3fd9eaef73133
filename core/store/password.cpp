#include "core/store/password.h"

#include "core/datafolder.h"
#include "core/diskfiles.h"
#include "core/store/backups.h"
#include "core/store/newfile.h"
#include "core/store/opening.h"
#include "core/store/rekeying.h"

#include <sqlcipher/sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <map>

namespace store {

namespace {

std::optional<RawKey> keyFor(const QString &password, const QByteArray &salt)
{
    return password.isEmpty() ? std::optional<RawKey>(builtInKey(salt)) : userKey(password, salt);
}

// Writes the diary file open on `connection` anew under `key` beside the file at target (the file a
// link there leads to), and moves it into that file's place once it is whole: the name holds the
// whole old file or the whole new one at every moment, and a link stays a link.
std::optional<Failure> writeAnew(Connection &connection, const QString &target, const RawKey &key,
                                 const QByteArray &salt, Rewrite rewrite = {})
{
    const auto place = files::linkedFileOf(target);
    if (!place.ok())
        return place.failure();
    const QFileInfo info(*place);
    files::NewFile fresh(info.absolutePath(), partialPattern(info.completeBaseName()));
    std::optional<Statement> hold;
    rewrite.hold = &hold;
    if (auto failed = writeAnewInto(connection, fresh, key, salt, rewrite))
        return failed;
#ifdef Q_OS_WIN
    // Windows moves no file over one that is open: the hold ends, and both files close, just
    // before the move.
    hold.reset();
    connection.close();
#endif
    return fresh.replace(info.fileName());
}

// Backups opened with the keys of the old password, one per salt: those of a lost diary have a
// salt of their own. Each is derived only when a backup needs it (half a second).
class OldKeys {
public:
    OldKeys(const QString &password, const QByteArray &salt, const RawKey &key) : m_password(password)
    {
        m_keys.emplace(salt, key);
    }
    // The key under which the backup opens: the old password's for its salt, or the built-in one.
    // A key derived already is tried first (most backups share the diary's old salt), then the
    // built-in one (a fraction of a second), and a new derivation of the password's last.
    std::optional<RawKey> opening(const QString &backup, const QByteArray &salt)
    {
        auto key = m_keys.find(salt);
        if (key != m_keys.end() && key->second && openWithKey(backup, *key->second).ok())
            return key->second;
        if (const RawKey builtIn = builtInKey(salt); openWithKey(backup, builtIn).ok())
            return builtIn;
        if (key != m_keys.end())
            return std::nullopt;
        key = m_keys.emplace(salt, keyFor(m_password, salt)).first;
        if (key->second && openWithKey(backup, *key->second).ok())
            return key->second;
        return std::nullopt;
    }

private:
    QString m_password;
    std::map<QByteArray, std::optional<RawKey>> m_keys;
};

// The first of the keys that opens the file.
std::optional<RawKey> openingKey(const QString &file, const std::vector<RawKey> &keys)
{
    for (const RawKey &key : keys)
        if (openWithKey(file, key).ok())
            return key;
    return std::nullopt;
}

void addKey(std::vector<RawKey> &keys, const RawKey &key)
{
    if (std::find(keys.begin(), keys.end(), key) == keys.end())
        keys.push_back(key);
}

// Every backup of the diary, the leftovers of a stopped run removed from each folder first.
QStringList backupsToRekey(const QString &path)
{
    const QStringList backups = everyBackupOf(path);
    QStringList folders;
    for (const QString &backup : backups)
        if (const QString folder = QFileInfo(backup).absolutePath(); !folders.contains(folder)) {
            removeLeftovers(folder, QFileInfo(path).completeBaseName());
            folders << folder;
        }
    return backups;
}

// The keys, other than built-in ones (any salt gives those again), under which the backups open
// now: `keys` (the diary's old key, and those an unfinished change kept) and those of the old
// password for the salts of a lost diary's backups.
std::vector<RawKey> keysOfBackups(const QString &path, OldKeys &oldKeys, std::vector<RawKey> keys)
{
    for (const QString &backup : everyBackupOf(path)) {
        const QByteArray salt = saltOf(backup);
        if (salt.isEmpty() || openingKey(backup, keys))
            continue;
        if (const auto key = oldKeys.opening(backup, salt); key && !(*key == builtInKey(salt)))
            addKey(keys, *key);
    }
    return keys;
}

// The backup rewritten under the key, with the key's salt, through a copy that takes its place.
bool rewriteBackup(const QString &backup, const RawKey &from, const RawKey &to, const QByteArray &salt)
{
    auto opened = openWithKey(backup, from);
    return opened.ok() && !writeAnew(opened.value(), backup, to, salt);
}

// Gives every backup the diary's key (`key`, with `salt`) from whichever of the kept keys, or the
// built-in key, it opens with now; a backup that opens with none of them (damaged, or under a
// password long gone) stays as it is. Once each backup that could be given the key has it, the
// kept keys go.
PasswordChange finishChange(const QString &path, const std::vector<RawKey> &keys, const RawKey &key,
                            const QByteArray &salt)
{
    PasswordChange change;
    bool finished = true;
    for (const QString &backup : backupsToRekey(path)) {
        const QByteArray backupSalt = saltOf(backup);
        std::optional<RawKey> from;
        if (!backupSalt.isEmpty()) {
            std::vector<RawKey> tried{key};
            tried.insert(tried.end(), keys.begin(), keys.end());
            tried.push_back(builtInKey(backupSalt));
            from = openingKey(backup, tried);
        }
        if (from && (*from == key || rewriteBackup(backup, *from, key, salt))) {
            ++change.backupsRekeyed;
        } else {
            change.backupsLeft << backup;
            finished = finished && !from;
        }
    }
    if (finished && !dropKeptKeys(path, key))
        rememberOwnWrite(path);
    return change;
}

// A change that a stopped program left unfinished, or that could not reach every backup, is
// finished with the keys it kept in the diary.
void finishUnfinishedChange(const QString &path)
{
    const QByteArray salt = saltOf(path);
    const auto key = knownKey(path, salt);
    if (!key)
        return;
    std::vector<RawKey> keys;
    {
        const auto opened = openWithKey(path, *key);
        if (!opened.ok())
            return;
        const auto kept = keptKeys(*opened);
        if (!kept.ok() || !kept->has_value())
            return;
        keys = **kept;
    }
    finishChange(path, keys, *key, salt);
}

// Backups that a stopped change of an older version left under the built-in key, while the diary
// has a password of its own, get the diary's key and salt.
void rekeyBackupsLeftBehind(const QString &path)
{
    const QByteArray salt = saltOf(path);
    const auto key = knownKey(path, salt);
    if (!key || *key == builtInKey(salt))
        return;
    for (const QString &backup : backupsToRekey(path))
        if (const QByteArray backupSalt = saltOf(backup); !backupSalt.isEmpty())
            if (const RawKey builtIn = builtInKey(backupSalt); openWithKey(backup, builtIn).ok())
                rewriteBackup(backup, builtIn, *key, salt);
}

// The salt at the start of an existing diary file.
Result<QByteArray> saltOfDiary(const QString &path)
{
    auto read = readSalt(path);
    if (!read.ok())
        return toldOf(read.failure(), path);
    return read;
}

} // namespace

std::optional<Failure> unlock(const QString &path)
{
    bool asked = false;
    bool unfinished = false;
    {
        const auto opened = openDiary(path, &asked);
        if (!opened.ok())
            return asked ? std::optional(toldOf(opened.failure(), path)) : std::nullopt;
        const auto kept = keptKeys(*opened);
        unfinished = kept.ok() && kept->has_value();
    }
    if (unfinished)
        finishUnfinishedChange(path);
    if (asked)
        rekeyBackupsLeftBehind(path);
    return std::nullopt;
}

QString passwordQuestion(const QString &path)
{
    const QString working = datafolder::workingDiaryPath();
    if (!working.isEmpty() && QFileInfo(working).absoluteFilePath() == QFileInfo(path).absoluteFilePath())
        return QStringLiteral("Your diary has a password of its own.");
    return QStringLiteral("The diary \u201c%1\u201d has a password of its own.").arg(QDir::toNativeSeparators(path));
}

bool ownPasswordInUse(const QString &path)
{
    const QByteArray salt = saltOf(path);
    if (salt.isEmpty())
        return false;
    const auto known = knownKey(path, salt);
    return known && !(*known == builtInKey(salt));
}

std::optional<Failure> reopenWith(const QString &path, const QString &password)
{
    const auto read = saltOfDiary(path);
    if (!read.ok())
        return read.failure();
    const QByteArray &salt = *read;
    const auto key = userKey(password, salt);
    if (!key)
        return Failure{FailureKind::WrongPassword, {}};
    bool refused = false;
    const auto opened = openWithKey(path, *key, &refused);
    // A first page that this key does not open, where a later one is under it: damaged.
    if (refused && !keyFitsPage(path, *key, 2))
        return Failure{FailureKind::WrongPassword, {}};
    if (!opened.ok())
        return toldOf(opened.failure(), path);
    rememberKey(path, salt, *key);
    return std::nullopt;
}

Result<bool> hasOwnPassword(const QString &path)
{
    const auto opened = openDiary(path);
    if (!opened.ok())
        return toldOf(opened.failure(), path);
    return ownPasswordInUse(path);
}

Result<PasswordChange> changePassword(const QString &path, const QString &current, const QString &next)
{
    const auto read = saltOfDiary(path);
    if (!read.ok())
        return read.failure();
    const QByteArray salt = *read;

    const auto oldKey = keyFor(current, salt);
    if (!oldKey)
        return Failure{FailureKind::WrongPassword, {}};
    // A salt of its own for every new key: no table of keys computed in advance for common
    // passwords serves more than one diary.
    const QByteArray nextSalt = newSalt();
    if (nextSalt.isEmpty())
        return Failure{FailureKind::Other, QStringLiteral("No random salt could be had.")};
    const auto place = files::linkedFileOf(path);
    if (!place.ok())
        return place.failure();
    removeLeftovers(QFileInfo(*place).absolutePath(), QFileInfo(*place).completeBaseName());
    std::optional<RawKey> newKey;
    std::vector<RawKey> keys;
    {
        bool refused = false;
        auto opened = openWithKey(path, *oldKey, &refused);
        if (refused)
            return Failure{FailureKind::WrongPassword, {}};
        if (!opened.ok())
            return toldOf(opened.failure(), path);
        Connection &connection = opened.value();
        // Only once the current password is known to be right: each derivation takes its time.
        newKey = keyFor(next, nextSalt);
        if (!newKey)
            return Failure{FailureKind::Other, QStringLiteral("The key could not be derived: too little memory.")};
        const auto kept = keptKeys(connection);
        if (!kept.ok())
            return toldOf(kept.failure(), path);
        keys = kept->value_or(std::vector<RawKey>());
        if (!(*oldKey == builtInKey(salt)))
            addKey(keys, *oldKey);
        OldKeys oldKeys(current, salt, *oldKey);
        keys = keysOfBackups(path, oldKeys, std::move(keys));
        // The usual backup of the run comes first, and a diary found damaged is neither copied
        // nor written anew.
        const auto backUpFirst = [&] { return checkBeforeWrite(connection); };
        if (auto failed = writeAnew(connection, path, *newKey, nextSalt, {.beforeCopy = backUpFirst, .keys = keys}))
            return toldOf(*failed, path);
        rememberKey(path, nextSalt, *newKey);
    }
    rememberWrite(path);
    return finishChange(path, keys, *newKey, nextSalt);
}

} // namespace store
