#include "core/store/restore.h"

#include "core/store/backups.h"
#include "core/store/newfile.h"
#include "core/store/opening.h"

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
    if (first && second && first->regular && second->regular)
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

// The backup's bytes beside the diary, checked whole under the key that opened the backup itself:
// what is checked is what takes the diary's place, whatever happens to the backup meanwhile, and
// keeping the current diary may prune the backup away.
std::optional<Failure> copyAside(const QString &backup, const RawKey &key, files::NewFile &copy)
{
    std::optional<QString> notCopied = copy.open();
    if (!notCopied)
        notCopied = copyFileInto(backup, copy.file());
    if (!notCopied)
        notCopied = copy.seal();
    if (notCopied)
        return Failure{FailureKind::Other, QStringLiteral("The backup could not be copied: ") + *notCopied};
    const auto opened = openWithKey(copy.file().fileName(), key, nullptr, {.readOnly = true});
    if (!opened.ok())
        return fileFailure(opened.failure().kind, backup);
    if (auto damaged = checkWhole(*opened))
        return fileFailure(damaged->kind, backup);
    return std::nullopt;
}

// Keeps the diary as a backup and puts the copy in its place, holding the diary's write lock
// from before the backup until the copy has the diary's name, so that no write in between is lost.
Result<QString> keepAndReplace(const QString &diary, files::NewFile &copy)
{
    const QString name = QFileInfo(diary).fileName();
    QString kept;
    if (QFileInfo::exists(diary)) {
        auto opened = openDiary(diary);
        const bool keepable = opened.ok() || opened.failure().kind == FailureKind::Damaged
            || opened.failure().kind == FailureKind::Foreign || opened.failure().kind == FailureKind::Locked;
        if (!keepable)
            return opened.failure();
        if (opened.ok()) {
            Transaction hold(*opened);
            if (const int rc = hold.begin(); rc != SQLITE_OK)
                return opened->failure(rc);
            std::optional<Failure> damaged = checkWhole(*opened);
            if (!damaged) {
                auto made = keepBackup(*opened);
                if (!made.ok())
                    return made;
#ifdef Q_OS_WIN
                // Windows moves no file over one that is open: the hold ends just before the move.
                hold.rollback();
                opened.value().close();
#endif
                if (auto failed = copy.replace(name))
                    return Failure{FailureKind::Other, *failed};
                return *made;
            }
            if (damaged->kind != FailureKind::Damaged)
                return *damaged;
        }
        // A diary that cannot be read whole is kept as it is, outside the rotation of ten.
        auto made = keepUnreadableDiary(diary);
        if (!made.ok())
            return made;
        kept = *made;
    }
    if (auto failed = copy.replace(name))
        return Failure{FailureKind::Other, *failed};
    return kept;
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

namespace {
Result<QString> putBack(const QString &diary, const QString &backup)
{
    if (!QFileInfo::exists(backup))
        return fileFailure(FailureKind::Missing, backup);
    // A pipe or a device would never end, or never give the same bytes twice.
    if (!QFileInfo(backup).isFile())
        return fileFailure(FailureKind::Foreign, backup);
    if (sameFile(diary, backup))
        return Failure{FailureKind::Other, QStringLiteral("The diary cannot be put back from itself.")};
    // Opened read-only, so that the backup stays exactly as it is; this is where its password is
    // asked for when no key of this run opens it.
    if (const auto opened = openDiary(backup, nullptr, {.readOnly = true}); !opened.ok())
        return opened.failure();
    const QByteArray salt = saltOf(backup);
    const auto key = knownKey(backup, salt);
    if (!key)
        return fileFailure(FailureKind::Damaged, backup);

    const QFileInfo place(diary);
    removeLeftovers(place.absolutePath(), place.completeBaseName());
    files::NewFile copy(place.absolutePath(), partialPattern(place.completeBaseName()));
    if (auto failed = copyAside(backup, *key, copy))
        return *failed;
    if (saltOf(copy.file().fileName()) != salt)
        return fileFailure(FailureKind::Damaged, backup);

    auto kept = keepAndReplace(diary, copy);
    if (!kept.ok())
        return kept;
    // The diary now has the backup's key, its password with it.
    rememberKey(diary, salt, *key);
    rememberReplaced(diary);
    return kept;
}
} // namespace

Result<QString> restoreBackup(const QString &diary, const QString &backup)
{
    return failedAt(Task::Restore, putBack(diary, backup));
}

} // namespace store
