#include "history.h"

#include "fixtures.h"

#include "core/datafolder.h"
#include "core/store/history.h"
#include "core/store/historyrecord.h"
#include "core/store/store.h"
#include "core/store/writes.h"

#include "gui/forms.h"
#include "gui/windows/historywindow.h"
#include "gui/windows/mainwindow.h"

#include <sqlcipher/sqlite3.h>

#include <QListView>
#include <QTest>

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace bench {

namespace {
constexpr int kChanges = 100000;
const store::Table kTable = store::Table::Spell;

// The store's own write path with only the section's statement in it: what a write cost before
// it had a history.
void writeWithoutHistory(const QString &path, const QString &sql, const std::vector<store::Parameter> &parameters)
{
    const auto failed =
        store::runWrite(path, [&](const store::Connection &connection) -> std::optional<store::Failure> {
            const auto changed = store::change(connection, sql, parameters);
            require(changed.ok() && *changed == 1, "the write without its history changes one row");
            return std::nullopt;
        });
    require(!failed, "the write without its history");
}

double cpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Makes the change of `sql` through the store's write path with the history's own statements as
// the store runs them, and gives the time those statements took; the row it touched.
qint64 timeHistoryStatements(const QString &path, const QString &sql, const std::vector<store::Parameter> &parameters,
                             store::history::Kind kind, qint64 index, const std::optional<store::Entry> &after,
                             std::vector<double> &samples)
{
    const auto failed =
        store::runWrite(path, [&](const store::Connection &connection) -> std::optional<store::Failure> {
            QElapsedTimer timer;
            qint64 ns = 0;
            std::optional<store::Entry> before;
            if (kind != store::history::Kind::Added) {
                timer.start();
                const auto found = store::entryAt(connection, kTable, index);
                ns += timer.nsecsElapsed();
                require(found.ok() && found->has_value(), "the entry is there");
                before = **found;
            }
            require(store::change(connection, sql, parameters).ok(), "the change");
            if (kind == store::history::Kind::Added)
                index = sqlite3_last_insert_rowid(connection.get());
            timer.start();
            require(store::history::recordOne(connection, kind, kTable, index, before, after).ok(), "the history");
            ns += timer.nsecsElapsed();
            samples.push_back(double(ns) / 1e6);
            return std::nullopt;
        });
    require(!failed, "the write with its history");
    return index;
}

// A history of `changes` one-entry changes, written with plain SQL in one statement.
void seedChanges(const QString &path, int changes)
{
    require(makeDiary(path, QStringLiteral("tblspell"), 1), "a diary for the history");
    sqlite3 *db = openWithRawKey(path, rawKeyOf(path));
    require(db, "the diary opens");
    const QByteArray sql =
        QStringLiteral("INSERT INTO history_changes (at_ms, at_offset, kind, entries, section, keyword, undid, "
                       "undid_kind, first_kind, depth) WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                       "FROM n WHERE i < %1) SELECT 1765000000000 + i * 60000, 3600, 1 + i % 3, 1, i % 4, "
                       "'Keyword' || substr('0000' || i, -5), 0, 1, 1, 0 FROM n")
            .arg(changes)
            .toUtf8();
    const bool ok = sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close_v2(db);
    require(ok, "the history is seeded");
}
// The History window on a diary with this long a history, which takes the working diary's place
// meanwhile: opened until it is painted, a page down, and the end of what it has read, which
// reads the next page.
void measureWindow(const Run &run, const QString &longHistory, HistoryFigures &figures)
{
    const QString working = datafolder::workingDiaryPath();
    const QString aside = working + QStringLiteral(".aside");
    const bool hadDiary = QFile::exists(working);
    require((!hadDiary || QFile::rename(working, aside)) && QFile::copy(longHistory, working),
            "the long history in place");
    MainWindow *main = forms::ref<MainWindow>();
    HistoryWindow *window = nullptr;
    measure(run,
            {{[&](int) { delete window; },
              [&](int) {
                  window = new HistoryWindow(main);
                  window->show();
                  PaintWatch watch(window->findChild<QListView *>(QStringLiteral("lstChanges"))->viewport());
                  settle(watch);
              },
              {},
              &figures.windowOpen}});
    auto *list = window->findChild<QListView *>(QStringLiteral("lstChanges"));
    list->setFocus();
    list->setCurrentIndex(list->model()->index(0, 0));
    const auto press = [&](Qt::Key key, double *median) {
        measure(run,
                {{[&](int) { list->setCurrentIndex(list->model()->index(0, 0)); },
                  [&](int) {
                      PaintWatch watch(list->viewport());
                      QTest::keyClick(list, key);
                      settle(watch);
                  },
                  {},
                  median}});
    };
    press(Qt::Key_PageDown, &figures.windowPageDown);
    press(Qt::Key_End, &figures.windowEnd);
    // Every change is reachable, each once: the pages join without a gap or an overlap.
    while (list->model()->canFetchMore({}))
        list->model()->fetchMore({});
    require(list->model()->rowCount() == kChanges, "the window lists every change");
    delete window;
    closeWindows();
    require(QFile::remove(working) && (!hadDiary || QFile::rename(aside, working)), "the working diary back in place");
}
} // namespace

