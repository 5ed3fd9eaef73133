#pragma once

// Putting entries back as they were, inside a write's transaction: the one way the history takes a
// change back (historyundo.cpp) and entries come back from a backup (core/store/bringback.h). Each
// entry is checked first (check, indexGiven); only then does writeBack change anything, so that a
// change that no longer fits changes no byte. Only the store's own files include it.

#include "core/result.h"
#include "core/store/history.h"
#include "core/store/historyrecord.h"
#include "core/store/statements.h"

#include <QSet>
#include <QString>

#include <array>
#include <optional>
#include <utility>
#include <vector>

namespace store::history {

// The highest "Index" the section ever gave.
Result<qint64> highestIndexGiven(const Connection &connection, Table table);

// A statement per section, prepared on its first run and run again for every entry: taking back an
// import of a whole section runs it tens of thousands of times.
class PerSection {
public:
    explicit PerSection(QString sql) : m_sql(std::move(sql)) { }
    // SQLITE_ROW, SQLITE_DONE or the engine's code; `ran` then holds the statement for its columns.
    Result<int> run(const Connection &connection, Table table, const std::vector<Parameter> &parameters,
                    Statement **ran = nullptr);

private:
    QString m_sql; // %1: the section's table
    std::array<std::optional<Statement>, kTables.size()> m_statements;
};

struct Taken {
    Undo undo;
    std::optional<RunChange> recorded;
};

// What a change did to one entry; putting it back does the opposite.
enum class Did { Add, Edit, Remove };
std::optional<Did> didOf(const EntryChange &entry);

// Each entry goes from `after` (as the diary must hold it now) back to `before`.
class Reversal {
public:
    // `otherwise`: what the user reads after an entry that is no longer as `after` says, e.g.
    // ", so this change can no longer be taken back."
    Reversal(const Connection &connection, Taken &taken, QString otherwise)
        : m_connection(connection), m_taken(taken), m_otherwise(std::move(otherwise))
    {
    }

    // Rolls the write back; the refusal is no failure of the diary.
    Failure refuse(const QString &why);
    // The change did this to the entry, touched it once, and the entry is still as it left it.
    std::optional<Failure> check(const EntryChange &entry, Did did);
    // A removed entry returns only with an "Index" the section gave: one above it would be crafted,
    // and would use up the Indexes that later entries get.
    std::optional<Failure> indexGiven(const EntryChange &entry);
    // The highest "Index" the section gave, read once per section.
    Result<qint64> highestGiven(Table table);
    // Every entry checked, back as it was before, recorded as a change with these facts.
    std::optional<Failure> writeBack(ChangeFacts facts, MadeBy by);

private:
    struct Checked {
        const EntryChange *entry;
        std::optional<Entry> now; // as read, for the change's own history
    };

    const Connection &m_connection;
    Taken &m_taken;
    QString m_otherwise;
    PerSection m_reads{QStringLiteral("SELECT keyword, meaning FROM %1 WHERE \"Index\" = ?1")};
    QSet<std::pair<qint64, qint64>> m_seen;
    std::array<std::optional<qint64>, kTables.size()> m_highest;
    std::vector<Checked> m_checked;
};

// The history of the change is not one any write of ours made.
inline const QString kDamaged = QStringLiteral("The history of this change is damaged, so it cannot be taken back.");

} // namespace store::history
