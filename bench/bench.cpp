// Times every action of the section window on diaries of growing size, each beside its floor:
// the same statements on one connection that stays open, plus the bare widget work. Then times
// the start of the real program and reads its peak memory, each against a bare Qt program.
//
//   brimvale_bench [--reps N] [--sizes 1000,8000,...]

#include "fixtures.h"

#include "app/forms.h"
#include "app/identity.h"
#include "app/modAppdata.h"
#include "app/modBookOfShadows.h"
#include "diary/frmResultBOS.h"
#include "diary/modDB.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringListModel>
#include <QTest>
#include <QVBoxLayout>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

extern char **environ;

namespace {

constexpr int kWarmups = 2;
const QString kTable = QStringLiteral("tblspell");
constexpr modDB::Table kStoreTable = modDB::Table::Spell;
constexpr int kSection = 0;
const QString kSectionName = QStringLiteral("Spell");

int g_forcedPaints = 0;

// A message box would wait for a click that never comes: each one is printed and counted, and
// any at all makes the run invalid.
class PrintedMessages final : public platform::MessageBoxes {
public:
    void show(QWidget *, const QString &text, platform::MessageIcon) override
    {
        ++shown;
        std::fprintf(stderr, "message box: %s\n", qPrintable(text));
    }
    platform::Answer askYesNo(QWidget *parent, const QString &text) override
    {
        show(parent, text, platform::MessageIcon::Information);
        return platform::Answer::No;
    }
    int shown = 0;
};

class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget *widget) : m_widget(widget) { widget->installEventFilter(this); }
    int paints() const { return m_paints; }
    QWidget *widget() const { return m_widget; }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++m_paints;
        return false;
    }

private:
    QWidget *m_widget;
    int m_paints = 0;
};

// What the event loop does before it waits again: posted layouts (zero-time timers, which may
// ask for another repaint when they run) and the repaints of what changed, until a pass brings
// no new paint of the watched widget. Should none come at all, one is forced (and counted).
void settle(PaintWatch &watch)
{
    const int before = watch.paints();
    int seen = before;
    for (int pass = 0; pass < 16; ++pass) {
        QCoreApplication::processEvents();
        if (watch.paints() == seen && seen != before)
            break;
        seen = watch.paints();
    }
    if (watch.paints() == before) {
        watch.widget()->repaint();
        ++g_forcedPaints;
    }
}

void require(bool condition, const char *what)
{
    if (!condition)
        qFatal("benchmark check failed: %s", what);
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

struct Run {
    int reps = 25;
    std::vector<int> sizes{1000, 8000, 32767, 100000};
};

// Runs setup (untimed), the timed part, then check (untimed); warm-ups are not kept.
double measure(const Run &run, const std::function<void(int)> &setup, const std::function<void(int)> &timed,
               const std::function<void(int)> &check = {})
{
    std::vector<double> samples;
    for (int rep = -kWarmups; rep < run.reps; ++rep) {
        if (setup)
            setup(rep);
        QElapsedTimer timer;
        timer.start();
        timed(rep);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        if (check)
            check(rep);
        if (rep >= 0)
            samples.push_back(ms);
        QCoreApplication::processEvents();
    }
    return median(samples);
}

// ---------------------------------------------------------------------------------------------
// The bare widgets of the floor.

struct BareList {
    BareList()
    {
        view.setModel(&model);
        view.setUniformItemSizes(true); // as the window's list: the floor gets every advantage
        view.resize(425, 69);
        view.show();
    }
    void fill(bench::KeywordList &&list)
    {
        indexes = std::move(list.indexes);
        model.setStringList(list.keywords);
    }
    QListView view;
    QStringListModel model;
    std::vector<qint64> indexes;
    PaintWatch watch{view.viewport()};
};

struct BareBoxes {
    BareBoxes()
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(&keyword);
        layout->addWidget(&meaning);
        window.resize(425, 120);
        window.show();
    }
    QWidget window;
    QLineEdit keyword{&window};
    QPlainTextEdit meaning{&window};
};

// ---------------------------------------------------------------------------------------------
// The section window.

frmResultBOS *sectionWindow()
{
    return forms::loaded<frmResultBOS>();
}

