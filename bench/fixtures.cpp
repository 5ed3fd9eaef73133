#include "fixtures.h"

#include "core/store/diarykey.h"
#include "core/store/store.h"

#include <sqlcipher/sqlite3.h>

#include <openssl/evp.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

#include <array>

namespace bench {

namespace {
constexpr int kSaltBytes = 16;
constexpr int kKeyBytes = 32;
constexpr int kKdfIterations = 64000;

void setFolderVariable(const char *name, const QString &path)
{
    QDir().mkpath(path);
    qputenv(name, QFile::encodeName(path));
}

QString text(sqlite3_stmt *statement, int column)
{
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    return bytes ? QString::fromUtf8(bytes, sqlite3_column_bytes(statement, column)) : QString();
}

void bindText(sqlite3_stmt *statement, int position, const QString &value)
{
    const QByteArray bytes = value.toUtf8();
    sqlite3_bind_text(statement, position, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
}

sqlite3_stmt *prepare(sqlite3 *db, const QString &sql)
{
    sqlite3_stmt *statement = nullptr;
    const QByteArray bytes = sql.toUtf8();
    if (sqlite3_prepare_v2(db, bytes.constData(), int(bytes.size()), &statement, nullptr) != SQLITE_OK)
        qFatal("cannot prepare %s: %s", bytes.constData(), sqlite3_errmsg(db));
    return statement;
}

bool insertRows(sqlite3 *db, const QString &table, int rows, QString (*meaningOf)(int row))
{
    bool ok = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_stmt *insert = prepare(db, QStringLiteral("INSERT INTO %1 (keyword, meaning) VALUES (?1, ?2)").arg(table));
    for (int row = 0; ok && row < rows; ++row) {
        bindText(insert, 1, keywordFor(row));
        bindText(insert, 2, meaningOf(row));
        ok = sqlite3_step(insert) == SQLITE_DONE;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    return ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
}

QByteArray saltOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(kSaltBytes);
}
} // namespace

QString keywordFor(int row)
{
    return QStringLiteral("Keyword%1").arg(row, 5, 10, QLatin1Char('0'));
}

QString meaningFor(int row)
{
    static const std::array<const char *, 16> words{"burn", "sage",  "under",  "the",   "waning", "moon",
                                                    "with", "three", "drops",  "of",    "rose",   "oil",
                                                    "and",  "salt",  "circle", "candle"};
    QString meaning;
    meaning.reserve(420);
    quint32 state = quint32(row) * 2654435761u + 1u;
    while (meaning.size() < 400) {
        state = state * 1664525u + 1013904223u;
        meaning += QLatin1String(words[(state >> 24) % words.size()]);
        meaning += QLatin1Char(' ');
    }
    meaning.truncate(399);
    meaning += QLatin1Char('.');
    return meaning;
}

// About 400 characters of words from a vocabulary of some 27,000, the common ones far more often
// than the rare ones, as in real writing; now and then with punctuation or an accent.
QString proseFor(int row)
{
    static const std::array<const char *, 30> syllables{"ra", "mo", "se", "li", "ta", "ve",  "no", "ki", "du", "pe",
                                                        "sa", "ri", "lo", "me", "ga", "tu",  "ne", "bi", "co", "fa",
                                                        "hu", "je", "wi", "zo", "xa", "qui", "ph", "or", "an", "el"};
    QString text;
    text.reserve(420);
    quint32 state = quint32(row) * 2246822519u + 7u;
    auto next = [&state] { return state = state * 1664525u + 1013904223u; };
    while (text.size() < 400) {
        // Squaring a uniform draw favours the small word numbers.
        const quint32 draw = next() >> 17;
        const quint32 word = (draw * draw) >> 15;
        for (quint32 n = word % 27000, parts = 0; parts < 3; n /= 30, ++parts)
            text += QLatin1String(syllables[n % 30]);
        const quint32 mark = next() >> 28;
        text += mark == 0 ? QStringLiteral(", ")
            : mark == 1   ? QStringLiteral(". ")
            : mark == 2   ? QStringLiteral("é ")
                          : QStringLiteral(" ");
    }
    text.truncate(400);
    return text;
}

namespace {
QString runtimeTemplate()
{
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    return (shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath())
        + QStringLiteral("/brimvale-bench-XXXXXX");
}
} // namespace

Home::Home() : m_runtime(runtimeTemplate())
{
    setFolderVariable("HOME", root() + QStringLiteral("/home"));
    setFolderVariable("XDG_DATA_HOME", root() + QStringLiteral("/home/.local/share"));
    setFolderVariable("XDG_CONFIG_HOME", root() + QStringLiteral("/home/.config"));
    setFolderVariable("XDG_CACHE_HOME", root() + QStringLiteral("/home/.cache"));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeFolder()));
}

