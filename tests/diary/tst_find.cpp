// Finding entries: the search over the whole diary, the find window driven from the main and the
// section windows, and type-ahead in the keyword list.

#include "checks.h"
#include "controls.h"
#include "diaryfiles.h"
#include "fixture.h"
#include "sectionwindow.h"
#include "testmain.h"

#include "core/book/bookimport.h"
#include "core/diary.h"
#include "core/find/find.h"
#include "core/find/findprobe.h"
#include "core/find/liveindex.h"
#include "core/store/backups.h"
#include "core/store/password.h"
#include "core/store/restore.h"
#include "core/store/store.h"
#include "core/store/storeprobe.h"
#include "gui/forms.h"
#include "gui/resultsmodel.h"
#include "gui/windows/findwindow.h"
#include "gui/windows/mainwindow.h"
#include "gui/windows/sectionwindow.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

#include <fcntl.h>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using Rows = std::vector<std::pair<QString, QString>>;

namespace {
const QStringList kTables{"tblspell", "tblincense", "tblrecipes", "tblrituals"};

// Two entries share a keyword in Spell; the same keyword stands in Rituals too.
const std::vector<Rows> kDiary{
    {{"Moon water", "Leave water under the full moon."},
     {"Rose", "A rose petal for love."},
     {"Rose", "A second rose, white, for peace."}},
    {{"Myrrh", "Burn 50% less on a calm night."}, {"Sandalwood", "Grind it_fine with \"care\"."}},
    {{"Rosé cake", "Bake with rosé wine.\nServe cold."}},
    {{"ROSE circle", "Walk it twice; it's done."}},
};

// Each entry found as the find window lists it.
QStringList linesOf(const std::vector<finder::Hit> &hits)
{
    QStringList lines;
    for (const finder::Hit &hit : hits)
        lines << QStringLiteral("%1 \u2014 %2 \u2014 %3")
                     .arg(hit.keyword, sections::section(hit.table).name, hit.meaningStart);
    return lines;
}

// What a search finds in the diary as its file holds it now, and in the diary's find index.
QStringList foundInFile(const QString &path, const QString &typed)
{
    const auto index = finder::Index::build(path);
    std::vector<finder::Hit> hits;
    if (index.ok())
        for (std::uint32_t entry : index->search(typed))
            hits.push_back(index->hit(entry));
    return linesOf(hits);
}

QStringList foundInIndex(const QString &typed)
{
    const finder::Results results = Diary::working().findIndex().search(typed);
    std::vector<finder::Hit> hits;
    for (std::size_t row = 0; row < results.size(); ++row)
        hits.push_back(results.hit(row));
    return linesOf(hits);
}

// A result's line with the parts that a word matched in brackets.
QString markedLine(const QModelIndex &row)
{
    QString line = row.data().toString();
    const auto marks = row.data(finder::ResultsModel::MarksRole).value<QList<int>>();
    for (qsizetype i = marks.size() - 2; i >= 0; i -= 2)
        line.insert(marks[i] + marks[i + 1], u']').insert(marks[i], u'[');
    return line;
}

QStringList resultLines(const FindWindow *window)
{
    QStringList lines;
    const QAbstractItemModel *results = testing::control<QListView>(window, "lstResults")->model();
    for (int row = 0; row < results->rowCount(); ++row)
        lines << results->index(row, 0).data().toString();
    return lines;
}
} // namespace

class FindTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_env.setUp({.workingDiary = true, .checkOpenFiles = false});
        for (std::size_t i = 0; i < kDiary.size(); ++i)
            QVERIFY(testing::appendRows(m_env->workingDiary(), kTables[qsizetype(i)], kDiary[i]));
    }
    void cleanup() { m_env.tearDown(); }

    void wordsMatchIgnoringCaseAndAccentsAndLiterally_data();
    void wordsMatchIgnoringCaseAndAccentsAndLiterally();
    void manyEntriesMatchAsTheirWordsSay_data();
    void manyEntriesMatchAsTheirWordsSay();
    void pasteAsLongAsTheFieldMatchesAsItsWordsSay_data();
    void pasteAsLongAsTheFieldMatchesAsItsWordsSay();
    void searchSeesEveryChangeToTheDiary();
    void indexFollowsEveryChangeWithoutReadingItAgain_data();
    void indexFollowsEveryChangeWithoutReadingItAgain();
    void typingWhileTheIndexIsReadNeverWaits();
    void lockAbandonsTheIndexBeingRead();
    void resultShowsWhereItsWordsMatched_data();
    void resultShowsWhereItsWordsMatched();
    void resultLineFollowsItsEntry();
    void resultLandsOnItsEntryFromAnyWindow_data();
    void resultLandsOnItsEntryFromAnyWindow();
    void choiceWhileAddingIsRefusedAndKeepsTheText();
    void enterInTheFieldChoosesTheFirstResultAtOnce();
    void findOpenedAfterThePasswordPromptHasTheFocus();
    void findWindowIsOneAndClosesWithItsWindow();
    void damagedDiaryIsReportedOnceAndNeverWritten();
    void typeAheadShowsTheEntryOnlyWhileBrowsing();

private:
    FindWindow *openFind(QWidget *window)
    {
        window->findChild<QAction *>(QStringLiteral("mnuFind"))->trigger();
        return window->findChild<FindWindow *>();
    }
    testing::Fixture m_env;
};

void FindTest::wordsMatchIgnoringCaseAndAccentsAndLiterally_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("keywords");
    QTest::newRow("accents both ways, case, section order")
        << "ROSE" << QStringList{"Rose", "Rose", "Rosé cake", "ROSE circle"};
    QTest::newRow("accent typed") << "rosé" << QStringList{"Rose", "Rose", "Rosé cake", "ROSE circle"};
    QTest::newRow("every word, anywhere") << "rose  WHITE" << QStringList{"Rose"};
    QTest::newRow("part of a word") << "andal" << QStringList{"Sandalwood"};
    QTest::newRow("across a line break") << "wine. serve" << QStringList{"Rosé cake"};
    QTest::newRow("percent") << "50%" << QStringList{"Myrrh"};
    QTest::newRow("underscore") << "it_f" << QStringList{"Sandalwood"};
    QTest::newRow("quotes") << "\"care\"" << QStringList{"Sandalwood"};
    QTest::newRow("apostrophe") << "it's" << QStringList{"ROSE circle"};
    QTest::newRow("no pattern syntax") << "r.se" << QStringList{};
    QTest::newRow("no SQL") << "' OR 1=1 --" << QStringList{};
    QTest::newRow("nothing typed") << "   " << QStringList{};
}

void FindTest::wordsMatchIgnoringCaseAndAccentsAndLiterally()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, keywords);
    BRIMVALE_UNWRAP(index, finder::Index::build(m_env->workingDiary()));
    QStringList found;
    for (std::uint32_t entry : index.search(typed))
        found << index.hit(entry).keyword;
    QCOMPARE(found, keywords);
}

void FindTest::manyEntriesMatchAsTheirWordsSay_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("in every entry") << "w";
    QTest::newRow("in many words") << "1";
    QTest::newRow("two common words") << "o 7";
    QTest::newRow("word and number") << "word12 odd";
}

// Enough entries that common words are merged in bulk; each must still match exactly when all of
// its typed words occur in it.
void FindTest::manyEntriesMatchAsTheirWordsSay()
{
    QFETCH(QString, typed);
    Rows rows;
    for (int i = 0; i < 700; ++i)
        rows.emplace_back(QStringLiteral("w%1").arg(i),
                          QStringLiteral("word%1 %2").arg(i * 7).arg(i % 2 ? "odd" : "even"));
    QVERIFY(testing::appendRows(m_env->workingDiary(), QStringLiteral("tblrituals"), rows));
    BRIMVALE_UNWRAP(index, finder::Index::build(m_env->workingDiary()));
    const QStringList words = typed.split(' ');
    QStringList expected;
    for (const auto &[keyword, meaning] : rows)
        if (std::all_of(words.begin(), words.end(),
                        [&](const QString &word) { return (keyword + ' ' + meaning).contains(word); }))
            expected << keyword;
    QStringList found;
    for (std::uint32_t entry : index.search(typed))
        if (const finder::Hit hit = index.hit(entry); hit.table == store::Table::Rituals && hit.keyword.startsWith('w'))
            found << hit.keyword;
    QCOMPARE(found, expected);
}

