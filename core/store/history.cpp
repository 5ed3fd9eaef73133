#include "core/store/history.h"

#include "core/store/backups.h"
#include "core/store/historyrecord.h"
#include "core/store/opening.h"
#include "core/store/writes.h"

#include <sqlcipher/sqlite3.h>

#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <limits>

namespace store::history {

namespace {
// The widest offset from UTC any place has had, with room to spare.
constexpr qint64 kWidestOffsetSeconds = 18 * 3600;

QString countOf(qint64 count)
{
    return count == 1 ? QStringLiteral("1 entry") : QStringLiteral("%1 entries").arg(count);
}

// In the History window's own format, so that the line and the Backups list read alike.
QString backupOf(const QDateTime &madeAt)
{
    return madeAt.isValid() ? QStringLiteral("the backup of %1").arg(QLocale().toString(madeAt, QLocale::ShortFormat))
                            : QStringLiteral("a backup");
}

QString entryLine(Kind kind, qint64 count, const std::optional<Table> &table, const QString &keyword)
{
    if (kind == Kind::Imported)
        return QStringLiteral("Imported ") + countOf(count);
    QString line;
    QString where;
    switch (kind) {
    case Kind::Removed: line = QStringLiteral("Removed %1"), where = QStringLiteral(" from %1"); break;
    case Kind::Changed: line = QStringLiteral("Changed %1"), where = QStringLiteral(" in %1"); break;
    default: line = QStringLiteral("Added %1"), where = QStringLiteral(" to %1"); break;
    }
    line = line.arg(quoted(keyword));
    return table ? line + where.arg(sections::section(*table).name) : line;
}
} // namespace

QString describe(const Change &change)
{
    if (change.kind == Kind::Restored)
        return QStringLiteral("Restored ") + backupOf(change.backupMadeAt);
    if (change.kind == Kind::BroughtBack)
        return QStringLiteral("Brought back %1 from %2").arg(countOf(change.entries), backupOf(change.backupMadeAt));
    if (change.kind != Kind::Undone)
        return entryLine(change.kind, change.entries, change.table, change.keyword);
    // However long the chain, an undo either takes the first change back or makes it again.
    const bool again = change.depth % 2 == 0;
    const QString keyword = quoted(change.keyword);
    const QString name = change.table ? sections::section(*change.table).name : QString();
    const auto line = [&](const QString &what, const QString &where) {
        return change.table ? what.arg(keyword) + where.arg(name) : what.arg(keyword);
    };
    switch (change.firstKind) {
    case Kind::Imported:
        if (again)
            return change.entries == 1 ? QStringLiteral("Imported 1 entry again")
                                       : QStringLiteral("Imported %1 entries again").arg(change.entries);
        return change.entries == 1 ? QStringLiteral("Removed 1 imported entry again")
                                   : QStringLiteral("Removed %1 imported entries again").arg(change.entries);
    case Kind::BroughtBack:
        return (again ? QStringLiteral("Brought back %1 again from %2")
                      : QStringLiteral("Took back %1 brought back from %2"))
            .arg(countOf(change.entries), backupOf(change.backupMadeAt));
    case Kind::Changed:
        return line(again ? QStringLiteral("Changed %1 again") : QStringLiteral("Changed %1 back"),
                    QStringLiteral(" in %1"));
    case Kind::Removed:
        return again ? line(QStringLiteral("Removed %1 again"), QStringLiteral(" from %1"))
                     : line(QStringLiteral("Brought back %1"), QStringLiteral(" to %1"));
    default:
        return again ? line(QStringLiteral("Added %1 again"), QStringLiteral(" to %1"))
                     : line(QStringLiteral("Removed %1 again"), QStringLiteral(" from %1"));
    }
}

Result<std::vector<Change>> readChanges(const QString &path, qint64 olderThan, qint64 limit)
{
    auto opened = openDiary(path);
    if (!opened.ok())
        return store::toldOf(opened.failure(), path);
    const Connection &connection = *opened;
    const auto has = hasHistory(connection);
    if (!has.ok() || !*has)
        return has.ok() ? Result<std::vector<Change>>(std::vector<Change>()) : store::toldOf(has.failure(), path);
    auto rows =
        Statement::prepare(connection,
                           QStringLiteral("SELECT id, at_ms, at_offset, kind, entries, section, keyword, undid, "
                                          "undid_kind, first_kind, depth FROM %1 WHERE id < ?1 ORDER BY id DESC "
                                          "LIMIT ?2")
                               .arg(kChangesTable),
                           {{1, olderThan}, {2, limit}});
    if (!rows.ok())
        return store::toldOf(rows.failure(), path);
    std::vector<Change> changes;
    int rc = SQLITE_ROW;
    while ((rc = rows->step()) == SQLITE_ROW) {
        // The newest id comes first and bounds the count; no change row takes fewer than 16 bytes of
        // the file, which bounds a crafted id. Growing instead would move every change read so far.
        if (changes.capacity() == 0)
            changes.reserve(std::size_t(std::clamp<qint64>(
                std::min({rows->integer(0), QFileInfo(path).size() / 16, limit < 0 ? kNoLimit : limit}), 1,
                std::numeric_limits<int>::max())));
        const auto kind = kindOfNumber(rows->integer(3));
        const auto undidKind = kindOfNumber(rows->integer(8));
        const auto firstKind = kindOfNumber(rows->integer(9));
        // A row no write of ours could have made is left out.
        if (!kind || (*kind == Kind::Undone && (!undidKind || !firstKind || *firstKind == Kind::Undone)))
            continue;
        Change change;
        change.id = rows->integer(0);
        // Compared as it is: the most negative number has no positive counterpart.
        const qint64 offset = rows->integer(2);
        const bool placeOnEarth = offset >= -kWidestOffsetSeconds && offset <= kWidestOffsetSeconds;
        change.at = QDateTime::fromMSecsSinceEpoch(rows->integer(1), Qt::OffsetFromUTC, placeOnEarth ? int(offset) : 0);
        change.kind = *kind;
        change.entries = rows->integer(4);
        change.table = sectionOfNumber(rows->integer(5));
        change.keyword = rows->text(6);
        // Their keyword is the backup's time.
        if (*kind == Kind::Restored || *kind == Kind::BroughtBack
            || (*kind == Kind::Undone && *firstKind == Kind::BroughtBack)) {
            change.table.reset();
            change.backupMadeAt = backupTimeOf(rows->text(6));
            change.keyword.clear();
        }
        if (*kind == Kind::Undone) {
            change.undid = rows->integer(7);
            change.undidKind = *undidKind;
            change.firstKind = *firstKind;
            change.depth = int(keptDepth(rows->integer(10)));
        }
        changes.push_back(std::move(change));
    }
    if (rc != SQLITE_DONE)
        return store::toldOf(connection.failure(rc), path);
    return changes;
}

Result<std::vector<EntryChange>> readEntryChanges(const QString &path, qint64 change)
{
    auto opened = openDiary(path);
    if (!opened.ok())
        return store::toldOf(opened.failure(), path);
    const auto has = hasHistory(*opened);
    if (!has.ok() || !*has)
        return has.ok() ? Result<std::vector<EntryChange>>(std::vector<EntryChange>())
                        : store::toldOf(has.failure(), path);
    const auto entries = entriesOf(*opened, change);
    if (!entries.ok())
        return store::toldOf(entries.failure(), path);
    if (!*entries)
        return Failure{FailureKind::Other, QStringLiteral("The history of this change is damaged.")};
    return **entries;
}

std::optional<Failure> clear(const QString &path)
{
    const auto failed = runWrite(path, [&](const Connection &connection) -> std::optional<Failure> {
        const auto has = hasHistory(connection);
        if (!has.ok())
            return has.failure();
        if (*has)
            for (const QString &table : {kEntriesTable, kChangesTable})
                if (const int rc = connection.exec(QStringLiteral("DELETE FROM %1").arg(table)); rc != SQLITE_OK)
                    return connection.failure(rc);
        // A counter that has given its last number would fail every later change (even one left
        // without its table); with no change left, numbering them again from the start mistakes
        // none for another.
        if (counterUsedUp(connection, kChangesTable, QStringLiteral("id")))
            if (const int rc =
                    connection.exec(QStringLiteral("DELETE FROM sqlite_sequence WHERE name = '%1'").arg(kChangesTable));
                rc != SQLITE_OK)
                return connection.failure(rc);
        return std::nullopt;
    });
    if (failed)
        return failedAt(Task::ClearHistory, store::toldOf(*failed, path));
    runChangesOf(path).clear();
    return std::nullopt;
}

} // namespace store::history
