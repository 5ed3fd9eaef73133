#pragma once

// Which files are Brimvale diaries, told by their schema alone, before any query touches a table:
// the engine expands a view, fires a trigger or calls a virtual table's module only when a query
// names it, and a crafted file can make any of these crash or run without end. A diary holds
// the tables and indexes that the store's own schema statements make, each a real one with a
// root page, the engine's sequence table, and the keys of a password change that is not
// finished yet (core/store/rekeying.h); nothing else.

#include <QString>

#include <vector>

namespace store {

// One row of the file's sqlite_master.
struct SchemaRow {
    QString type;
    QString name;
    QString tableName;
    qint64 rootPage = 0;
    QString sql;
};

inline const QString kSchemaQuery = QStringLiteral("SELECT type, name, tbl_name, rootpage, sql FROM sqlite_master");

// TablesMissing: a section's table is not there at all (as in a new, empty database).
enum class Schema { Diary, TablesMissing, Foreign };

Schema judgeSchema(const std::vector<SchemaRow> &rows);

} // namespace store
