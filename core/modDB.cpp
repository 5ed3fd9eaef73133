#include "core/modDB.h"

#include "core/services.h"

#include <sqlcipher/sqlite3.h>

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QHash>
#include <QTemporaryFile>
#include <QtDebug>

#include <cerrno>
#include <functional>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace modDB {

namespace {

// SQLCipher 3's own key derivation, repeated here so that a reopen can hand over the raw key.
constexpr int kKdfIterations = 64000;
constexpr int kKeyBytes = 32;
constexpr int kSaltBytes = 16;
// Another program (e.g. the sqlcipher tool) may hold the file briefly.
constexpr int kBusyTimeoutMs = 2000;

int g_openConnections = 0;
int g_keyDerivations = 0;

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString engineMessage(sqlite3 *db, int code)
{
    if (db && sqlite3_errcode(db) == code)
        return QString::fromUtf8(sqlite3_errmsg(db));
    return QString::fromUtf8(sqlite3_errstr(code));
}

QString newestBackupOf(const QString &path);

// A diary that cannot be used as it is: the message points to the newest backup.
Failure unusable(FailureKind kind, const QString &path)
{
    return {kind, native(path), native(newestBackupOf(path))};
}

Failure failureFor(int code, sqlite3 *db, const QString &path)
{
    switch (code & 0xff) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return unusable(FailureKind::Damaged, path);
    case SQLITE_READONLY:
        return {FailureKind::ReadOnly, native(path)};
    case SQLITE_FULL:
        return {FailureKind::DiskFull, native(path)};
    case SQLITE_CANTOPEN:
        if (!QFileInfo::exists(path))
            return unusable(FailureKind::Missing, path);
        break;
    default:
        break;
    }
    return {FailureKind::Other, engineMessage(db, code)};
}

class Connection {
public:
    Connection() = default;
    explicit Connection(sqlite3 *db) : m_db(db)
    {
        if (m_db)
            ++g_openConnections;
    }
    Connection(Connection &&other) noexcept : m_db(std::exchange(other.m_db, nullptr)) {}
    Connection &operator=(Connection &&other) noexcept
    {
        if (this != &other) {
            close();
            m_db = std::exchange(other.m_db, nullptr);
        }
        return *this;
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    ~Connection() { close(); }

    sqlite3 *get() const { return m_db; }

private:
    void close()
    {
        if (!m_db)
            return;
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        --g_openConnections;
    }
    sqlite3 *m_db = nullptr;
};

class Statement {
public:
    Statement(sqlite3 *db, const QString &sql)
    {
        const QByteArray text = sql.toUtf8();
        m_prepared = sqlite3_prepare_v2(db, text.constData(), int(text.size()), &m_statement, nullptr);
    }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    ~Statement() { sqlite3_finalize(m_statement); }

    // SQLITE_OK when the statement is ready to run.
    int prepared() const { return m_prepared; }

    int bind(int position, qint64 value) { return sqlite3_bind_int64(m_statement, position, value); }
    int bind(int position, const QString &value)
    {
        const QByteArray bytes = value.toUtf8();
        return sqlite3_bind_text(m_statement, position, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
    }
    int step() { return sqlite3_step(m_statement); }

    qint64 integer(int column) const { return sqlite3_column_int64(m_statement, column); }
    // NULL reads as empty text.
    QString text(int column) const
    {
        const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
        return bytes ? QString::fromUtf8(bytes, sqlite3_column_bytes(m_statement, column)) : QString();
    }

private:
    sqlite3_stmt *m_statement = nullptr;
    int m_prepared = SQLITE_ERROR;
};

int exec(sqlite3 *db, const QString &sql)
{
    return sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
}

// Rolls back unless committed, so that an early return leaves the file as it was.
class Transaction {
public:
    explicit Transaction(sqlite3 *db) : m_db(db) {}
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    ~Transaction()
    {
        if (m_active && !sqlite3_get_autocommit(m_db))
            exec(m_db, QStringLiteral("ROLLBACK"));
    }

