// Taking a change of the diary's history back (core/store/history.h: undo, undoLastIn).

#include "core/store/backups.h"
#include "core/store/history.h"
#include "core/store/historyrecord.h"
#include "core/store/writes.h"

#include <sqlcipher/sqlite3.h>

#include <QSet>

#include <algorithm>
#include <array>

namespace store::history {

namespace {
const QString kDamaged = QStringLiteral("The history of this change is damaged, so it cannot be taken back.");
const QString kGone = QStringLiteral("This change is no longer in the diary's history.");
const QString kRestore = QStringLiteral("A restore is taken back by restoring the copy of the diary it kept, which "
                                        "the Backups list shows.");

using Entries = std::vector<EntryChange>;

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

// The highest "Index" the section ever gave.
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
    Kind kind = Kind::Added;
    ChangeFacts facts; // of the undo
    qint64 atMs = 0;
};

std::optional<Undoing> undoingOf(const Statement &row, qint64 id)
{
    const auto kind = kindOfNumber(row.integer(0));
    const auto first = kindOfNumber(row.integer(4));
    // No undo of a restore is ever made: a chain that starts with one is crafted.
    if (!kind || (*kind == Kind::Undone && (!first || *first == Kind::Undone || *first == Kind::Restored)))
        return std::nullopt;
    Undoing undoing;
    undoing.kind = *kind;
    undoing.atMs = row.integer(6);
    ChangeFacts &facts = undoing.facts;
    facts.kind = Kind::Undone;
    facts.entries = row.integer(1);
    facts.table = sectionOfNumber(row.integer(2)).value_or(Table::Spell);
    facts.keyword = row.text(3);
    facts.undid = id;
    facts.undidKind = *kind;
    facts.firstKind = *kind == Kind::Undone ? *first : *kind;
    facts.depth = *kind == Kind::Undone ? keptDepth(keptDepth(row.integer(5)) + 1) : 1;
    return undoing;
}

// What a change did to one entry.
enum class Did { Add, Edit, Remove };

std::optional<Did> didOf(const EntryChange &entry)
{
    if (entry.before && entry.after)
        return Did::Edit;
    if (entry.after)
        return Did::Add;
    if (entry.before)
        return Did::Remove;
    return std::nullopt;
}

// One change being taken back, inside the write's transaction. Each kind of change checks every
// entry it touched first (check, indexGiven); only then does writeBack change anything, so that a
// change that no longer fits changes no byte.
class Reversal {
public:
    Reversal(const Connection &connection, Taken &taken) : m_connection(connection), m_taken(taken) { }

    // Rolls the write back; the refusal is no failure of the diary.
    Failure refuse(const QString &why)
    {
        m_taken.undo.refusal = why;
        return Failure{FailureKind::Other, QString()};
    }

    // The change did this to the entry, touched it once, and the entry is still as it left it.
    std::optional<Failure> check(const EntryChange &entry, Did did)
    {
        const std::pair<qint64, qint64> key{sectionNumber(entry.table), entry.index};
        if (didOf(entry) != did || m_seen.contains(key))
            return refuse(kDamaged);
        m_seen.insert(key);
        Statement *read = nullptr;
        const auto rc = m_reads.run(m_connection, entry.table, {{1, entry.index}}, &read);
        if (!rc.ok())
            return rc.failure();
        if (*rc != SQLITE_ROW && *rc != SQLITE_DONE)
            return m_connection.failure(*rc);
        std::optional<Entry> current;
        if (*rc == SQLITE_ROW)
            current = Entry{read->text(0), read->text(1)};
        if (!same(current, entry.after))
            return refuse(changedSince(entry, current));
        m_checked.push_back({&entry, std::move(current)});
        return std::nullopt;
    }

    // A removed entry returns only with an "Index" the section gave: one above it would be crafted,
    // and would use up the Indexes that later entries get.
    std::optional<Failure> indexGiven(const EntryChange &entry)
    {
        std::optional<qint64> &given = m_highest[std::size_t(sectionNumber(entry.table))];
        if (!given) {
            const auto found = highestIndexGiven(m_connection, entry.table);
            if (!found.ok())
                return found.failure();
            given = *found;
        }
        if (entry.index < 1 || entry.index > *given)
            return refuse(kDamaged);
        return std::nullopt;
    }

