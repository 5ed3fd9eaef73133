#pragma once

// The engine's handles as values that close themselves. A statement comes back prepared with
// every parameter bound, or as the failure that stopped it: no step of the engine goes unchecked.

#include "core/result.h"

#include <QString>

#include <memory>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace store {

// The failure for an engine result code on the diary at path. A missing or damaged diary is
// named by path only; the store adds the newest backup.
Failure failureFor(int code, sqlite3 *db, const QString &path);

// What one run of a statement may still do, in engine instructions and bytes of text handed
// over. A sound diary never needs more than a small multiple of its file's size: each row a
// read yields is stored in the file. A damaged or crafted file that would make a read run
// without end, or yield ever more rows, is stopped there and reads as damaged.
struct WorkBudget {
    qint64 perRun = 0;
    qint64 left = 0;
    void startRun() { left = perRun; }
};

class Connection;

// Whether the table's AUTOINCREMENT counter (its column `key`, a name of the store's own) has given
// the largest number there is: the engine then fails every insert as if the disk were full.
bool counterUsedUp(const Connection &connection, const QString &table, const QString &key);

// An open diary file, closed when the value goes. It works under the engine's limits and a
// budget for each statement run (WorkBudget).
class Connection {
public:
    // Opens path (UTF-8) with these SQLITE_OPEN_* flags.
    static Result<Connection> open(const QString &path, int flags);

    Connection(Connection &&other) noexcept;
    Connection &operator=(Connection &&other) noexcept;
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    ~Connection();

    sqlite3 *get() const { return m_db; }
    const QString &path() const { return m_path; }
    WorkBudget *budget() const { return m_budget.get(); }
    // The failure for an engine result code of this connection.
    Failure failure(int code) const { return failureFor(code, m_db, m_path); }
    // Runs SQL without parameters; gives the engine's result code.
    int exec(const QString &sql) const;
    // Closes the file before the value goes (Windows moves no file over one that is open); every
    // statement and transaction on it must have ended.
    void close();

private:
    Connection(sqlite3 *db, const QString &path);

    sqlite3 *m_db = nullptr;
    QString m_path;
    // On the heap: the engine holds its address for the progress handler.
    std::unique_ptr<WorkBudget> m_budget;
};

// A value for the numbered parameter "?<position>".
struct Parameter {
    int position = 0;
    std::variant<qint64, QString> value;
};

class Statement {
public:
    static Result<Statement> prepare(const Connection &connection, const QString &sql,
                                     const std::vector<Parameter> &parameters = {});

    Statement(Statement &&other) noexcept;
    Statement &operator=(Statement &&other) noexcept;
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    ~Statement();

    // SQLITE_ROW, SQLITE_DONE or the engine's error code.
    int step();
    // Binds these values in place of the last ones and steps once, for a statement run many
    // times (e.g. one insert per row); SQLITE_DONE or the engine's error code.
    int rerun(const std::vector<Parameter> &parameters);
    qint64 integer(int column) const;
    // NULL reads as empty text.
    QString text(int column) const;

private:
    Statement(sqlite3_stmt *statement, WorkBudget *budget) : m_statement(statement), m_budget(budget) { }

    sqlite3_stmt *m_statement = nullptr;
    WorkBudget *m_budget = nullptr;
};

// Rolls back unless committed, so that an early return leaves the file as it was.
class Transaction {
public:
    explicit Transaction(const Connection &connection) : m_connection(connection) { }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    ~Transaction();

    int begin();
    int commit();
    // Ends it now, as the value's going would.
    void rollback();

private:
    const Connection &m_connection;
    bool m_active = false;
};

} // namespace store
