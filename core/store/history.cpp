#include "core/store/history.h"

#include "core/store/backups.h"
#include "core/store/historyrecord.h"
#include "core/store/opening.h"
#include "core/store/writes.h"

#include <sqlcipher/sqlite3.h>

#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <array>
#include <limits>

namespace store::history {

namespace {
// More "Took back: " than anyone reads; a crafted chain is cut there.
constexpr qint64 kDeepestChain = 64;
// The widest offset from UTC any place has had, with room to spare.
constexpr qint64 kWidestOffsetSeconds = 18 * 3600;

const QString kDamaged = QStringLiteral("The history of this change is damaged, so it cannot be taken back.");
const QString kGone = QStringLiteral("This change is no longer in the diary's history.");

QString quoted(const QString &keyword)
{
    return QStringLiteral("\u201c%1\u201d").arg(keyword);
}

QString entryLine(Kind kind, qint64 entries, const std::optional<Table> &table, const QString &keyword)
{
    if (kind == Kind::Imported)
        return entries == 1 ? QStringLiteral("Imported 1 entry") : QStringLiteral("Imported %1 entries").arg(entries);
    QString line;
    QString where;
    switch (kind) {
    case Kind::Removed: line = QStringLiteral("Removed %1"), where = QStringLiteral(" from %1"); break;
    case Kind::Changed: line = QStringLiteral("Changed %1"), where = QStringLiteral(" in %1"); break;
    default: line = QStringLiteral("Added %1"), where = QStringLiteral(" to %1"); break;
    }
    line = line.arg(quoted(keyword));
    return table ? line + where.arg(sections::section(*table).name) : line;
}

// The entries a change touched; nothing when a row names no section the diary has.
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

bool same(const std::optional<Entry> &a, const std::optional<Entry> &b)
{
    if (!a || !b)
        return !a && !b;
    return a->keyword == b->keyword && a->meaning == b->meaning;
}

// Why the entry, as it is now, no longer fits the change that left it as `left`.
QString changedSince(const EntryChange &entry, const std::optional<Entry> &now)
{
    const QString where = sections::section(entry.table).name;
    const QString why = !now ? QStringLiteral("%1 in %2 was removed since")
        : !entry.after       ? QStringLiteral("%1 in %2 was put back since")
                             : QStringLiteral("%1 in %2 was changed again since");
    const QString keyword = entry.after ? entry.after->keyword : now ? now->keyword : entry.before->keyword;
    return why.arg(quoted(keyword), where) + QStringLiteral(", so this change can no longer be taken back.");
}

// The highest "Index" the section ever gave: an entry put back with an Index above it would be a
// crafted one, and would use up the Indexes that later entries get.
Result<qint64> highestIndexGiven(const Connection &connection, Table table)
{
    auto statement = Statement::prepare(connection, QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ?1"),
                                        {{1, tableName(table)}});
    if (!statement.ok())
        return statement.failure();
    const int rc = statement->step();
    if (rc == SQLITE_DONE)
        return qint64(0);
    if (rc != SQLITE_ROW)
        return connection.failure(rc);
    return statement->integer(0);
}

// A statement per section, prepared on its first run and run again for every entry: taking back an
// import of a whole section runs it tens of thousands of times.
class PerSection {
public:
    explicit PerSection(QString sql) : m_sql(std::move(sql)) { }
    // SQLITE_ROW, SQLITE_DONE or the engine's code; `ran` then holds the statement for its columns.
    Result<int> run(const Connection &connection, Table table, const std::vector<Parameter> &parameters,
                    Statement **ran = nullptr)
    {
        std::optional<Statement> &statement = m_statements[std::size_t(sectionNumber(table))];
        if (!statement) {
            auto prepared = Statement::prepare(connection, m_sql.arg(tableName(table)));
            if (!prepared.ok())
                return prepared.failure();
            statement.emplace(std::move(prepared.value()));
        }
        if (ran)
            *ran = &*statement;
        return statement->rerun(parameters);
    }

private:
    QString m_sql; // %1: the section's table
    std::array<std::optional<Statement>, kTables.size()> m_statements;
};

struct Taken {
    Undo undo;
    std::optional<RunChange> recorded;
};

// The change row that undo takes back, checked.
struct Undoing {
    ChangeFacts facts;
    qint64 atMs = 0;
};

std::optional<Undoing> undoingOf(const Statement &row, qint64 id)
{
    const auto kind = kindOfNumber(row.integer(0));
    const auto first = kindOfNumber(row.integer(4));
    if (!kind || (*kind == Kind::Undone && (!first || *first == Kind::Undone)))
        return std::nullopt;
    Undoing undoing;
    undoing.atMs = row.integer(6);
    ChangeFacts &facts = undoing.facts;
    facts.kind = Kind::Undone;
    facts.entries = row.integer(1);
    facts.table = sectionOfNumber(row.integer(2)).value_or(Table::Spell);
    facts.keyword = row.text(3);
    facts.undid = id;
    facts.undidKind = *kind;
    facts.firstKind = *kind == Kind::Undone ? *first : *kind;
    facts.depth = *kind == Kind::Undone ? std::clamp<qint64>(row.integer(5), 1, kDeepestChain) + 1 : 1;
    return undoing;
}

// Takes the change back in one write, or refuses and writes nothing. With `expectedAtMs`, only
// the change of that time: the same id in a diary put back from a backup is another change.
Result<Taken> takeBack(const QString &path, qint64 id, std::optional<qint64> expectedAtMs, bool byUndoLastIn)
{
    Taken taken;
    // Rolls the write back; the refusal is no failure of the diary.
    const Failure refused{FailureKind::Other, QString()};
    const auto failed = runWrite(path, [&](const Connection &connection) -> std::optional<Failure> {
        const auto refuse = [&](const QString &why) {
            taken.undo.refusal = why;
            return refused;
        };
        const auto has = hasHistory(connection);
        if (!has.ok())
            return has.failure();
        if (!*has)
            return refuse(kGone);
        auto row = Statement::prepare(
            connection,
            QStringLiteral("SELECT kind, entries, section, keyword, first_kind, depth, at_ms FROM %1 WHERE id = ?1")
                .arg(kChangesTable),
            {{1, id}});
        if (!row.ok())
            return row.failure();
        if (const int rc = row->step(); rc == SQLITE_DONE)
            return refuse(kGone);
        else if (rc != SQLITE_ROW)
            return connection.failure(rc);
        auto undoing = undoingOf(row.value(), id);
        if (!undoing)
            return refuse(kDamaged);
        if (expectedAtMs && *expectedAtMs != undoing->atMs)
            return refuse(kGone);
        const auto read = entriesOf(connection, id);
        if (!read.ok())
            return read.failure();
        if (!*read || (*read)->empty())
            return refuse(kDamaged);
        const std::vector<EntryChange> &entries = **read;

        // Every entry is checked before any is touched.
        QSet<std::pair<qint64, qint64>> seen;
        std::vector<std::optional<Entry>> now;
        std::array<std::optional<qint64>, kTables.size()> highest;
        PerSection reads(QStringLiteral("SELECT keyword, meaning FROM %1 WHERE \"Index\" = ?1"));
        for (const EntryChange &entry : entries) {
            const std::pair<qint64, qint64> key{sectionNumber(entry.table), entry.index};
            if ((!entry.before && !entry.after) || seen.contains(key))
                return refuse(kDamaged);
            seen.insert(key);
            Statement *read = nullptr;
            const auto rc = reads.run(connection, entry.table, {{1, entry.index}}, &read);
            if (!rc.ok())
                return rc.failure();
            if (*rc != SQLITE_ROW && *rc != SQLITE_DONE)
                return connection.failure(*rc);
            std::optional<Entry> current;
            if (*rc == SQLITE_ROW)
                current = Entry{read->text(0), read->text(1)};
            if (!same(current, entry.after))
                return refuse(changedSince(entry, current));
            if (entry.before && !entry.after) {
                std::optional<qint64> &given = highest[std::size_t(key.first)];
                if (!given) {
                    const auto found = highestIndexGiven(connection, entry.table);
                    if (!found.ok())
                        return found.failure();
                    given = *found;
                }
                if (entry.index < 1 || entry.index > *given)
                    return refuse(kDamaged);
            }
            now.push_back(std::move(current));
        }

        undoing->facts.table = entries.front().table;
        undoing->facts.entries = qint64(entries.size());
        auto recorder = Recorder::start(connection, undoing->facts);
        if (!recorder.ok())
            return recorder.failure();
        PerSection deletes(QStringLiteral("DELETE FROM %1 WHERE \"Index\" = ?1"));
        PerSection inserts(QStringLiteral("INSERT INTO %1 (\"Index\", keyword, meaning) VALUES (?1, ?2, ?3)"));
        PerSection updates(QStringLiteral("UPDATE %1 SET keyword = ?2, meaning = ?3 WHERE \"Index\" = ?1"));
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const EntryChange &entry = entries[i];
            const auto done = !entry.before
                ? deletes.run(connection, entry.table, {{1, entry.index}})
                : (entry.after ? updates : inserts)
                      .run(connection, entry.table,
                           {{1, entry.index}, {2, entry.before->keyword}, {3, entry.before->meaning}});
            if (!done.ok())
                return done.failure();
            if (*done != SQLITE_DONE)
                return connection.failure(*done);
            if (auto failed = recorder->add(entry.table, entry.index, now[i], entry.before))
                return failed;
            if (std::find(taken.undo.tables.begin(), taken.undo.tables.end(), entry.table) == taken.undo.tables.end())
                taken.undo.tables.push_back(entry.table);
        }
        taken.undo.change = recorder->id();
        taken.recorded = recorder->runChange(byUndoLastIn);
        return std::nullopt;
    });
    if (!taken.undo.refusal.isEmpty())
        return Taken{Undo{std::nullopt, taken.undo.refusal, {}}, std::nullopt};
    if (failed)
        return store::toldOf(*failed, path);
    std::vector<RunChange> &changes = runChangesOf(path);
    for (RunChange &change : changes)
        if (change.id == id)
            change.undone = true;
    remember(path, *taken.recorded);
    return taken;
}

// This run's last change in the section that undoLastIn may take back.
RunChange *lastIn(const QString &path, Table table)
{
    std::vector<RunChange> &changes = runChangesOf(path);
    for (auto change = changes.rbegin(); change != changes.rend(); ++change)
        if (!change->undone && !change->byUndoLastIn
            && std::find(change->tables.begin(), change->tables.end(), table) != change->tables.end())
            return &*change;
    return nullptr;
}
} // namespace