bool makeDiary(const QString &path, const QString &table, int rows, int pageSize)
{
    QFile::remove(path);
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (pageSize == 0 && store::createDiary(path))
        return false;
    sqlite3 *db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (pageSize ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return false;
    }
    const QByteArray password = store::kBuiltInPassword.toUtf8();
    sqlite3_key(db, password.constData(), int(password.size()));
    bool ok = true;
    if (pageSize) {
        ok = sqlite3_exec(db, QByteArray("PRAGMA cipher_page_size = ") + QByteArray::number(pageSize), nullptr, nullptr,
                          nullptr)
            == SQLITE_OK;
        for (const QString &statement : store::schemaStatements())
            ok = ok && sqlite3_exec(db, statement.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    sqlite3_exec(db, "PRAGMA cache_size = -65536", nullptr, nullptr, nullptr);
    ok = ok && insertRows(db, table, rows, meaningFor);
    sqlite3_close_v2(db);
    return ok;
}

bool appendEntries(const QString &path, const QString &table, int rows, QString (*meaningOf)(int row))
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return false;
    }
    const QByteArray password = store::kBuiltInPassword.toUtf8();
    sqlite3_key(db, password.constData(), int(password.size()));
    const bool ok = insertRows(db, table, rows, meaningOf);
    sqlite3_close_v2(db);
    return ok;
}

QByteArray rawKeyOf(const QString &path)
{
    const QByteArray salt = saltOf(path);
    if (salt.size() != kSaltBytes)
        return {};
    const QByteArray password = store::kBuiltInPassword.toUtf8();
    unsigned char key[kKeyBytes];
    PKCS5_PBKDF2_HMAC_SHA1(password.constData(), int(password.size()),
                           reinterpret_cast<const unsigned char *>(salt.constData()), kSaltBytes, kKdfIterations,
                           kKeyBytes, key);
    return "x'" + QByteArray(reinterpret_cast<const char *>(key), kKeyBytes).toHex() + salt.toHex() + "'";
}

sqlite3 *openWithRawKey(const QString &path, const QByteArray &rawKey, int flags, int pageSize)
{
    sqlite3 *db = nullptr;
    bool ok =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | flags, nullptr) == SQLITE_OK
        && sqlite3_key(db, rawKey.constData(), int(rawKey.size())) == SQLITE_OK;
    if (ok && pageSize)
        ok = sqlite3_exec(db, QByteArray("PRAGMA cipher_page_size = ") + QByteArray::number(pageSize), nullptr, nullptr,
                          nullptr)
            == SQLITE_OK;
    if (!ok) {
        sqlite3_close_v2(db);
        return nullptr;
    }
    return db;
}

