// Taking a change of the diary's history back (core/store/history.h: undo, undoLastIn).

#include "core/store/backups.h"
#include "core/store/history.h"
#include "core/store/historyrecord.h"
#include "core/store/reversal.h"
#include "core/store/writes.h"

#include <sqlcipher/sqlite3.h>

#include <algorithm>

namespace store::history {

namespace {
const QString kGone = QStringLiteral("This change is no longer in the diary's history.");
const QString kRestore = QStringLiteral("A restore is taken back by restoring the copy of the diary it kept, which "
                                        "the Backups list shows.");

using Entries = std::vector<EntryChange>;

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

// An undo, or entries brought back from a backup, taken back: each entry it touched the other way
// again, whatever it did to it.
std::optional<Failure> eachTakenBack(Reversal &reversal, const Entries &entries)
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
    case Kind::Undone:
    case Kind::BroughtBack: return eachTakenBack(reversal, entries);
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
        Reversal reversal(connection, taken, QStringLiteral(", so this change can no longer be taken back."));
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