    int begin()
    {
        const int rc = exec(m_db, QStringLiteral("BEGIN IMMEDIATE"));
        m_active = rc == SQLITE_OK;
        return rc;
    }
    int commit()
    {
        const int rc = exec(m_db, QStringLiteral("COMMIT"));
        if (rc == SQLITE_OK)
            m_active = false;
        return rc;
    }

private:
    sqlite3 *m_db;
    bool m_active = false;
};

QString coveringIndexName(Table table)
{
    return tableName(table) + QStringLiteral("_keywords");
}

QString createTableSql(Table table)
{
    return QStringLiteral("CREATE TABLE %1 (\"Index\" INTEGER PRIMARY KEY AUTOINCREMENT, keyword TEXT, meaning TEXT)")
        .arg(tableName(table));
}

QString createIndexSql(Table table, bool ifMissing)
{
    return QStringLiteral("CREATE INDEX %1%2 ON %3 (\"Index\", keyword)")
        .arg(ifMissing ? QStringLiteral("IF NOT EXISTS ") : QString(), coveringIndexName(table), tableName(table));
}

// "x'<key><salt>'": SQLCipher takes this as the derived key and skips its own derivation.
QByteArray rawKeyFor(const QByteArray &salt)
{
    static QByteArray cachedSalt;
    static QByteArray cachedKey;
    if (cachedKey.isEmpty() || salt != cachedSalt) {
        const QByteArray password = kPassword.toUtf8();
        unsigned char key[kKeyBytes];
        PKCS5_PBKDF2_HMAC_SHA1(password.constData(), int(password.size()),
                               reinterpret_cast<const unsigned char *>(salt.constData()), int(salt.size()),
                               kKdfIterations, kKeyBytes, key);
        const QByteArray keyBytes(reinterpret_cast<const char *>(key), kKeyBytes);
        OPENSSL_cleanse(key, sizeof key);
        cachedKey = "x'" + keyBytes.toHex() + salt.toHex() + "'";
        cachedSalt = salt;
        ++g_keyDerivations;
    }
    return cachedKey;
}

// Opens an existing diary read-write and checks that it is one before anything can write.
Result<Connection> openDiary(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return unusable(FailureKind::Missing, path);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Failure{FailureKind::Other, file.errorString()};
    // A zero-length file would open as a new, empty database.
    const QByteArray salt = file.read(kSaltBytes);
    file.close();
    if (salt.size() < kSaltBytes)
        return unusable(FailureKind::Damaged, path);
    const QByteArray key = rawKeyFor(salt);

    sqlite3 *handle = nullptr;
    // Each connection lives within one call on one thread: SQLite's own locking is not needed.
    const int opened = sqlite3_open_v2(path.toUtf8().constData(), &handle,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    Connection connection(handle);
    if (opened != SQLITE_OK)
        return failureFor(opened, handle, path);
    sqlite3_busy_timeout(handle, kBusyTimeoutMs);
    if (const int rc = sqlite3_key(handle, key.constData(), int(key.size())); rc != SQLITE_OK)
        return failureFor(rc, handle, path);

    // The first read decrypts page 1: a wrong key or a damaged file fails here.
    Statement schema(handle, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
    if (schema.prepared() != SQLITE_OK)
        return failureFor(schema.prepared(), handle, path);
    QStringList tables;
    int rc = SQLITE_ROW;
    while ((rc = schema.step()) == SQLITE_ROW)
        tables << schema.text(0).toLower();
    if (rc != SQLITE_DONE)
        return failureFor(rc, handle, path);
    for (Table table : kTables)
        if (!tables.contains(tableName(table)))
            return unusable(FailureKind::Damaged, path);
    return connection;
}

// Rolling backups.

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
#ifdef Q_OS_UNIX
    struct stat facts {};
    if (::stat(QFile::encodeName(path).constData(), &facts) != 0)
        return std::nullopt;
    return FileStamp{qint64(facts.st_size), qint64(facts.st_mtim.tv_sec) * 1000000000 + facts.st_mtim.tv_nsec,
                     quint64(facts.st_ino)};
#else
    const QFileInfo file(path);
    if (!file.exists())
        return std::nullopt;
    return FileStamp{file.size(), file.lastModified().toMSecsSinceEpoch() * 1000000, 0};
#endif
}

// Diaries this run has checked whole and backed up, by absolute path, with the stamp of the
// run's last write to each (none while no write has completed since the check).
QHash<QString, std::optional<FileStamp>> g_checked;

struct BackupNaming {
    QString folder;
    QString base;   // "updatediary"
    QString suffix; // ".dll", or empty
    QString nameFor(const QString &stamp) const { return base + QLatin1Char('-') + stamp + suffix; }
    // A copy being written; one left by an ended run is removed by the next backup.
    QString partialTemplate() const { return folder + QStringLiteral("/.") + base + QStringLiteral("-XXXXXX.part"); }
    bool isPartial(const QString &name) const
    {
        return name.startsWith(QLatin1Char('.') + base + QLatin1Char('-')) && name.endsWith(QStringLiteral(".part"));
    }
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
    const QStringList files = QDir(naming.folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : files)
        if (!naming.stampOf(name).isEmpty())
            names << name;
    // Same length and fixed-width stamps: the name order is the order they were made.
    names.sort();
    return names;
}

QString newestBackupOf(const QString &path)
{
    const BackupNaming naming = backupNaming(path);
    const QStringList names = backupNames(naming);
    return names.isEmpty() ? QString() : naming.folder + QLatin1Char('/') + names.last();
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

// Reads every page: damage that no read has touched yet is found before anything is written.
std::optional<Failure> checkWhole(sqlite3 *db, const QString &path)
{
    Statement check(db, QStringLiteral("PRAGMA quick_check"));
    if (check.prepared() != SQLITE_OK)
        return failureFor(check.prepared(), db, path);
    int rc = check.step();
    if (rc == SQLITE_ROW && check.text(0) == u"ok")
        rc = check.step();
    if (rc == SQLITE_ROW)
        return unusable(FailureKind::Damaged, path);
    if (rc != SQLITE_DONE)
        return failureFor(rc, db, path);
    return std::nullopt;
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
    if (!target.flush())
        return writeError(target);
#ifdef Q_OS_UNIX
    if (::fsync(target.handle()) != 0)
        return QStringLiteral("the copy could not be written to the disk");
#endif
    return std::nullopt;
}

void syncFolder(const QString &folder)
{
#ifdef Q_OS_UNIX
    const int descriptor = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
#else
    Q_UNUSED(folder);
#endif
}

// Runs inside the write's transaction, before it changes anything: the reserved lock keeps other
// writers out, and any journal left by a crashed writer has been rolled back, so the bytes copied
// are a whole diary. Gives why no backup was made, if none was.
std::optional<QString> backUp(sqlite3 *db, const QString &path)
{
    const BackupNaming naming = backupNaming(path);
    if (!QFileInfo(naming.folder).isDir()
        && !QDir().mkdir(naming.folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return QStringLiteral("the folder %1 could not be created").arg(native(naming.folder));

    QDir folder(naming.folder);
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
        if (naming.isPartial(name))
            folder.remove(name);

    QTemporaryFile partial(naming.partialTemplate());
    if (!partial.open())
        return partial.errorString();
    partial.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    if (auto failed = copyRawFile(db, partial))
        return failed;
    partial.close();

    const QStringList names = backupNames(naming);
    const QString name = naming.nameFor(nextStamp(naming, names));
    // Room is made before the new copy takes its name, so that the folder never holds more than
    // the newest ten, even when the program is stopped between the two steps.
    for (qsizetype i = 0; i + kBackupsKept <= names.size(); ++i)
        folder.remove(names.at(i));
    // Refuses an existing name: nothing is ever replaced.
    if (!QFile::rename(partial.fileName(), folder.filePath(name)))
        return QStringLiteral("the copy could not be moved into place");
    partial.setAutoRemove(false);
    syncFolder(naming.folder);
    return std::nullopt;
}

// The first write of a run to a diary checks it whole and backs it up; a later write checks it
// whole again when the file is no longer as this run's last write left it. A damaged diary is
// never written (nor copied over a good backup); a backup that cannot be made does not stop the
// write.
std::optional<Failure> checkBeforeWrite(sqlite3 *db, const QString &path)
{
    const QString key = QFileInfo(path).absoluteFilePath();
    if (const auto checked = g_checked.constFind(key); checked != g_checked.cend()) {
        if (checked->has_value() && fileStamp(path) == *checked)
            return std::nullopt;
        return checkWhole(db, path);
    }
    if (auto damaged = checkWhole(db, path))
        return damaged;
    // Tried once per run: a backup that cannot be made now is not retried before every write.
    g_checked.insert(key, std::nullopt);
    if (const auto failed = backUp(db, path))
        qWarning("No backup of %s was made: %s", qUtf8Printable(native(path)), qUtf8Printable(*failed));
    return std::nullopt;
}

// Every change to a diary goes through here: one transaction, committed before the return.
std::optional<Failure> runWrite(const QString &path, const std::function<std::optional<Failure>(sqlite3 *)> &work)
{
    auto opened = openDiary(path);
    if (!opened.ok())
        return opened.failure();
    sqlite3 *db = opened->get();

    Transaction transaction(db);
    if (const int rc = transaction.begin(); rc != SQLITE_OK)
        return failureFor(rc, db, path);
    if (auto failed = checkBeforeWrite(db, path))
        return failed;
    for (Table table : kTables)
        if (const int rc = exec(db, createIndexSql(table, true)); rc != SQLITE_OK)
            return failureFor(rc, db, path);
    if (auto failed = work(db))
        return failed;
    if (const int rc = transaction.commit(); rc != SQLITE_OK)
        return failureFor(rc, db, path);
    g_checked[QFileInfo(path).absoluteFilePath()] = fileStamp(path);
    return std::nullopt;
}

// Runs one statement with its parameters bound; gives the number of changed rows.
Result<int> change(sqlite3 *db, const QString &path, const QString &sql,
                   const std::function<void(Statement &)> &bind)
{
    Statement statement(db, sql);
    if (statement.prepared() != SQLITE_OK)
        return failureFor(statement.prepared(), db, path);
    bind(statement);
    if (const int rc = statement.step(); rc != SQLITE_DONE)
        return failureFor(rc, db, path);
    return sqlite3_changes(db);
}

} // namespace

QString message(const Failure &failure)
{
    QString what;
    switch (failure.kind) {
    case FailureKind::Missing: what = QStringLiteral("The diary file is missing."); break;
    case FailureKind::Damaged: what = QStringLiteral("The diary file is damaged or the password is wrong."); break;
    case FailureKind::ReadOnly: what = QStringLiteral("The diary file is read-only."); break;
    case FailureKind::DiskFull: what = QStringLiteral("The entry could not be saved: the disk is full."); break;
    case FailureKind::Other: what = QStringLiteral("The diary could not be read or saved."); break;
    }
    if (!failure.detail.isEmpty())
        what += QLatin1Char('\n') + failure.detail;
    if (!failure.newestBackup.isEmpty())
        what += QStringLiteral("\nNewest backup: ") + failure.newestBackup;
    return what;
}

Result<Keywords> ReadKeywords(const QString &path, Table table)
{
    auto opened = openDiary(path);
    if (!opened.ok())
        return opened.failure();
    sqlite3 *db = opened->get();
    // Answered from the covering index, which holds far less than the table with its meanings.
    Statement statement(db, QStringLiteral("SELECT \"Index\", keyword FROM %1 ORDER BY \"Index\"").arg(tableName(table)));
    if (statement.prepared() != SQLITE_OK)
        return failureFor(statement.prepared(), db, path);
    Keywords result;
    int rc = SQLITE_ROW;
    while ((rc = statement.step()) == SQLITE_ROW) {
        result.indexes.push_back(statement.integer(0));
        result.keywords << statement.text(1);
    }
    if (rc != SQLITE_DONE)
        return failureFor(rc, db, path);
    return result;
}

Result<std::optional<Entry>> ReadEntry(const QString &path, Table table, qint64 index)
{
    auto opened = openDiary(path);
    if (!opened.ok())
        return opened.failure();
    sqlite3 *db = opened->get();
    Statement statement(db, QStringLiteral("SELECT keyword, meaning FROM %1 WHERE \"Index\" = ?1").arg(tableName(table)));
    if (statement.prepared() != SQLITE_OK)
        return failureFor(statement.prepared(), db, path);
    statement.bind(1, index);
    const int rc = statement.step();
    if (rc == SQLITE_DONE)
        return std::optional<Entry>();
    if (rc != SQLITE_ROW)
        return failureFor(rc, db, path);
    return std::optional<Entry>(Entry{statement.text(0), statement.text(1)});
}

Result<qint64> AddEntry(const QString &path, Table table, const Entry &entry)
{
    qint64 index = 0;
    const auto failed = runWrite(path, [&](sqlite3 *db) -> std::optional<Failure> {
        const auto added = change(db, path, QStringLiteral("INSERT INTO %1 (keyword, meaning) VALUES (?1, ?2)").arg(tableName(table)),
                                  [&](Statement &statement) {
                                      statement.bind(1, entry.keyword);
                                      statement.bind(2, entry.meaning);
                                  });
        if (!added.ok())
            return added.failure();
        index = sqlite3_last_insert_rowid(db);
        return std::nullopt;
    });
    if (failed)
        return *failed;
    return index;
}

// Matches the keyword as the list read it, NULL as empty text.
const QString kListedKeyword = QStringLiteral(" AND CAST(coalesce(keyword, '') AS TEXT) = ?4");

Result<bool> UpdateEntry(const QString &path, Table table, qint64 index, const Entry &entry,
                         const std::optional<QString> &listedKeyword)
{
    bool found = false;
    const auto failed = runWrite(path, [&](sqlite3 *db) -> std::optional<Failure> {
        const auto changed = change(db, path,
                                    QStringLiteral("UPDATE %1 SET keyword = ?1, meaning = ?2 WHERE \"Index\" = ?3%2")
                                        .arg(tableName(table), listedKeyword ? kListedKeyword : QString()),
                                    [&](Statement &statement) {
                                        statement.bind(1, entry.keyword);
                                        statement.bind(2, entry.meaning);
                                        statement.bind(3, index);
                                        if (listedKeyword)
                                            statement.bind(4, *listedKeyword);
                                    });
        if (!changed.ok())
            return changed.failure();
        found = *changed > 0;
        return std::nullopt;
    });
    if (failed)
        return *failed;
    return found;
}

Result<bool> RemoveEntry(const QString &path, Table table, qint64 index, const std::optional<QString> &listedKeyword)
{
    bool found = false;
    const auto failed = runWrite(path, [&](sqlite3 *db) -> std::optional<Failure> {
        const auto removed = change(db, path,
                                    QStringLiteral("DELETE FROM %1 WHERE \"Index\" = ?3%2")
                                        .arg(tableName(table), listedKeyword ? kListedKeyword : QString()),
                                    [&](Statement &statement) {
                                        statement.bind(3, index);
                                        if (listedKeyword)
                                            statement.bind(4, *listedKeyword);
                                    });
        if (!removed.ok())
            return removed.failure();
        found = *removed > 0;
        return std::nullopt;
    });
    if (failed)
        return *failed;
    return found;
}

QStringList schemaStatements()
{
    QStringList statements;
    for (Table table : kTables)
        statements << createTableSql(table) << createIndexSql(table, false);
    return statements;
}

Result<Done> CreateDiary(const QString &path)
{
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        return Failure{FailureKind::Other, QStringLiteral("%1 already exists.").arg(native(path))};

    std::optional<Failure> failed;
    {
        sqlite3 *handle = nullptr;
        const int opened = sqlite3_open_v2(path.toUtf8().constData(), &handle,
                                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        Connection connection(handle);
        const QByteArray password = kPassword.toUtf8();
        auto run = [&]() -> std::optional<Failure> {
            if (opened != SQLITE_OK)
                return failureFor(opened, handle, path);
            if (const int rc = sqlite3_key(handle, password.constData(), int(password.size())); rc != SQLITE_OK)
                return failureFor(rc, handle, path);
            Transaction transaction(handle);
            if (const int rc = transaction.begin(); rc != SQLITE_OK)
                return failureFor(rc, handle, path);
            for (const QString &statement : schemaStatements())
                if (const int rc = exec(handle, statement); rc != SQLITE_OK)
                    return failureFor(rc, handle, path);
            if (const int rc = transaction.commit(); rc != SQLITE_OK)
                return failureFor(rc, handle, path);
            return std::nullopt;
        };
        failed = run();
    }
    if (failed) {
        // Only what this call made is removed.
        if (failed->kind != FailureKind::Missing)
            QFile::remove(path);
        return *failed;
    }
    return Done{};
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

void startNewRun()
{
    g_checked.clear();
}

int openConnections()
{
    return g_openConnections;
}

int keyDerivations()
{
    return g_keyDerivations;
}

} // namespace modDB
