#include "core/store/opening.h"

#include "core/services.h"
#include "core/store/schemacheck.h"

#include <sqlcipher/sqlite3.h>

#include <QFileInfo>

#include <algorithm>
#include <optional>
#include <vector>

namespace store {

namespace {
// Another program (e.g. the sqlcipher tool) may hold the file briefly.
constexpr int kBusyTimeoutMs = 2000;

// A plain, unencrypted database: damaged for the store whatever password is given.
bool plainDatabase(const QByteArray &salt)
{
    return salt == QByteArray("SQLite format 3", 16);
}
} // namespace

Result<Connection> openWithKey(const QString &path, const RawKey &key, bool *keyRefused, Opening how)
{
    if (keyRefused)
        *keyRefused = false;
    // Each connection lives within one call on one thread: SQLite's own locking is not needed.
    auto opened =
        Connection::open(path, (how.readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX);
    if (!opened.ok())
        return opened;
    const Connection &connection = *opened;
    sqlite3_busy_timeout(connection.get(), kBusyTimeoutMs);
    if (const int rc = sqlite3_key(connection.get(), key.data(), key.size()); rc != SQLITE_OK)
        return connection.failure(rc);

    // The first read decrypts page 1: a wrong key or a damaged file fails here. It reads the
    // whole schema, so that nothing else is read from a file that is not a diary.
    auto schema = Statement::prepare(connection, kSchemaQuery);
    std::vector<SchemaRow> rows;
    int rc = SQLITE_ROW;
    if (schema.ok())
        while ((rc = schema->step()) == SQLITE_ROW)
            rows.push_back({schema->text(0), schema->text(1), schema->text(2), schema->integer(3), schema->text(4)});
    const Failure failure = schema.ok() ? connection.failure(rc) : schema.failure();
    if (!schema.ok() || rc != SQLITE_DONE) {
        if (keyRefused)
            *keyRefused = failure.kind == FailureKind::Damaged;
        return failure;
    }
    const Schema schemaKind = judgeSchema(rows);
    if (schemaKind == Schema::TablesMissing)
        return fileFailure(FailureKind::Damaged, path);
    if (schemaKind == Schema::Foreign)
        return fileFailure(FailureKind::Foreign, path);
    return opened;
}

Result<Connection> openDiary(const QString &path, bool *asked, Opening how)
{
    if (asked)
        *asked = false;
    const auto read = readSalt(path);
    if (!read.ok())
        return read.failure();
    const QByteArray &salt = *read;

    // The file's own key first, then those of other files with its salt (a backup or copy of the
    // diary), then the built-in one: trying a key costs a fraction of a millisecond, asking the
    // user for a password they gave already costs their patience.
    const RawKey builtIn = builtInKey(salt);
    std::vector<RawKey> keysTried;
    // The opening under this key; nothing when the key is refused or was tried already.
    const auto tryKey = [&](const RawKey &key) -> std::optional<Result<Connection>> {
        if (std::find(keysTried.begin(), keysTried.end(), key) != keysTried.end())
            return std::nullopt;
        keysTried.push_back(key);
        bool refused = false;
        auto opened = openWithKey(path, key, &refused, how);
        if (refused)
            return std::nullopt;
        if (opened.ok())
            rememberKey(path, salt, key);
        return opened;
    };
    // The file's own key answers nearly every open: the other keys are gathered only without it.
    if (const auto known = knownKey(path, salt))
        if (auto opened = tryKey(*known))
            return std::move(*opened);
    for (const RawKey &key : keysKnownFor(salt))
        if (auto opened = tryKey(key))
            return std::move(*opened);
    if (auto opened = tryKey(builtIn))
        return std::move(*opened);

    // Before the prompt is looked at: a reader off the window's thread never asks, and the seams
    // belong to the window's thread.
    if (!how.mayAsk)
        return fileFailure(FailureKind::Damaged, path);
    platform::PasswordPrompt *prompt = platform::passwordPrompt();
    // A later page under the built-in key: the diary has no password of its own, and its first
    // page is damaged.
    if (!prompt || plainDatabase(salt) || keyFitsPage(path, builtIn, 2))
        return fileFailure(FailureKind::Damaged, path);
    if (asked)
        *asked = true;
    bool tried = false;
    std::optional<Result<Connection>> outcome;
    prompt->ask(path, [&](const QString &password) {
        tried = true;
        const auto key = userKey(password, salt);
        if (!key)
            return false;
        bool refused = false;
        auto opened = openWithKey(path, *key, &refused, how);
        if (refused && !keyFitsPage(path, *key, 2))
            return false;
        if (opened.ok())
            rememberKey(path, salt, *key);
        outcome.emplace(std::move(opened));
        return true;
    });
    if (outcome)
        return std::move(*outcome);
    return fileFailure(tried ? FailureKind::Damaged : FailureKind::Locked, path);
}

} // namespace store
