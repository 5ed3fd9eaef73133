#pragma once

// The diary store: one SQLCipher file with a table per section. Every operation opens the file,
// does its work and closes it again before it returns, so that no handle stays open while the
// program waits for the user. The key is derived once per file salt and process; each later open
// hands SQLCipher the raw key and costs a fraction of a millisecond.

#include "core/result.h"
#include "core/sections.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace store {

// The store names its tables only through the section table.
using sections::kTables;
using sections::Table;
using sections::tableName;
using sections::tableNamed;

// The text the user sees: what failed, then the detail on a second line, then the newest backup.
QString message(const Failure &failure);
// Whether the message says which task could not be done: a full disk, section or history, and
// any other failure of a task but an entry's save.
bool namesTask(const Failure &failure);

struct Keywords {
    std::vector<qint64> indexes; // the "Index" of each line
    QStringList keywords;
};

struct Entry {
    QString keyword;
    QString meaning;
    bool operator==(const Entry &) const = default;
};

// The keywords of a table in ascending "Index" order.
Result<Keywords> readKeywords(const QString &path, Table table);
// What each entry of a read is handed to.
using EntryVisitor = std::function<void(qint64 index, const Entry &entry)>;
// The row with this "Index"; empty when no such row exists.
Result<std::optional<Entry>> readEntry(const QString &path, Table table, qint64 index);
// As readEntries, for a reader off the window's thread: nobody is asked for a password (a diary
// whose key this run does not know fails as damaged), the diary is never held locked against a
// write for more than a moment (the rows come in short reads, each a snapshot of its own), and the
// reading ends early, giving false, once `visit` says no.
using EntryReader = std::function<bool(qint64 index, const Entry &entry)>;
Result<bool> readEntriesUnasked(const QString &path, Table table, const EntryReader &visit);
// The rows of a table with these "Index" values, in one read that asks nobody for a password (as
// readEntriesUnasked does): for a window that shows a part of each as it draws them. A row that is
// gone is left out.
std::optional<Failure> readEntriesAt(const QString &path, Table table, const std::vector<qint64> &indexes,
                                     const EntryVisitor &visit);

// One section's entries in ascending "Index" order.
struct Chapter {
    Table table;
    std::vector<Entry> entries;
};

// Another diary file, read for its entries alone (one to import from), is opened read-only: the
// engine then never rolls a journal found beside it back into a file that is not the user's diary.
enum class ReadFrom { Diary, OtherFile };

// Every row of a table in ascending "Index" order, handed over one at a time so that a whole
// section never has to be held at once (readEntries, below).
std::optional<Failure> readEntries(const QString &path, Table table, const EntryVisitor &visit,
                                   ReadFrom from = ReadFrom::Diary);
// Every entry of a table, keyword and meaning, in ascending "Index" order, in one read.
Result<std::vector<Entry>> readSection(const QString &path, Table table, ReadFrom from = ReadFrom::Diary);

// Each write is one transaction, on disk when the call returns, and records what it changed in the
// diary's history in that same transaction (core/store/history.h). The first write of a run checks
// the diary whole and backs it up (core/backups.h).
// Appends a row and gives its "Index".
Result<qint64> addEntry(const QString &path, Table table, const Entry &entry);
// False when no row has this "Index" (nothing is written then). With a listed keyword, a row
// whose keyword is no longer that text counts as another entry, and is not touched either: the
// file may have been replaced by another program since the caller read it.
Result<bool> updateEntry(const QString &path, Table table, qint64 index, const Entry &entry,
                         const std::optional<QString> &listedKeyword = std::nullopt);
Result<bool> removeEntry(const QString &path, Table table, qint64 index,
                         const std::optional<QString> &listedKeyword = std::nullopt);

// Appends each chapter's entries at the end of its section, all in one transaction: every entry
// is written or none. carryOn hears how many are written so far; when it says stop, nothing is
// written and the answer is false. A failure names the import.
Result<bool> addEntries(const QString &path, const std::vector<Chapter> &chapters,
                        const std::function<bool(qint64 written)> &carryOn = {});

// Makes a new diary file with the four empty tables and their indexes. Refuses an existing path.
std::optional<Failure> createDiary(const QString &path);

// The schema statements of a new diary, in order.
QStringList schemaStatements();

} // namespace store
