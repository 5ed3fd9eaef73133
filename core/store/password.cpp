#include "core/store/password.h"

#include "core/datafolder.h"
#include "core/store/backups.h"
#include "core/store/newfile.h"
#include "core/store/opening.h"

#include <sqlcipher/sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>
#include <map>

namespace store {

namespace {

std::optional<RawKey> keyFor(const QString &password, const QByteArray &salt)
{
    return password.isEmpty() ? std::optional<RawKey>(builtInKey(salt)) : userKey(password, salt);
}

// Attaches the empty file as "fresh" under the key. The key is bound from its locked memory, never
// put into the text of a statement.
int attachFresh(const Connection &connection, const QString &file, const RawKey &key)
{
    sqlite3_stmt *statement = nullptr;
    int rc = sqlite3_prepare_v2(connection.get(), "ATTACH DATABASE ?1 AS fresh KEY ?2", -1, &statement, nullptr);
    const QByteArray name = file.toUtf8();
    if (rc == SQLITE_OK)
        rc = sqlite3_bind_text(statement, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
    if (rc == SQLITE_OK)
        rc = sqlite3_bind_text(statement, 2, key.data(), key.size(), SQLITE_STATIC);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(statement) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(connection.get());
    sqlite3_finalize(statement);
    return rc;
}

// Writes the diary file open on `connection` anew, under `key`, into a file beside `target`, and
// moves that into target's place once it is whole: the name holds the whole old file or the whole
// new one at every moment. The engine gives a new file the salt of the raw key it is made with,
// so the copy gets `salt`. `beforeCopy` runs in the copy's transaction before anything is written.
std::optional<Failure> writeAnew(Connection &connection, const QString &target, const QString &base, const RawKey &key,
                                 const QByteArray &salt, const std::function<std::optional<Failure>()> &beforeCopy = {})
{
    const QFileInfo info(target);
    files::NewFile fresh(info.absolutePath(), partialPattern(base));
    const QString fill = fresh.pathToFill();
    // The engine creates no file through ATTACH here, and takes an empty one as a new database.
    QFile empty(fill);
    if (fill.isEmpty() || !empty.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner))
        return Failure{FailureKind::Other,
                       QStringLiteral("No new file could be made in %1: %2")
                           .arg(QDir::toNativeSeparators(info.absolutePath()), empty.errorString())};
    empty.close();
    if (const int rc = attachFresh(connection, fill, key); rc != SQLITE_OK)
        return connection.failure(rc);
    // A read left open keeps other programs from writing into the old file until the new one has
    // taken its name: such a write would be lost with it.
    auto prepared = Statement::prepare(connection, QStringLiteral("SELECT 1 FROM main.sqlite_master"));
    if (!prepared.ok())
        return prepared.failure();
    std::optional<Statement> hold(std::move(prepared.value()));
    if (const int rc = hold->step(); rc != SQLITE_ROW)
        return connection.failure(rc);
    {
        Transaction copy(connection);
        if (const int rc = copy.begin(); rc != SQLITE_OK)
            return connection.failure(rc);
        if (beforeCopy)
            if (auto failed = beforeCopy())
                return failed;
        // Tables, indexes, rows with their "Index" and the AUTOINCREMENT counters, so that the
        // Index of a removed entry is never given again.
        if (const int rc = connection.exec(QStringLiteral("SELECT sqlcipher_export('fresh')")); rc != SQLITE_OK)
            return connection.failure(rc);
        if (const int rc = copy.commit(); rc != SQLITE_OK)
            return connection.failure(rc);
    }
    // An engine that kept a salt of its own would leave a file that the password no longer opens.
    if (saltOf(fill) != salt)
        return Failure{FailureKind::Other, QStringLiteral("The new file did not take its new salt.")};
#ifdef Q_OS_WIN
    // Windows moves no file over one that is open: the hold ends, and both files close, just
    // before the move.
    hold.reset();
    connection.close();
#endif
    if (auto failed = fresh.replace(info.fileName()))
        return Failure{FailureKind::Other, *failed};
    return std::nullopt;
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

// The backup rewritten under the key, with the key's salt, through a copy that takes its place.
bool rewriteBackup(const QString &backup, const QString &base, const RawKey &from, const RawKey &to,
                   const QByteArray &salt)
{
    auto opened = openWithKey(backup, from);
    return opened.ok() && !writeAnew(opened.value(), backup, base, to, salt);
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

PasswordChange rekeyBackups(const QString &path, OldKeys &oldKeys, const QString &next, const RawKey &nextKey,
                            const QByteArray &nextSalt)
{
    PasswordChange change;
    const QString base = QFileInfo(path).completeBaseName();
    std::map<QByteArray, std::optional<RawKey>> nextKeys;
    for (const QString &backup : backupsToRekey(path)) {
        const QByteArray salt = saltOf(backup);
        bool done = false;
        if (!salt.isEmpty()) {
            if (const auto from = oldKeys.opening(backup, salt)) {
                done = rewriteBackup(backup, base, *from, nextKey, nextSalt);
            } else {
                // Already under the new password: a change that was stopped and is made again.
                auto key = nextKeys.find(salt);
                if (key == nextKeys.end())
                    key = nextKeys.emplace(salt, keyFor(next, salt)).first;
                done = key->second && openWithKey(backup, *key->second).ok();
            }
        }
        if (done)
            ++change.backupsRekeyed;
        else
            change.backupsLeft << backup;
    }
    return change;
}

// Backups that a stopped change left under the built-in key, while the diary has a password of
// its own, get the diary's key and salt.
void rekeyBackupsLeftBehind(const QString &path)
{
    const QByteArray salt = saltOf(path);
    const auto key = knownKey(path, salt);
    if (!key || *key == builtInKey(salt))
        return;
    const QString base = QFileInfo(path).completeBaseName();
    for (const QString &backup : backupsToRekey(path))
        if (const QByteArray backupSalt = saltOf(backup); !backupSalt.isEmpty())
            if (const RawKey builtIn = builtInKey(backupSalt); openWithKey(backup, builtIn).ok())
                rewriteBackup(backup, base, builtIn, *key, salt);
}

// The salt at the start of an existing diary file.
Result<QByteArray> saltOfDiary(const QString &path)
{
    if (!QFileInfo::exists(path))
        return toldOf(fileFailure(FailureKind::Missing, path), path);
    QString error;
    const QByteArray salt = saltOf(path, &error);
    if (!error.isEmpty())
        return Failure{FailureKind::Other, error};
    if (salt.isEmpty())
        return toldOf(fileFailure(FailureKind::Damaged, path), path);
    return salt;
}

} // namespace

std::optional<Failure> unlock(const QString &path)
{
    bool asked = false;
    const auto opened = openDiary(path, &asked);
    if (opened.ok() && asked)
        rekeyBackupsLeftBehind(path);
    if (opened.ok() || !asked)
        return std::nullopt;
    return toldOf(opened.failure(), path);
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
    const QString base = QFileInfo(path).completeBaseName();
    removeLeftovers(QFileInfo(path).absolutePath(), base);
    std::optional<RawKey> newKey;
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
        // The usual backup of the run comes first, and a diary found damaged is neither copied
        // nor written anew.
        const auto backUpFirst = [&] { return checkBeforeWrite(connection); };
        if (auto failed = writeAnew(connection, path, base, *newKey, nextSalt, backUpFirst))
            return toldOf(*failed, path);
        rememberKey(path, nextSalt, *newKey);
    }
    rememberWrite(path);
    OldKeys oldKeys(current, salt, *oldKey);
    return rekeyBackups(path, oldKeys, next, *newKey, nextSalt);
}

} // namespace store