void FindTest::pasteAsLongAsTheFieldMatchesAsItsWordsSay_data()
{
    QTest::addColumn<QString>("repeated");
    QTest::addColumn<QStringList>("keywords");
    QTest::addColumn<QStringList>("lookedUp"); // in any order
    QTest::newRow("two words") << "rose WHITE " << QStringList{"Rose"} << QStringList{"rose", "white"};
    QTest::newRow("parts of one word") << "ros rose r se ose "
                                       << QStringList{"Rose", "Rose", "Rosé cake", "ROSE circle"}
                                       << QStringList{"rose"};
    QTest::newRow("an entry's own text") << "Bake with rosé wine. Serve cold. " << QStringList{"Rosé cake"}
                                         << QStringList{"bake", "cold.", "rose", "serve", "wine.", "with"};
}

// A text pasted into the find field, as long as the field takes: each word and each part of one
// is looked up once however often it comes, or the window freezes on a large diary.
void FindTest::pasteAsLongAsTheFieldMatchesAsItsWordsSay()
{
    QFETCH(QString, repeated);
    QFETCH(QStringList, keywords);
    QFETCH(QStringList, lookedUp);
    const int fieldLength = QLineEdit().maxLength();
    const QString paste = repeated.repeated(fieldLength / repeated.size() + 1).left(fieldLength);
    BRIMVALE_UNWRAP(index, finder::Index::build(m_env->workingDiary()));
    QStringList found;
    for (std::uint32_t entry : index.search(paste))
        found << index.hit(entry).keyword;
    QCOMPARE(found, keywords);
    QStringList words;
    for (const std::string &word : finder::wordsToLookUp(paste))
        words << QString::fromStdString(word);
    words.sort();
    QCOMPARE(words, lookedUp);
}

void FindTest::searchSeesEveryChangeToTheDiary()
{
    const QString path = m_env->workingDiary();
    BRIMVALE_UNWRAP(index, finder::Index::build(path));
    QVERIFY(index.isCurrent());
    QVERIFY(store::addEntry(path, store::Table::Incense, {"Copal", "Resin"}).ok());
    QVERIFY(!index.isCurrent());

    // A change within the file system's clock tick leaves the same size and time: still seen.
#ifdef Q_OS_WIN
    QSKIP("setting a file's time back to the nanosecond needs utimensat");
#else
    BRIMVALE_UNWRAP(again, finder::Index::build(path));
    struct stat before { };
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &before), 0);
    QVERIFY(
        store::updateEntry(path, store::Table::Incense, again.hit(again.search(u"copal")[0]).index, {"Copal", "Resim"})
            .ok());
    const timespec times[2] = {before.st_atim, before.st_mtim};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    QVERIFY(!again.isCurrent());
#endif
}

void FindTest::indexFollowsEveryChangeWithoutReadingItAgain_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("sectionsRead");
    QTest::newRow("add") << "add" << 0;
    QTest::newRow("edit") << "edit" << 0;
    QTest::newRow("remove") << "remove" << 0;
    QTest::newRow("undo of a remove, back in its place") << "undo" << 0;
    QTest::newRow("import: its one section") << "import" << 1;
    QTest::newRow("restore: the whole file") << "restore" << 4;
}

