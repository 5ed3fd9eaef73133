#include "core/store/backups.h"

#include "core/services.h"
#include "core/store/checkahead.h"
#include "core/store/newfile.h"
#include "core/store/statements.h"
#include "core/store/storeprobe.h"

#include <sqlcipher/sqlite3.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QtDebug>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <functional>

#include "core/diskfiles.h"

namespace store {

namespace {

const QString kStampFormat = QStringLiteral("yyyyMMdd-HHmmss");

std::atomic<int> g_wholeChecks = 0;

struct BackupNaming {
    QString folder;
    QString base;   // "updatediary"
    QString suffix; // ".dll", or empty
    QString nameFor(const QString &stamp) const { return base + QLatin1Char('-') + stamp + suffix; }
    // The stamp of a backup's file name; empty for any other file.
    QString stampOf(const QString &name) const
    {
        static const QRegularExpression stamp(QStringLiteral("^\\d{8}-\\d{6}$"));
        if (!name.startsWith(base + QLatin1Char('-')) || !name.endsWith(suffix))
            return {};
        const QString middle = name.mid(base.size() + 1, name.size() - base.size() - 1 - suffix.size());
        return stamp.match(middle).hasMatch() ? middle : QString();
    }
};

BackupNaming backupNaming(const QString &path)
{
    const QFileInfo diary(path);
    const QString suffix = diary.suffix();
    return {diary.absolutePath() + QStringLiteral("/backups"), diary.completeBaseName(),
            suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix};
}

// The folder a restore keeps the diary of the moment in, outside the rotation.
BackupNaming keptBeforeRestore(const QString &path)
{
    BackupNaming naming = backupNaming(path);
    naming.folder += QStringLiteral("-kept-before-restore");
    return naming;
}

QStringList backupNames(const BackupNaming &naming)
{
    QStringList names;
    const QStringList files =
        QDir(naming.folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    // Links are followed: one to a pipe or a device is no backup, and opening it would never end.
    for (const QString &name : files)
        if (!naming.stampOf(name).isEmpty() && QFileInfo(naming.folder + QLatin1Char('/') + name).isFile())
            names << name;
    // Same length and fixed-width stamps: the name order is the order they were made.
    names.sort();
    return names;
}

// The stamp that follows this one: a second later, or for a name that says no real time, the
// first second of its next year. Empty when no stamp of the format follows it.
QString stampAfter(const QString &stamp)
{
    // Counted in UTC only so that no local-time gap can skip or repeat a second.
    const QDateTime at(QDate::fromString(stamp.left(8), QStringLiteral("yyyyMMdd")),
                       QTime::fromString(stamp.right(6), QStringLiteral("HHmmss")), Qt::UTC);
    if (at.isValid()) {
        const QString next = at.addSecs(1).toString(kStampFormat);
        return next.size() == kStampFormat.size() ? next : QString();
    }
    const int year = stamp.left(4).toInt();
    return year < 9999 ? QString::number(year + 1).rightJustified(4, QLatin1Char('0')) + QStringLiteral("0101-000000")
                       : QString();
}

// The local time, or past the newest name if the clock is not past it (several runs in one
// second, a clock set back, the end of summer time, a name from a clock far ahead), so that
// names stay in order. Every entry with a backup's name counts, a pipe or a folder too: the new
// copy's name must be free. Empty when no name is left.
QString nextStamp(const BackupNaming &naming)
{
    QSet<QString> taken;
    QString newest;
    const QStringList entries =
        QDir(naming.folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &name : entries)
        if (const QString stamp = naming.stampOf(name); !stamp.isEmpty()) {
            taken.insert(stamp);
            newest = std::max(newest, stamp);
        }
    const QString now = platform::clock().now().toString(kStampFormat);
    QString next = now;
    if (next <= newest) {
        next = stampAfter(newest);
        // Nothing follows the last second of the year 9999: the clock's own time, if it is free.
        if (next.isEmpty())
            next = now;
    }
    while (!next.isEmpty() && taken.contains(next))
        next = stampAfter(next);
    return next;
}

Failure failedWith(const QString &reason)
{
    return {FailureKind::Other, reason};
}

Failure writeError(const QFile &target)
{
    // A short write sets no error of the file's own.
    return failedWith(target.error() != QFileDevice::NoError ? target.errorString() : qt_error_string(errno));
}

// The file's bytes, read through SQLite's own handle: opening and closing a second descriptor
// on the file would drop this process's locks on it. Ends early once `stop` is set.
std::optional<Failure> copyRawFile(sqlite3 *db, QFile &target, const std::atomic<bool> *stop = nullptr)
{
    sqlite3_file *file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file || !file->pMethods)
        return failedWith(QStringLiteral("the diary's file handle is not available"));
    sqlite3_int64 size = 0;
    if (file->pMethods->xFileSize(file, &size) != SQLITE_OK)
        return failedWith(QStringLiteral("the diary's size could not be read"));
    QByteArray chunk(1 << 16, Qt::Uninitialized);
    for (sqlite3_int64 offset = 0; offset < size;) {
        if (stop && stop->load(std::memory_order_relaxed))
            return failedWith(QStringLiteral("stopped"));
        const int amount = int(std::min<sqlite3_int64>(chunk.size(), size - offset));
        if (file->pMethods->xRead(file, chunk.data(), amount, offset) != SQLITE_OK)
            return failedWith(QStringLiteral("the diary could not be read"));
        if (target.write(chunk.constData(), amount) != amount)
            return writeError(target);
        offset += amount;
    }
    return std::nullopt;
}

std::optional<Failure> makeFolder(const QString &folder)
{
    if (QFileInfo(folder).isDir() || QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return std::nullopt;
    return failedWith(QStringLiteral("the folder %1 could not be created").arg(QDir::toNativeSeparators(folder)));
}

// Whether a journal that the super-journal lists (each name ends in a zero byte) is there. One that
// cannot be read, or is longer than any of ours, is left alone.
bool journalsRemain(const QString &superJournal)
{
    constexpr qint64 kLongest = 1 << 16;
    QFile file(superJournal);
    if (file.size() > kLongest || !file.open(QIODevice::ReadOnly))
        return true;
    const QByteArrayList journals = file.readAll().split('\0');
    return std::any_of(journals.begin(), journals.end(), [](const QByteArray &journal) {
        const QFileInfo named(QFile::decodeName(journal));
        return !journal.isEmpty() && (named.exists() || named.isSymLink());
    });
}

using Fill = std::function<std::optional<Failure>(QFile &)>;
// Puts a copy made already under this name in the folder; gives why that failed.
using Commit = std::function<std::optional<Failure>(const QString &name)>;

// A copy made already, put under the next free name in the naming's folder by `commit`. In the
// rotation the oldest beyond ten go; room is made before the new copy takes its name, so that the
// folder never holds more than the newest ten, even when the program is stopped between the two
// steps. Gives the copy's path, or why none was made.
Result<QString> nameCopy(const BackupNaming &naming, bool rotation, const Commit &commit)
{
    if (auto notMade = makeFolder(naming.folder))
        return *notMade;
    const QString stamp = nextStamp(naming);
    if (stamp.isEmpty())
        return failedWith(
            QStringLiteral("no name for a copy is left in %1").arg(QDir::toNativeSeparators(naming.folder)));
    const QString name = naming.nameFor(stamp);
    QDir folder(naming.folder);
    if (rotation) {
        const QStringList names = backupNames(naming);
        for (qsizetype i = 0; i + kBackupsKept <= names.size(); ++i)
            folder.remove(names.at(i));
    }
    if (auto notCommitted = commit(name))
        return *notCommitted;
    return folder.filePath(name);
}

// A copy made by `fill` under the next free name in the naming's folder (nameCopy).
Result<QString> keepCopy(const BackupNaming &naming, bool rotation, const Fill &fill)
{
    if (auto notMade = makeFolder(naming.folder))
        return *notMade;
    removeLeftovers(naming.folder, naming.base);

    files::NewFile partial(naming.folder, partialPattern(naming.base));
    std::optional<Failure> notMade = partial.open();
    if (!notMade)
        notMade = fill(partial.file());
    if (!notMade)
        notMade = partial.seal();
    if (notMade)
        return *notMade;
    return nameCopy(naming, rotation, [&partial](const QString &name) { return partial.commit(name); });
}

// The bytes of the diary open on `connection`. Runs inside a transaction, before it changes
// anything: the reserved lock keeps other writers out, and any journal left by a crashed writer
// has been rolled back, so the bytes copied are a whole diary.
Fill diaryOn(const Connection &connection)
{
    return [&connection](QFile &target) { return copyRawFile(connection.get(), target); };
}

void warnNoBackup(const QString &path, const Failure &why)
{
    qWarning("No backup of %s was made: %s", qUtf8Printable(QDir::toNativeSeparators(path)),
             qUtf8Printable(why.detail));
}

} // namespace

std::optional<Failure> checkBeforeWrite(const Connection &connection)
{
    const QString &path = connection.path();
    if (const auto unchanged = asLastWritten(path)) {
        if (*unchanged)
            return std::nullopt;
        return checkWhole(connection);
    }
    // Made ahead of this write, of the file as it is now: only the copy's name is left to give.
    if (auto ahead = takeCheckAhead(path)) {
        if (ahead->damage)
            return ahead->damage;
        markChecked(path);
        const BackupNaming backups = backupNaming(path);
        removeLeftovers(backups.folder, backups.base);
        auto made = Result<QString>(Failure{});
        if (ahead->copy)
            made = nameCopy(backups, true, [&](const QString &name) {
                return ahead->copy->name(QDir(backups.folder).filePath(name));
            });
        // Where no copy could wait for its name, or take it, the write makes one as it always did.
        if (!made.ok())
            made = keepCopy(backups, true, diaryOn(connection));
        if (!made.ok())
            warnNoBackup(path, made.failure());
        return std::nullopt;
    }
    if (auto damaged = checkWhole(connection))
        return damaged;
    // Tried once per run: a backup that cannot be made now is not retried before every write.
    markChecked(path);
    if (const auto made = keepCopy(backupNaming(path), true, diaryOn(connection)); !made.ok())
        warnNoBackup(path, made.failure());
    return std::nullopt;
}

std::optional<Failure> copyDiaryInto(const Connection &connection, QFile &target, const std::atomic<bool> &stop)
{
    return copyRawFile(connection.get(), target, &stop);
}

std::optional<Failure> checkWhole(const Connection &connection)
{
    ++g_wholeChecks;
    auto check = Statement::prepare(connection, QStringLiteral("PRAGMA quick_check"));
    if (!check.ok())
        return check.failure();
    int rc = check->step();
    if (rc == SQLITE_ROW && check->text(0) == u"ok")
        rc = check->step();
    if (rc == SQLITE_ROW)
        return fileFailure(FailureKind::Damaged, connection.path());
    if (rc != SQLITE_DONE)
        return connection.failure(rc);
    return std::nullopt;
}

Result<QString> keepBeforeRestore(const Connection &connection)
{
    auto made = keepCopy(keptBeforeRestore(connection.path()), false, diaryOn(connection));
    if (!made.ok())
        return Failure{FailureKind::Other,
                       QStringLiteral("No copy of the diary as it is now could be kept: ") + made.failure().detail};
    return made;
}

Result<QString> keepUnreadableDiary(const QString &path)
{
    auto made = keepCopy(keptBeforeRestore(path), false, [&path](QFile &target) { return copyFileInto(path, target); });
    if (!made.ok())
        return Failure{FailureKind::Other,
                       QStringLiteral("No copy of the diary as it is now could be kept: ") + made.failure().detail};
    return made;
}

QDateTime timeOfBackup(const QString &backup)
{
    const QString stamp = QFileInfo(backup).completeBaseName().right(kStampFormat.size());
    const QDateTime named = QDateTime::fromString(stamp, kStampFormat);
    return named.isValid() ? named : QFileInfo(backup).lastModified();
}

QString partialPattern(const QString &base)
{
    return QLatin1Char('.') + base + QStringLiteral("-XXXXXX.part");
}

void removeLeftovers(const QString &folder, const QString &base)
{
    QDir dir(folder);
    const QString prefix = QLatin1Char('.') + base + QLatin1Char('-');
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &name : names)
        if (name.startsWith(prefix)
            && (name.endsWith(QStringLiteral(".part")) || name.endsWith(QStringLiteral(".part-journal"))))
            dir.remove(name);
    // A change written into several files at once (a copy made under another key) commits through
    // a super-journal, "<file>-mj" and nine hex digits, beside the first file. One that a stopped
    // run left is needed only while a journal that it lists is still there to be rolled back.
    static const QRegularExpression superJournal(QStringLiteral("-mj[0-9A-F]{6}9[0-9A-F]{2}$"));
    for (const QString &name : names) {
        const QFileInfo file(dir.filePath(name));
        if ((name.startsWith(base) || name.startsWith(prefix)) && superJournal.match(name).hasMatch() && file.isFile()
            && !file.isSymLink() && !journalsRemain(file.filePath()))
            dir.remove(name);
    }
}

std::optional<Failure> copyFileInto(const QString &source, QFile &target)
{
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly))
        return failedWith(file.errorString());
    QByteArray chunk(1 << 16, Qt::Uninitialized);
    for (qint64 read; (read = file.read(chunk.data(), chunk.size())) != 0;) {
        if (read < 0)
            return failedWith(file.errorString());
        if (target.write(chunk.constData(), read) != read)
            return writeError(target);
    }
    return std::nullopt;
}