bool reopenWithRawKey(const QString &path, const QByteArray &rawKey)
{
    const QByteArray name = QFile::encodeName(path);
    char salt[kSaltBytes];
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool read = ::read(fd, salt, sizeof salt) == kSaltBytes;
    ::close(fd);
    sqlite3 *db = read ? openWithRawKey(path, rawKey) : nullptr;
    if (!db)
        return false;
    sqlite3_stmt *schema = nullptr;
    const bool ok = sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master", -1, &schema, nullptr) == SQLITE_OK
        && sqlite3_step(schema) == SQLITE_ROW;
    sqlite3_finalize(schema);
    sqlite3_close_v2(db);
    return ok;
}

OpenDiary::OpenDiary(const QString &path, const QString &table)
{
    m_db = openWithRawKey(path, rawKeyOf(path));
    if (!m_db)
        return;
    m_keywords = prepare(m_db, QStringLiteral("SELECT \"Index\", keyword FROM %1 ORDER BY \"Index\"").arg(table));
    m_entry = prepare(m_db, QStringLiteral("SELECT keyword, meaning FROM %1 WHERE \"Index\" = ?1").arg(table));
    m_add = prepare(m_db, QStringLiteral("INSERT INTO %1 (keyword, meaning) VALUES (?1, ?2)").arg(table));
    const QString listed = QStringLiteral(" AND CAST(coalesce(keyword, '') AS TEXT) = ?4");
    m_update = prepare(
        m_db, QStringLiteral("UPDATE %1 SET keyword = ?1, meaning = ?2 WHERE \"Index\" = ?3%2").arg(table, listed));
    m_remove = prepare(m_db, QStringLiteral("DELETE FROM %1 WHERE \"Index\" = ?3%2").arg(table, listed));
}

OpenDiary::~OpenDiary()
{
    for (sqlite3_stmt *statement : {m_keywords, m_entry, m_add, m_update, m_remove})
        sqlite3_finalize(statement);
    sqlite3_close_v2(m_db);
}

KeywordList OpenDiary::readKeywords()
{
    KeywordList list;
    while (sqlite3_step(m_keywords) == SQLITE_ROW) {
        list.indexes.push_back(sqlite3_column_int64(m_keywords, 0));
        list.keywords << text(m_keywords, 1);
    }
    sqlite3_reset(m_keywords);
    return list;
}

bool OpenDiary::readEntry(qint64 index, QString &keyword, QString &meaning)
{
    sqlite3_bind_int64(m_entry, 1, index);
    const bool found = sqlite3_step(m_entry) == SQLITE_ROW;
    if (found) {
        keyword = text(m_entry, 0);
        meaning = text(m_entry, 1);
    }
    sqlite3_reset(m_entry);
    return found;
}

bool OpenDiary::write(sqlite3_stmt *statement)
{
    bool ok = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    ok = ok && sqlite3_step(statement) == SQLITE_DONE && sqlite3_changes(m_db) > 0;
    sqlite3_reset(statement);
    ok = ok && sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok && !sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    return ok;
}

qint64 OpenDiary::add(const QString &keyword, const QString &meaning)
{
    bindText(m_add, 1, keyword);
    bindText(m_add, 2, meaning);
    return write(m_add) ? sqlite3_last_insert_rowid(m_db) : -1;
}

bool OpenDiary::update(qint64 index, const QString &listed, const QString &keyword, const QString &meaning)
{
    bindText(m_update, 1, keyword);
    bindText(m_update, 2, meaning);
    sqlite3_bind_int64(m_update, 3, index);
    bindText(m_update, 4, listed);
    return write(m_update);
}

bool OpenDiary::remove(qint64 index, const QString &listed)
{
    sqlite3_bind_int64(m_remove, 3, index);
    bindText(m_remove, 4, listed);
    return write(m_remove);
}

QString OpenDiary::pragma(const char *name)
{
    sqlite3_stmt *statement = prepare(m_db, QStringLiteral("PRAGMA %1").arg(QLatin1String(name)));
    const QString value = sqlite3_step(statement) == SQLITE_ROW ? text(statement, 0) : QString();
    sqlite3_finalize(statement);
    return value;
}

} // namespace bench