// A change made in Brimvale reaches the index as the diary tells it; only a section changed whole
// or a file put in the diary's place is read again.
void FindTest::indexFollowsEveryChangeWithoutReadingItAgain()
{
    QFETCH(QString, change);
    QFETCH(int, sectionsRead);
    const QString path = m_env->workingDiary();
    // A write of an earlier run, so that a backup holds the diary as it was before it.
    QVERIFY(store::addEntry(path, store::Table::Rituals, {"Old rite", "Burnt at the old moon."}).ok());
    const QString backup = store::newestBackupOf(path);
    QVERIFY(testing::startProgram());
    Diary &diary = Diary::working();
    QVERIFY(!diary.open());
    diary.waitForReaders();
    QCOMPARE(diary.findIndex().state(), finder::LiveIndex::State::Ready);
    const int readBefore = finder::probe::sectionReads();
    BRIMVALE_UNWRAP(spells, store::readKeywords(path, store::Table::Spell));
    const qint64 rose = spells.indexes[1];

    if (change == u"add") {
        QVERIFY(diary.add(store::Table::Incense, {"Copal", "Resin burnt at dusk."}).ok());
    } else if (change == u"edit") {
        QVERIFY(diary.update(store::Table::Spell, rose, {"Rose", "A petal burnt at dusk."}).ok());
    } else if (change == u"remove" || change == u"undo") {
        QVERIFY(diary.remove(store::Table::Spell, rose).ok());
        if (change == u"undo")
            QVERIFY(diary.undoLastIn(store::Table::Spell).ok());
    } else if (change == u"import") {
        BRIMVALE_UNWRAP(preview, book::preview(path, {{store::Table::Recipes, {{"Copal cake", "Burnt sugar."}}}}));
        QVERIFY(diary.import(preview).done());
    } else {
        QVERIFY(diary.restore(backup, store::PasswordChoice::Current).ok());
    }
    diary.waitForReaders();
    QCOMPARE(finder::probe::sectionReads() - readBefore, sectionsRead);
    for (const QString typed : {"burnt", "copal", "rose", "e", "dusk"})
        QCOMPARE(foundInIndex(typed), foundInFile(path, typed));
}

// The index read in the background is held back: the window says so, takes every key at once, and
// shows the results, with the changes made meanwhile, once it is read.
void FindTest::typingWhileTheIndexIsReadNeverWaits()
{
    const QString path = m_env->workingDiary();
    finder::probe::holdReading(true);
    auto release = qScopeGuard([] { finder::probe::holdReading(false); });
    FindWindow *find = openFind(testing::startProgram());
    QVERIFY(find);
    auto *field = testing::control<QLineEdit>(find, "txtFind");
    auto *found = testing::control<QLabel>(find, "lblFound");
    const QAbstractItemModelTester tester(testing::control<QListView>(find, "lstResults")->model(),
                                          QAbstractItemModelTester::FailureReportingMode::QtTest);
    QTest::keyClicks(field, QStringLiteral("ros"));
    QTRY_VERIFY(finder::probe::readingHeld());
    QTest::keyClicks(field, QStringLiteral("e"));
    QCOMPARE(field->text(), QStringLiteral("rose"));
    QCOMPARE(found->text(), QStringLiteral("Reading the diary\u2026"));
    QCOMPARE(resultLines(find), QStringList());

    BRIMVALE_UNWRAP(spells, store::readKeywords(path, store::Table::Spell));
    QVERIFY(Diary::working().update(store::Table::Spell, spells.indexes[0], {"Moon rose", "Pale."}).ok());
    QVERIFY(Diary::working().remove(store::Table::Spell, spells.indexes[1]).ok());
    release.dismiss();
    finder::probe::holdReading(false);
    QTRY_COMPARE(found->text(), QStringLiteral("4 entries found"));
    QCOMPARE(resultLines(find), foundInFile(path, QStringLiteral("rose")));
}

// Locked, nothing of the diary is left in memory: a reading under way ends at once, with what it
// read, and starts again once the diary is unlocked.
void FindTest::lockAbandonsTheIndexBeingRead()
{
    finder::probe::holdReading(true);
    auto release = qScopeGuard([] { finder::probe::holdReading(false); });
    QVERIFY(testing::startProgram());
    Diary &diary = Diary::working();
    QVERIFY(!diary.open());
    QTRY_VERIFY(finder::probe::readingHeld());
    diary.lock();
    QVERIFY(!finder::probe::readingHeld());
    QCOMPARE(diary.findIndex().state(), finder::LiveIndex::State::Unread);
    QVERIFY(!diary.findIndex().size());

    release.dismiss();
    finder::probe::holdReading(false);
    diary.unlock();
    diary.waitForReaders();
    QCOMPARE(foundInIndex(QStringLiteral("rose")), foundInFile(m_env->workingDiary(), QStringLiteral("rose")));
}