HistoryFigures measureHistory(const Run &run, const QString &folder, int entries)
{
    HistoryFigures figures;
    const QString path = folder + QStringLiteral("/history-bench.dll");
    require(makeDiary(path, QStringLiteral("tblspell"), entries), "the diary");

    struct Row {
        qint64 index;
        QString keyword;
    };
    std::vector<Row> withHistory, without, own;
    std::vector<double> addOwn, editOwn, removeOwn, addCpu, undoRemovalCpu, undoAddCpu;
    int made = 0;
    QString keyword;
    const auto next = [&](int) { keyword = QStringLiteral("History%1").arg(++made, 7, 10, QLatin1Char('0')); };
    const auto entry = [&] { return store::Entry{keyword, meaningFor(made)}; };

    measure(run,
            {{next,
              [&](int) {
                  const double start = cpuMs();
                  const auto added = store::addEntry(path, kTable, entry());
                  addCpu.push_back(cpuMs() - start);
                  require(added.ok(), "the store adds");
                  withHistory.push_back({*added, keyword});
              },
              {},
              &figures.add},
             {next,
              [&](int) {
                  writeWithoutHistory(path, QStringLiteral("INSERT INTO tblspell (keyword, meaning) VALUES (?1, ?2)"),
                                      {{1, keyword}, {2, entry().meaning}});
                  without.push_back({0, keyword});
              },
              [&](int) {
                  const auto keywords = store::readKeywords(path, kTable);
                  require(keywords.ok() && keywords->keywords.last() == keyword, "added last");
                  without.back().index = keywords->indexes.back();
              },
              &figures.addBare},
             {next,
              [&](int) {
                  const qint64 index = timeHistoryStatements(
                      path, QStringLiteral("INSERT INTO tblspell (keyword, meaning) VALUES (?1, ?2)"),
                      {{1, keyword}, {2, entry().meaning}}, store::history::Kind::Added, 0, entry(), addOwn);
                  own.push_back({index, keyword});
              },
              {},
              nullptr}});
    figures.addOwn = median(addOwn);

    // Each lane edits its own rows, so that a listed keyword never goes stale.
    std::size_t edited = 0;
    measure(run,
            {{next,
              [&](int) {
                  Row &row = withHistory[edited % withHistory.size()];
                  const auto updated = store::updateEntry(path, kTable, row.index, entry(), row.keyword);
                  require(updated.ok() && *updated, "the store updates");
                  row.keyword = keyword;
              },
              {},
              &figures.edit},
             {next,
              [&](int) {
                  Row &row = without[edited % without.size()];
                  writeWithoutHistory(path,
                                      QStringLiteral("UPDATE tblspell SET keyword = ?1, meaning = ?2 WHERE \"Index\" "
                                                     "= ?3 AND CAST(coalesce(keyword, '') AS TEXT) = ?4"),
                                      {{1, keyword}, {2, entry().meaning}, {3, row.index}, {4, row.keyword}});
                  row.keyword = keyword;
              },
              {},
              &figures.editBare},
             {next,
              [&](int) {
                  Row &row = own[edited++ % own.size()];
                  timeHistoryStatements(
                      path, QStringLiteral("UPDATE tblspell SET keyword = ?1, meaning = ?2 WHERE \"Index\" = ?3"),
                      {{1, keyword}, {2, entry().meaning}, {3, row.index}}, store::history::Kind::Changed, row.index,
                      entry(), editOwn);
                  row.keyword = keyword;
              },
              {},
              nullptr}});
    figures.editOwn = median(editOwn);

    measure(run,
            {{{},
              [&](int) {
                  const Row row = withHistory.back();
                  withHistory.pop_back();
                  const auto removed = store::removeEntry(path, kTable, row.index, row.keyword);
                  require(removed.ok() && *removed, "the store removes");
              },
              {},
              &figures.remove},
             {{},
              [&](int) {
                  const Row row = without.back();
                  without.pop_back();
                  writeWithoutHistory(path,
                                      QStringLiteral("DELETE FROM tblspell WHERE \"Index\" = ?3 AND "
                                                     "CAST(coalesce(keyword, '') AS TEXT) = ?4"),
                                      {{3, row.index}, {4, row.keyword}});
              },
              {},
              &figures.removeBare},
             {{},
              [&](int) {
                  const Row row = own.back();
                  own.pop_back();
                  timeHistoryStatements(path, QStringLiteral("DELETE FROM tblspell WHERE \"Index\" = ?3"),
                                        {{3, row.index}}, store::history::Kind::Removed, row.index, std::nullopt,
                                        removeOwn);
              },
              {},
              nullptr}});
    figures.removeOwn = median(removeOwn);

    // Undo takes back the change its setup made last in the section.
    measure(run,
            {{[&](int rep) {
                  next(rep);
                  const auto added = store::addEntry(path, kTable, entry());
                  require(added.ok(), "an entry added");
                  const auto removed = store::removeEntry(path, kTable, *added);
                  require(removed.ok() && *removed, "the entry removed");
              },
              [&](int) {
                  const double start = cpuMs();
                  const auto undone = store::history::undoLastIn(path, kTable);
                  undoRemovalCpu.push_back(cpuMs() - start);
                  require(undone.ok() && undone->change, "the removal is taken back");
              },
              {},
              &figures.undoRemoval},
             {[&](int rep) {
                  next(rep);
                  require(store::addEntry(path, kTable, entry()).ok(), "an entry added");
              },
              [&](int) {
                  const double start = cpuMs();
                  const auto undone = store::history::undoLastIn(path, kTable);
                  undoAddCpu.push_back(cpuMs() - start);
                  require(undone.ok() && undone->change, "the add is taken back");
              },
              {},
              &figures.undoAdd}});
    figures.addCpu = median(addCpu);
    figures.undoRemovalCpu = median(undoRemovalCpu);
    figures.undoAddCpu = median(undoAddCpu);

    const QString longHistory = folder + QStringLiteral("/history-long.dll");
    seedChanges(longHistory, kChanges);
    std::vector<double> readCpu;
    measure(run,
            {{{},
              [&](int) {
                  const double start = cpuMs();
                  const auto changes = store::history::readChanges(longHistory);
                  readCpu.push_back(cpuMs() - start);
                  require(changes.ok(), "the history is read");
                  figures.changes = int(changes->size());
              },
              {},
              &figures.readChanges}});
    figures.readChangesCpu = median(readCpu);
    measureWindow(run, longHistory, figures);
    QFile::remove(path);
    QFile::remove(longHistory);
    return figures;
}

