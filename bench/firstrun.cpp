#include "firstrun.h"

#include "fixtures.h"
#include "sections.h"

#include "core/datafolder.h"
#include "core/diary.h"
#include "core/find/findprobe.h"
#include "core/find/liveindex.h"
#include "core/services.h"
#include "core/store/diarykey.h"
#include "core/store/storeprobe.h"
#include "gui/forms.h"
#include "gui/windows/findwindow.h"
#include "gui/windows/historywindow.h"
#include "gui/windows/mainwindow.h"
#include "gui/windows/sectionwindow.h"
#include "gui/windows/startupwindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringListModel>
#include <QTest>
#include <QTimer>

#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

const std::array<QString, 4> kTableNames{QStringLiteral("tblspell"), QStringLiteral("tblincense"),
                                         QStringLiteral("tblrecipes"), QStringLiteral("tblrituals")};

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// The peak resident memory counts from here on (Linux).
void resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

// This process is the one instance: the benchmark starts the program's windows in it.
class NoOtherInstance final : public platform::InstanceLock {
public:
    bool anotherInstanceRunning() override { return false; }
};

// A user's step, coming from the event loop as input does, after the user's own pause.
struct Step {
    QString what;
    int pauseMs = 0;
    std::function<void()> act;
    // The step has ended once this holds; none: at once.
    std::function<bool()> done;
};

// Runs the steps from the event loop and times its every turn meanwhile: a timer of a millisecond
// fires at each turn, so the longest gap between two firings is the longest the loop stood still.
// The longest gap of each step (what the steps before it left running counts to it too).
std::map<QString, double> runSteps(std::vector<Step> steps)
{
    QEventLoop loop;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    std::map<QString, double> longest;
    std::size_t at = 0;
    bool acted = false;
    QString under = QStringLiteral("(before the first step)");
    Clock::time_point last = Clock::now();
    Clock::time_point stepStarted = last;
    const Clock::time_point started = last;
    QObject::connect(&ticker, &QTimer::timeout, &loop, [&] {
        const Clock::time_point now = Clock::now();
        double &gap = longest[under];
        gap = std::max(gap, msBetween(last, now));
        last = now;
        require(msBetween(started, now) < 600000, "the steps end within ten minutes");
        if (at == steps.size()) {
            loop.quit();
            return;
        }
        Step &step = steps[at];
        if (!acted) {
            if (msBetween(stepStarted, now) < step.pauseMs)
                return;
            under = step.what;
            if (step.act)
                step.act();
            acted = true;
        }
        if (!step.done || step.done()) {
            ++at;
            acted = false;
            stepStarted = Clock::now();
        }
    });
    ticker.start();
    loop.exec();
    return longest;
}

void clickButton(QWidget *window, const char *name)
{
    auto *button = window->findChild<QPushButton *>(QString::fromLatin1(name));
    require(button != nullptr, name);
    button->click();
}

template <class T>
T *control(QWidget *window, const char *name)
{
    auto *found = window ? window->findChild<T *>(QString::fromLatin1(name)) : nullptr;
    require(found != nullptr, name);
    return found;
}

QListView *lineList(SectionWindow *window)
{
    return control<QListView>(window, "lstKeyword");
}

void browse(SectionWindow *window)
{
    if (window->mode() != SectionWindow::Mode::Browsing)
        clickButton(window, "Command1");
    require(window->mode() == SectionWindow::Mode::Browsing, "the section is browsed");
}

// Add, type, Save: the save timed until the list is painted.
double addThroughWindow(SectionWindow *window, PaintWatch &list, int number)
{
    clickButton(window, "Command2");
    require(window->mode() == SectionWindow::Mode::Adding, "adding");
    control<QLineEdit>(window, "txtKeyword")->setText(QStringLiteral("First%1").arg(number, 6, 10, QLatin1Char('0')));
    control<QPlainTextEdit>(window, "txtMeaning")->setPlainText(proseFor(number));
    const Clock::time_point started = Clock::now();
    clickButton(window, "Command2");
    settle(list);
    const double ms = msBetween(started, Clock::now());
    require(window->mode() == SectionWindow::Mode::Browsing, "the add returns to browsing");
    return ms;
}

