#include "core/store/backups.h"

#include "core/services.h"
#include "core/store/newfile.h"
#include "core/store/statements.h"
#include "core/store/storeprobe.h"

#include <sqlcipher/sqlite3.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QtDebug>

#include <algorithm>
#include <cerrno>

#include "core/diskfiles.h"

namespace store {

namespace {

const QString kStampFormat = QStringLiteral("yyyyMMdd-HHmmss");

// What a diary file looked like right after this run's own last write to it. Another program
// that changes the file in between (a sync tool, a disk fault, a careless editor) changes one of
// these, and the next write reads the whole file again before it writes into it.
struct FileStamp {
    qint64 size = 0;
    qint64 modifiedNs = 0;
    quint64 inode = 0;
    bool operator==(const FileStamp &) const = default;
};

std::optional<FileStamp> fileStamp(const QString &path)
{
    const auto disk = files::diskFileOf(path);
    if (!disk)
        return std::nullopt;
    // A file put in the diary's place has an index of its own even with the same size and time.
    return FileStamp{disk->size, disk->modifiedNs, disk->index};
}

// Diaries this run has checked whole and backed up, by absolute path, with the stamp of the
// run's last write to each (none while no write has completed since the check).
QHash<QString, std::optional<FileStamp>> g_checked;
quint64 g_writes = 0;

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

QStringList backupNames(const BackupNaming &naming)
{
    QStringList names;
    const QStringList files =
        QDir(naming.folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : files)
        if (!naming.stampOf(name).isEmpty())
            names << name;
    // Same length and fixed-width stamps: the name order is the order they were made.
    names.sort();
    return names;
}

// The local time, or one second past the newest backup if the clock is not past it (several
// runs in one second, a clock set back, the end of summer time), so that names stay in order.
QString nextStamp(const BackupNaming &naming, const QStringList &existing)
{
    const QString now = platform::clock().now().toString(kStampFormat);
    if (existing.isEmpty())
        return now;
    const QString newest = naming.stampOf(existing.last());
    if (now > newest)
        return now;
    // Counted in UTC only so that no local-time gap can skip or repeat a second.
    const QDateTime last(QDate::fromString(newest.left(8), QStringLiteral("yyyyMMdd")),
                         QTime::fromString(newest.right(6), QStringLiteral("HHmmss")), Qt::UTC);
    return last.addSecs(1).toString(kStampFormat);
}

QString writeError(const QFile &target)
{
    // A short write sets no error of the file's own.
    return target.error() != QFileDevice::NoError ? target.errorString() : qt_error_string(errno);
}

// The file's bytes, read through SQLite's own handle: opening and closing a second descriptor
// on the file would drop this process's locks on it.
std::optional<QString> copyRawFile(sqlite3 *db, QFile &target)
{
    sqlite3_file *file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file || !file->pMethods)
        return QStringLiteral("the diary's file handle is not available");
    sqlite3_int64 size = 0;
    if (file->pMethods->xFileSize(file, &size) != SQLITE_OK)
        return QStringLiteral("the diary's size could not be read");
    QByteArray chunk(1 << 16, Qt::Uninitialized);
    for (sqlite3_int64 offset = 0; offset < size;) {
        const int amount = int(std::min<sqlite3_int64>(chunk.size(), size - offset));
        if (file->pMethods->xRead(file, chunk.data(), amount, offset) != SQLITE_OK)
            return QStringLiteral("the diary could not be read");
        if (target.write(chunk.constData(), amount) != amount)
            return writeError(target);
        offset += amount;
    }
    return std::nullopt;
}

std::optional<QString> makeFolder(const QString &folder)
{
    if (QFileInfo(folder).isDir() || QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return std::nullopt;
    return QStringLiteral("the folder %1 could not be created").arg(QDir::toNativeSeparators(folder));
}

// Runs inside the write's transaction, before it changes anything: the reserved lock keeps other
// writers out, and any journal left by a crashed writer has been rolled back, so the bytes copied
// are a whole diary. Gives the backup's path, or why no backup was made.
Result<QString> backUp(const Connection &connection)
{
    const auto failed = [](const QString &why) { return Failure{FailureKind::Other, why}; };
    const BackupNaming naming = backupNaming(connection.path());
    if (auto notMade = makeFolder(naming.folder))
        return failed(*notMade);
    removeLeftovers(naming.folder, naming.base);

    files::NewFile partial(naming.folder, partialPattern(naming.base));
    std::optional<QString> notMade = partial.open();
    if (!notMade)
        notMade = copyRawFile(connection.get(), partial.file());
    if (!notMade)
        notMade = partial.seal();
    if (notMade)
        return failed(*notMade);

    const QStringList names = backupNames(naming);
    const QString name = naming.nameFor(nextStamp(naming, names));
    // Room is made before the new copy takes its name, so that the folder never holds more than
    // the newest ten, even when the program is stopped between the two steps.
    QDir folder(naming.folder);
    for (qsizetype i = 0; i + kBackupsKept <= names.size(); ++i)
        folder.remove(names.at(i));
    if (auto notCommitted = partial.commit(name))
        return failed(*notCommitted);
    return folder.filePath(name);
}

} // namespace

std::optional<Failure> checkBeforeWrite(const Connection &connection)
{
    const QString &path = connection.path();
    const QString key = QFileInfo(path).absoluteFilePath();
    if (const auto checked = g_checked.constFind(key); checked != g_checked.cend()) {
        if (checked->has_value() && fileStamp(path) == *checked)
            return std::nullopt;
        return checkWhole(connection);
    }
    if (auto damaged = checkWhole(connection))
        return damaged;
    // Tried once per run: a backup that cannot be made now is not retried before every write.
    g_checked.insert(key, std::nullopt);
    if (const auto made = backUp(connection); !made.ok())
        qWarning("No backup of %s was made: %s", qUtf8Printable(QDir::toNativeSeparators(path)),
                 qUtf8Printable(made.failure().detail));
    return std::nullopt;
}

std::optional<Failure> checkWhole(const Connection &connection)
{
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

Result<QString> keepBackup(const Connection &connection)
{
    auto made = backUp(connection);
    if (!made.ok())
        return Failure{FailureKind::Other,
                       QStringLiteral("No backup of the diary could be made: ") + made.failure().detail};
    return made;
}

Result<QString> keepUnreadableDiary(const QString &path)
{
    const BackupNaming naming = backupNaming(path);
    const QString stamp = platform::clock().now().toString(kStampFormat);
    const QString folder = naming.folder + QStringLiteral("-kept-") + stamp;
    files::NewFile copy(folder, partialPattern(naming.base));
    std::optional<QString> notMade = makeFolder(folder);
    if (!notMade)
        notMade = copy.open();
    if (!notMade)
        notMade = copyFileInto(path, copy.file());
    if (!notMade)
        notMade = copy.commit(naming.nameFor(stamp));
    if (notMade)
        return Failure{FailureKind::Other, QStringLiteral("No copy of the diary could be kept: ") + *notMade};
    return folder + QLatin1Char('/') + naming.nameFor(stamp);
}

QDateTime timeOfBackup(const QString &backup)
{
    const QString stamp = QFileInfo(backup).completeBaseName().right(kStampFormat.size());
    const QDateTime named = QDateTime::fromString(stamp, kStampFormat);
    return named.isValid() ? named : QFileInfo(backup).lastModified();
}

void rememberReplaced(const QString &path)
{
    rememberWrite(path);
    g_checked.remove(QFileInfo(path).absoluteFilePath());
}

QString partialPattern(const QString &base)
{
    return QLatin1Char('.') + base + QStringLiteral("-XXXXXX.part");
}

void removeLeftovers(const QString &folder, const QString &base)
{
    QDir dir(folder);
    const QString prefix = QLatin1Char('.') + base + QLatin1Char('-');
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
        if (name.startsWith(prefix)
            && (name.endsWith(QStringLiteral(".part")) || name.endsWith(QStringLiteral(".part-journal"))))
            dir.remove(name);
}

std::optional<QString> copyFileInto(const QString &source, QFile &target)
{
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    QByteArray chunk(1 << 16, Qt::Uninitialized);
    for (qint64 read; (read = file.read(chunk.data(), chunk.size())) != 0;) {
        if (read < 0)
            return file.errorString();
        if (target.write(chunk.constData(), read) != read)
            return writeError(target);
    }
    return std::nullopt;
}

void rememberWrite(const QString &path)
{
    g_checked[QFileInfo(path).absoluteFilePath()] = fileStamp(path);
    ++g_writes;
}

DiaryVersion versionOf(const QString &path)
{
    const auto stamp = fileStamp(path);
    return stamp ? DiaryVersion{true, stamp->size, stamp->modifiedNs, stamp->inode, g_writes}
                 : DiaryVersion{false, 0, 0, 0, g_writes};
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

void probe::startNewRun()
{
    g_checked.clear();
}

} // namespace store