    // Every entry checked, back as it was before the change, recorded as the undo.
    std::optional<Failure> writeBack(ChangeFacts facts, MadeBy by)
    {
        facts.table = m_checked.front().entry->table;
        facts.entries = qint64(m_checked.size());
        auto recorder = Recorder::start(m_connection, facts);
        if (!recorder.ok())
            return recorder.failure();
        PerSection deletes(QStringLiteral("DELETE FROM %1 WHERE \"Index\" = ?1"));
        PerSection inserts(QStringLiteral("INSERT INTO %1 (\"Index\", keyword, meaning) VALUES (?1, ?2, ?3)"));
        PerSection updates(QStringLiteral("UPDATE %1 SET keyword = ?2, meaning = ?3 WHERE \"Index\" = ?1"));
        std::vector<Table> &tables = m_taken.undo.tables;
        for (const auto &[entry, now] : m_checked) {
            const auto done = !entry->before
                ? deletes.run(m_connection, entry->table, {{1, entry->index}})
                : (entry->after ? updates : inserts)
                      .run(m_connection, entry->table,
                           {{1, entry->index}, {2, entry->before->keyword}, {3, entry->before->meaning}});
            if (!done.ok())
                return done.failure();
            if (*done != SQLITE_DONE)
                return m_connection.failure(*done);
            if (auto failed = recorder->add(entry->table, entry->index, now, entry->before))
                return failed;
            if (std::find(tables.begin(), tables.end(), entry->table) == tables.end())
                tables.push_back(entry->table);
        }
        m_taken.undo.change = recorder->id();
        m_taken.recorded = recorder->runChange(by);
        return std::nullopt;
    }

private:
    struct Checked {
        const EntryChange *entry;
        std::optional<Entry> now; // as read, for the undo's own history
    };