// The run that a user starts: a fresh process as far as the diary goes.
void startRun()
{
    closeWindows();
    store::probe::startNewRun();
    store::probe::forgetKeys();
}

struct StartFigures {
    double mainWindow = 0;
    double continueInto = 0;
    double findOpens = 0;
    double typing = 0;
    double waiting = 0;
    double quietLoop = 0;
    double readingEndedToResults = 0;
    double openToResults = 0;
    double residentMb = 0;
    double peakMb = 0;
    double indexMb = 0;
    // Continue's parts: the diary's first open, then the section window's load.
    double openMs = 0;
    double loadMs = 0;
};

StartFigures measureStart()
{
    StartFigures figures;
    // The loop alone, as the machine lets it turn: the floor of every stall below.
    figures.quietLoop = runSteps({{QStringLiteral("quiet"), 1000, {}, {}}})[QStringLiteral("quiet")];

    startRun();
    const long residentBefore = statusKb("VmRSS:");
    resetPeak();
    const long peakBefore = statusKb("VmHWM:");
    MainWindow *main = nullptr;
    SectionWindow *section = nullptr;
    FindWindow *find = nullptr;
    Clock::time_point opened;
    Clock::time_point firstResults;
    std::vector<Step> steps{
        {QStringLiteral("main"),
         0,
         [&] {
             forms::ref<StartupWindow>();
             main = forms::loaded<MainWindow>();
             require(main != nullptr, "the main window shows");
         },
         {}},
        {QStringLiteral("continue"),
         400,
         [&] {
             control<QRadioButton>(main, "optOption_0")->click();
             opened = Clock::now();
             clickButton(main, "cmdContinue");
             section = forms::loaded<SectionWindow>();
             require(section != nullptr, "Continue shows the section window");
         },
         {}},
        {QStringLiteral("find"),
         400,
         [&] {
             control<QAction>(section, "mnuFind")->trigger();
             find = section->findChild<FindWindow *>();
             require(find != nullptr, "the find window opens");
             QObject::connect(control<QListView>(find, "lstResults")->model(), &QAbstractItemModel::modelReset, find,
                              [&] {
                                  if (firstResults == Clock::time_point()
                                      && control<QListView>(find, "lstResults")->model()->rowCount() > 0)
                                      firstResults = Clock::now();
                              });
         },
         {}},
    };
    for (const char key : QByteArray("ramose"))
        steps.push_back({QStringLiteral("typing"),
                         150,
                         [&find, key] { QTest::keyClick(control<QLineEdit>(find, "txtFind"), key); },
                         {}});
    steps.push_back({QStringLiteral("waiting"), 0, {}, [&] { return firstResults != Clock::time_point(); }});
    std::map<QString, double> stalls = runSteps(std::move(steps));
    figures.mainWindow = stalls[QStringLiteral("main")];
    figures.continueInto = stalls[QStringLiteral("continue")];
    figures.findOpens = stalls[QStringLiteral("find")];
    figures.typing = stalls[QStringLiteral("typing")];
    figures.waiting = stalls[QStringLiteral("waiting")];
    const Clock::time_point readingEnded{std::chrono::nanoseconds(finder::probe::readingEndedNs())};
    figures.readingEndedToResults = msBetween(readingEnded, firstResults);
    figures.openToResults = msBetween(opened, firstResults);
    figures.residentMb = double(statusKb("VmRSS:") - residentBefore) / 1024;
    figures.peakMb = double(statusKb("VmHWM:") - peakBefore) / 1024;

    // The index's own share: what goes with it once the find window has let go of its results.
    find->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const long withIndex = statusKb("VmRSS:");
    Diary::working().findIndex().drop();
#ifdef __GLIBC__
    malloc_trim(0);
#endif
    figures.indexMb = double(withIndex - statusKb("VmRSS:")) / 1024;

    // Continue in its parts, the key derived ahead as the program's start does.
    const QString path = datafolder::workingDiaryPath();
    startRun();
    store::deriveBuiltInKeyAhead(path);
    Clock::time_point started = Clock::now();
    require(!Diary::working().open(), "the diary opens");
    figures.openMs = msBetween(started, Clock::now());
    started = Clock::now();
    forms::show<SectionWindow>(kChoice);
    PaintWatch list(lineList(forms::loaded<SectionWindow>())->viewport());
    settle(list);
    figures.loadMs = msBetween(started, Clock::now());
    Diary::working().waitForReaders();
    return figures;
}

