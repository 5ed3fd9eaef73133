#include "core/password.h"

#include "core/backups.h"
#include "core/newfile.h"
#include "core/opening.h"

#include <sqlcipher/sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <map>
#include <vector>

namespace modDB {

namespace {

std::optional<RawKey> keyFor(const QString &password, const QByteArray &salt)
{
    return password.isEmpty() ? std::optional<RawKey>(builtInKey(salt)) : userKey(password, salt);
}

// Copies and re-keys made by a run that was stopped, in any backup folder.
void removeLeftovers(const QString &folder, const QString &base)
{
    QDir dir(folder);
    const QString prefix = QLatin1Char('.') + base + QLatin1Char('-');
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
        if (name.startsWith(prefix) && (name.endsWith(QStringLiteral(".part")) || name.endsWith(QStringLiteral(".part-journal"))))
            dir.remove(name);
}

bool copyBytes(const QString &from, const QString &to)
{
    QFile source(from);
    QFile target(to);
    if (!source.open(QIODevice::ReadOnly) || !target.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(1 << 16);
        if (chunk.isEmpty() || target.write(chunk) != chunk.size())
            return false;
    }
    return target.flush();
}

// The keys of the backups with one salt, each derived only when a backup needs it: the key of a
// password takes half a second.
class SaltKeys {
public:
    SaltKeys(const QByteArray &salt, const QString &current, const QString &next)
        : m_salt(salt), m_currentPassword(current), m_nextPassword(next)
    {
    }
    // The keys already derived for the diary, whose backups mostly share its salt.
    void seed(const RawKey &current, const RawKey &next)
    {
        m_current = current;
        m_next = next;
        m_currentDerived = m_nextDerived = true;
    }
    RawKey builtIn() const { return builtInKey(m_salt); }
    const std::optional<RawKey> &current() { return derived(m_current, m_currentDerived, m_currentPassword); }
    const std::optional<RawKey> &next() { return derived(m_next, m_nextDerived, m_nextPassword); }

private:
    const std::optional<RawKey> &derived(std::optional<RawKey> &key, bool &done, const QString &password)
    {
        if (!done)
            key = keyFor(password, m_salt);
        done = true;
        return key;
    }

