// One diary, and every window in step with it: a change made anywhere (the section window, an undo
// in the History window, entries brought back, an import, a restore, another program) is followed
// at once by the section window's list and boxes, the History window and the Find window, each
// checked against the file through a separate connection; and an edit whose entry changed
// underneath is saved only as the user says.

#include "controls.h"
#include "dialogs.h"
#include "diaryfiles.h"
#include "fixture.h"
#include "sectionwindow.h"
#include "testmain.h"

#include "core/datafolder.h"
#include "core/diary.h"
#include "core/store/backups.h"
#include "core/store/history.h"
#include "gui/navigation.h"
#include "gui/windows/findwindow.h"
#include "gui/windows/historywindow.h"
#include "gui/windows/sectionwindow.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

namespace {
using Rows = std::vector<testing::DiaryRow>;
const QString kIncense = QStringLiteral("tblincense");

enum class Place { SectionWindow, HistoryUndo, BringBack, Import, Restore, AnotherProgram };

QStringList linesOf(const QWidget *window, const char *list)
{
    QStringList lines;
    const QAbstractItemModel *model = testing::control<QListView>(window, list)->model();
    for (int row = 0; row < model->rowCount(); ++row)
        lines << model->index(row, 0).data().toString();
    return lines;
}

void click(const QWidget *window, const char *button)
{
    QTest::mouseClick(testing::control<QPushButton>(window, button), Qt::LeftButton);
}

} // namespace

class DiaryTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_env.setUp({.newRun = true, .starterDiary = false, .workingDiary = true});
        m_diary = m_env->workingDiary();
        QVERIFY(datafolder::setDataFolder());
        QVERIFY(
            testing::appendRows(m_diary, kIncense, {{"Myrrh", "resin"}, {"Sage", "smoke"}, {"Copal", "burn at dusk"}}));
    }
    void cleanup() { m_env.tearDown(); }

    void everyWindowFollowsAChangeMadeAnywhere_data();
    void everyWindowFollowsAChangeMadeAnywhere();
    void editWhoseEntryChangedUnderneathIsSavedAsTheUserSays_data();
    void editWhoseEntryChangedUnderneathIsSavedAsTheUserSays();

private:
    Rows rows() const { return testing::readRows(m_diary, kIncense).value_or(Rows{}); }
    // The Incense section window, open, with its first line chosen.
    SectionWindow *openIncense();

    testing::Fixture m_env;
    QString m_diary;
};

SectionWindow *DiaryTest::openIncense()
{
    SectionWindow *section = testing::enterSection(1);
    if (!section)
        return nullptr;
    click(section, "Command1");
    testing::selectLine(section, 0);
    return section;
}

void DiaryTest::everyWindowFollowsAChangeMadeAnywhere_data()
{
    QTest::addColumn<Place>("place");
    QTest::newRow("section window") << Place::SectionWindow;
    QTest::newRow("undo in the History window") << Place::HistoryUndo;
    QTest::newRow("entries brought back") << Place::BringBack;
    QTest::newRow("import") << Place::Import;
    QTest::newRow("restore") << Place::Restore;
    QTest::newRow("another program") << Place::AnotherProgram;
}