QString backupFolder(const QString &path)
{
    return backupNaming(path).folder;
}

QStringList backupsOf(const QString &path)
{
    const BackupNaming naming = backupNaming(path);
    QStringList paths;
    for (const QString &name : backupNames(naming))
        paths << naming.folder + QLatin1Char('/') + name;
    return paths;
}

bool isBackupOf(const QString &path, const QString &file)
{
    const auto disk = files::diskFileOf(file);
    if (!disk.ok())
        return false;
    const QStringList backups = everyBackupOf(path);
    return std::any_of(backups.begin(), backups.end(), [&](const QString &backup) {
        const auto other = files::diskFileOf(backup);
        return other.ok() && other->sameFileAs(*disk);
    });
}

QString newestBackupOf(const QString &path)
{
    const QStringList backups = backupsOf(path);
    return backups.isEmpty() ? QString() : backups.last();
}

QStringList everyBackupOf(const QString &path)
{
    BackupNaming naming = backupNaming(path);
    const QFileInfo backups(naming.folder);
    QStringList folders{naming.folder};
    const QStringList kept = QDir(backups.absolutePath())
                                 .entryList({backups.fileName() + QStringLiteral("-kept-*")},
                                            QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : kept)
        folders << backups.absolutePath() + QLatin1Char('/') + name;
    QStringList paths;
    for (const QString &folder : folders) {
        naming.folder = folder;
        for (const QString &name : backupNames(naming))
            paths << folder + QLatin1Char('/') + name;
    }
    return paths;
}

Failure toldOf(Failure failure, const QString &path)
{
    if (failure.kind == FailureKind::Missing || failure.kind == FailureKind::Damaged
        || failure.kind == FailureKind::Foreign)
        failure.newestBackup = QDir::toNativeSeparators(newestBackupOf(path));
    return failure;
}

std::optional<QString> keepBackupsOfLostDiary(const QString &path)
{
    if (backupsOf(path).isEmpty())
        return std::nullopt;
    const QString folder = backupFolder(path);
    const QString kept = folder + QStringLiteral("-kept-") + platform::clock().now().toString(kStampFormat);
    if (!QDir().rename(folder, kept))
        return std::nullopt;
    return kept;
}

int probe::wholeChecks()
{
    return g_wholeChecks;
}

} // namespace store
