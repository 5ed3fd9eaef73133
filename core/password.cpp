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

// The keys that may open the backups with one salt, and the key they get.
struct SaltKeys {
    std::vector<RawKey> old;
    std::optional<RawKey> next;
};

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

// The backup under the new key, through a copy beside it that takes its place once it is whole.
bool rekeyBackup(const QString &backup, const QString &base, const SaltKeys &keys)
{
    const QFileInfo info(backup);
    files::NewFile copy(info.absolutePath(), QLatin1Char('.') + base + QStringLiteral("-XXXXXX.part"));
    const QString partial = copy.pathToFill();
    if (partial.isEmpty() || !copyBytes(backup, partial))
        return false;
    bool rekeyed = false;
    for (const RawKey &key : keys.old) {
        auto opened = openWithKey(partial, key);
        if (opened.ok()) {
            rekeyed = sqlite3_rekey(opened->get(), keys.next->data(), keys.next->size()) == SQLITE_OK;
            break;
        }
    }
    return rekeyed && !copy.replace(info.fileName());
}

PasswordChange rekeyBackups(const QString &path, const QString &current, const QString &next)
{
    PasswordChange change;
    const QString base = QFileInfo(path).completeBaseName();
    std::map<QByteArray, SaltKeys> bySalt;
    QStringList folders;
    for (const QString &backup : everyBackupOf(path)) {
        const QString folder = QFileInfo(backup).absolutePath();
        if (!folders.contains(folder)) {
            removeLeftovers(folder, base);
            folders << folder;
        }
        const QByteArray salt = saltOf(backup);
        if (salt.isEmpty()) {
            change.backupsLeft << backup;
            continue;
        }
        auto found = bySalt.find(salt);
        if (found == bySalt.end()) {
            // A backup of a lost diary has a salt of its own, so keys of its own too.
            SaltKeys keys;
            if (const auto key = keyFor(current, salt))
                keys.old.push_back(*key);
            if (!current.isEmpty())
                keys.old.push_back(builtInKey(salt));
            keys.next = keyFor(next, salt);
            found = bySalt.emplace(salt, std::move(keys)).first;
        }
        const SaltKeys &keys = found->second;
        if (keys.next && openWithKey(backup, *keys.next).ok())
            ++change.backupsRekeyed;
        else if (keys.next && rekeyBackup(backup, base, keys))
            ++change.backupsRekeyed;
        else
            change.backupsLeft << backup;
    }
    return change;
}

} // namespace

std::optional<Failure> Unlock(const QString &path)
{
    bool asked = false;
    const auto opened = openDiary(path, &asked);
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
    bool refused = false;
    {
        auto opened = openWithKey(path, *oldKey, &refused);
        if (refused)
            return Failure{FailureKind::WrongPassword, {}};
        if (!opened.ok())
            return toldOf(opened.failure(), path);
        const Connection &connection = *opened;
        const auto newKey = keyFor(next, salt);
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
    return rekeyBackups(path, current, next);
}

} // namespace modDB
