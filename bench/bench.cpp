// The section window's actions on diaries of growing size, each beside its floor; where the time
// goes; then the real program's start-up time and peak memory against a bare Qt program.
//
//   brimvale_bench [--reps N] [--sizes 1000,8000,32767,100000] [--find-only] [--first-run-only]
//                  [--book-only] [--history-only] [--password TEXT]
//
// Then the book: export of a full diary in each format, the PDF's memory, a large import.

#include "book.h"
#include "explain.h"
#include "find.h"
#include "firstrun.h"
#include "fixtures.h"
#include "harness.h"
#include "history.h"
#include "processes.h"
#include "sections.h"

#include "core/datafolder.h"
#include "core/identity.h"
#include "core/services.h"
#include "core/store/password.h"
#include "gui/messages.h"
#include "platform/qtservices.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

using namespace bench;

constexpr int kTargetSize = 32767;

// A message box would wait for a click that never comes: each one is printed and counted, and
// any at all makes the run fail.
class PrintedMessages final : public gui::MessageBoxes {
public:
    void show(QWidget *, const QString &text, gui::MessageIcon) override
    {
        ++shown;
        std::fprintf(stderr, "message box: %s\n", qPrintable(text));
    }
    gui::Answer askYesNo(QWidget *parent, const QString &text) override
    {
        show(parent, text, gui::MessageIcon::Information);
        return gui::Answer::No;
    }
    gui::Answer askSaveDiscardCancel(QWidget *parent, const QString &text) override
    {
        show(parent, text, gui::MessageIcon::Information);
        return gui::Answer::Cancel;
    }
    gui::Answer askChoice(QWidget *parent, const QString &text, const QString &, const QString &) override
    {
        show(parent, text, gui::MessageIcon::Information);
        return gui::Answer::Cancel;
    }
    int shown = 0;
};

QtMessageHandler g_standardMessages = nullptr;

// The offscreen platform cannot pass size hints on; saying so for every fixed-size window would
// bury the table.
void quieterMessages(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (!text.contains(QLatin1String("propagateSizeHints")))
        g_standardMessages(type, context, text);
}

QString firstLine(const QString &path, const QByteArray &prefix = {})
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray &line : file.readAll().split('\n'))
            if (line.startsWith(prefix))
                return QString::fromUtf8(prefix.isEmpty() ? line : line.mid(line.indexOf(':') + 1)).trimmed();
    return QStringLiteral("unknown");
}

const char *verdict(bool met)
{
    return met ? "met" : "MISSED";
}

void printTable(const Run &run, const Results &results)
{
    std::printf("\nSection window, median ms of %d runs. window = through the section window (add, edit, remove and\n"
                "refresh with their list reload and repaint); floor = reopen with the cached raw key + the same\n"
                "SQL on one open connection + a bare QListView (or bare boxes) updated and painted; store = the\n"
                "store's call alone; sql floor = reopen + the same SQL on the open connection.\n\n",
                run.reps);
    std::printf("%-8s %8s %9s %9s %6s %9s %9s\n", "action", "entries", "window", "floor", "ratio", "store",
                "sql floor");
    for (const QString &action : kActions)
        for (int entries : run.sizes) {
            const Figures &f = results.at(action).at(entries);
            std::printf("%-8s %8d %9.3f %9.3f %6.2f %9.3f %9.3f\n", qPrintable(action), entries, f.window, f.floor,
                        f.window / f.floor, f.store, f.floorSql);
        }
}

void printGrowth(const Run &run, const Results &results)
{
    if (run.sizes.size() < 2)
        return;
    const int first = run.sizes.front();
    const int last = run.sizes.back();
    std::printf("\nGrowth from %d to %d entries (x%.1f): store = the database part of the action\n", first, last,
                double(last) / first);
    for (const QString &action : kActions) {
        const Figures &a = results.at(action).at(first);
        const Figures &b = results.at(action).at(last);
        std::printf("%-8s window x%6.2f   store x%6.2f\n", qPrintable(action), b.window / a.window, b.store / a.store);
    }
}

void printParts(int entries, const std::vector<Part> &parts)
{
    std::printf("\nWhere the time goes at %d entries (median ms)\n", entries);
    for (const Part &part : parts)
        std::printf("  %8.3f  %s\n", part.ms, qPrintable(part.what));
}

