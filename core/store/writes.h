#pragma once

// The one way a change reaches a diary, for the store's own files (and the benchmark, which times a
// write without its history).

#include "core/result.h"
#include "core/store/statements.h"
#include "core/store/store.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace store {

// Opens the diary and runs work in one transaction, committed before the return; a failure of
// work rolls everything back. The first write of a run checks and backs the diary up first
// (core/store/backups.h), and every write gives an older diary the covering indexes it lacks.
std::optional<Failure> runWrite(const QString &path,
                                const std::function<std::optional<Failure>(const Connection &)> &work);

// Runs one statement with its parameters bound; gives the number of changed rows.
Result<int> change(const Connection &connection, const QString &sql, const std::vector<Parameter> &parameters);

// The entry with this "Index"; NULL reads as empty text. Empty when there is no such entry.
Result<std::optional<Entry>> entryAt(const Connection &connection, Table table, qint64 index);

} // namespace store