struct WriteFigures {
    double firstSave = 0;      // the check and copy made ahead have ended
    double firstSaveEarly = 0; // saved at once: the save waits for them
    std::map<QString, Figures> actions;
    double undoShown = 0;   // from the click in the History window to the section's list painted
    double noticeShown = 0; // from the diary's notice to the section's list painted
};

// The first save of a run, once the check and copy made ahead of it have ended, and at once.
void measureFirstSaves(WriteFigures &figures)
{
    std::vector<double> late;
    std::vector<double> early;
    for (int rep = 0; rep < 6; ++rep) {
        startRun();
        forms::show<SectionWindow>(kChoice);
        SectionWindow *window = forms::loaded<SectionWindow>();
        browse(window);
        PaintWatch list(lineList(window)->viewport());
        const bool atOnce = rep % 3 == 2;
        if (!atOnce)
            Diary::working().waitForReaders();
        (atOnce ? early : late).push_back(addThroughWindow(window, list, rep));
    }
    figures.firstSave = median(late);
    figures.firstSaveEarly = median(early);
}

void measureLaterWrites(const Run &run, const QString &path, WriteFigures &figures)
{
    startRun();
    forms::show<SectionWindow>(kChoice);
    SectionWindow *window = forms::loaded<SectionWindow>();
    browse(window);
    Diary::working().waitForReaders();
    PaintWatch windowList(lineList(window)->viewport());
    // A first save, so that what follows are the run's later ones.
    addThroughWindow(window, windowList, 900000);

    const QString floorPath = path + QStringLiteral(".floor");
    QFile::remove(floorPath);
    require(QFile::copy(path, floorPath), "the floor's copy is made");
    OpenDiary floorDb(floorPath, kTable);
    require(floorDb.ok(), "the floor's connection opens");
    const QByteArray rawKey = rawKeyOf(floorPath);
    QStringListModel bareModel;
    QListView bareView;
    bareView.setModel(&bareModel);
    bareView.setUniformItemSizes(true);
    bareView.resize(425, 69);
    bareView.show();
    PaintWatch bareList(bareView.viewport());
    auto floorFill = [&] {
        bareModel.setStringList(floorDb.readKeywords().keywords);
        settle(bareList);
    };
    auto reopen = [&] { require(reopenWithRawKey(floorPath, rawKey), "reopen with the raw key"); };

    // Each action in turn through the window and on the floor, warmed up twice.
    int made = 0;
    std::vector<std::pair<qint64, QString>> floorAdded;
    Figures &add = figures.actions[QStringLiteral("add")];
    std::vector<double> adds, floorAdds;
    for (int rep = -2; rep < run.reps; ++rep) {
        const double ms = addThroughWindow(window, windowList, ++made);
        const QString keyword = QStringLiteral("Floor%1").arg(++made);
        const Clock::time_point started = Clock::now();
        reopen();
        floorAdded.emplace_back(floorDb.add(keyword, proseFor(made)), keyword);
        floorFill();
        if (rep >= 0) {
            adds.push_back(ms);
            floorAdds.push_back(msBetween(started, Clock::now()));
        }
    }
    add.window = median(adds);
    add.floor = median(floorAdds);

    Figures &edit = figures.actions[QStringLiteral("edit")];
    const int editRow = lineList(window)->model()->rowCount() - 1;
    std::vector<double> edits;
    for (int rep = -2; rep < run.reps; ++rep) {
        const QModelIndex line = lineList(window)->model()->index(editRow, 0);
        lineList(window)->setCurrentIndex(line);
        lineList(window)->selectionModel()->select(line, QItemSelectionModel::ClearAndSelect);
        QCoreApplication::processEvents();
        clickButton(window, "Command4");
        require(window->mode() == SectionWindow::Mode::Editing, "editing");
        control<QLineEdit>(window, "txtKeyword")->setText(QStringLiteral("Edited%1").arg(++made));
        control<QPlainTextEdit>(window, "txtMeaning")->setPlainText(proseFor(made));
        const Clock::time_point started = Clock::now();
        clickButton(window, "Command4");
        settle(windowList);
        if (rep >= 0)
            edits.push_back(msBetween(started, Clock::now()));
        require(window->mode() == SectionWindow::Mode::Browsing, "the edit returns to browsing");
    }
    edit.window = median(edits);
    std::vector<double> floorEdits;
    for (int rep = -2; rep < run.reps; ++rep) {
        const auto [index, listed] = floorAdded.back();
        const QString keyword = QStringLiteral("FloorEdit%1").arg(++made);
        const Clock::time_point started = Clock::now();
        reopen();
        require(floorDb.update(index, listed, keyword, proseFor(made)), "the floor updates");
        floorFill();
        if (rep >= 0)
            floorEdits.push_back(msBetween(started, Clock::now()));
        floorAdded.back().second = keyword;
    }
    edit.floor = median(floorEdits);

    Figures &remove = figures.actions[QStringLiteral("remove")];
    std::vector<double> removes, floorRemoves;
    for (int rep = 0; rep < run.reps; ++rep) {
        const int row = lineList(window)->model()->rowCount() - 1;
        const QModelIndex line = lineList(window)->model()->index(row, 0);
        lineList(window)->setCurrentIndex(line);
        lineList(window)->selectionModel()->select(line, QItemSelectionModel::ClearAndSelect);
        QCoreApplication::processEvents();
        const Clock::time_point started = Clock::now();
        clickButton(window, "Command3");
        settle(windowList);
        removes.push_back(msBetween(started, Clock::now()));
        require(lineList(window)->model()->rowCount() == row, "the remove drops its line");

        const auto [index, listed] = floorAdded.back();
        floorAdded.pop_back();
        const Clock::time_point floorStarted = Clock::now();
        reopen();
        require(floorDb.remove(index, listed), "the floor removes");
        floorFill();
        floorRemoves.push_back(msBetween(floorStarted, Clock::now()));
    }
    remove.window = median(removes);
    remove.floor = median(floorRemoves);

    // An undo in the History window, shown in the section window: the newest change each time,
    // which is the undo before it.
    control<QAction>(window, "mnuHistory")->trigger();
    auto *history = window->findChild<HistoryWindow *>();
    require(history != nullptr, "the History window opens");
    QCoreApplication::processEvents();
    Clock::time_point told;
    const QMetaObject::Connection listening =
        QObject::connect(&Diary::working(), &Diary::changed, [&told] { told = Clock::now(); });
    std::vector<double> shown, fromNotice;
    for (int rep = -2; rep < run.reps; ++rep) {
        auto *changes = control<QListView>(history, "lstChanges");
        changes->setCurrentIndex(changes->model()->index(0, 0));
        QCoreApplication::processEvents();
        const int lines = lineList(window)->model()->rowCount();
        const Clock::time_point started = Clock::now();
        clickButton(history, "cmdUndoChange");
        settle(windowList);
        const Clock::time_point painted = Clock::now();
        require(lineList(window)->model()->rowCount() != lines, "the section window shows the undo");
        if (rep >= 0) {
            shown.push_back(msBetween(started, painted));
            fromNotice.push_back(msBetween(told, painted));
        }
    }
    QObject::disconnect(listening);
    figures.undoShown = median(shown);
    figures.noticeShown = median(fromNotice);
    closeWindows();
    QFile::remove(floorPath);
}