QString describe(const Change &change)
{
    if (change.kind != Kind::Undone)
        return entryLine(change.kind, change.entries, change.table, change.keyword);
    QString line;
    for (int i = 0; i < std::clamp<int>(change.depth, 1, kDeepestChain); ++i)
        line += QStringLiteral("Took back: ");
    return line + entryLine(change.firstKind, change.entries, change.table, change.keyword);
}

Result<std::vector<Change>> readChanges(const QString &path, qint64 olderThan, qint64 limit)
{
    auto opened = openDiary(path);
    if (!opened.ok())
        return store::toldOf(opened.failure(), path);
    const Connection &connection = *opened;
    const auto has = hasHistory(connection);
    if (!has.ok() || !*has)
        return has.ok() ? Result<std::vector<Change>>(std::vector<Change>()) : store::toldOf(has.failure(), path);
    auto rows =
        Statement::prepare(connection,
                           QStringLiteral("SELECT id, at_ms, at_offset, kind, entries, section, keyword, undid, "
                                          "undid_kind, first_kind, depth FROM %1 WHERE id < ?1 ORDER BY id DESC "
                                          "LIMIT ?2")
                               .arg(kChangesTable),
                           {{1, olderThan}, {2, limit}});
    if (!rows.ok())
        return store::toldOf(rows.failure(), path);
    std::vector<Change> changes;
    int rc = SQLITE_ROW;
    while ((rc = rows->step()) == SQLITE_ROW) {
        // The newest id comes first and bounds the count; no change row takes fewer than 16 bytes of
        // the file, which bounds a crafted id. Growing instead would move every change read so far.
        if (changes.capacity() == 0)
            changes.reserve(std::size_t(std::clamp<qint64>(
                std::min({rows->integer(0), QFileInfo(path).size() / 16, limit < 0 ? kNoLimit : limit}), 1,
                std::numeric_limits<int>::max())));
        const auto kind = kindOfNumber(rows->integer(3));
        const auto undidKind = kindOfNumber(rows->integer(8));
        const auto firstKind = kindOfNumber(rows->integer(9));
        // A row no write of ours could have made is left out.
        if (!kind || (*kind == Kind::Undone && (!undidKind || !firstKind || *firstKind == Kind::Undone)))
            continue;
        Change change;
        change.id = rows->integer(0);
        // Compared as it is: the most negative number has no positive counterpart.
        const qint64 offset = rows->integer(2);
        const bool placeOnEarth = offset >= -kWidestOffsetSeconds && offset <= kWidestOffsetSeconds;
        change.at = QDateTime::fromMSecsSinceEpoch(rows->integer(1), Qt::OffsetFromUTC, placeOnEarth ? int(offset) : 0);
        change.kind = *kind;
        change.entries = rows->integer(4);
        change.table = sectionOfNumber(rows->integer(5));
        change.keyword = rows->text(6);
        if (*kind == Kind::Undone) {
            change.undid = rows->integer(7);
            change.undidKind = *undidKind;
            change.firstKind = *firstKind;
            change.depth = int(std::clamp<qint64>(rows->integer(10), 1, kDeepestChain));
        }
        changes.push_back(std::move(change));
    }
    if (rc != SQLITE_DONE)
        return store::toldOf(connection.failure(rc), path);
    return changes;
}

