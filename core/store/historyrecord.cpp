#include "core/store/historyrecord.h"

#include "core/services.h"

#include <sqlcipher/sqlite3.h>

#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace store::history {

namespace {
struct KindNumber {
    Kind kind;
    qint64 number;
};
// Stored as numbers of their own, so that reordering the enum never changes what a diary says.
constexpr KindNumber kKindNumbers[] = {
    {Kind::Added, 1},  {Kind::Changed, 2},  {Kind::Removed, 3},     {Kind::Imported, 4},
    {Kind::Undone, 5}, {Kind::Restored, 6}, {Kind::BroughtBack, 7},
};

QString ifMissing(bool skip)
{
    return skip ? QStringLiteral("IF NOT EXISTS ") : QString();
}

// This run's changes, by the diary's absolute path.
QHash<QString, std::vector<RunChange>> g_runChanges;
} // namespace

QStringList schemaStatements(bool skipExisting)
{
    const QString skip = ifMissing(skipExisting);
    // AUTOINCREMENT: an id is never given twice, not even after the history was cleared, so that
    // this run's list of its changes never points at another change.
    return {QStringLiteral("CREATE TABLE %1%2 (id INTEGER PRIMARY KEY AUTOINCREMENT, at_ms INTEGER NOT NULL, "
                           "at_offset INTEGER NOT NULL, kind INTEGER NOT NULL, entries INTEGER NOT NULL, "
                           "section INTEGER NOT NULL, keyword TEXT NOT NULL, undid INTEGER NOT NULL, "
                           "undid_kind INTEGER NOT NULL, first_kind INTEGER NOT NULL, depth INTEGER NOT NULL)")
                .arg(skip, kChangesTable),
            QStringLiteral("CREATE TABLE %1%2 (change_id INTEGER NOT NULL, section INTEGER NOT NULL, "
                           "\"Index\" INTEGER NOT NULL, keyword_before TEXT, meaning_before TEXT, keyword_after TEXT, "
                           "meaning_after TEXT)")
                .arg(skip, kEntriesTable),
            QStringLiteral("CREATE INDEX %1%2_by_change ON %2 (change_id)").arg(skip, kEntriesTable)};
}

qint64 kindNumber(Kind kind)
{
    for (const KindNumber &known : kKindNumbers)
        if (known.kind == kind)
            return known.number;
    return 0;
}

std::optional<Kind> kindOfNumber(qint64 number)
{
    for (const KindNumber &known : kKindNumbers)
        if (known.number == number)
            return known.kind;
    return std::nullopt;
}

qint64 sectionNumber(Table table)
{
    return qint64(std::find(kTables.begin(), kTables.end(), table) - kTables.begin());
}

std::optional<Table> sectionOfNumber(qint64 number)
{
    if (number < 0 || number >= qint64(kTables.size()))
        return std::nullopt;
    return kTables[std::size_t(number)];
}

Result<bool> hasHistory(const Connection &connection)
{
    auto found = Statement::prepare(
        connection, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN (?1, ?2)"),
        {{1, kChangesTable}, {2, kEntriesTable}});
    if (!found.ok())
        return found.failure();
    if (const int rc = found->step(); rc != SQLITE_ROW)
        return connection.failure(rc);
    return found->integer(0) == 2;
}

QString quoted(const QString &keyword)
{
    return QStringLiteral("\u201c%1\u201d").arg(keyword);
}

Result<std::optional<std::vector<EntryChange>>> entriesOf(const Connection &connection, qint64 change)
{
    using Rows = std::optional<std::vector<EntryChange>>;
    auto rows = Statement::prepare(
        connection,
        QStringLiteral("SELECT section, \"Index\", keyword_before IS NOT NULL, keyword_before, meaning_before, "
                       "keyword_after IS NOT NULL, keyword_after, meaning_after FROM %1 WHERE change_id = ?1 "
                       "ORDER BY rowid")
            .arg(kEntriesTable),
        {{1, change}});
    if (!rows.ok())
        return rows.failure();
    std::vector<EntryChange> entries;
    int rc = SQLITE_ROW;
    while ((rc = rows->step()) == SQLITE_ROW) {
        const auto table = sectionOfNumber(rows->integer(0));
        if (!table)
            return Rows();
        EntryChange entry{*table, rows->integer(1), std::nullopt, std::nullopt};
        if (rows->integer(2) != 0)
            entry.before = Entry{rows->text(3), rows->text(4)};
        if (rows->integer(5) != 0)
            entry.after = Entry{rows->text(6), rows->text(7)};
        entries.push_back(std::move(entry));
    }
    if (rc != SQLITE_DONE)
        return connection.failure(rc);
    return Rows(std::move(entries));
}