void DiaryTest::everyWindowFollowsAChangeMadeAnywhere()
{
    QFETCH(Place, place);
    Diary &diary = Diary::working();
    // What each change takes back or brings: the first write of the run backs the diary up first.
    const qint64 myrrh = rows()[0].index;
    if (place == Place::Restore)
        QVERIFY(*diary.update(store::Table::Incense, myrrh, {"Myrrh", "resin at dusk"}));
    if (place == Place::BringBack)
        QVERIFY(*diary.remove(store::Table::Incense, rows()[1].index));

    SectionWindow *section = openIncense();
    QVERIFY(section);
    // Edited and saved as a user would: the boxes keep the saved text, with no line selected.
    if (place == Place::HistoryUndo) {
        click(section, "Command4");
        auto *meaning = testing::control<QPlainTextEdit>(section, "txtMeaning");
        meaning->moveCursor(QTextCursor::End);
        QTest::keyClicks(meaning, QStringLiteral(" at dusk"));
        click(section, "Command4");
        QCOMPARE(rows()[0].meaning, QStringLiteral("resin at dusk"));
    }
    navigation::showHistory(section);
    auto *history = section->findChild<HistoryWindow *>();
    section->findChild<QAction *>(QStringLiteral("mnuFind"))->trigger();
    auto *find = section->findChild<FindWindow *>();
    QVERIFY(history && find);
    QTest::keyClicks(testing::control<QLineEdit>(find, "txtFind"), QStringLiteral("dusk"));
    QTRY_VERIFY(!testing::control<QLabel>(find, "lblFound")->text().isEmpty());
    auto *changeList = testing::control<QListView>(history, "lstChanges");
    changeList->setCurrentIndex(changeList->model()->index(0, 0));
    const QString chosenChange = changeList->currentIndex().data().toString();

    switch (place) {
    case Place::SectionWindow:
        click(section, "Command2");
        QTest::keyClicks(testing::control<QLineEdit>(section, "txtKeyword"), QStringLiteral("Amber"));
        QTest::keyClicks(testing::control<QPlainTextEdit>(section, "txtMeaning"), QStringLiteral("warm at dusk"));
        click(section, "Command2");
        break;
    case Place::HistoryUndo:
        testing::control<QListView>(history, "lstChanges")
            ->setCurrentIndex(testing::control<QListView>(history, "lstChanges")->model()->index(0, 0));
        click(history, "cmdUndoChange");
        break;
    case Place::BringBack:
    case Place::Restore:
        m_env->messages->answers = {gui::Answer::Yes};
        testing::control<QListView>(history, "lstBackups")
            ->setCurrentIndex(testing::control<QListView>(history, "lstBackups")->model()->index(0, 0));
        QCOMPARE(testing::whileDialogIsUp(
                     [&] { click(history, place == Place::BringBack ? "cmdBringBack" : "cmdRestoreBackup"); },
                     [](QWidget *dialog) { click(dialog, "cmdOK"); }),
                 place == Place::BringBack);
        break;
    case Place::Import: {
        const QString csv = m_env->root() + QStringLiteral("/more.csv");
        QFile file(csv);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("section,keyword,meaning\nIncense,Amber,warm at dusk\n");
        file.close();
        m_env->files->answers = {csv};
        m_env->messages->answers = {gui::Answer::Yes};
        section->findChild<QAction *>(QStringLiteral("mnuImportEntries"))->trigger();
        break;
    }
    case Place::AnotherProgram:
        QVERIFY(testing::execute(m_diary,
                                 QStringLiteral("UPDATE tblincense SET meaning = 'resin at dusk' "
                                                "WHERE keyword = 'Myrrh'")));
        break;
    }

    // Each window shows what the file holds, read through a separate connection.
    const Rows now = rows();
    QStringList keywords;
    qsizetype dusk = 0;
    for (const testing::DiaryRow &row : now) {
        keywords << row.keyword;
        dusk += row.meaning.contains(QStringLiteral("dusk")) ? 1 : 0;
    }
    QTRY_COMPARE(testing::listed(section), keywords);
    // The boxes show the selected entry, or an entry the diary still holds as shown, or nothing.
    if (const int line = section->selectedPosition(); line >= 0)
        QTRY_COMPARE(testing::meaningShown(section), now[std::size_t(line)].meaning);
    else if (!testing::meaningShown(section).isEmpty())
        QVERIFY2(
            std::any_of(now.begin(), now.end(),
                        [&](const testing::DiaryRow &row) { return row.meaning == testing::meaningShown(section); }),
            qPrintable(testing::meaningShown(section)));
    const auto changes = store::history::readChanges(m_diary);
    QVERIFY(changes.ok());
    QTRY_COMPARE(linesOf(history, "lstChanges").size(), qsizetype(changes->size()));
    if (!changes->empty())
        QVERIFY(linesOf(history, "lstChanges").front().endsWith(store::history::describe(changes->front())));
    // The chosen change stays chosen, unless the History window made one of its own, which it then
    // shows; a diary replaced whole numbers its changes anew.
    if (place == Place::Restore || place == Place::AnotherProgram)
        QVERIFY(!changeList->currentIndex().isValid());
    else if (place == Place::HistoryUndo || place == Place::BringBack)
        QCOMPARE(changeList->currentIndex().row(), 0);
    else if (!chosenChange.isEmpty())
        QCOMPARE(changeList->currentIndex().data().toString(), chosenChange);
    QTRY_COMPARE(linesOf(find, "lstResults").size(), dusk);
}

