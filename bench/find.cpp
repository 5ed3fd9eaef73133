#include "find.h"

#include "fixtures.h"
#include "harness.h"
#include "sections.h"

#include "core/datafolder.h"
#include "core/find/find.h"
#include "gui/forms.h"
#include "gui/navigation.h"
#include "gui/windows/findwindow.h"
#include "gui/windows/sectionwindow.h"

#include <sqlcipher/sqlite3.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>

#include <array>
#include <cstdio>

namespace bench {

namespace {

// As much as the find field takes.
constexpr int kPasteLength = 32767;

const std::array<QString, 4> kTableNames{QStringLiteral("tblspell"), QStringLiteral("tblincense"),
                                         QStringLiteral("tblrecipes"), QStringLiteral("tblrituals")};

double elapsedMs(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// The engine's own search for the same text on one open connection: SQLite's instr() over each
// section, which folds neither case nor accents, so it does less than the program's search.
double engineFloorMs(const QString &path, const QString &typed)
{
    sqlite3 *db = openWithRawKey(path, rawKeyOf(path));
    require(db != nullptr, "the floor's connection opens");
    QElapsedTimer timer;
    timer.start();
    int found = 0;
    const QStringList words = typed.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QStringList conditions;
    for (int i = 1; i <= words.size(); ++i)
        conditions << QStringLiteral("(instr(keyword, ?%1) OR instr(meaning, ?%1))").arg(i);
    for (const QString &table : kTableNames) {
        const QByteArray sql = QStringLiteral("SELECT \"Index\" FROM %1 WHERE %2")
                                   .arg(table, conditions.join(QStringLiteral(" AND ")))
                                   .toUtf8();
        sqlite3_stmt *statement = nullptr;
        require(sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr) == SQLITE_OK, "the floor's search");
        for (int i = 0; i < words.size(); ++i) {
            const QByteArray word = words[i].toUtf8();
            sqlite3_bind_text(statement, i + 1, word.constData(), int(word.size()), SQLITE_TRANSIENT);
        }
        while (sqlite3_step(statement) == SQLITE_ROW)
            ++found;
        sqlite3_finalize(statement);
    }
    const double ms = elapsedMs(timer);
    sqlite3_close_v2(db);
    require(found > 0, "the floor finds entries");
    return ms;
}

} // namespace

void measureFind(const Run &run, int entries)
{
    closeWindows();
    const QString path = datafolder::workingDiaryPath();
    require(makeDiary(path, kTableNames[0], 0), "the diary is made");
    for (const QString &table : kTableNames)
        require(appendEntries(path, table, entries, proseFor), "the sections are filled");

    // The index is read in the background from the diary's first open on, which the section window
    // makes: memory is what the section window, the index and the find window add to the program.
    const long rssBefore = statusKb("VmRSS:");
    const long peakBefore = statusKb("VmHWM:");
    QElapsedTimer timer;
    timer.start();
    forms::show<SectionWindow>(kChoice);
    SectionWindow *section = forms::loaded<SectionWindow>();
    QCoreApplication::processEvents();
    navigation::showFind(section);
    auto *find = section->findChild<FindWindow *>();
    require(find != nullptr, "the find window opens");
    auto *findEdit = find->findChild<QLineEdit *>(QStringLiteral("txtFind"));
    auto *resultList = find->findChild<QListView *>(QStringLiteral("lstResults"));
    require(findEdit && resultList, "the find window has its field and its list");
    findEdit->setText(QStringLiteral("ramose"));
    while (resultList->model()->rowCount() == 0) {
        require(timer.elapsed() < 600000, "the first search finds entries");
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    const double firstSearch = elapsedMs(timer);
    const long rssAfter = statusKb("VmRSS:");
    const long peakAfter = statusKb("VmHWM:");

    // Typed words from common to rare; each time the text changes and the list is redrawn.
    const std::array<QString, 5> words{QStringLiteral("e"), QStringLiteral("ra"), QStringLiteral("mose"),
                                       QStringLiteral("quixa"), QStringLiteral("é ramo")};
    std::printf("\nFind in 4 sections of %d entries of 400 characters (median ms of %d runs)\n", entries, run.reps);
    std::printf("  first results, from the section window's first open (the index read in the background): %.1f ms\n",
                firstSearch);
    timer.restart();
    for (store::Table table : store::kTables)
        require(!store::readEntries(path, table, [](qint64, const store::Entry &) {}), "the store reads");
    const double reading = elapsedMs(timer);
    timer.restart();
    const auto index = finder::Index::build(path);
    require(index.ok(), "the index is read");
    std::printf("    of which the store's reading of every entry: %.1f ms; the index alone: %.1f ms\n", reading,
                elapsedMs(timer) - reading);
    std::printf("  %-10s %8s %9s %9s %6s %9s\n", "typed", "found", "window", "floor", "ratio", "search");
    bool met = true;
    for (const QString &word : words) {
        std::vector<double> window;
        std::vector<double> floor;
        std::vector<double> search;
        for (int rep = 0; rep < run.reps; ++rep) {
            timer.restart();
            require(!index->search(word).empty(), "the search finds entries");
            search.push_back(elapsedMs(timer));
            findEdit->setText(QString());
            QCoreApplication::processEvents();
            timer.restart();
            findEdit->setText(word);
            QCoreApplication::processEvents();
            resultList->viewport()->repaint();
            window.push_back(elapsedMs(timer));
            floor.push_back(engineFloorMs(path, word));
        }
        const double w = median(window);
        const double f = median(floor);
        met = met && w <= 50 && w <= 2 * f;
        std::printf("  %-10s %8d %9.3f %9.3f %6.2f %9.3f\n", qPrintable(QStringLiteral("\"%1\"").arg(word)),
                    resultList->model()->rowCount(), w, f, w / f, median(search));
    }
    // A paste as long as the field takes; no floor, as the engine takes no statement that long.
    QString repeated;
    while (repeated.size() < kPasteLength)
        repeated += QStringLiteral("e ra mo se ");
    QString distinct;
    for (int row = 0; distinct.size() < kPasteLength; ++row)
        distinct += proseFor(row) + QLatin1Char(' ');
    for (const auto &[what, text] :
         {std::pair{"repeated short words", repeated}, std::pair{"distinct words", distinct}}) {
        const QString paste = text.left(kPasteLength);
        std::vector<double> window;
        std::vector<double> search;
        for (int rep = 0; rep < run.reps; ++rep) {
            timer.restart();
            index->search(paste);
            search.push_back(elapsedMs(timer));
            findEdit->setText(QString());
            QCoreApplication::processEvents();
            timer.restart();
            findEdit->setText(paste);
            QCoreApplication::processEvents();
            resultList->viewport()->repaint();
            window.push_back(elapsedMs(timer));
        }
        require(findEdit->text().size() == kPasteLength, "the whole paste is in the field");
        const double w = median(window);
        std::printf("  paste of %d characters, %-20s %8d found, window %9.3f ms, search %9.3f ms (<= 50)   %s\n",
                    kPasteLength, what, resultList->model()->rowCount(), w, median(search), w <= 50 ? "met" : "MISSED");
    }
    const double memoryMb = double(rssAfter - rssBefore) / 1024.0;
    std::printf("  window = the text changed in the find window until its list is painted; floor = SQLite's\n"
                "  instr() over keyword and meaning of each table on one open connection (no case or accent\n"
                "  folding, nothing shown); search = the index's search alone\n");
    std::printf("  results %s (<= 50 ms and <= 2x floor)\n", met ? "met" : "MISSED");
    std::printf("  memory +%.1f MB resident with the section window, the index and the find window (peak +%.1f MB\n"
                "  while reading) (<= 40)   %s\n",
                memoryMb, double(peakAfter - peakBefore) / 1024.0, memoryMb <= 40 ? "met" : "MISSED");

    // Type-ahead: a keystroke in the list selects the next keyword starting with the text and
    // shows its entry; the worst case finds nothing and has looked at every line.
    find->close();
    QCoreApplication::processEvents();
    QTest::mouseClick(section->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
    section->findChild<QListView *>(QStringLiteral("lstKeyword"))->setFocus();
    QApplication::setKeyboardInputInterval(1);
    for (const auto &[what, typed] :
         {std::pair{"a line 30,000 below", QStringLiteral("Keyword30")}, std::pair{"no line", QStringLiteral("zz")}}) {
        std::vector<double> times;
        for (int rep = 0; rep < run.reps; ++rep) {
            section->findChild<QListView *>(QStringLiteral("lstKeyword"))
                ->setCurrentIndex(section->findChild<QListView *>(QStringLiteral("lstKeyword"))->model()->index(0, 0));
            QCoreApplication::processEvents();
            QTest::qWait(3);
            timer.restart();
            section->findChild<QListView *>(QStringLiteral("lstKeyword"))->keyboardSearch(typed);
            QCoreApplication::processEvents();
            times.push_back(elapsedMs(timer));
        }
        const double t = median(times);
        std::printf("  type-ahead to %-20s %8.3f ms (<= 2)   %s\n", what, t, t <= 2 ? "met" : "MISSED");
    }
    QApplication::setKeyboardInputInterval(400);
    closeWindows();
}

} // namespace bench