void FindTest::resultShowsWhereItsWordsMatched_data()
{
    QTest::addColumn<QString>("meaning");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("line"); // the parts marked in brackets
    const QString moss = QStringLiteral("moss ").repeated(20);
    const QString moon = QStringLiteral("\U0001F319");
    const QString salt = QStringLiteral("\u05E9\u05DE\u05DF \u05D6\u05D9\u05EA \u05D5");
    const auto vigil = [](const QString &shown) { return QStringLiteral("Vigil \u2014 Rituals \u2014 ") + shown; };
    QTest::newRow("deep in a long meaning, cut between words")
        << "Gather " + moss + "then burn the vervain at dawn " + QStringLiteral("quietly ").repeated(10) << "VERVAIN"
        << vigil("…then burn the [vervain] at dawn quietly quietly quietly quietly…");
    QTest::newRow("in the keyword alone: the start")
        << "Gather " + moss << "vigil"
        << "[Vigil] — Rituals — Gather moss moss moss moss moss moss moss moss …";
    QTest::newRow("keyword and meaning, every place, accents and case, a letter folded to two, a part of it found")
        << QStringLiteral("Rosé for the Vigil; \uFB01re, rose and rosewater") << "vigil f rose"
        << QStringLiteral("[Vigil] — Rituals — [Rosé] [f]or the [Vigil]; [\uFB01]re, [rose] and [rose]water");
    QTest::newRow("a letter with its mark")
        << moss + QStringLiteral("Rowe\u0301na berries") << "rowe"
        << vigil(QStringLiteral("…") + QStringLiteral("moss ").repeated(9) + QStringLiteral("[Rowe\u0301]na berries"));
    QTest::newRow("markup shown as typed") << "<b>Rue</b> &amp; salt"
                                           << "amp" << vigil("<b>Rue</b> &[amp]; salt");
    QTest::newRow("as long as a meaning may be, no spaces, characters of two units")
        << "a" + moon.repeated(16000) + "-needle-" + moon.repeated(379) << "needle"
        << vigil("…" + moon.repeated(8) + "-[needle]-" + moon.repeated(20) + "…");
    QTest::newRow("marks without spaces") << QStringLiteral("e\u0301").repeated(300) + "x"
                                          << "x" << vigil("…" + QStringLiteral("e\u0301").repeated(32) + "[x]");
    QTest::newRow("right to left") << moss + (salt + QStringLiteral("\u05DE\u05DC\u05D7 ")).repeated(4)
                                   << QStringLiteral("\u05DE\u05DC\u05D7")
                                   << vigil("…moss moss "
                                            + (salt + QStringLiteral("[\u05DE\u05DC\u05D7] ")).repeated(4).chopped(1));
}

// Each result shows the part of its meaning where the words typed were found, as the search finds
// them, with every word found marked; a screen reader gets the same line without marks.
void FindTest::resultShowsWhereItsWordsMatched()
{
    QFETCH(QString, meaning);
    QFETCH(QString, typed);
    QFETCH(QString, line);
    QVERIFY(testing::appendRows(m_env->workingDiary(), kTables[3], {{"Vigil", meaning}}));
    FindWindow *find = openFind(testing::startProgram());
    QVERIFY(find);
    testing::control<QLineEdit>(find, "txtFind")->setText(typed);
    auto *results = testing::control<QListView>(find, "lstResults");
    QTRY_COMPARE(results->model()->rowCount(), 1);
    const QModelIndex row = results->model()->index(0, 0);
    QCOMPARE(markedLine(row), line);
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(results);
    QCOMPARE(list->child(0)->text(QAccessible::Name), row.data().toString());
}