void DiaryTest::editWhoseEntryChangedUnderneathIsSavedAsTheUserSays_data()
{
    QTest::addColumn<bool>("removed");
    QTest::addColumn<gui::Answer>("answer");
    QTest::addColumn<QStringList>("keywords");
    QTest::addColumn<QString>("meaning"); // Myrrh's in the file, or the new entry's
    QTest::addColumn<bool>("editing");
    QTest::newRow("changed, keep mine") << false << gui::Answer::First << QStringList{"Myrrh", "Sage", "Copal"}
                                        << "resin, mine" << false;
    QTest::newRow("changed, take the diary's")
        << false << gui::Answer::Second << QStringList{"Myrrh", "Sage", "Copal"} << "resin, theirs" << false;
    QTest::newRow("changed, stay") << false << gui::Answer::Cancel << QStringList{"Myrrh", "Sage", "Copal"}
                                   << "resin, theirs" << true;
    QTest::newRow("removed, keep mine") << true << gui::Answer::First << QStringList{"Sage", "Copal", "Myrrh"}
                                        << "resin, mine" << false;
    QTest::newRow("removed, take the diary's")
        << true << gui::Answer::Second << QStringList{"Sage", "Copal"} << "" << false;
}

void DiaryTest::editWhoseEntryChangedUnderneathIsSavedAsTheUserSays()
{
    QFETCH(bool, removed);
    QFETCH(gui::Answer, answer);
    QFETCH(QStringList, keywords);
    QFETCH(QString, meaning);
    QFETCH(bool, editing);
    SectionWindow *section = openIncense();
    QVERIFY(section);
    click(section, "Command4");
    auto *meaningBox = testing::control<QPlainTextEdit>(section, "txtMeaning");
    meaningBox->moveCursor(QTextCursor::End);
    QTest::keyClicks(meaningBox, QStringLiteral(", mine"));

    // Meanwhile the History window takes back a change, or another program writes: either way
    // the entry under the boxes is no longer what they were given.
    const qint64 myrrh = rows()[0].index;
    if (removed)
        QVERIFY(*Diary::working().remove(store::Table::Incense, myrrh));
    else
        QVERIFY(*Diary::working().update(store::Table::Incense, myrrh, {"Myrrh", "resin, theirs"}));
    QCOMPARE(testing::meaningShown(section), QStringLiteral("resin, mine"));

    m_env->messages->answers = {answer};
    click(section, "Command4");
    QCOMPARE(m_env->messages->shown.size(), std::size_t(1));
    QCOMPARE(section->mode(), editing ? SectionWindow::Mode::Editing : SectionWindow::Mode::Browsing);
    QCOMPARE(testing::readKeywords(m_diary, kIncense), keywords);
    QCOMPARE(testing::listed(section), keywords);
    const Rows now = rows();
    if (!meaning.isEmpty())
        QCOMPARE(std::find_if(now.begin(), now.end(), [](const auto &row) { return row.keyword == u"Myrrh"; })->meaning,
                 meaning);
    // Staying keeps the typed text; taking the diary's shows it.
    QCOMPARE(testing::meaningShown(section),
             editing || answer == gui::Answer::First ? QStringLiteral("resin, mine") : meaning);
}

BRIMVALE_TEST_MAIN(DiaryTest)
#include "tst_diary.moc"