    const Connection &m_connection;
    Taken &m_taken;
    PerSection m_reads{QStringLiteral("SELECT keyword, meaning FROM %1 WHERE \"Index\" = ?1")};
    QSet<std::pair<qint64, qint64>> m_seen;
    std::array<std::optional<qint64>, kTables.size()> m_highest;
    std::vector<Checked> m_checked;
};

// The checks of each kind of change taken back; the entries are never empty.

// An add taken back: the one entry it added goes again.
std::optional<Failure> addTakenBack(Reversal &reversal, const Entries &entries)
{
    return entries.size() == 1 ? reversal.check(entries.front(), Did::Add) : reversal.refuse(kDamaged);
}

// An edit taken back: the one entry it changed gets its earlier text.
std::optional<Failure> editTakenBack(Reversal &reversal, const Entries &entries)
{
    return entries.size() == 1 ? reversal.check(entries.front(), Did::Edit) : reversal.refuse(kDamaged);
}

// A remove taken back: the one entry it removed returns with its own "Index", in its old place.
std::optional<Failure> removeTakenBack(Reversal &reversal, const Entries &entries)
{
    if (entries.size() != 1)
        return reversal.refuse(kDamaged);
    if (auto refused = reversal.check(entries.front(), Did::Remove))
        return refused;
    return reversal.indexGiven(entries.front());
}

// An import taken back: every entry it added goes again, all or none.
std::optional<Failure> importTakenBack(Reversal &reversal, const Entries &entries)
{
    for (const EntryChange &entry : entries)
        if (auto refused = reversal.check(entry, Did::Add))
            return refused;
    return std::nullopt;
}

// An undo taken back: each entry it touched the other way again, whatever the undo did to it.
std::optional<Failure> undoTakenBack(Reversal &reversal, const Entries &entries)
{
    for (const EntryChange &entry : entries) {
        const auto did = didOf(entry);
        if (!did)
            return reversal.refuse(kDamaged);
        if (auto refused = reversal.check(entry, *did))
            return refused;
        if (*did == Did::Remove)
            if (auto refused = reversal.indexGiven(entry))
                return refused;
    }
    return std::nullopt;
}

std::optional<Failure> checkByKind(Reversal &reversal, Kind kind, const Entries &entries)
{
    switch (kind) {
    case Kind::Added: return addTakenBack(reversal, entries);
    case Kind::Changed: return editTakenBack(reversal, entries);
    case Kind::Removed: return removeTakenBack(reversal, entries);
    case Kind::Imported: return importTakenBack(reversal, entries);
    case Kind::Undone: return undoTakenBack(reversal, entries);
    case Kind::Restored: break;
    }
    return reversal.refuse(kDamaged);
}

// Takes the change back in one write, or refuses and writes nothing. With `expectedAtMs`, only
// the change of that time: the same id in a diary put back from a backup is another change.
Result<Taken> takeBack(const QString &path, qint64 id, std::optional<qint64> expectedAtMs, MadeBy by)
{
    Taken taken;
    const auto failed = runWrite(path, [&](const Connection &connection) -> std::optional<Failure> {
        Reversal reversal(connection, taken);
        const auto has = hasHistory(connection);
        if (!has.ok())
            return has.failure();
        if (!*has)
            return reversal.refuse(kGone);
        auto row = Statement::prepare(
            connection,
            QStringLiteral("SELECT kind, entries, section, keyword, first_kind, depth, at_ms FROM %1 WHERE id = ?1")
                .arg(kChangesTable),
            {{1, id}});
        if (!row.ok())
            return row.failure();
        if (const int rc = row->step(); rc == SQLITE_DONE)
            return reversal.refuse(kGone);
        else if (rc != SQLITE_ROW)
            return connection.failure(rc);
        const auto undoing = undoingOf(row.value(), id);
        if (!undoing)
            return reversal.refuse(kDamaged);
        if (expectedAtMs && *expectedAtMs != undoing->atMs)
            return reversal.refuse(kGone);
        if (undoing->kind == Kind::Restored)
            return reversal.refuse(kRestore);
        const auto read = entriesOf(connection, id);
        if (!read.ok())
            return read.failure();
        if (!*read || (*read)->empty())
            return reversal.refuse(kDamaged);
        if (auto refused = checkByKind(reversal, undoing->kind, **read))
            return refused;
        return reversal.writeBack(undoing->facts, by);
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

bool touches(const RunChange &change, Table table)
{
    return std::find(change.tables.begin(), change.tables.end(), table) != change.tables.end();
}

// This run's last change in the section that undoLastIn may take back.
RunChange *lastIn(const QString &path, Table table)
{
    std::vector<RunChange> &changes = runChangesOf(path);
    for (auto change = changes.rbegin(); change != changes.rend(); ++change)
        if (!change->undone && change->by != MadeBy::UndoLastIn && touches(*change, table))
            return &*change;
    return nullptr;
}

// This run's last undo in the section that redoLastIn may take back: none once the user changed
// the section since. Redos stand between the undos they took back and are stepped over.
RunChange *lastUndoIn(const QString &path, Table table)
{
    std::vector<RunChange> &changes = runChangesOf(path);
    for (auto change = changes.rbegin(); change != changes.rend(); ++change)
        if (!change->undone && change->by != MadeBy::RedoLastIn && touches(*change, table))
            return change->by == MadeBy::UndoLastIn ? &*change : nullptr;
    return nullptr;
}

// Takes back the run's change found by `last`, of this section; a change that no longer fits is
// not offered again.
Result<Undo> takeBackLast(const QString &path, Table table, RunChange *(*last)(const QString &, Table), MadeBy by,
                          const QString &nothing)
{
    RunChange *found = last(path, table);
    if (!found)
        return Undo{std::nullopt, nothing, {}};
    const qint64 id = found->id;
    const auto taken = failedAt(Task::Undo, takeBack(path, id, found->atMs, by));
    if (!taken.ok())
        return taken.failure();
    if (!taken->undo.change)
        if (RunChange *refused = last(path, table); refused && refused->id == id)
            refused->undone = true;
    return taken->undo;
}
} // namespace

Result<Undo> undo(const QString &path, qint64 change)
{
    const auto taken = failedAt(Task::Undo, takeBack(path, change, std::nullopt, MadeBy::User));
    if (!taken.ok())
        return taken.failure();
    return taken->undo;
}

Result<Undo> undoLastIn(const QString &path, Table table)
{
    return takeBackLast(path, table, lastIn, MadeBy::UndoLastIn,
                        QStringLiteral("There is nothing in this section to take back."));
}

Result<Undo> redoLastIn(const QString &path, Table table)
{
    return takeBackLast(path, table, lastUndoIn, MadeBy::RedoLastIn,
                        QStringLiteral("There is nothing in this section to do again."));
}

bool canUndoIn(const QString &path, Table table)
{
    return lastIn(path, table) != nullptr;
}

} // namespace store::history