void FindTest::resultLineFollowsItsEntry()
{
    const QString slowly = QStringLiteral("slowly ").repeated(20);
    QVERIFY(testing::appendRows(m_env->workingDiary(), kTables[3], {{"Vigil", "Burn the vervain " + slowly}}));
    FindWindow *find = openFind(testing::startProgram());
    QVERIFY(find);
    testing::control<QLineEdit>(find, "txtFind")->setText(QStringLiteral("vervain"));
    const QAbstractItemModel *results = testing::control<QListView>(find, "lstResults")->model();
    QTRY_COMPARE(results->rowCount(), 1);
    QCOMPARE(markedLine(results->index(0, 0)),
             QStringLiteral("Vigil — Rituals — Burn the [vervain] slowly slowly slowly slowly slowly slowly…"));
    BRIMVALE_UNWRAP(rituals, store::readKeywords(m_env->workingDiary(), store::Table::Rituals));
    QVERIFY(Diary::working()
                .update(store::Table::Rituals, rituals.indexes.back(), {"Vigil", slowly + "then vervain"})
                .ok());
    QTRY_COMPARE(markedLine(results->index(0, 0)),
                 QStringLiteral("Vigil — Rituals — …slowly slowly slowly slowly slowly slowly slowly then [vervain]"));
}

void FindTest::resultLandsOnItsEntryFromAnyWindow_data()
{
    QTest::addColumn<int>("fromOption"); // -1: the main window
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("option");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("meaning");
    QTest::newRow("from the main window") << -1 << "myrrh" << 0 << 1 << 0 << "Burn 50% less on a calm night.";
    QTest::newRow("second of two duplicates") << -1 << "rose" << 1 << 0 << 2 << "A second rose, white, for peace.";
    QTest::newRow("from another section") << 1 << "circle" << 0 << 3 << 0 << "Walk it twice; it's done.";
    QTest::newRow("same section, closed") << 0 << "petal" << 0 << 0 << 1 << "A rose petal for love.";
}

void FindTest::resultLandsOnItsEntryFromAnyWindow()
{
    QFETCH(int, fromOption);
    QFETCH(QString, typed);
    QFETCH(int, result);
    QFETCH(int, option);
    QFETCH(int, line);
    QFETCH(QString, meaning);
    QWidget *from = fromOption < 0 ? static_cast<QWidget *>(testing::startProgram())
                                   : static_cast<QWidget *>(testing::enterSection(fromOption));
    QVERIFY(from);
    FindWindow *find = openFind(from);
    QVERIFY(find && find->isVisible());
    QTest::keyClicks(testing::control<QLineEdit>(find, "txtFind"), typed);
    QTRY_VERIFY(testing::control<QListView>(find, "lstResults")->model()->rowCount() > result);
    const auto &[keyword, text] = kDiary[std::size_t(option)][std::size_t(line)];
    QCOMPARE(resultLines(find).at(result),
             keyword + QStringLiteral(" \u2014 ") + sections::kSections[std::size_t(option)].name
                 + QStringLiteral(" \u2014 ") + text.simplified());
    QListView *results = testing::control<QListView>(find, "lstResults");
    results->setCurrentIndex(results->model()->index(result, 0));
    QTest::keyClick(results, Qt::Key_Return);

    SectionWindow *section = forms::loaded<SectionWindow>();
    QVERIFY(section);
    QCOMPARE(testing::control<QLabel>(section, "lblCaption_0")->text(),
             sections::kSections[std::size_t(option)].title());
    QCOMPARE(section->mode(), SectionWindow::Mode::Browsing);
    QCOMPARE(section->selectedPosition(), line);
    QCOMPARE(testing::control<QPlainTextEdit>(section, "txtMeaning")->toPlainText(), meaning);
    QVERIFY(!forms::loaded<MainWindow>());
    QVERIFY(m_env->messages->shown.empty());
}