    QByteArray m_salt;
    QString m_currentPassword;
    QString m_nextPassword;
    std::optional<RawKey> m_current;
    std::optional<RawKey> m_next;
    bool m_currentDerived = false;
    bool m_nextDerived = false;
};

// The backup under the new key, through a copy beside it that takes its place once it is whole.
bool rekeyBackup(const QString &backup, const QString &base, const RawKey &from, const RawKey &to)
{
    const QFileInfo info(backup);
    files::NewFile copy(info.absolutePath(), QLatin1Char('.') + base + QStringLiteral("-XXXXXX.part"));
    const QString partial = copy.pathToFill();
    if (partial.isEmpty() || !copyBytes(backup, partial))
        return false;
    {
        auto opened = openWithKey(partial, from);
        if (!opened.ok() || sqlite3_rekey(opened->get(), to.data(), to.size()) != SQLITE_OK)
            return false;
    }
    return !copy.replace(info.fileName());
}

// Whether the backup is under the new key now: it had it already, or it opened with the built-in
// key or the current password's and was given it.
bool bringUnderNewKey(const QString &backup, const QString &base, SaltKeys &keys)
{
    const auto rekeyFrom = [&](const RawKey &from) {
        const auto &to = keys.next();
        return to && (from == *to || rekeyBackup(backup, base, from, *to));
    };
    if (const RawKey builtIn = keys.builtIn(); openWithKey(backup, builtIn).ok())
        return rekeyFrom(builtIn);
    if (const auto &current = keys.current(); current && openWithKey(backup, *current).ok())
        return rekeyFrom(*current);
    const auto &next = keys.next();
    return next && openWithKey(backup, *next).ok();
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

PasswordChange rekeyBackups(const QString &path, const QString &current, const QString &next, const QByteArray &salt,
                            const RawKey &currentKey, const RawKey &nextKey)
{
    PasswordChange change;
    const QString base = QFileInfo(path).completeBaseName();
    std::map<QByteArray, SaltKeys> bySalt;
    bySalt.emplace(salt, SaltKeys(salt, current, next)).first->second.seed(currentKey, nextKey);
    for (const QString &backup : backupsToRekey(path)) {
        // A backup of a lost diary has a salt of its own, so keys of its own too.
        const QByteArray backupSalt = saltOf(backup);
        auto keys = bySalt.try_emplace(backupSalt, backupSalt, current, next).first;
        if (!backupSalt.isEmpty() && bringUnderNewKey(backup, base, keys->second))
            ++change.backupsRekeyed;
        else
            change.backupsLeft << backup;
    }
    return change;
}

// Backups that a stopped change left under the built-in key, while the diary has a password of
// its own, get the diary's key. Those of a lost diary (another salt) wait for the next change.
void rekeyBackupsLeftBehind(const QString &path)
{
    const QByteArray salt = saltOf(path);
    const RawKey builtIn = builtInKey(salt);
    const auto key = knownKey(salt);
    if (!key || *key == builtIn)
        return;
    const QString base = QFileInfo(path).completeBaseName();
    for (const QString &backup : backupsToRekey(path))
        if (saltOf(backup) == salt && openWithKey(backup, builtIn).ok())
            rekeyBackup(backup, base, builtIn, *key);
}

} // namespace

std::optional<Failure> Unlock(const QString &path)
{
    bool asked = false;
    const auto opened = openDiary(path, &asked);
    if (opened.ok() && asked)
        rekeyBackupsLeftBehind(path);
    if (opened.ok() || !asked)
        return std::nullopt;
    return toldOf(opened.failure(), path);
}

Result<bool> HasOwnPassword(const QString &path)
{
    const auto opened = openDiary(path);
    if (!opened.ok())
        return toldOf(opened.failure(), path);
    const QByteArray salt = saltOf(path);
    const auto known = knownKey(salt);
    return known && !(*known == builtInKey(salt));
}

Result<PasswordChange> ChangePassword(const QString &path, const QString &current, const QString &next)
{
    if (!QFileInfo::exists(path))
        return toldOf(fileFailure(FailureKind::Missing, path), path);
    QString error;
    const QByteArray salt = saltOf(path, &error);
    if (!error.isEmpty())
        return Failure{FailureKind::Other, error};
    if (salt.isEmpty())
        return toldOf(fileFailure(FailureKind::Damaged, path), path);

    const auto oldKey = keyFor(current, salt);
    if (!oldKey)
        return Failure{FailureKind::WrongPassword, {}};
    std::optional<RawKey> newKey;
    {
        bool refused = false;
        auto opened = openWithKey(path, *oldKey, &refused);
        if (refused)
            return Failure{FailureKind::WrongPassword, {}};
        if (!opened.ok())
            return toldOf(opened.failure(), path);
        const Connection &connection = *opened;
        // Only once the current password is known to be right: each derivation takes its time.
        newKey = keyFor(next, salt);
        if (!newKey)
            return Failure{FailureKind::Other, QStringLiteral("The key could not be derived: too little memory.")};

        // The usual backup of the run, and a diary found damaged is neither copied nor re-keyed.
        Transaction check(connection);
        if (const int rc = check.begin(); rc != SQLITE_OK)
            return toldOf(connection.failure(rc), path);
        if (auto failed = checkBeforeWrite(connection))
            return toldOf(*failed, path);
        if (const int rc = check.commit(); rc != SQLITE_OK)
            return toldOf(connection.failure(rc), path);

        // One transaction of the engine's own: its journal keeps the pages under the old key, so
        // a stop at any moment leaves the diary whole under the old key or the new one.
        if (const int rc = sqlite3_rekey(connection.get(), newKey->data(), newKey->size()); rc != SQLITE_OK)
            return toldOf(connection.failure(rc), path);
        rememberKey(salt, *newKey);
    }
    rememberWrite(path);
    return rekeyBackups(path, current, next, salt, *oldKey, *newKey);
}

} // namespace modDB
