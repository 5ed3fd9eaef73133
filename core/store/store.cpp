#include "core/store/store.h"
#include "core/secrets.h"
#include "core/store/diarykey.h"

#include "core/store/backups.h"
#include "core/store/historyrecord.h"
#include "core/store/opening.h"
#include "core/store/statements.h"
#include "core/store/writes.h"

#include <sqlcipher/sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <functional>
#include <limits>
#include <utility>
#include <vector>

namespace store {

namespace {

template <class T>
Result<T> toldOf(Result<T> result, const QString &path)
{
    if (result.ok())
        return result;
    return toldOf(result.failure(), path);
}

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

// A section that has given the largest "Index" there is fails every add as if the disk were full.
Failure addFailure(const Connection &connection, Table table, const Failure &failure)
{
    if (failure.kind == FailureKind::DiskFull
        && counterUsedUp(connection, tableName(table), QStringLiteral("\"Index\"")))
        return Failure{FailureKind::SectionFull, sections::section(table).name};
    return failure;
}

// Edits the entry to `after`, or removes it without one, and records the change in the history.
Result<bool> changeEntry(const QString &path, Table table, qint64 index, const std::optional<QString> &listedKeyword,
                         const std::optional<Entry> &after)
{
    std::optional<history::RunChange> recorded;
    const auto failed = runWrite(path, [&](const Connection &connection) -> std::optional<Failure> {
        const auto before = entryAt(connection, table, index);
        if (!before.ok())
            return before.failure();
        // Compared as the list read it: a keyword stored as bytes that are not UTF-8 reads the
        // same way each time, but never equals those bytes.
        if (!*before || (listedKeyword && (*before)->keyword != *listedKeyword))
            return std::nullopt;
        const auto changed = after
            ? change(
                connection,
                QStringLiteral("UPDATE %1 SET keyword = ?1, meaning = ?2 WHERE \"Index\" = ?3").arg(tableName(table)),
                {{1, after->keyword}, {2, after->meaning}, {3, index}})
            : change(connection, QStringLiteral("DELETE FROM %1 WHERE \"Index\" = ?3").arg(tableName(table)),
                     {{3, index}});
        if (!changed.ok())
            return changed.failure();
        auto record = history::recordOne(connection, after ? history::Kind::Changed : history::Kind::Removed, table,
                                         index, *before, after);
        if (!record.ok())
            return record.failure();
        recorded = *record;
        return std::nullopt;
    });
    if (failed)
        return toldOf(*failed, path);
    if (recorded)
        history::remember(path, *recorded);
    return recorded.has_value();
}

Result<Keywords> queryKeywords(const QString &path, Table table)
{
    auto opened = openDiary(path);
    if (!opened.ok())
        return opened.failure();
    // Answered from the covering index, which holds far less than the table with its meanings.
    auto statement = Statement::prepare(
        *opened, QStringLiteral("SELECT \"Index\", keyword FROM %1 ORDER BY \"Index\"").arg(tableName(table)));
    if (!statement.ok())
        return statement.failure();
    Keywords result;
    int rc = SQLITE_ROW;
    while ((rc = statement->step()) == SQLITE_ROW) {
        result.indexes.push_back(statement->integer(0));
        result.keywords << statement->text(1);
    }
    if (rc != SQLITE_DONE)
        return opened->failure(rc);
    return result;
}

// False when `visit` stopped the reading.
Result<bool> queryEntries(const QString &path, Table table, const EntryReader &visit, Opening how)
{
    auto opened = openDiary(path, nullptr, how);
    if (!opened.ok())
        return opened.failure();
    auto statement = Statement::prepare(
        *opened, QStringLiteral("SELECT \"Index\", keyword, meaning FROM %1 ORDER BY \"Index\"").arg(tableName(table)));
    if (!statement.ok())
        return statement.failure();
    int rc = SQLITE_ROW;
    while ((rc = statement->step()) == SQLITE_ROW)
        if (!visit(statement->integer(0), Entry{statement->text(1), statement->text(2)}))
            return false;
    if (rc != SQLITE_DONE)
        return opened->failure(rc);
    return true;
}

std::optional<Failure> queryEntries(const QString &path, Table table, const EntryVisitor &visit,
                                    ReadFrom from = ReadFrom::Diary)
{
    const auto read = queryEntries(
        path, table,
        [&visit](qint64 index, const Entry &entry) {
            visit(index, entry);
            return true;
        },
        Opening{.readOnly = from == ReadFrom::OtherFile});
    if (!read.ok())
        return read.failure();
    return std::nullopt;
}

Result<std::optional<Entry>> queryEntry(const QString &path, Table table, qint64 index)
{
    auto opened = openDiary(path);
    if (!opened.ok())
        return opened.failure();
    return entryAt(*opened, table, index);
}

std::optional<Failure> makeDiary(const QString &path)
{
    auto opened = Connection::open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (!opened.ok())
        return opened.failure();
    const Connection &connection = *opened;
    const QByteArray password = kBuiltInPassword.toUtf8();
    if (const int rc = sqlite3_key(connection.get(), password.constData(), int(password.size())); rc != SQLITE_OK)
        return connection.failure(rc);
    Transaction creation(connection);
    if (const int rc = creation.begin(); rc != SQLITE_OK)
        return connection.failure(rc);
    for (const QString &statement : schemaStatements())
        if (const int rc = connection.exec(statement); rc != SQLITE_OK)
            return connection.failure(rc);
    if (const int rc = creation.commit(); rc != SQLITE_OK)
        return connection.failure(rc);
    return std::nullopt;
}

} // namespace

std::optional<Failure> runWrite(const QString &path,
                                const std::function<std::optional<Failure>(const Connection &)> &work)
{
    auto opened = openDiary(path);
    if (!opened.ok())
        return opened.failure();
    const Connection &connection = *opened;

    Transaction transaction(connection);
    if (const int rc = transaction.begin(); rc != SQLITE_OK)
        return connection.failure(rc);
    if (auto failed = checkBeforeWrite(connection))
        return failed;
    for (Table table : kTables)
        if (const int rc = connection.exec(createIndexSql(table, true)); rc != SQLITE_OK)
            return connection.failure(rc);
    if (auto failed = work(connection))
        return failed;
    if (const int rc = transaction.commit(); rc != SQLITE_OK)
        return connection.failure(rc);
    rememberWrite(path);
    return std::nullopt;
}

Result<int> change(const Connection &connection, const QString &sql, const std::vector<Parameter> &parameters)
{
    auto statement = Statement::prepare(connection, sql, parameters);
    if (!statement.ok())
        return statement.failure();
    if (const int rc = statement->step(); rc != SQLITE_DONE)
        return connection.failure(rc);
    return sqlite3_changes(connection.get());
}

Result<std::optional<Entry>> entryAt(const Connection &connection, Table table, qint64 index)
{
    auto statement = Statement::prepare(
        connection, QStringLiteral("SELECT keyword, meaning FROM %1 WHERE \"Index\" = ?1").arg(tableName(table)),
        {{1, index}});
    if (!statement.ok())
        return statement.failure();
    const int rc = statement->step();
    if (rc == SQLITE_DONE)
        return std::optional<Entry>();
    if (rc != SQLITE_ROW)
        return connection.failure(rc);
    return std::optional<Entry>(Entry{statement->text(0), statement->text(1)});
}

Result<Keywords> readKeywords(const QString &path, Table table)
{
    return toldOf(queryKeywords(path, table), path);
}

std::optional<Failure> readEntries(const QString &path, Table table, const EntryVisitor &visit, ReadFrom from)
{
    if (auto failed = queryEntries(path, table, visit, from))
        return toldOf(*failed, path);
    return std::nullopt;
}

Result<std::optional<Entry>> readEntry(const QString &path, Table table, qint64 index)
{
    return toldOf(queryEntry(path, table, index), path);
}

Result<bool> readEntriesUnasked(const QString &path, Table table, const EntryReader &visit)
{
    // Statements of a few hundred rows each, every one a read of its own, with each row handed
    // over only once its statement has ended: the diary's shared lock is held that long only, and
    // a save made meanwhile on the window's thread waits for no more than one of them.
    constexpr qint64 kRowsAtOnce = 512;
    auto opened = openDiary(path, nullptr, Opening{.mayAsk = false});
    if (!opened.ok())
        return toldOf(opened.failure(), path);
    auto statement = Statement::prepare(
        *opened,
        QStringLiteral("SELECT \"Index\", keyword, meaning FROM %1 WHERE \"Index\" >= ?1 ORDER BY \"Index\" "
                       "LIMIT ?2")
            .arg(tableName(table)));
    if (!statement.ok())
        return toldOf(statement.failure(), path);
    std::vector<std::pair<qint64, Entry>> rows;
    // Each statement's rows hold the diary's text; it is zeroed once handed over, however this ends.
    const auto wipeRows = [&rows] {
        for (auto &[index, entry] : rows) {
            secrets::wipe(entry.keyword);
            secrets::wipe(entry.meaning);
        }
        rows.clear();
    };
    const auto wipedAtEnd = qScopeGuard(wipeRows);
    for (qint64 from = std::numeric_limits<qint64>::min();;) {
        wipeRows();
        int rc = statement->rerun({{1, from}, {2, kRowsAtOnce}});
        for (; rc == SQLITE_ROW; rc = statement->step())
            rows.emplace_back(statement->integer(0), Entry{statement->text(1), statement->text(2)});
        if (rc != SQLITE_DONE)
            return toldOf(opened->failure(rc), path);
        for (const auto &[index, entry] : rows)
            if (!visit(index, entry))
                return false;
        if (qint64(rows.size()) < kRowsAtOnce || rows.back().first == std::numeric_limits<qint64>::max())
            return true;
        from = rows.back().first + 1;
    }
}

std::optional<Failure> readEntriesAt(const QString &path, Table table, const std::vector<qint64> &indexes,
                                     const EntryVisitor &visit)
{
    auto opened = openDiary(path, nullptr, Opening{.mayAsk = false});
    if (!opened.ok())
        return toldOf(opened.failure(), path);
    auto statement = Statement::prepare(
        *opened, QStringLiteral("SELECT keyword, meaning FROM %1 WHERE \"Index\" = ?1").arg(tableName(table)));
    if (!statement.ok())
        return toldOf(statement.failure(), path);
    for (const qint64 index : indexes) {
        const int rc = statement->rerun({{1, index}});
        if (rc == SQLITE_DONE)
            continue;
        if (rc != SQLITE_ROW)
            return toldOf(opened->failure(rc), path);
        Entry entry{statement->text(0), statement->text(1)};
        visit(index, entry);
        secrets::wipe(entry.keyword);
        secrets::wipe(entry.meaning);
    }
    return std::nullopt;
}

Result<qint64> addEntry(const QString &path, Table table, const Entry &entry)
{
    qint64 index = 0;
    std::optional<history::RunChange> recorded;
    const auto failed = runWrite(path, [&](const Connection &connection) -> std::optional<Failure> {
        const auto added = change(
            connection, QStringLiteral("INSERT INTO %1 (keyword, meaning) VALUES (?1, ?2)").arg(tableName(table)),
            {{1, entry.keyword}, {2, entry.meaning}});
        if (!added.ok())
            return addFailure(connection, table, added.failure());
        index = sqlite3_last_insert_rowid(connection.get());
        auto record = history::recordOne(connection, history::Kind::Added, table, index, std::nullopt, entry);
        if (!record.ok())
            return record.failure();
        recorded = *record;
        return std::nullopt;
    });
    if (failed)
        return toldOf(*failed, path);
    history::remember(path, *recorded);
    return index;
}

Result<std::vector<Entry>> readSection(const QString &path, Table table, ReadFrom from)
{
    std::vector<Entry> entries;
    if (auto failed = queryEntries(
            path, table, [&](qint64, const Entry &entry) { entries.push_back(entry); }, from))
        return toldOf(*failed, path);
    return entries;
}

Result<bool> addEntries(const QString &path, const std::vector<Chapter> &chapters,
                        const std::function<bool(qint64 written)> &carryOn)
{
    bool stopped = false;
    // A stop rolls the transaction back; it is no failure of the diary.
    const Failure stop{FailureKind::Other, QString()};
    history::ChangeFacts facts;
    facts.kind = history::Kind::Imported;
    for (const Chapter &chapter : chapters) {
        if (facts.entries == 0 && !chapter.entries.empty()) {
            facts.table = chapter.table;
            facts.keyword = chapter.entries.front().keyword;
        }
        facts.entries += qint64(chapter.entries.size());
    }
    std::optional<history::RunChange> recorded;
    const auto failed = runWrite(path, [&](const Connection &connection) -> std::optional<Failure> {
        if (facts.entries == 0)
            return std::nullopt;
        auto recorder = history::Recorder::start(connection, facts);
        if (!recorder.ok())
            return recorder.failure();
        qint64 written = 0;
        for (const Chapter &chapter : chapters) {
            auto insert = Statement::prepare(
                connection,
                QStringLiteral("INSERT INTO %1 (keyword, meaning) VALUES (?1, ?2)").arg(tableName(chapter.table)));
            if (!insert.ok())
                return insert.failure();
            for (const Entry &entry : chapter.entries) {
                if (const int rc = insert->rerun({{1, entry.keyword}, {2, entry.meaning}}); rc != SQLITE_DONE)
                    return addFailure(connection, chapter.table, connection.failure(rc));
                const qint64 index = sqlite3_last_insert_rowid(connection.get());
                if (auto failed = recorder->add(chapter.table, index, std::nullopt, entry))
                    return failed;
                if (carryOn && ++written % 1024 == 0 && !carryOn(written)) {
                    stopped = true;
                    return stop;
                }
            }
        }
        recorded = recorder->runChange();
        return std::nullopt;
    });
    if (stopped)
        return false;
    if (failed)
        return failedAt(Task::Import, toldOf(Result<bool>(*failed), path));
    if (recorded)
        history::remember(path, *recorded);
    return true;
}

Result<bool> updateEntry(const QString &path, Table table, qint64 index, const Entry &entry,
                         const std::optional<QString> &listedKeyword)
{
    return changeEntry(path, table, index, listedKeyword, entry);
}

Result<bool> removeEntry(const QString &path, Table table, qint64 index, const std::optional<QString> &listedKeyword)
{
    return changeEntry(path, table, index, listedKeyword, std::nullopt);
}

QStringList schemaStatements()
{
    QStringList statements;
    for (Table table : kTables)
        statements << createTableSql(table) << createIndexSql(table, false);
    // A diary made before the history gets these tables with its first change (core/store/history.h).
    return statements << history::schemaStatements(false);
}

std::optional<Failure> createDiary(const QString &path)
{
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        return Failure{FailureKind::Other, QStringLiteral("%1 already exists.").arg(QDir::toNativeSeparators(path))};
    if (const auto failed = makeDiary(path)) {
        // Only what this call made is removed.
        if (failed->kind != FailureKind::Missing)
            QFile::remove(path);
        return toldOf(*failed, path);
    }
    return std::nullopt;
}

} // namespace store