void FindTest::choiceWhileAddingIsRefusedAndKeepsTheText()
{
    SectionWindow *section = testing::enterSection(1);
    QVERIFY(section);
    QTest::mouseClick(testing::control<QPushButton>(section, "Command1"), Qt::LeftButton);
    QTest::mouseClick(testing::control<QPushButton>(section, "Command2"), Qt::LeftButton);
    QTest::keyClicks(testing::control<QLineEdit>(section, "txtKeyword"), QStringLiteral("Half typed"));
    FindWindow *find = openFind(section);
    QTest::keyClicks(testing::control<QLineEdit>(find, "txtFind"), QStringLiteral("rose"));
    QTRY_COMPARE(testing::control<QLabel>(find, "lblFound")->text(), QStringLiteral("4 entries found"));
    QTest::keyClick(testing::control<QLineEdit>(find, "txtFind"), Qt::Key_Return);

    QCOMPARE(m_env->messages->shown.size(), std::size_t(1));
    QCOMPARE(forms::loaded<SectionWindow>(), section);
    QCOMPARE(section->mode(), SectionWindow::Mode::Adding);
    QCOMPARE(testing::control<QLineEdit>(section, "txtKeyword")->text(), QStringLiteral("Half typed"));
    QCOMPARE(testing::control<QLineEdit>(find, "txtFind")->text(), QStringLiteral("rose"));
}

void FindTest::enterInTheFieldChoosesTheFirstResultAtOnce()
{
    FindWindow *find = openFind(testing::startProgram());
    QVERIFY(find);
    // Enter before the results have caught up with the typing.
    QTest::keyClicks(testing::control<QLineEdit>(find, "txtFind"), QStringLiteral("sandalwood"));
    QTest::keyClick(testing::control<QLineEdit>(find, "txtFind"), Qt::Key_Return);

    SectionWindow *section = forms::loaded<SectionWindow>();
    QVERIFY(section);
    QCOMPARE(testing::control<QLabel>(section, "lblCaption_0")->text(), sections::kSections[1].title());
    QCOMPARE(section->selectedPosition(), 1);
    QCOMPARE(testing::control<QPlainTextEdit>(section, "txtMeaning")->toPlainText(), kDiary[1][1].second);
    QTRY_COMPARE(QApplication::activeWindow(), section);
    // The find window went along, open behind the section window.
    testing::flushDeletions();
    QCOMPARE(section->findChild<FindWindow *>(), find);
    QVERIFY(find->isVisible());

    // From the find window again, the next choice brings the same section window to the front.
    find->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(find));
    testing::control<QLineEdit>(find, "txtFind")->clear();
    QTest::keyClicks(testing::control<QLineEdit>(find, "txtFind"), QStringLiteral("myrrh"));
    QTest::keyClick(testing::control<QLineEdit>(find, "txtFind"), Qt::Key_Return);
    QCOMPARE(forms::loaded<SectionWindow>(), section);
    QCOMPARE(section->selectedPosition(), 0);
    QTRY_COMPARE(QApplication::activeWindow(), section);
}

void FindTest::findOpenedAfterThePasswordPromptHasTheFocus()
{
    store::probe::setPasswordCost(1, 8192);
    QVERIFY(store::changePassword(m_env->workingDiary(), QString(), QStringLiteral("right")).ok());
    store::probe::forgetKeys();
    auto *prompt = new fakes::PasswordPrompt;
    platform::installed().passwordPrompt.reset(prompt);
    prompt->answers = {QStringLiteral("right")};
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    // Closing the prompt gives the focus back to the window under it.
    prompt->whileAsked = [main] {
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main));
    };

    FindWindow *find = openFind(main);
    QTRY_COMPARE(prompt->asked, 1);
    QTRY_COMPARE(QApplication::activeWindow(), find);
    QCOMPARE(QApplication::focusWidget(), testing::control<QLineEdit>(find, "txtFind"));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("moon"));
    QTRY_COMPARE(testing::control<QLabel>(find, "lblFound")->text(), QStringLiteral("1 entry found"));
}