void printHistory(const Run &run, const HistoryFigures &f, int entries)
{
    std::printf("\nThe history at %d entries, median ms of %d runs: the store's call with its history, the same "
                "write\nthrough the same open, check and transaction without it, and what the history adds\n",
                entries, run.reps);
    std::printf("  (own: the history's statements alone, timed inside the write's transaction; the difference of\n"
                "  the first two carries the disk's noise, which on a loaded machine is larger than the history)\n");
    std::printf("  %-8s %8s %8s %8s %14s\n", "action", "with", "without", "added", "own");
    const auto row = [](const char *action, double with, double without, double own) {
        std::printf("  %-8s %8.3f %8.3f %+8.3f %8.3f (<= 0.5)   %s\n", action, with, without, with - without, own,
                    own <= 0.5 ? "met" : "MISSED");
    };
    row("add", f.add, f.addBare, f.addOwn);
    row("edit", f.edit, f.editBare, f.editOwn);
    row("remove", f.remove, f.removeBare, f.removeOwn);
    std::printf("  undo of a removal %.3f ms, of an add %.3f ms; an add %.3f ms (undo <= add)   %s\n", f.undoRemoval,
                f.undoAdd, f.add, f.undoRemoval <= f.add ? "met" : "MISSED");
    std::printf("  on the processor clock: undo of a removal %.3f ms, of an add %.3f ms; an add %.3f ms\n",
                f.undoRemovalCpu, f.undoAddCpu, f.addCpu);
    std::printf("  all %d changes read at once %.3f ms, %.3f ms on the processor clock (the window reads them a\n"
                "  page at a time)\n",
                f.changes, f.readChanges, f.readChangesCpu);
    const double slowest = std::max({f.windowOpen, f.windowPageDown, f.windowEnd});
    std::printf("  History window with %d changes: opened and painted %.3f ms, Page Down %.3f ms, End (reads the\n"
                "  next page) %.3f ms (each <= 100)   %s\n",
                f.changes, f.windowOpen, f.windowPageDown, f.windowEnd, slowest <= 100 ? "met" : "MISSED");
}

} // namespace bench