void closeWindows()
{
    forms::resetForTests();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

QPoint lineCentre(frmResultBOS *window, int row)
{
    QListView *list = window->lstKeyword;
    const QModelIndex index = list->model()->index(row, 0);
    list->scrollTo(index);
    return list->visualRect(index).center();
}

void clickLine(frmResultBOS *window, int row)
{
    const QPoint centre = lineCentre(window, row);
    QTest::mouseClick(window->lstKeyword->viewport(), Qt::LeftButton, {}, centre);
    QCoreApplication::processEvents();
}

int positionOf(frmResultBOS *window, qint64 index)
{
    const auto &indexes = window->lineIndexes();
    const auto found = std::find(indexes.begin(), indexes.end(), index);
    return found == indexes.end() ? -1 : int(found - indexes.begin());
}

QString listed(frmResultBOS *window, int row)
{
    return window->lstKeyword->model()->index(row, 0).data().toString();
}

// ---------------------------------------------------------------------------------------------

struct Figures {
    double window = 0;   // through frmResultBOS, with reload and repaint where the action has them
    double floor = 0;    // same statements on an open connection + reopen rule + bare widget
    double store = 0;    // the store's call alone (the database part of the action)
    double floorSql = 0; // reopen rule + the statements on the open connection
};

using Table = std::map<QString, std::map<int, Figures>>; // action -> entries -> figures
const QStringList kActions{QStringLiteral("load"), QStringLiteral("select"), QStringLiteral("add"),
                           QStringLiteral("edit"), QStringLiteral("remove"), QStringLiteral("refresh")};

void measureSize(const Run &run, int entries, Table &table)
{
    closeWindows();
    const QString path = modAppdata::WorkingDiaryPath();
    require(bench::makeDiary(path, kTable, entries), "the diary could be made");
    bench::OpenDiary floorDb(path, kTable);
    require(floorDb.ok(), "the floor's connection opened");
    const QByteArray rawKey = bench::rawKeyOf(path);
    auto reopen = [&] { require(bench::reopenWithRawKey(path, rawKey), "reopen with the raw key"); };

    // --- load
    Figures &load = table[QStringLiteral("load")][entries];
    load.window = measure(run, [](int) { closeWindows(); },
                          [](int) {
                              forms::show<frmResultBOS>();
                              frmResultBOS *window = sectionWindow();
                              PaintWatch watch(window->lstKeyword->viewport());
                              settle(watch);
                          },
                          [&](int) { require(sectionWindow()->lstKeyword->model()->rowCount() == entries, "load fills the list"); });
    std::unique_ptr<BareList> bare;
    load.floor = measure(run, [&](int) { bare.reset(); QCoreApplication::processEvents(); },
                         [&](int) {
                             reopen();
                             auto keywords = floorDb.readKeywords();
                             bare = std::make_unique<BareList>();
                             bare->fill(std::move(keywords));
                             settle(bare->watch);
                         },
                         [&](int) { require(bare->model.rowCount() == entries, "floor load fills the list"); });
    load.store = measure(run, {}, [&](int) { require(modDB::ReadKeywords(path, kStoreTable).ok(), "store reads"); });
    load.floorSql = measure(run, {}, [&](int) {
        reopen();
        floorDb.readKeywords();
    });

    // The window stays from here on, open for browsing as the user leaves it.
    closeWindows();
    forms::show<frmResultBOS>();
    frmResultBOS *window = sectionWindow();
    window->Command1->click();
    require(SectionWindowState(*window) == SectionWindowMode::Browsing, "the section opens");
    PaintWatch windowList(window->lstKeyword->viewport());
    QCoreApplication::processEvents();
    const std::vector<qint64> originalIndexes = window->lineIndexes();
    auto nearEnd = [&](int rep) { return entries - 2 - (rep & 1); }; // two lines, so that each click selects
    bare = std::make_unique<BareList>();
    BareBoxes boxes;
    QCoreApplication::processEvents();

    // --- select
    Figures &select = table[QStringLiteral("select")][entries];
    QPoint target;
    select.window = measure(run, [&](int rep) { target = lineCentre(window, nearEnd(rep)); QCoreApplication::processEvents(); },
                            [&](int) { QTest::mouseClick(window->lstKeyword->viewport(), Qt::LeftButton, {}, target); },
                            [&](int rep) {
                                require(window->txtKeyword->text() == bench::keywordFor(nearEnd(rep)), "select shows the keyword");
                                require(window->txtMeaning->toPlainText() == bench::meaningFor(nearEnd(rep)), "select shows the meaning");
                            });
    select.floor = measure(run, {}, [&](int rep) {
        reopen();
        QString keyword, meaning;
        floorDb.readEntry(originalIndexes[std::size_t(nearEnd(rep))], keyword, meaning);
        boxes.keyword.setText(keyword);
        boxes.meaning.setPlainText(meaning);
    });
    select.store = measure(run, {}, [&](int rep) {
        require(modDB::ReadEntry(path, kStoreTable, originalIndexes[std::size_t(nearEnd(rep))]).ok(), "store reads an entry");
    });
    select.floorSql = measure(run, {}, [&](int rep) {
        reopen();
        QString keyword, meaning;
        floorDb.readEntry(originalIndexes[std::size_t(nearEnd(rep))], keyword, meaning);
    });

    // --- add: every block appends rows that its remove block takes away again
    Figures &add = table[QStringLiteral("add")][entries];
    std::vector<qint64> windowAdded, floorAdded, storeAdded, sqlAdded;
    QString newKeyword, newMeaning;
    auto newEntry = [&](int rep) {
        newKeyword = QStringLiteral("Added%1").arg(rep + kWarmups, 7, 10, QLatin1Char('0'));
        newMeaning = bench::meaningFor(entries + rep + kWarmups);
    };
    add.window = measure(run,
                         [&](int rep) {
                             newEntry(rep);
                             window->Command2->click();
                             require(SectionWindowState(*window) == SectionWindowMode::Adding, "adding");
                             window->txtKeyword->setText(newKeyword);
                             window->txtMeaning->setPlainText(newMeaning);
                         },
                         [&](int) {
                             window->Command2->click();
                             settle(windowList);
                         },
                         [&](int) {
                             require(SectionWindowState(*window) == SectionWindowMode::Browsing, "add returns to browsing");
                             const int last = window->lstKeyword->model()->rowCount() - 1;
                             require(listed(window, last) == newKeyword, "add lists the new keyword last");
                             windowAdded.push_back(window->lineIndexes().back());
                         });
    add.floor = measure(run, newEntry, [&](int) {
        reopen();
        floorAdded.push_back(floorDb.add(newKeyword, newMeaning));
        bare->fill(floorDb.readKeywords());
        settle(bare->watch);
    });
    add.store = measure(run, newEntry, [&](int) {
        const auto added = modDB::AddEntry(path, kStoreTable, {newKeyword, newMeaning});
        require(added.ok(), "store adds");
        storeAdded.push_back(*added);
    });
    add.floorSql = measure(run, newEntry, [&](int) {
        reopen();
        sqlAdded.push_back(floorDb.add(newKeyword, newMeaning));
    });

    // --- edit: the same line near the end, a new keyword each time
    Figures &edit = table[QStringLiteral("edit")][entries];
    const int editRow = entries - 2;
    const qint64 editIndex = originalIndexes[std::size_t(editRow)];
    auto edited = [&](int rep) {
        newKeyword = QStringLiteral("Edited%1").arg(rep + kWarmups, 6, 10, QLatin1Char('0'));
        newMeaning = bench::meaningFor(rep + kWarmups);
    };
    edit.window = measure(run,
                          [&](int rep) {
                              edited(rep);
                              clickLine(window, editRow);
                              window->Command4->click();
                              require(SectionWindowState(*window) == SectionWindowMode::Editing, "editing");
                              window->txtKeyword->setText(newKeyword);
                              window->txtMeaning->setPlainText(newMeaning);
                          },
                          [&](int) {
                              window->Command4->click();
                              settle(windowList);
                          },
                          [&](int) {
                              require(SectionWindowState(*window) == SectionWindowMode::Browsing, "edit returns to browsing");
                              require(listed(window, editRow) == newKeyword, "edit lists the new keyword");
                          });
    edit.floor = measure(run, edited, [&](int) {
        reopen();
        floorDb.update(editIndex, newKeyword, newMeaning);
        bare->fill(floorDb.readKeywords());
        settle(bare->watch);
    });
    edit.store = measure(run, edited, [&](int) {
        require(modDB::UpdateEntry(path, kStoreTable, editIndex, {newKeyword, newMeaning}).ok(), "store updates");
    });
    edit.floorSql = measure(run, edited, [&](int) {
        reopen();
        floorDb.update(editIndex, newKeyword, newMeaning);
    });

    // --- remove: the rows each add block appended, newest first
    Figures &remove = table[QStringLiteral("remove")][entries];
    auto takeLast = [](std::vector<qint64> &indexes) {
        const qint64 index = indexes.back();
        indexes.pop_back();
        return index;
    };
    qint64 removedIndex = 0;
    int linesBefore = 0;
    remove.window = measure(run,
                            [&](int) {
                                removedIndex = takeLast(windowAdded);
                                const int row = positionOf(window, removedIndex);
                                require(row >= 0, "the added line is listed");
                                clickLine(window, row);
                                linesBefore = window->lstKeyword->model()->rowCount();
                            },
                            [&](int) {
                                window->Command3->click();
                                settle(windowList);
                            },
                            [&](int) {
                                require(window->lstKeyword->model()->rowCount() == linesBefore - 1, "remove drops a line");
                                require(positionOf(window, removedIndex) < 0, "remove drops its own line");
                                require(window->txtKeyword->text().isEmpty(), "remove empties the boxes");
                            });
    qint64 victim = 0;
    remove.floor = measure(run, [&](int) { victim = takeLast(floorAdded); }, [&](int) {
        reopen();
        floorDb.remove(victim);
        bare->fill(floorDb.readKeywords());
        settle(bare->watch);
    });
    remove.store = measure(run, [&](int) { victim = takeLast(storeAdded); }, [&](int) {
        const auto removed = modDB::RemoveEntry(path, kStoreTable, victim);
        require(removed.ok() && *removed, "store removes");
    });
    remove.floorSql = measure(run, [&](int) { victim = takeLast(sqlAdded); }, [&](int) {
        reopen();
        floorDb.remove(victim);
    });

    // --- refresh
    Figures &refresh = table[QStringLiteral("refresh")][entries];
    refresh.window = measure(run, {},
                             [&](int) {
                                 window->cmdRefresh->click();
                                 settle(windowList);
                             },
                             [&](int) { require(window->lstKeyword->model()->rowCount() == entries, "refresh lists every entry"); });
    refresh.floor = measure(run, {}, [&](int) {
        reopen();
        bare->fill(floorDb.readKeywords());
        settle(bare->watch);
    });
    refresh.store = load.store;
    refresh.floorSql = measure(run, {}, [&](int) {
        reopen();
        floorDb.readKeywords();
    });

    require(window->lineIndexes() == originalIndexes, "the diary is back to its rows");
    std::printf("  %6d entries measured (page size %s, cache size %s)\n", entries,
                qPrintable(floorDb.pragma("page_size")), qPrintable(floorDb.pragma("cache_size")));
    std::fflush(stdout);
    closeWindows();
}

// ---------------------------------------------------------------------------------------------
// Child processes: the real program and the bare Qt program, with the probe plugin loaded.

long long monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

struct ChildReport {
    double startMs = -1; // process start to the first window painted
    long peakKb = -1;
    int rows = -1;
};

ChildReport launch(const char *program, const std::vector<std::string> &extraEnv)
{
    std::vector<std::string> env;
    for (char **entry = environ; *entry; ++entry) {
        const std::string text(*entry);
        const bool ours = text.rfind("QT_QPA_PLATFORM=", 0) == 0 || text.rfind("QT_PLUGIN_PATH=", 0) == 0
                          || text.rfind("QT_QPA_GENERIC_PLUGINS=", 0) == 0 || text.rfind("BRIMVALE_PROBE_", 0) == 0;
        if (!ours)
            env.push_back(text);
    }
    env.insert(env.end(), {"QT_QPA_PLATFORM=offscreen", "QT_PLUGIN_PATH=" BRIMVALE_PROBE_PLUGINS,
                           "QT_QPA_GENERIC_PLUGINS=brimvaleprobe"});
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char *> envp;
    for (std::string &text : env)
        envp.push_back(text.data());
    envp.push_back(nullptr);

    int out[2];
    require(pipe(out) == 0, "a pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    // The offscreen platform's warnings would bury the table.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    char *argv[] = {const_cast<char *>(program), nullptr};
    pid_t child = 0;
    const long long started = monotonicNs();
    const int spawned = posix_spawn(&child, program, &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    require(spawned == 0, "the child starts");
    std::string output;
    char buffer[512];
    for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, std::size_t(got));
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);

    ChildReport report;
    long long shown = 0;
    if (std::sscanf(output.c_str(), "probe shown %lld peak %ld", &shown, &report.peakKb) == 2)
        report.startMs = double(shown - started) / 1e6;
    else if (std::sscanf(output.c_str(), "probe section rows %d peak %ld", &report.rows, &report.peakKb) != 2)
        qFatal("%s reported: %s", program, output.c_str());
    return report;
}

void clearInstanceLock(const bench::Home &home)
{
    QFile::remove(home.runtimeFolder() + QStringLiteral("/brimvale.lock"));
}

struct ProcessFigures {
    double programStart = 0, bareStart = 0;
    double programPeakMb = 0, barePeakMb = 0;
    int rows = 0;
};

ProcessFigures measureProcesses(const Run &run, const bench::Home &home)
{
    std::vector<double> program, bare, programPeak, barePeak;
    int rows = 0;
    const std::vector<std::string> mainWindow{"BRIMVALE_PROBE_WINDOW=frmMain"};
    const std::vector<std::string> bareWindow{"BRIMVALE_PROBE_WINDOW=bareWindow"};
    for (int rep = -kWarmups; rep < run.reps; ++rep) {
        clearInstanceLock(home);
        const ChildReport ours = launch(BRIMVALE_PROGRAM, mainWindow);
        const ChildReport plain = launch(BRIMVALE_BARE_PROGRAM, bareWindow);
        require(ours.startMs > 0 && plain.startMs > 0, "both programs report their first window");
        if (rep >= 0) {
            program.push_back(ours.startMs);
            bare.push_back(plain.startMs);
            barePeak.push_back(double(plain.peakKb) / 1024);
        }
    }
    for (int rep = 0; rep < 5; ++rep) {
        clearInstanceLock(home);
        const ChildReport ours =
            launch(BRIMVALE_PROGRAM, {"BRIMVALE_PROBE_WINDOW=frmMain", "BRIMVALE_PROBE_SECTION=" + std::to_string(kSection)});
        programPeak.push_back(double(ours.peakKb) / 1024);
        rows = ours.rows;
    }
    return {median(program), median(bare), median(programPeak), median(barePeak), rows};
}

// ---------------------------------------------------------------------------------------------

const char *verdict(bool met)
{
    return met ? "met" : "MISSED";
}

QString cpuName()
{
    QFile info(QStringLiteral("/proc/cpuinfo"));
    if (info.open(QIODevice::ReadOnly))
        for (const QByteArray &line : info.readAll().split('\n'))
            if (line.startsWith("model name"))
                return QString::fromUtf8(line.mid(line.indexOf(':') + 1)).trimmed();
    return QStringLiteral("unknown processor");
}

void printTable(const Run &run, const Table &table)
{
    std::printf("\nSection window, median of %d runs each (ms). floor = the same SQL on one open connection\n"
                "+ reopen with the cached raw key + the bare widget work; store = the store's call alone;\n"
                "sql floor = reopen + the same SQL on the open connection.\n\n",
                run.reps);
    std::printf("%-8s %8s %10s %10s %7s %10s %10s\n", "action", "entries", "median", "floor", "ratio", "store",
                "sql floor");
    for (const QString &action : kActions) {
        for (int entries : run.sizes) {
            const Figures &f = table.at(action).at(entries);
            std::printf("%-8s %8d %10.3f %10.3f %7.2f %10.3f %10.3f\n", qPrintable(action), entries, f.window, f.floor,
                        f.window / f.floor, f.store, f.floorSql);
        }
    }
}

void printGrowth(const Run &run, const Table &table)
{
    if (run.sizes.size() < 2)
        return;
    const int small = run.sizes.front();
    const int large = run.sizes.back();
    std::printf("\nGrowth from %d to %d entries (x%.0f): window time, store time, and store time per entry (us)\n",
                small, large, double(large) / small);
    for (const QString &action : kActions) {
        const Figures &a = table.at(action).at(small);
        const Figures &b = table.at(action).at(large);
        std::printf("%-8s window x%6.2f   store x%6.2f   store/entry %.4f -> %.4f\n", qPrintable(action),
                    b.window / a.window, b.store / a.store, 1000 * a.store / small, 1000 * b.store / large);
    }
}

void printTargets(const Table &table, int entries, const ProcessFigures &process)
{
    auto at = [&](const char *action) { return table.at(QString::fromLatin1(action)).at(entries); };
    std::printf("\nTargets at %d entries\n", entries);
    const Figures select = at("select");
    std::printf("  select               %7.3f ms (<= 2)   ratio %5.2f (<= 2)   %s\n", select.window,
                select.window / select.floor, verdict(select.window <= 2 && select.window / select.floor <= 2));
    for (const char *action : {"add", "edit", "remove"}) {
        const Figures f = at(action);
        std::printf("  %-20s %7.3f ms (<= 25)                       %s\n", action, f.window, verdict(f.window <= 25));
    }
    for (const char *action : {"load", "refresh"}) {
        const Figures f = at(action);
        std::printf("  %-20s %7.3f ms (<= 20)  ratio %5.2f (<= 2)   %s\n", action, f.window, f.window / f.floor,
                    verdict(f.window <= 20 && f.window / f.floor <= 2));
    }
    std::printf("  start-up             %7.1f ms, bare Qt %.1f ms, x%.2f (<= 1.5)      %s\n", process.programStart,
                process.bareStart, process.programStart / process.bareStart,
                verdict(process.programStart <= 1.5 * process.bareStart));
    std::printf("  peak memory          %7.1f MB with %d entries open, bare Qt %.1f MB, +%.1f MB (<= 40)  %s\n",
                process.programPeakMb, process.rows, process.barePeakMb, process.programPeakMb - process.barePeakMb,
                verdict(process.programPeakMb - process.barePeakMb <= 40));
}

// The offscreen platform cannot pass size hints on; saying so for every fixed-size window would
// bury the table.
QtMessageHandler g_standardMessages = nullptr;

void quieterMessages(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (!text.contains(QLatin1String("propagateSizeHints")))
        g_standardMessages(type, context, text);
}

Run parseArguments(const QStringList &arguments)
{
    Run run;
    for (int i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--reps")) {
            run.reps = std::max(1, arguments[i + 1].toInt());
        } else if (arguments[i] == QLatin1String("--sizes")) {
            run.sizes.clear();
            for (const QString &size : arguments[i + 1].split(QLatin1Char(',')))
                run.sizes.push_back(size.toInt());
        }
    }
    return run;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    g_standardMessages = qInstallMessageHandler(quieterMessages);
    bench::Home home;
    if (!home.valid())
        qFatal("no temporary folder");
    QApplication application(argc, argv);
    app::setApplicationIdentity();
    QApplication::setQuitOnLastWindowClosed(false);
    const Run run = parseArguments(QCoreApplication::arguments());

    platform::install(platform::productionServices());
    auto *messages = new PrintedMessages;
    platform::installed().messages.reset(messages);
    require(modAppdata::SetDataFolder(), "the data folder");
    modBookOfShadows::intSection = kSection;
    modBookOfShadows::strSection = kSectionName;

    std::printf("Brimvale benchmark: %s, %ld processors, Qt %s, diary in %s\n", qPrintable(cpuName()),
                sysconf(_SC_NPROCESSORS_ONLN), qVersion(), qPrintable(modAppdata::WorkingDiaryPath()));
    std::fflush(stdout);

    Table table;
    for (int entries : run.sizes)
        measureSize(run, entries, table);

    // The largest diary made stays for the program to open.
    const ProcessFigures process = measureProcesses(run, home);

    printTable(run, table);
    printGrowth(run, table);
    const int targetSize = std::find(run.sizes.begin(), run.sizes.end(), 32767) != run.sizes.end() ? 32767 : run.sizes.back();
    printTargets(table, targetSize, process);
    std::printf("\nNotes: %d forced paints (0 means the event loop painted every time); %d message boxes.\n",
                g_forcedPaints, messages->shown);
    return messages->shown == 0 ? 0 : 1;
}
