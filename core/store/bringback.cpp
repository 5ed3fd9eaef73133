#include "core/store/bringback.h"

#include "core/store/backups.h"
#include "core/store/historyrecord.h"
#include "core/store/reversal.h"
#include "core/store/writes.h"

#include <QHash>
#include <QSet>

#include <array>
#include <limits>

namespace store {

Result<std::vector<FromBackup>> differencesFrom(const QString &diary, const QString &backup)
{
    std::vector<FromBackup> differences;
    for (Table table : kTables) {
        QHash<qint64, Entry> byIndex;
        QSet<std::pair<QString, QString>> held;
        if (auto failed = readEntries(diary, table, [&](qint64 index, const Entry &entry) {
                byIndex.insert(index, entry);
                held.insert({entry.keyword, entry.meaning});
            }))
            return *failed;
        const auto read = readEntries(
            backup, table,
            [&](qint64 index, const Entry &entry) {
                if (held.contains({entry.keyword, entry.meaning}))
                    return;
                const auto now = byIndex.constFind(index);
                differences.push_back(
                    {table, index, entry, now == byIndex.constEnd() ? std::nullopt : std::optional(*now)});
            },
            ReadFrom::OtherFile);
        if (read)
            return *read;
    }
    return differences;
}

Result<history::Undo> bringBack(const QString &diary, const std::vector<FromBackup> &chosen, const QDateTime &madeAt)
{
    history::Taken taken;
    // The reversal keeps pointers to them: never grown once filled.
    std::vector<history::EntryChange> entries;
    entries.reserve(chosen.size());
    const auto failed = runWrite(diary, [&](const Connection &connection) -> std::optional<Failure> {
        history::Reversal reversal(connection, taken, QStringLiteral(", so nothing was brought back."));
        // The last "Index" given at the end of each section to an entry the section never gave.
        std::array<std::optional<qint64>, kTables.size()> atEnd;
        for (const FromBackup &from : chosen) {
            history::EntryChange entry{from.table, from.index, from.then, from.now};
            if (!from.now) {
                const auto highest = reversal.highestGiven(from.table);
                if (!highest.ok())
                    return highest.failure();
                if (from.index < 1 || from.index > *highest) {
                    std::optional<qint64> &last = atEnd[std::size_t(history::sectionNumber(from.table))];
                    if (!last)
                        last = *highest;
                    if (*last == std::numeric_limits<qint64>::max())
                        return Failure{FailureKind::SectionFull, sections::section(from.table).name};
                    entry.index = ++*last;
                }
            }
            entries.push_back(std::move(entry));
            if (auto refused = reversal.check(entries.back(), from.now ? history::Did::Edit : history::Did::Remove))
                return refused;
        }
        if (entries.empty())
            return std::nullopt;
        history::ChangeFacts facts;
        facts.kind = history::Kind::BroughtBack;
        // The local time the backup's name gives, as the Backups list shows it.
        facts.keyword = madeAt.toLocalTime().toString(Qt::ISODate);
        return reversal.writeBack(facts, history::MadeBy::User);
    });
    if (!taken.undo.refusal.isEmpty())
        return history::Undo{std::nullopt, taken.undo.refusal, {}};
    if (failed)
        return failedAt(Task::BringBack, Result<history::Undo>(toldOf(*failed, diary)));
    if (taken.recorded)
        history::remember(diary, *taken.recorded);
    return taken.undo;
}

} // namespace store
