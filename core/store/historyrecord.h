#pragma once

// The store's side of the diary's history (core/store/history.h): its two tables, the rows every
// write adds to them inside its own transaction, and the changes this run made. Only the store's
// own files include it.

#include "core/result.h"
#include "core/store/history.h"
#include "core/store/statements.h"
#include "core/store/store.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace store::history {

// The depth of an undo chain (undos of undos) is kept up to here. Only whether it is even matters
// to the user (an even one makes the first change again), so a longer or crafted one is cut here
// with its evenness kept.
inline constexpr qint64 kDeepestChain = 64;
inline qint64 keptDepth(qint64 depth)
{
    return depth < 1 ? 1 : depth <= kDeepestChain ? depth : kDeepestChain - depth % 2;
}

// Named so that no section's table ("tbl…") can ever share a name with them.
inline const QString kChangesTable = QStringLiteral("history_changes");
inline const QString kEntriesTable = QStringLiteral("history_entries");

// The statements that make the history's tables and index; with ifMissing, each is skipped when
// the diary has it already.
QStringList schemaStatements(bool ifMissing);

// A kind or section as the tables hold it, and back; nothing for a number no write ever stores.
qint64 kindNumber(Kind kind);
std::optional<Kind> kindOfNumber(qint64 number);
qint64 sectionNumber(Table table);
std::optional<Table> sectionOfNumber(qint64 number);

// Whether the diary has its history tables yet.
Result<bool> hasHistory(const Connection &connection);

// A keyword in the history's lines: “Sage”.
QString quoted(const QString &keyword);

// The entries a change touched; nothing when a row names no section the diary has.
Result<std::optional<std::vector<EntryChange>>> entriesOf(const Connection &connection, qint64 change);

// The time of the backup a restore put back, from the keyword of its change row (recordRestore);
// invalid when the row says none.
QDateTime backupTimeOf(const QString &keyword);

// What a change row says of the change, besides its time.
struct ChangeFacts {
    Kind kind = Kind::Added;
    qint64 entries = 0;
    Table table = Table::Spell;
    QString keyword;
    // For an undo: the change it took back, that change's kind, the kind at the start of the chain
    // of undos and how long the chain is with this one.
    qint64 undid = 0;
    Kind undidKind = Kind::Added;
    Kind firstKind = Kind::Added;
    qint64 depth = 0;
};

// Who made a change of this run: the user (or another window), the window's Undo, or its Redo.
enum class MadeBy { User, UndoLastIn, RedoLastIn };

// A change of this run, as undoLastIn and redoLastIn find it again.
struct RunChange {
    qint64 id = 0;
    qint64 atMs = 0; // tells it from a change with the same id in a diary put back from a backup
    std::vector<Table> tables;
    MadeBy by = MadeBy::User;
    bool undone = false;
};

// Writes one change into the history, inside the caller's transaction: the change row when it
// starts, then one row per entry.
class Recorder {
public:
    static Result<Recorder> start(const Connection &connection, const ChangeFacts &facts);

    std::optional<Failure> add(Table table, qint64 index, const std::optional<Entry> &before,
                               const std::optional<Entry> &after);
    // After the commit: remembered for undoLastIn and redoLastIn.
    RunChange runChange(MadeBy by = MadeBy::User) const;
    qint64 id() const { return m_id; }

private:
    Recorder(const Connection &connection, Statement insert, qint64 id, qint64 atMs)
        : m_connection(&connection), m_insert(std::move(insert)), m_id(id), m_atMs(atMs)
    {
    }

    const Connection *m_connection = nullptr;
    Statement m_insert;
    qint64 m_id = 0;
    qint64 m_atMs = 0;
    std::vector<Table> m_tables;
};

// Records a change that touched one entry, in one call.
Result<RunChange> recordOne(const Connection &connection, Kind kind, Table table, qint64 index,
                            const std::optional<Entry> &before, const std::optional<Entry> &after);

// Records that the diary open on `connection` is put back from the backup made at `madeAt`, as a
// change that touched no entry, inside the caller's transaction.
std::optional<Failure> recordRestore(const Connection &connection, const QDateTime &madeAt);

// This run's changes to the diary at path, oldest first.
std::vector<RunChange> &runChangesOf(const QString &path);
void remember(const QString &path, const RunChange &change);

} // namespace store::history