void printTargets(const Results &results, int entries, const ProcessFigures &process)
{
    auto at = [&](const char *action) { return results.at(QString::fromLatin1(action)).at(entries); };
    std::printf("\nTargets at %d entries\n", entries);
    const Figures select = at("select");
    std::printf("  %-8s %8.3f ms (<= 2),  ratio %5.2f (<= 2)   %s\n", "select", select.window,
                select.window / select.floor, verdict(select.window <= 2 && select.window / select.floor <= 2));
    for (const char *action : {"add", "edit", "remove"}) {
        const Figures f = at(action);
        std::printf("  %-8s %8.3f ms (<= 25)                       %s\n", action, f.window, verdict(f.window <= 25));
    }
    for (const char *action : {"load", "refresh"}) {
        const Figures f = at(action);
        std::printf("  %-8s %8.3f ms (<= 20), ratio %5.2f (<= 2)   %s\n", action, f.window, f.window / f.floor,
                    verdict(f.window <= 20 && f.window / f.floor <= 2));
    }
    std::printf("  start-up %8.1f ms, bare Qt %.1f ms: x%.2f (<= 1.5)   %s\n", process.programStart, process.bareStart,
                process.programStart / process.bareStart, verdict(process.programStart <= 1.5 * process.bareStart));
    std::printf("           (bare Qt with one line of text: %.1f ms, so the program is x%.2f of that)\n",
                process.bareTextStart, process.programStart / process.bareTextStart);
    std::printf("  memory   %8.1f MB peak with %d entries listed, bare Qt %.1f MB: +%.1f MB (<= 40)   %s\n",
                process.programPeakMb, process.rows, process.barePeakMb, process.programPeakMb - process.barePeakMb,
                verdict(process.programPeakMb - process.barePeakMb <= 40));
}

Run parseArguments(const QStringList &arguments)
{
    Run run;
    run.findOnly = arguments.contains(QLatin1String("--find-only"));
    // Flags without a value may stand anywhere among the options.
    for (int i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--reps")) {
            run.reps = std::max(1, arguments[++i].toInt());
        } else if (arguments[i] == QLatin1String("--sizes")) {
            run.sizes.clear();
            for (const QString &size : arguments[++i].split(QLatin1Char(',')))
                run.sizes.push_back(std::max(4, size.toInt()));
        } else if (arguments[i] == QLatin1String("--password")) {
            run.password = arguments[++i];
        }
    }
    return run;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_FONT_DPI", "96");
    g_standardMessages = qInstallMessageHandler(quieterMessages);
    Home home; // before the application, so that every folder it looks up is the temporary one
    require(home.valid(), "a temporary folder");
    QApplication application(argc, argv);
    app::setApplicationIdentity();
    QApplication::setQuitOnLastWindowClosed(false);
    const Run run = parseArguments(QCoreApplication::arguments());

    platform::install(platform::productionServices());
    auto *messages = new PrintedMessages;
    gui::installMessages(std::unique_ptr<gui::MessageBoxes>(messages));
    require(datafolder::setDataFolder(), "the data folder");

    std::printf("Brimvale benchmark: %s, %ld processors, Qt %s, load average %s\ndiary in %s%s\n",
                qPrintable(firstLine(QStringLiteral("/proc/cpuinfo"), "model name")), sysconf(_SC_NPROCESSORS_ONLN),
                qVersion(), qPrintable(firstLine(QStringLiteral("/proc/loadavg"))),
                qPrintable(datafolder::workingDiaryPath()),
                run.password.isEmpty() ? "" : ", with a password of its own");
    std::fflush(stdout);

    const bool hasTarget = std::find(run.sizes.begin(), run.sizes.end(), kTargetSize) != run.sizes.end();
    const int targetSize = hasTarget ? kTargetSize : run.sizes.back();
    if (run.findOnly) {
        measureFind(run, targetSize);
        return messages->shown == 0 ? 0 : 1;
    }
    if (QCoreApplication::arguments().contains(QStringLiteral("--first-run-only"))) {
        measureFirstRun(run, targetSize);
        return messages->shown == 0 ? 0 : 1;
    }
    const QString folder = QFileInfo(datafolder::workingDiaryPath()).absolutePath();
    if (QCoreApplication::arguments().contains(QStringLiteral("--history-only"))) {
        printHistory(run, measureHistory(run, folder, targetSize), targetSize);
        return messages->shown == 0 ? 0 : 1;
    }
    if (QCoreApplication::arguments().contains(QStringLiteral("--book-only"))) {
        printBook(measureBook(run, home));
        return messages->shown == 0 ? 0 : 1;
    }
    Results results;
    for (int entries : run.sizes) {
        measureSection(run, entries, results);
        std::printf("  %d entries measured\n", entries);
        std::fflush(stdout);
    }
    const std::vector<Part> parts = explainSection(run, targetSize);
    const HistoryFigures history = measureHistory(run, folder, targetSize);
    // The largest diary measured stays in place for the program to open, which would ask for a
    // password of its own.
    if (!run.password.isEmpty())
        require(store::changePassword(datafolder::workingDiaryPath(), run.password, {}).ok(),
                "the password is removed");
    const ProcessFigures process = measureProcesses(run, home);

    printTable(run, results);
    printGrowth(run, results);
    printParts(targetSize, parts);
    printTargets(results, targetSize, process);
    printHistory(run, history, targetSize);
    measureFirstRun(run, targetSize);
    measureFind(run, targetSize);
    // Last: it replaces the working diary that the measurements above stand on.
    printBook(measureBook(run, home));
    std::printf("\n%d forced paints (0: the event loop painted every time), %d message boxes, load average %s\n",
                forcedPaints(), messages->shown, qPrintable(firstLine(QStringLiteral("/proc/loadavg"))));
    return messages->shown == 0 ? 0 : 1;
}