QDateTime backupTimeOf(const QString &keyword)
{
    return QDateTime::fromString(keyword, Qt::ISODate);
}

Result<Recorder> Recorder::start(const Connection &connection, const ChangeFacts &facts)
{
    // An older diary gets the history's tables with its first change, in the change's transaction.
    for (const QString &statement : schemaStatements(true))
        if (const int rc = connection.exec(statement); rc != SQLITE_OK)
            return connection.failure(rc);
    const QDateTime now = platform::clock().now();
    const qint64 atMs = now.toMSecsSinceEpoch();
    auto change = Statement::prepare(
        connection,
        QStringLiteral("INSERT INTO %1 (at_ms, at_offset, kind, entries, section, keyword, undid, undid_kind, "
                       "first_kind, depth) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)")
            .arg(kChangesTable),
        {{1, atMs},
         {2, qint64(now.offsetFromUtc())},
         {3, kindNumber(facts.kind)},
         {4, facts.entries},
         {5, sectionNumber(facts.table)},
         {6, facts.keyword},
         {7, facts.undid},
         {8, kindNumber(facts.undidKind)},
         {9, kindNumber(facts.firstKind)},
         {10, facts.depth}});
    if (!change.ok())
        return change.failure();
    if (const int rc = change->step(); rc != SQLITE_DONE) {
        Failure failure = connection.failure(rc);
        if (failure.kind == FailureKind::DiskFull && counterUsedUp(connection, kChangesTable, QStringLiteral("id")))
            failure.kind = FailureKind::HistoryFull;
        return failure;
    }
    const qint64 id = sqlite3_last_insert_rowid(connection.get());
    // A side the entry did not have is NULL; a side it had is text, empty for NULL.
    auto insert = Statement::prepare(
        connection,
        QStringLiteral("INSERT INTO %1 (change_id, section, \"Index\", keyword_before, meaning_before, keyword_after, "
                       "meaning_after) VALUES (?1, ?2, ?3, CASE WHEN ?4 THEN ?5 END, CASE WHEN ?4 THEN ?6 END, "
                       "CASE WHEN ?7 THEN ?8 END, CASE WHEN ?7 THEN ?9 END)")
            .arg(kEntriesTable));
    if (!insert.ok())
        return insert.failure();
    return Recorder(connection, std::move(insert.value()), id, atMs);
}

std::optional<Failure> Recorder::add(Table table, qint64 index, const std::optional<Entry> &before,
                                     const std::optional<Entry> &after)
{
    const Entry none;
    const Entry &was = before ? *before : none;
    const Entry &is = after ? *after : none;
    const int rc = m_insert.rerun({{1, m_id},
                                   {2, sectionNumber(table)},
                                   {3, index},
                                   {4, qint64(before.has_value())},
                                   {5, was.keyword},
                                   {6, was.meaning},
                                   {7, qint64(after.has_value())},
                                   {8, is.keyword},
                                   {9, is.meaning}});
    if (rc != SQLITE_DONE)
        return m_connection->failure(rc);
    if (std::find(m_tables.begin(), m_tables.end(), table) == m_tables.end())
        m_tables.push_back(table);
    return std::nullopt;
}

RunChange Recorder::runChange(MadeBy by) const
{
    return {m_id, m_atMs, m_tables, by, false};
}

Result<RunChange> recordOne(const Connection &connection, Kind kind, Table table, qint64 index,
                            const std::optional<Entry> &before, const std::optional<Entry> &after)
{
    ChangeFacts facts;
    facts.kind = kind;
    facts.entries = 1;
    facts.table = table;
    facts.keyword = after ? after->keyword : before ? before->keyword : QString();
    auto recorder = Recorder::start(connection, facts);
    if (!recorder.ok())
        return recorder.failure();
    if (auto failed = recorder->add(table, index, before, after))
        return *failed;
    return recorder->runChange();
}

std::optional<Failure> recordRestore(const Connection &connection, const QDateTime &madeAt)
{
    ChangeFacts facts;
    facts.kind = Kind::Restored;
    // The local time the backup's name gives, as the Backups list shows it, whatever the offset is now.
    facts.keyword = madeAt.toLocalTime().toString(Qt::ISODate);
    const auto recorder = Recorder::start(connection, facts);
    return recorder.ok() ? std::nullopt : std::optional(recorder.failure());
}

std::vector<RunChange> &runChangesOf(const QString &path)
{
    return g_runChanges[QFileInfo(path).absoluteFilePath()];
}

void remember(const QString &path, const RunChange &change)
{
    runChangesOf(path).push_back(change);
}

} // namespace store::history
