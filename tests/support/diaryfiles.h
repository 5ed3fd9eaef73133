#pragma once

// Real diary files for tests: made by the store's own schema code, read back through a
// connection of their own that is keyed with the plain password, as any other program would.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace testing {

// Creates the folder if needed and writes an empty diary (the four tables); false on failure.
bool writeEmptyDiary(const QString &path);

struct DiaryRow {
    qint64 index = 0;
    QString keyword;
    QString meaning;
    bool operator==(const DiaryRow &) const = default;
};

// Every row of a table in ascending "Index" order; empty when the file cannot be read.
std::optional<std::vector<DiaryRow>> readRows(const QString &path, const QString &table);
QStringList readKeywords(const QString &path, const QString &table);

// Appends rows (keyword, meaning) in one transaction; false on failure.
bool appendRows(const QString &path, const QString &table, const std::vector<std::pair<QString, QString>> &rows);
// Runs any statements, e.g. to change the file behind the program's back.
bool execute(const QString &path, const QString &sql);

// How many files under this folder the test program holds open once the diary's readers off the
// window's thread have ended: zero whenever no store operation runs, since the store closes every
// connection before it returns. Counted from /proc/self/fd, so it is always zero off Linux.
int openFilesUnder(const QString &folder);

// Any file's bytes; empty when it cannot be read.
QByteArray bytesOf(const QString &path);

// Every file, folder, link and pipe at or under path, each with its kind, size, modification time
// and bytes: two equal answers mean that nothing there was written, replaced or added.
QStringList stateOf(const QString &path);

// What the sqlcipher command-line tool prints for these statements after keying with the
// password; empty when the tool is not installed.
QString sqlcipherTool(const QString &path, const QString &statements);

} // namespace testing