Result<std::vector<EntryChange>> readEntryChanges(const QString &path, qint64 change)
{
    auto opened = openDiary(path);
    if (!opened.ok())
        return store::toldOf(opened.failure(), path);
    const auto has = hasHistory(*opened);
    if (!has.ok() || !*has)
        return has.ok() ? Result<std::vector<EntryChange>>(std::vector<EntryChange>())
                        : store::toldOf(has.failure(), path);
    const auto entries = entriesOf(*opened, change);
    if (!entries.ok())
        return store::toldOf(entries.failure(), path);
    if (!*entries)
        return Failure{FailureKind::Other, QStringLiteral("The history of this change is damaged.")};
    return **entries;
}

Result<Undo> undo(const QString &path, qint64 change)
{
    const auto taken = failedAt(Task::Undo, takeBack(path, change, std::nullopt, false));
    if (!taken.ok())
        return taken.failure();
    return taken->undo;
}

Result<Undo> undoLastIn(const QString &path, Table table)
{
    RunChange *last = lastIn(path, table);
    if (!last)
        return Undo{std::nullopt, QStringLiteral("There is nothing in this section to take back."), {}};
    const qint64 id = last->id;
    const auto taken = failedAt(Task::Undo, takeBack(path, id, last->atMs, true));
    if (!taken.ok())
        return taken.failure();
    // A change that no longer fits is not offered again: the next undo steps past it.
    if (!taken->undo.change)
        if (RunChange *refused = lastIn(path, table); refused && refused->id == id)
            refused->undone = true;
    return taken->undo;
}

bool canUndoIn(const QString &path, Table table)
{
    return lastIn(path, table) != nullptr;
}

std::optional<Failure> clear(const QString &path)
{
    const auto failed = runWrite(path, [&](const Connection &connection) -> std::optional<Failure> {
        const auto has = hasHistory(connection);
        if (!has.ok())
            return has.failure();
        if (*has)
            for (const QString &table : {kEntriesTable, kChangesTable})
                if (const int rc = connection.exec(QStringLiteral("DELETE FROM %1").arg(table)); rc != SQLITE_OK)
                    return connection.failure(rc);
        // A counter that has given its last number would fail every later change (even one left
        // without its table); with no change left, numbering them again from the start mistakes
        // none for another.
        if (counterUsedUp(connection, kChangesTable, QStringLiteral("id")))
            if (const int rc =
                    connection.exec(QStringLiteral("DELETE FROM sqlite_sequence WHERE name = '%1'").arg(kChangesTable));
                rc != SQLITE_OK)
                return connection.failure(rc);
        return std::nullopt;
    });
    if (failed)
        return failedAt(Task::ClearHistory, store::toldOf(*failed, path));
    runChangesOf(path).clear();
    return std::nullopt;
}

} // namespace store::history
