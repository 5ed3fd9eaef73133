#include "core/statements.h"

#include <sqlcipher/sqlite3.h>

#include <QDir>
#include <QFileInfo>

#include <utility>

namespace modDB {

namespace {
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
        return fileFailure(FailureKind::Damaged, path);
    case SQLITE_READONLY:
        return fileFailure(FailureKind::ReadOnly, path);
    case SQLITE_FULL:
        return fileFailure(FailureKind::DiskFull, path);
    case SQLITE_CANTOPEN:
        if (!QFileInfo::exists(path))
            return fileFailure(FailureKind::Missing, path);
        break;
    default:
        break;
    }
    return {FailureKind::Other, engineMessage(db, code)};
}

Result<Connection> Connection::open(const QString &path, int flags)
{
    sqlite3 *handle = nullptr;
    const int opened = sqlite3_open_v2(path.toUtf8().constData(), &handle, flags, nullptr);
    // The engine gives a handle even when the open fails; it is closed with the connection.
    Connection connection(handle, path);
    if (opened != SQLITE_OK)
        return connection.failure(opened);
    return connection;
}

Connection::Connection(Connection &&other) noexcept
    : m_db(std::exchange(other.m_db, nullptr)), m_path(std::move(other.m_path))
{
}

Connection &Connection::operator=(Connection &&other) noexcept
{
    if (this != &other) {
        close();
        m_db = std::exchange(other.m_db, nullptr);
        m_path = std::move(other.m_path);
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
    return sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
}

Result<Statement> Statement::prepare(const Connection &connection, const QString &sql,
                                     const std::vector<Parameter> &parameters)
{
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *prepared = nullptr;
    const int rc = sqlite3_prepare_v2(connection.get(), text.constData(), int(text.size()), &prepared, nullptr);
    Statement statement(prepared);
    if (rc != SQLITE_OK)
        return connection.failure(rc);
    for (const Parameter &parameter : parameters)
        if (const int bound = bind(prepared, parameter); bound != SQLITE_OK)
            return connection.failure(bound);
    return statement;
}

Statement::Statement(Statement &&other) noexcept : m_statement(std::exchange(other.m_statement, nullptr)) {}

Statement &Statement::operator=(Statement &&other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_statement);
        m_statement = std::exchange(other.m_statement, nullptr);
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
    return bytes ? QString::fromUtf8(bytes, sqlite3_column_bytes(m_statement, column)) : QString();
}

Transaction::~Transaction()
{
    if (m_active && !sqlite3_get_autocommit(m_connection.get()))
        m_connection.exec(QStringLiteral("ROLLBACK"));
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

} // namespace modDB