void FindTest::findWindowIsOneAndClosesWithItsWindow()
{
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    QAction *action = main->findChild<QAction *>(QStringLiteral("mnuFind"));
    QCOMPARE(action->shortcut(), QKeySequence(QKeySequence::Find));
    QCOMPARE(testing::control<QMenu>(main, "mnuFile")->actions().indexOf(action), 0);
    FindWindow *find = openFind(main);
    QCOMPARE(openFind(main), find);
    QCOMPARE(main->findChildren<FindWindow *>().size(), 1);
    QTest::keyClicks(testing::control<QLineEdit>(find, "txtFind"), QStringLiteral("zzz"));
    QTRY_COMPARE(testing::control<QLabel>(find, "lblFound")->text(), QStringLiteral("No entries found"));
    QTest::keyClick(find, Qt::Key_Escape);
    testing::flushDeletions();
    QVERIFY(!main->findChild<FindWindow *>());

    // The next one starts with what was typed; it goes when its window goes.
    find = openFind(main);
    QCOMPARE(testing::control<QLineEdit>(find, "txtFind")->text(), QStringLiteral("zzz"));
    QPointer<FindWindow> watched(find);
    testing::control<QAction>(main, "mnuExit")->trigger();
    testing::flushDeletions();
    QVERIFY(!watched);
}

void FindTest::damagedDiaryIsReportedOnceAndNeverWritten()
{
    QFile diary(m_env->workingDiary());
    QVERIFY(diary.open(QIODevice::ReadWrite));
    diary.seek(2000);
    diary.write(QByteArray(3000, 'x'));
    diary.close();
    const QByteArray before = [&] {
        diary.open(QIODevice::ReadOnly);
        return diary.readAll();
    }();
    diary.close();

    FindWindow *find = openFind(testing::startProgram());
    QTest::keyClicks(testing::control<QLineEdit>(find, "txtFind"), QStringLiteral("ros"));
    QTRY_COMPARE(m_env->messages->shown.size(), std::size_t(1));
    QVERIFY(m_env->messages->shown[0].text.startsWith(QStringLiteral("The diary file is damaged")));
    QCOMPARE(testing::control<QListView>(find, "lstResults")->model()->rowCount(), 0);
    QVERIFY(diary.open(QIODevice::ReadOnly));
    QCOMPARE(diary.readAll(), before);
}

void FindTest::typeAheadShowsTheEntryOnlyWhileBrowsing()
{
    SectionWindow *section = testing::enterSection(0);
    QVERIFY(section);
    QTest::mouseClick(testing::control<QPushButton>(section, "Command1"), Qt::LeftButton);
    testing::control<QListView>(section, "lstKeyword")->setFocus();
    QTest::keyClicks(testing::control<QListView>(section, "lstKeyword"), QStringLiteral("r"));
    QCOMPARE(section->selectedPosition(), 1);
    QCOMPARE(testing::control<QPlainTextEdit>(section, "txtMeaning")->toPlainText(),
             QStringLiteral("A rose petal for love."));
    // The same letter again goes on to the next keyword that starts with it.
    QTest::qWait(QApplication::keyboardInputInterval() + 50);
    QTest::keyClicks(testing::control<QListView>(section, "lstKeyword"), QStringLiteral("r"));
    QCOMPARE(section->selectedPosition(), 2);
    QCOMPARE(testing::control<QPlainTextEdit>(section, "txtMeaning")->toPlainText(),
             QStringLiteral("A second rose, white, for peace."));
    QTest::keyClick(testing::control<QListView>(section, "lstKeyword"), Qt::Key_Up);
    QCOMPARE(section->selectedPosition(), 1);

    QTest::mouseClick(testing::control<QPushButton>(section, "Command2"), Qt::LeftButton);
    QCOMPARE(section->mode(), SectionWindow::Mode::Adding);
    QTest::keyClicks(testing::control<QListView>(section, "lstKeyword"), QStringLiteral("m"));
    QCOMPARE(section->mode(), SectionWindow::Mode::Adding);
    QVERIFY(testing::control<QLineEdit>(section, "txtKeyword")->text().isEmpty());
}

BRIMVALE_TEST_MAIN(FindTest)
#include "tst_find.moc"
