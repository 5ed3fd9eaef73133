#include "core/store/restore.h"

#include "core/store/backups.h"
#include "core/store/historyrecord.h"
#include "core/store/newfile.h"
#include "core/store/opening.h"
#include "core/store/rekeying.h"

#include <sqlcipher/sqlite3.h>

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>

#include "core/diskfiles.h"

namespace store {

namespace {

// The same file by another name (a link) is the diary too.
bool sameFile(const QString &one, const QString &other)
{
    const auto first = files::diskFileOf(one);
    const auto second = files::diskFileOf(other);
    if (first.ok() && second.ok() && first->regular && second->regular)
        return first->sameFileAs(*second);
    return QFileInfo(one).absoluteFilePath() == QFileInfo(other).absoluteFilePath();
}

using Counts = std::array<qint64, sections::kTables.size()>;

// The entries of each backup as last counted, by its path and for the file as it looked then:
// counting reads every page of each section's index, and the history is listed again after
// every restore, while backups are never written.
QHash<QString, std::pair<DiaryVersion, Counts>> g_counted;

DiaryVersion lookOf(const QString &path)
{
    DiaryVersion look = versionOf(path);
    look.writesThisRun = 0; // the diary's writes do not change a backup
    return look;
}

std::optional<Counts> countEntries(const Connection &connection)
{
    Counts counts{};
    for (std::size_t i = 0; i < sections::kTables.size(); ++i) {
        // The engine counts through the smallest index, the covering one where the diary has it.
        auto count = Statement::prepare(
            connection, QStringLiteral("SELECT count(*) FROM %1").arg(sections::tableName(sections::kTables[i])));
        if (!count.ok() || count->step() != SQLITE_ROW)
            return std::nullopt;
        counts[i] = count->integer(0);
    }
    return counts;
}

// A file's key with the salt it goes with.
struct FileKey {
    RawKey key;
    QByteArray salt;
    bool builtIn() const { return key == builtInKey(salt); }
    bool operator==(const FileKey &other) const { return salt == other.salt && key == other.key; }
};

// The key that opens the backup, read-only, asking for its password when no key of this run does.
Result<FileKey> backupKey(const QString &backup)
{
    if (!QFileInfo::exists(backup))
        return fileFailure(FailureKind::Missing, backup);
    // A pipe or a device would never end, or never give the same bytes twice.
    if (!QFileInfo(backup).isFile())
        return fileFailure(FailureKind::Foreign, backup);
    // Opened read-only, so that the backup stays exactly as it is.
    if (const auto opened = openDiary(backup, nullptr, {.readOnly = true}); !opened.ok())
        return opened.failure();
    const QByteArray salt = saltOf(backup);
    const auto key = knownKey(backup, salt);
    if (!key)
        return fileFailure(FailureKind::Damaged, backup);
    return FileKey{*key, salt};
}

// The key of the diary as it is now; none when it is not there or does not open (then it is kept
// byte for byte). A failure that keeps it from being kept at all, such as a read error, stops the
// restore.
Result<std::optional<FileKey>> diaryKey(const QString &diary)
{
    if (!QFileInfo::exists(diary))
        return std::optional<FileKey>();
    const auto opened = openDiary(diary);
    if (!opened.ok()) {
        const FailureKind kind = opened.failure().kind;
        if (kind != FailureKind::Damaged && kind != FailureKind::Foreign && kind != FailureKind::Locked)
            return opened.failure();
        return std::optional<FileKey>();
    }
    const QByteArray salt = saltOf(diary);
    const auto key = knownKey(diary, salt);
    return key ? std::optional(FileKey{*key, salt}) : std::nullopt;
}

// Both without a password of the user's own, or the very same key: nothing to choose.
bool mayDiffer(const std::optional<FileKey> &diary, const FileKey &backup)
{
    return diary && !(*diary == backup) && !(diary->builtIn() && backup.builtIn());
}

// The backup's bytes beside the diary, checked whole under the key that opened the backup itself:
// what is checked is what takes the diary's place, whatever happens to the backup meanwhile.
std::optional<Failure> copyAside(const QString &backup, const FileKey &key, files::NewFile &copy)
{
    std::optional<Failure> notCopied = copy.open();
    if (!notCopied)
        notCopied = copyFileInto(backup, copy.file());
    if (!notCopied)
        notCopied = copy.seal();
    if (notCopied)
        return Failure{FailureKind::Other, QStringLiteral("The backup could not be copied: ") + notCopied->detail};
    const auto opened = openWithKey(copy.file().fileName(), key.key, nullptr, {.readOnly = true});
    if (!opened.ok())
        return fileFailure(opened.failure().kind, backup);
    if (auto damaged = checkWhole(*opened))
        return fileFailure(damaged->kind, backup);
    if (saltOf(copy.file().fileName()) != key.salt)
        return fileFailure(FailureKind::Damaged, backup);
    return std::nullopt;
}

// The restore listed in the checked copy's history before the copy takes the diary's place, so that
// the diary is never without its line. The copy is no diary yet: its journal stays in memory, and
// a run stopped meanwhile leaves only the copy, which the next restore removes.
std::optional<Failure> listRestore(files::NewFile &copy, const FileKey &key, const QDateTime &madeAt)
{
    const auto opened = openWithKey(copy.file().fileName(), key.key);
    if (!opened.ok())
        return opened.failure();
    if (const int rc = opened->exec(QStringLiteral("PRAGMA journal_mode = MEMORY")); rc != SQLITE_OK)
        return opened->failure(rc);
    Transaction record(*opened);
    if (const int rc = record.begin(); rc != SQLITE_OK)
        return opened->failure(rc);
    if (auto failed = history::recordRestore(*opened, madeAt))
        return failed;
    if (const int rc = record.commit(); rc != SQLITE_OK)
        return opened->failure(rc);
    return std::nullopt;
}

// The checked copy written anew under the diary's key and salt.
std::optional<Failure> rekeyCopy(files::NewFile &copy, const FileKey &from, files::NewFile &rekeyed, const FileKey &to)
{
    const auto opened = openWithKey(copy.file().fileName(), from.key);
    if (!opened.ok())
        return opened.failure();
    return writeAnewInto(*opened, rekeyed, to.key, to.salt);
}

// A diary put back from a backup, as it was then, and the backup as it was: while neither has
// changed, the diary is that backup, and a restore keeps no copy of it.
struct PutBack {
    DiaryVersion diary;
    QString backup;
    DiaryVersion backupLook;
};
QHash<QString, PutBack> g_putBack;

// Whether the diary is still the backup it was last put back from, and that backup still there as
// it was: then the backup is the copy of the diary of the moment.
std::optional<QString> backupItIs(const QString &diary)
{
    const auto putBack = g_putBack.constFind(QFileInfo(diary).absoluteFilePath());
    if (putBack == g_putBack.cend() || putBack->diary != versionOf(diary)
        || putBack->backupLook != lookOf(putBack->backup))
        return std::nullopt;
    return putBack->backup;
}

// Keeps the diary and puts the copy in its place (the file a link at the diary's name leads to),
// holding the diary's write lock from before the copy is kept until the new file has its name, so
// that no write in between is lost.
Result<QString> keepAndReplace(const QString &diary, const std::optional<FileKey> &key, const QString &name,
                               files::NewFile &copy)
{
    const auto replaced = [&](const QString &kept) -> Result<QString> {
        if (auto failed = copy.replace(name))
            return *failed;
        return kept;
    };
    if (!QFileInfo::exists(diary))
        return replaced(QString());
    if (key) {
        auto opened = openWithKey(diary, key->key);
        if (opened.ok()) {
            Transaction hold(*opened);
            if (const int rc = hold.begin(); rc != SQLITE_OK)
                return opened->failure(rc);
            std::optional<Failure> damaged = checkWhole(*opened);
            if (!damaged) {
                const auto backup = backupItIs(diary);
                const auto kept = backup ? Result<QString>(*backup) : keepBeforeRestore(*opened);
                if (!kept.ok())
                    return kept;
#ifdef Q_OS_WIN
                // Windows moves no file over one that is open: the hold ends just before the move.
                hold.rollback();
                opened.value().close();
#endif
                return replaced(*kept);
            }
            if (damaged->kind != FailureKind::Damaged)
                return *damaged;
        }
    }
    // A diary that cannot be read whole is kept as it is.
    const auto keptBytes = keepUnreadableDiary(diary);
    if (!keptBytes.ok())
        return keptBytes;
    return replaced(*keptBytes);
}

} // namespace

std::vector<BackupSummary> summarizeBackups(const QString &diary)
{
    const QStringList backups = everyBackupOf(diary);
    std::vector<BackupSummary> summaries;
    summaries.reserve(std::size_t(backups.size()));
    for (auto backup = backups.crbegin(); backup != backups.crend(); ++backup) {
        BackupSummary summary{*backup, timeOfBackup(*backup), std::nullopt, false};
        const QString key = QFileInfo(*backup).absoluteFilePath();
        const DiaryVersion look = lookOf(*backup);
        if (const auto counted = g_counted.constFind(key); counted != g_counted.cend() && counted->first == look) {
            summary.entries = counted->second;
        } else if (QFileInfo(*backup).isFile()) {
            // A pipe or a device in the folder is never opened: it would never end.
            if (const auto opened = openDiary(*backup, nullptr, {.readOnly = true, .mayAsk = false}); opened.ok())
                summary.entries = countEntries(*opened);
            // Only what opened is remembered: a key given later may open the rest.
            if (summary.entries)
                g_counted.insert(key, {look, *summary.entries});
        }
        summary.readable = summary.entries.has_value();
        summaries.push_back(std::move(summary));
    }
    // Within a folder the names are in order; a kept folder of a lost diary may be newer or older.
    std::stable_sort(summaries.begin(), summaries.end(),
                     [](const BackupSummary &a, const BackupSummary &b) { return a.madeAt > b.madeAt; });
    return summaries;
}

Result<Passwords> passwordsOf(const QString &diary, const QString &backup)
{
    const auto fromBackup = backupKey(backup);
    if (!fromBackup.ok())
        return failedAt(Task::Restore, Result<Passwords>(fromBackup.failure()));
    const auto fromDiary = diaryKey(diary);
    if (!fromDiary.ok())
        return failedAt(Task::Restore, Result<Passwords>(fromDiary.failure()));
    return Passwords{mayDiffer(*fromDiary, *fromBackup), fromDiary->has_value() && !(*fromDiary)->builtIn(),
                     !fromBackup->builtIn()};
}

namespace {
Result<Restored> putBack(const QString &diary, const QString &backup, PasswordChoice choice)
{
    if (sameFile(diary, backup))
        return Failure{FailureKind::Other, QStringLiteral("The diary cannot be put back from itself.")};
    // This is where the backup's password is asked for when no key of this run opens it.
    const auto fromBackup = backupKey(backup);
    if (!fromBackup.ok())
        return fromBackup.failure();
    const auto fromDiary = diaryKey(diary);
    if (!fromDiary.ok())
        return fromDiary.failure();
    const bool keepsOwnKey = choice == PasswordChoice::Current && mayDiffer(*fromDiary, *fromBackup);
    const FileKey &key = keepsOwnKey ? **fromDiary : *fromBackup;

    const auto place = files::linkedFileOf(diary);
    if (!place.ok())
        return place.failure();
    const QFileInfo at(*place);
    removeLeftovers(at.absolutePath(), at.completeBaseName());
    files::NewFile copy(at.absolutePath(), partialPattern(at.completeBaseName()));
    if (auto failed = copyAside(backup, *fromBackup, copy))
        return *failed;
    if (auto failed = listRestore(copy, *fromBackup, timeOfBackup(backup)))
        return *failed;
    files::NewFile rekeyed(at.absolutePath(), partialPattern(at.completeBaseName()));
    if (keepsOwnKey)
        if (auto failed = rekeyCopy(copy, *fromBackup, rekeyed, key))
            return *failed;

    const bool isBackup = isBackupOf(diary, backup);
    const auto keptAs = keepAndReplace(diary, *fromDiary, at.fileName(), keepsOwnKey ? rekeyed : copy);
    if (!keptAs.ok())
        return keptAs.failure();
    rememberKey(diary, key.salt, key.key);
    const QString name = QFileInfo(diary).absoluteFilePath();
    if (isBackup) {
        // Checked whole on its way in, and a backup already but for the restore's line.
        rememberWrite(diary);
        g_putBack.insert(name, {versionOf(diary), backup, lookOf(backup)});
    } else {
        rememberReplaced(diary);
        g_putBack.remove(name);
    }
    const bool backupsPassword = !keepsOwnKey && (!fromDiary->has_value() || mayDiffer(*fromDiary, *fromBackup));
    return Restored{*keptAs, backupsPassword, !key.builtIn()};
}
} // namespace

Result<Restored> restoreBackup(const QString &diary, const QString &backup, PasswordChoice choice)
{
    return failedAt(Task::Restore, putBack(diary, backup, choice));
}

} // namespace store
