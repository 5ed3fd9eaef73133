#include "core/store/rekeying.h"

#include "core/store/newfile.h"
#include "core/store/opening.h"

#include <sodium.h>
#include <sqlcipher/sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace store {

namespace {

const QString kTable = QStringLiteral("unfinished_password_change");

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

// The table in the fresh file holds exactly these keys, each bound from its locked memory.
int keepKeys(const Connection &connection, const std::vector<RawKey> &keys)
{
    int rc = connection.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS fresh.%1 (old_key BLOB NOT NULL)").arg(kTable));
    if (rc == SQLITE_OK)
        rc = connection.exec(QStringLiteral("DELETE FROM fresh.%1").arg(kTable));
    sqlite3_stmt *statement = nullptr;
    const QByteArray insert = QStringLiteral("INSERT INTO fresh.%1 (old_key) VALUES (?1)").arg(kTable).toUtf8();
    if (rc == SQLITE_OK)
        rc = sqlite3_prepare_v2(connection.get(), insert.constData(), -1, &statement, nullptr);
    for (auto key = keys.begin(); rc == SQLITE_OK && key != keys.end(); ++key) {
        rc = sqlite3_bind_blob(statement, 1, key->data(), key->size(), SQLITE_STATIC);
        if (rc == SQLITE_OK)
            rc = sqlite3_step(statement) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(connection.get());
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    return rc;
}

// A key as keepKeys stored it: "x'<64 hex key><32 hex salt>'".
std::optional<RawKey> keyOfText(const char *text, int size)
{
    constexpr int kKeyHex = 64;
    constexpr int kSaltHex = 2 * kSaltBytes;
    if (size != RawKey::size() || text[0] != 'x' || text[1] != '\'' || text[size - 1] != '\'')
        return std::nullopt;
    unsigned char key[kKeyHex / 2];
    QByteArray salt(kSaltBytes, Qt::Uninitialized);
    std::size_t keyBytes = 0;
    std::size_t saltBytes = 0;
    const bool read = sodium_hex2bin(key, sizeof key, text + 2, kKeyHex, nullptr, &keyBytes, nullptr) == 0
        && sodium_hex2bin(reinterpret_cast<unsigned char *>(salt.data()), std::size_t(salt.size()), text + 2 + kKeyHex,
                          kSaltHex, nullptr, &saltBytes, nullptr)
            == 0
        && keyBytes == sizeof key && saltBytes == std::size_t(kSaltBytes);
    std::optional<RawKey> raw;
    if (read)
        raw.emplace(key, salt);
    sodium_memzero(key, sizeof key);
    return raw;
}

} // namespace

QString unfinishedChangeStatement()
{
    return QStringLiteral("CREATE TABLE %1 (old_key BLOB NOT NULL)").arg(kTable);
}

std::optional<Failure> writeAnewInto(const Connection &connection, files::NewFile &fresh, const RawKey &key,
                                     const QByteArray &salt, const Rewrite &rewrite)
{
    const QString fill = fresh.pathToFill();
    // The engine creates no file through ATTACH here, and takes an empty one as a new database.
    QFile empty(fill);
    if (fill.isEmpty() || !empty.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner))
        return Failure{FailureKind::Other,
                       QStringLiteral("No new file could be made in %1: %2")
                           .arg(QDir::toNativeSeparators(QFileInfo(fill).absolutePath()), empty.errorString())};
    empty.close();
    if (const int rc = attachFresh(connection, fill, key); rc != SQLITE_OK)
        return connection.failure(rc);
    if (rewrite.hold) {
        auto prepared = Statement::prepare(connection, QStringLiteral("SELECT 1 FROM main.sqlite_master"));
        if (!prepared.ok())
            return prepared.failure();
        rewrite.hold->emplace(std::move(prepared.value()));
        if (const int rc = (*rewrite.hold)->step(); rc != SQLITE_ROW)
            return connection.failure(rc);
    }
    Transaction copy(connection);
    if (const int rc = copy.begin(); rc != SQLITE_OK)
        return connection.failure(rc);
    if (rewrite.beforeCopy)
        if (auto failed = rewrite.beforeCopy())
            return failed;
    // Tables, indexes, rows with their "Index" and the AUTOINCREMENT counters, so that the
    // Index of a removed entry is never given again.
    if (const int rc = connection.exec(QStringLiteral("SELECT sqlcipher_export('fresh')")); rc != SQLITE_OK)
        return connection.failure(rc);
    if (rewrite.keys)
        if (const int rc = keepKeys(connection, *rewrite.keys); rc != SQLITE_OK)
            return connection.failure(rc);
    if (const int rc = copy.commit(); rc != SQLITE_OK)
        return connection.failure(rc);
    // An engine that kept a salt of its own would leave a file that the password no longer opens.
    if (saltOf(fill) != salt)
        return Failure{FailureKind::Other, QStringLiteral("The new file did not take its new salt.")};
    return std::nullopt;
}

Result<std::optional<std::vector<RawKey>>> keptKeys(const Connection &connection)
{
    auto table = Statement::prepare(
        connection, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?1"),
        {{1, kTable}});
    if (!table.ok())
        return table.failure();
    if (const int rc = table->step(); rc != SQLITE_ROW)
        return connection.failure(rc);
    if (table->integer(0) == 0)
        return std::optional<std::vector<RawKey>>();
    std::vector<RawKey> keys;
    sqlite3_stmt *statement = nullptr;
    // The key's bytes are read where the engine holds them, into locked memory only.
    const QByteArray select = QStringLiteral("SELECT old_key FROM %1").arg(kTable).toUtf8();
    int rc = sqlite3_prepare_v2(connection.get(), select.constData(), -1, &statement, nullptr);
    while (rc == SQLITE_OK && (rc = sqlite3_step(statement)) == SQLITE_ROW) {
        const auto *text = static_cast<const char *>(sqlite3_column_blob(statement, 0));
        if (auto key = text ? keyOfText(text, sqlite3_column_bytes(statement, 0)) : std::nullopt)
            keys.push_back(*key);
        rc = SQLITE_OK;
    }
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE)
        return connection.failure(rc);
    return std::optional(std::move(keys));
}

std::optional<Failure> dropKeptKeys(const QString &path, const RawKey &key)
{
    const auto opened = openWithKey(path, key);
    if (!opened.ok())
        return opened.failure();
    // The keys' pages are overwritten, not only given back to the file.
    if (const int rc = opened->exec(QStringLiteral("PRAGMA secure_delete = ON")); rc != SQLITE_OK)
        return opened->failure(rc);
    Transaction drop(*opened);
    if (const int rc = drop.begin(); rc != SQLITE_OK)
        return opened->failure(rc);
    if (const int rc = opened->exec(QStringLiteral("DROP TABLE IF EXISTS %1").arg(kTable)); rc != SQLITE_OK)
        return opened->failure(rc);
    if (const int rc = drop.commit(); rc != SQLITE_OK)
        return opened->failure(rc);
    return std::nullopt;
}

} // namespace store
