#include "diaryfiles.h"

#include "core/diary.h"
#include "core/diskfiles.h"
#include "core/store/diarykey.h"
#include "core/store/store.h"

#include <sqlcipher/sqlite3.h>

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <memory>

#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

namespace testing {

namespace {
struct Closer {
    void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
};
using Handle = std::unique_ptr<sqlite3, Closer>;

// Keyed with the plain password, so that SQLCipher derives the key itself.
Handle openKeyed(const QString &path)
{
    if (!QFileInfo::exists(path))
        return nullptr;
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    Handle db(raw);
    if (rc != SQLITE_OK)
        return nullptr;
    const QByteArray password = store::kBuiltInPassword.toUtf8();
    if (sqlite3_key(db.get(), password.constData(), int(password.size())) != SQLITE_OK)
        return nullptr;
    return db;
}

QString textOf(sqlite3_stmt *statement, int column)
{
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    return bytes ? QString::fromUtf8(bytes, sqlite3_column_bytes(statement, column)) : QString();
}
} // namespace

int openFilesUnder(const QString &folder)
{
    // The diary's readers off the window's thread hold a connection only while they read.
    Diary::working().waitForReaders();
    // A folder that is gone no longer resolves; the links of files opened in it still name it.
    const QFileInfo info(folder);
    const QString prefix = (info.exists() ? info.canonicalFilePath() : info.absoluteFilePath()) + QLatin1Char('/');
    int open = 0;
#ifdef Q_OS_LINUX
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QString &name : descriptors.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        char target[4096];
        const ssize_t length =
            ::readlink(QFile::encodeName(descriptors.filePath(name)).constData(), target, sizeof target);
        const QString file = QFile::decodeName(QByteArray(target, int(length > 0 ? length : 0)));
        // A copy held without a name (a backup waiting for the run's first write) is no file of
        // the folder's: nothing can open it, and it goes with the program.
        static const QRegularExpression unnamed(QStringLiteral("/#\\d+ \\(deleted\\)$"));
        if (file.startsWith(prefix) && !unnamed.match(file).hasMatch())
            ++open;
    }
#endif
    return open;
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList stateOf(const QString &path)
{
    QStringList state;
    auto add = [&](const QString &entry) {
        QString line = entry;
        const QFileInfo info(entry);
        if (info.isSymLink()) {
            line += QStringLiteral(" link to ") + info.symLinkTarget();
        } else if (const auto disk = files::diskFileOf(entry); disk.ok()) {
            line += QStringLiteral(" mode %1 size %2 time %3 index %4")
                        .arg(int(info.permissions()), 0, 16)
                        .arg(disk->size)
                        .arg(disk->modifiedNs)
                        .arg(disk->index);
            if (disk->regular)
                line += QLatin1Char(' ')
                    + QString::fromLatin1(QCryptographicHash::hash(bytesOf(entry), QCryptographicHash::Sha256).toHex());
        }
        state << line;
    };
    add(path);
    QDirIterator entries(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    while (entries.hasNext())
        add(entries.next());
    state.sort();
    return state;
}

bool writeEmptyDiary(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return !store::createDiary(path);
}

std::optional<std::vector<DiaryRow>> readRows(const QString &path, const QString &table)
{
    Handle db = openKeyed(path);
    if (!db)
        return std::nullopt;
    const QByteArray sql =
        QStringLiteral("SELECT \"Index\", keyword, meaning FROM \"%1\" ORDER BY \"Index\"").arg(table).toUtf8();
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql.constData(), -1, &statement, nullptr) != SQLITE_OK)
        return std::nullopt;
    std::vector<DiaryRow> rows;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
        rows.push_back({sqlite3_column_int64(statement, 0), textOf(statement, 1), textOf(statement, 2)});
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE)
        return std::nullopt;
    return rows;
}

QStringList readKeywords(const QString &path, const QString &table)
{
    QStringList keywords;
    if (const auto rows = readRows(path, table))
        for (const DiaryRow &row : *rows)
            keywords << row.keyword;
    return keywords;
}

bool appendRows(const QString &path, const QString &table, const std::vector<std::pair<QString, QString>> &rows)
{
    Handle db = openKeyed(path);
    if (!db || sqlite3_exec(db.get(), "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    const QByteArray sql = QStringLiteral("INSERT INTO \"%1\" (keyword, meaning) VALUES (?1, ?2)").arg(table).toUtf8();
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql.constData(), -1, &statement, nullptr) != SQLITE_OK)
        return false;
    bool ok = true;
    for (const auto &[keyword, meaning] : rows) {
        const QByteArray k = keyword.toUtf8();
        const QByteArray m = meaning.toUtf8();
        sqlite3_bind_text(statement, 1, k.constData(), int(k.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(statement, 2, m.constData(), int(m.size()), SQLITE_TRANSIENT);
        ok = ok && sqlite3_step(statement) == SQLITE_DONE;
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    return ok && sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool execute(const QString &path, const QString &sql)
{
    Handle db = openKeyed(path);
    return db && sqlite3_exec(db.get(), sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

QString sqlcipherTool(const QString &path, const QString &statements)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("sqlcipher"));
    if (tool.isEmpty())
        return {};
    QProcess process;
    process.start(tool, {path});
    if (!process.waitForStarted())
        return {};
    process.write(QStringLiteral("PRAGMA key = '%1';\n%2\n").arg(store::kBuiltInPassword, statements).toUtf8());
    process.closeWriteChannel();
    process.waitForFinished();
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace testing