const char *verdict(bool met)
{
    return met ? "met" : "MISSED";
}

} // namespace

void measureFirstRun(const Run &run, int entries)
{
    closeWindows();
    const QString path = datafolder::workingDiaryPath();
    require(makeDiary(path, kTableNames[0], 0), "the diary is made");
    for (const QString &table : kTableNames)
        require(appendEntries(path, table, entries, proseFor), "the sections are filled");
    auto &services = platform::installed();
    std::unique_ptr<platform::InstanceLock> realLock = std::move(services.instanceLock);
    services.instanceLock = std::make_unique<NoOtherInstance>();

    const StartFigures start = measureStart();
    WriteFigures writes;
    measureFirstSaves(writes);
    measureLaterWrites(run, path, writes);
    services.instanceLock = std::move(realLock);

    std::printf("\nOne run from start-up, 4 sections of %d entries of 400 characters\n", entries);
    std::printf("  longest stall of the window's event loop (a 1 ms timer's longest gap; the loop alone: %.1f ms)\n",
                start.quietLoop);
    const double longest =
        std::max({start.mainWindow, start.continueInto, start.findOpens, start.typing, start.waiting});
    std::printf("    start-up to the main window %7.1f ms\n", start.mainWindow);
    std::printf("    Continue: first open, section window %7.1f ms\n", start.continueInto);
    std::printf("    the find window opens %7.1f ms\n", start.findOpens);
    std::printf("    typing \"ramose\", a key each 150 ms %7.1f ms\n", start.typing);
    std::printf("    waiting for the first results %7.1f ms\n", start.waiting);
    std::printf("  longest %.1f ms (<= 16)   %s\n", longest, verdict(longest <= 16));
    std::printf("  first results %.1f ms after the background read ended (<= 50)   %s; %.0f ms after Continue\n",
                start.readingEndedToResults, verdict(start.readingEndedToResults <= 50), start.openToResults);
    std::printf("    (Continue alone: the first open %.1f ms, the section window's load %.1f ms)\n", start.openMs,
                start.loadMs);
    std::printf("  memory +%.1f MB resident from before start-up through the first results (peak +%.1f MB), of\n"
                "  which the index %.1f MB (<= 40)   %s\n",
                start.residentMb, start.peakMb, start.indexMb, verdict(start.indexMb <= 40));

    std::printf("  through the window, median ms (window = the click of Save or Remove until the list is painted;\n"
                "  floor = reopen + the same SQL on one open connection + a bare list filled again and painted)\n");
    std::printf("    first save of a run, the check and copy made ahead ended %8.3f ms (<= 16)   %s\n",
                writes.firstSave, verdict(writes.firstSave <= 16));
    std::printf("    first save of a run at once, waiting for them           %8.3f ms\n", writes.firstSaveEarly);
    for (const char *name : {"add", "edit", "remove"}) {
        const Figures &f = writes.actions.at(QString::fromLatin1(name));
        std::printf("    %-8s window %8.3f  floor %8.3f  ratio %5.2f (<= 16 ms and <= 1.5)   %s\n", name, f.window,
                    f.floor, f.window / f.floor, verdict(f.window <= 16 && f.window / f.floor <= 1.5));
    }
    std::printf("  an undo in the History window shown in the section window: %.3f ms from the click, %.3f ms from\n"
                "  the diary's notice (<= 16)   %s\n",
                writes.undoShown, writes.noticeShown, verdict(writes.noticeShown <= 16));
    std::fflush(stdout);
}

} // namespace bench
