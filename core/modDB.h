#pragma once

// The diary store: one SQLCipher file with a table per section. Every operation opens the file,
// does its work and closes it again before it returns, so that no handle stays open while the
// program waits for the user. The key is derived once per file salt and process; each later open
// hands SQLCipher the raw key and costs a fraction of a millisecond.

#include "core/sections.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

namespace modDB {

inline const QString kPassword = QStringLiteral("Xq7RbK2mPv9TzL4wNs");

// The store names its tables only through the section table.
using sections::Table;
using sections::kTables;
using sections::tableName;
using sections::tableNamed;

enum class FailureKind { Missing, Damaged, ReadOnly, DiskFull, Other };

struct Failure {
    FailureKind kind = FailureKind::Other;
    QString detail; // the file's path, or the engine's own message
    // For a diary that is missing or damaged: the newest backup beside it, when there is one.
    QString newestBackup = {};
};

// The text the user sees: what failed, then the detail on a second line, then the newest backup.
QString message(const Failure &failure);

// A value or the reason there is none.
template <class T>
class Result {
public:
    Result(T value) : m_state(std::move(value)) {}
    Result(Failure failure) : m_state(std::move(failure)) {}

    bool ok() const { return std::holds_alternative<T>(m_state); }
    const T &value() const { return std::get<T>(m_state); }
    const T &operator*() const { return value(); }
    const T *operator->() const { return &value(); }
    const Failure &failure() const { return std::get<Failure>(m_state); }

private:
    std::variant<T, Failure> m_state;
};

// Success without a value.
struct Done {};

struct Keywords {
    std::vector<qint64> indexes; // the "Index" of each line
    QStringList keywords;
};

struct Entry {
    QString keyword;
    QString meaning;
};

// The keywords of a table in ascending "Index" order.
Result<Keywords> ReadKeywords(const QString &path, Table table);
// The row with this "Index"; empty when no such row exists.
Result<std::optional<Entry>> ReadEntry(const QString &path, Table table, qint64 index);

// Each write is one transaction, on disk when the call returns.
// Appends a row and gives its "Index".
Result<qint64> AddEntry(const QString &path, Table table, const Entry &entry);
// False when no row has this "Index" (nothing is written then). With a listed keyword, a row
// whose keyword is no longer that text counts as another entry, and is not touched either: the
// file may have been replaced by another program since the caller read it.
Result<bool> UpdateEntry(const QString &path, Table table, qint64 index, const Entry &entry,
                         const std::optional<QString> &listedKeyword = std::nullopt);
Result<bool> RemoveEntry(const QString &path, Table table, qint64 index,
                         const std::optional<QString> &listedKeyword = std::nullopt);

// Rolling backups. Before the first write of each program run to a diary, the store copies the
// diary, as it was before that write, into the folder "backups" beside it (readable by the user
// only), named like "updatediary-20261207-211500.dll" after the local time; names sort in the
// order the copies were made. The newest ten are kept. That first write also checks every page:
// a damaged diary is neither written nor copied (the write fails as damaged), so damage never
// spreads and never pushes the good backups out. A backup that cannot be made does not stop the
// write: the write is just as safe without it, and the user keeps working.
inline constexpr int kBackupsKept = 10;
QString backupFolder(const QString &path);
// The backups of this diary, oldest first.
QStringList backupsOf(const QString &path);
// Forgets which diaries this run has backed up, as if the program started again.
void startNewRun();

// Makes a new diary file with the four empty tables and their indexes. Refuses an existing path.
Result<Done> CreateDiary(const QString &path);

// The schema statements of a new diary, in order.
QStringList schemaStatements();

// Connections open at this moment; zero whenever no store operation runs.
int openConnections();
// How often the key was derived from the password in this process.
int keyDerivations();

} // namespace modDB
