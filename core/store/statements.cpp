#include "core/store/statements.h"

#include <sqlcipher/sqlite3.h>

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <climits>
#include <utility>

namespace store {

namespace {
// The engine asks the budget after every so many of its instructions.
constexpr int kInstructionsPerAsk = 1000;
// Enough for any statement on a small file, and for any on a sound file of any size.
constexpr qint64 kBaseWork = qint64(1) << 24;
constexpr qint64 kWorkPerFileByte = 8;
// The longest value a write may store: a meaning of millions of characters. A longer value
// already in a file is read, since no value is longer than the file holding it.
constexpr qint64 kLongestValue = qint64(16) << 20;

// Far above what the store's own statements need; the schema of a crafted file is parsed
// under them too.
struct Limit {
    int id;
    int value;
};
constexpr Limit kLimits[] = {
    {SQLITE_LIMIT_SQL_LENGTH, 1 << 20},
    {SQLITE_LIMIT_COLUMN, 100},
    {SQLITE_LIMIT_EXPR_DEPTH, 100},
    {SQLITE_LIMIT_COMPOUND_SELECT, 8},
};

int spend(void *budget)
{
    auto *work = static_cast<WorkBudget *>(budget);
    work->left -= kInstructionsPerAsk;
    return work->left < 0 ? 1 : 0;
}

QString engineMessage(sqlite3 *db, int code)
{
    if (db && sqlite3_errcode(db) == code)
        return QString::fromUtf8(sqlite3_errmsg(db));
    return QString::fromUtf8(sqlite3_errstr(code));
}

int bind(sqlite3_stmt *statement, const Parameter &parameter)
{
    if (const auto *number = std::get_if<qint64>(&parameter.value))
        return sqlite3_bind_int64(statement, parameter.position, *number);
    const QByteArray bytes = std::get<QString>(parameter.value).toUtf8();
    return sqlite3_bind_text(statement, parameter.position, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
}
} // namespace

Failure failureFor(int code, sqlite3 *db, const QString &path)
{
    switch (code & 0xff) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
    case SQLITE_INTERRUPT: // only the work budget interrupts, and a sound file stays within it
        return fileFailure(FailureKind::Damaged, path);
    case SQLITE_READONLY: return fileFailure(FailureKind::ReadOnly, path);
    case SQLITE_FULL: return fileFailure(FailureKind::DiskFull, path);
    case SQLITE_CANTOPEN:
        if (!QFileInfo::exists(path))
            return fileFailure(FailureKind::Missing, path);
        break;
    default: break;
    }
    return {FailureKind::Other, engineMessage(db, code)};
}

bool counterUsedUp(const Connection &connection, const QString &table, const QString &key)
{
    // Each on its own: on this failure the engine rolls the whole transaction back, and with it a
    // table that the transaction made, while the counter stays.
    const auto reaches = [&](const QString &sql, const std::vector<Parameter> &parameters) {
        auto highest = Statement::prepare(connection, sql, parameters);
        return highest.ok() && highest->step() == SQLITE_ROW && highest->integer(0) == LLONG_MAX;
    };
    return reaches(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ?1"), {{1, table}})
        || reaches(QStringLiteral("SELECT max(%2) FROM %1").arg(table, key), {});
}

Result<Connection> Connection::open(const QString &path, int flags)
{
    sqlite3 *handle = nullptr;
    const int opened = sqlite3_open_v2(path.toUtf8().constData(), &handle, flags, nullptr);
    // The engine gives a handle even when the open fails; it is closed with the connection.
    Connection connection(handle, path);
    if (opened != SQLITE_OK)
        return connection.failure(opened);
    // No heap limit: the engine's is one for the whole process, and soft. Its page cache stays
    // at its default size, and an encrypted file is never mapped into memory.
    const qint64 size = std::max<qint64>(QFileInfo(path).size(), 0);
    for (const Limit &limit : kLimits)
        sqlite3_limit(handle, limit.id, limit.value);
    sqlite3_limit(handle, SQLITE_LIMIT_LENGTH, int(std::min<qint64>(std::max(kLongestValue, size), INT_MAX)));
    connection.m_budget->perRun = kBaseWork + kWorkPerFileByte * size;
    connection.m_budget->startRun();
    sqlite3_progress_handler(handle, kInstructionsPerAsk, spend, connection.m_budget.get());
    return connection;
}

Connection::Connection(sqlite3 *db, const QString &path)
    : m_db(db), m_path(path), m_budget(std::make_unique<WorkBudget>())
{
}

Connection::Connection(Connection &&other) noexcept
    : m_db(std::exchange(other.m_db, nullptr)), m_path(std::move(other.m_path)), m_budget(std::move(other.m_budget))
{
}

Connection &Connection::operator=(Connection &&other) noexcept
{
    if (this != &other) {
        close();
        m_db = std::exchange(other.m_db, nullptr);
        m_path = std::move(other.m_path);
        m_budget = std::move(other.m_budget);
    }
    return *this;
}

Connection::~Connection()
{
    close();
}

void Connection::close()
{
    if (m_db)
        sqlite3_close_v2(std::exchange(m_db, nullptr));
}

int Connection::exec(const QString &sql) const
{
    m_budget->startRun();
    return sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
}

Result<Statement> Statement::prepare(const Connection &connection, const QString &sql,
                                     const std::vector<Parameter> &parameters)
{
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *prepared = nullptr;
    // Before the prepare: the first one of a connection has the engine parse the file's schema.
    connection.budget()->startRun();
    const int rc = sqlite3_prepare_v2(connection.get(), text.constData(), int(text.size()), &prepared, nullptr);
    Statement statement(prepared, connection.budget());
    if (rc != SQLITE_OK)
        return connection.failure(rc);
    for (const Parameter &parameter : parameters)
        if (const int bound = bind(prepared, parameter); bound != SQLITE_OK)
            return connection.failure(bound);
    return statement;
}

Statement::Statement(Statement &&other) noexcept
    : m_statement(std::exchange(other.m_statement, nullptr)), m_budget(other.m_budget)
{
}

Statement &Statement::operator=(Statement &&other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_statement);
        m_statement = std::exchange(other.m_statement, nullptr);
        m_budget = other.m_budget;
    }
    return *this;
}

Statement::~Statement()
{
    sqlite3_finalize(m_statement);
}

int Statement::step()
{
    return sqlite3_step(m_statement);
}

int Statement::rerun(const std::vector<Parameter> &parameters)
{
    sqlite3_reset(m_statement);
    m_budget->startRun();
    for (const Parameter &parameter : parameters)
        if (const int bound = bind(m_statement, parameter); bound != SQLITE_OK)
            return bound;
    return sqlite3_step(m_statement);
}

qint64 Statement::integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

QString Statement::text(int column) const
{
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
    const int size = sqlite3_column_bytes(m_statement, column);
    m_budget->left -= size;
    return bytes ? QString::fromUtf8(bytes, size) : QString();
}

Transaction::~Transaction()
{
    rollback();
}

void Transaction::rollback()
{
    if (m_active && !sqlite3_get_autocommit(m_connection.get()))
        m_connection.exec(QStringLiteral("ROLLBACK"));
    m_active = false;
}

int Transaction::begin()
{
    const int rc = m_connection.exec(QStringLiteral("BEGIN IMMEDIATE"));
    m_active = rc == SQLITE_OK;
    return rc;
}

int Transaction::commit()
{
    const int rc = m_connection.exec(QStringLiteral("COMMIT"));
    if (rc == SQLITE_OK)
        m_active = false;
    return rc;
}

} // namespace store
