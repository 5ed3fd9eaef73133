#include "core/store/reversal.h"

#include <sqlcipher/sqlite3.h>

#include <algorithm>

namespace store::history {

namespace {
bool same(const std::optional<Entry> &a, const std::optional<Entry> &b)
{
    if (!a || !b)
        return !a && !b;
    return a->keyword == b->keyword && a->meaning == b->meaning;
}

// Why the entry, as it is now, no longer fits the change that left it as `after`.
QString changedSince(const EntryChange &entry, const std::optional<Entry> &now, const QString &otherwise)
{
    const QString where = sections::section(entry.table).name;
    const QString why = !now ? QStringLiteral("%1 in %2 was removed since")
        : !entry.after       ? QStringLiteral("%1 in %2 was put back since")
                             : QStringLiteral("%1 in %2 was changed again since");
    const QString keyword = entry.after ? entry.after->keyword : now ? now->keyword : entry.before->keyword;
    return why.arg(quoted(keyword), where) + otherwise;
}
} // namespace

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

Result<int> PerSection::run(const Connection &connection, Table table, const std::vector<Parameter> &parameters,
                            Statement **ran)
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

Failure Reversal::refuse(const QString &why)
{
    m_taken.undo.refusal = why;
    return Failure{FailureKind::Other, QString()};
}

std::optional<Failure> Reversal::check(const EntryChange &entry, Did did)
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
        return refuse(changedSince(entry, current, m_otherwise));
    m_checked.push_back({&entry, std::move(current)});
    return std::nullopt;
}

Result<qint64> Reversal::highestGiven(Table table)
{
    std::optional<qint64> &given = m_highest[std::size_t(sectionNumber(table))];
    if (!given) {
        const auto found = highestIndexGiven(m_connection, table);
        if (!found.ok())
            return found.failure();
        given = *found;
    }
    return *given;
}

std::optional<Failure> Reversal::indexGiven(const EntryChange &entry)
{
    const auto given = highestGiven(entry.table);
    if (!given.ok())
        return given.failure();
    if (entry.index < 1 || entry.index > *given)
        return refuse(kDamaged);
    return std::nullopt;
}

std::optional<Failure> Reversal::writeBack(ChangeFacts facts, MadeBy by)
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

} // namespace store::history
