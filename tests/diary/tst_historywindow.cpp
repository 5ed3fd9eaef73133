// The History window and Undo as a user meets them: every change comes back, a change that no
// longer fits is refused, and a backup brings entries back or the whole diary.

#include "controls.h"
#include "diaryfiles.h"
#include "fakes.h"
#include "fixture.h"
#include "sectionwindow.h"
#include "testmain.h"

#include "core/services.h"
#include "core/store/backups.h"
#include "core/store/history.h"
#include "core/store/password.h"
#include "core/store/store.h"
#include "core/store/storeprobe.h"
#include "gui/diarylock.h"
#include "gui/forms.h"
#include "gui/navigation.h"
#include "gui/windows/historywindow.h"
#include "gui/windows/mainwindow.h"
#include "gui/windows/sectionwindow.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

namespace {
using Rows = std::vector<testing::DiaryRow>;
const QString kIncense = QStringLiteral("tblincense");

HistoryWindow *openHistory()
{
    MainWindow *main = testing::startProgram();
    if (!main)
        return nullptr;
    navigation::showHistory(main);
    return main->findChild<HistoryWindow *>();
}

QStringList linesOf(HistoryWindow *window, const char *list)
{
    QStringList lines;
    const QAbstractItemModel *model = testing::control<QListView>(window, list)->model();
    for (int row = 0; row < model->rowCount(); ++row)
        lines << model->index(row, 0).data().toString();
    return lines;
}

void choose(HistoryWindow *window, const char *list, int row)
{
    auto *view = testing::control<QListView>(window, list);
    view->setCurrentIndex(view->model()->index(row, 0));
}

void click(HistoryWindow *window, const char *button)
{
    QTest::mouseClick(testing::control<QPushButton>(window, button), Qt::LeftButton);
}
} // namespace

class HistoryWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_env.setUp({.newRun = true, .starterDiary = false, .workingDiary = true});
        m_diary = m_env->workingDiary();
        QVERIFY(testing::appendRows(m_diary, kIncense, {{"Myrrh", "resin"}, {"Sage", "smoke"}, {"Rue", "herb"}}));
        m_start = *testing::readRows(m_diary, kIncense);
    }
    void cleanup() { m_env.tearDown(); }

    void eachChangeIsTakenBackAndBroughtAgain_data();
    void eachChangeIsTakenBackAndBroughtAgain();
    void anUndoThatNoLongerFitsChangesNothingAndSaysWhy();
    void clearHistoryForgetsOnlyWhenTheUserAgrees_data();
    void clearHistoryForgetsOnlyWhenTheUserAgrees();
    void undoInTheSectionStepsBackThroughThisRun();
    void aLockedHistoryShowsNothingAndComesBack();
    void aBackupUnderAnotherPasswordComesBack_data();
    void aBackupUnderAnotherPasswordComesBack();

private:
    Rows rows() const { return testing::readRows(m_diary, kIncense).value_or(Rows{}); }

    testing::Fixture m_env;
    QString m_diary;
    Rows m_start;
};

void HistoryWindowTest::eachChangeIsTakenBackAndBroughtAgain_data()
{
    QTest::addColumn<int>("change");
    QTest::addColumn<QString>("line");
    QTest::newRow("add") << 0 << QStringLiteral("Added \u201cAmber\u201d to Incense");
    QTest::newRow("edit") << 1 << QStringLiteral("Changed \u201cSage\u201d in Incense");
    QTest::newRow("remove") << 2 << QStringLiteral("Removed \u201cSage\u201d from Incense");
    QTest::newRow("import") << 3 << QStringLiteral("Imported 2 entries");
}

void HistoryWindowTest::eachChangeIsTakenBackAndBroughtAgain()
{
    QFETCH(int, change);
    QFETCH(QString, line);
    const store::Table incense = store::Table::Incense;
    const qint64 sage = m_start[1].index;
    switch (change) {
    case 0: QVERIFY(store::addEntry(m_diary, incense, {"Amber", "warm"}).ok()); break;
    case 1: QVERIFY(*store::updateEntry(m_diary, incense, sage, {"Sage", "cleansing smoke"})); break;
    case 2: QVERIFY(*store::removeEntry(m_diary, incense, sage)); break;
    default:
        QVERIFY(
            *store::addEntries(m_diary, {{incense, {{"Amber", "warm"}}}, {store::Table::Spell, {{"Ward", "salt"}}}}));
    }
    const Rows changed = rows();

    HistoryWindow *window = openHistory();
    QVERIFY(window);
    QVERIFY(linesOf(window, "lstChanges").value(0).endsWith(line));
    choose(window, "lstChanges", 0);
    click(window, "cmdUndoChange");
    QCOMPARE(rows(), m_start);
    QVERIFY(linesOf(window, "lstChanges").value(0).endsWith(QStringLiteral("Took back: ") + line));

    // The undo is a change of its own: taking it back brings the change again, "Index"es and all.
    choose(window, "lstChanges", 0);
    click(window, "cmdUndoChange");
    QCOMPARE(rows(), changed);
    QVERIFY(m_env->messages->shown.empty());
}

void HistoryWindowTest::anUndoThatNoLongerFitsChangesNothingAndSaysWhy()
{
    const qint64 sage = m_start[1].index;
    QVERIFY(*store::updateEntry(m_diary, store::Table::Incense, sage, {"Sage", "second"}));
    QVERIFY(*store::updateEntry(m_diary, store::Table::Incense, sage, {"Sage", "third"}));
    const Rows before = rows();
    const QByteArray bytes = testing::bytesOf(m_diary);

    HistoryWindow *window = openHistory();
    QVERIFY(window);
    choose(window, "lstChanges", 1); // the first edit, changed again since
    click(window, "cmdUndoChange");
    QCOMPARE(rows(), before);
    QCOMPARE(testing::bytesOf(m_diary), bytes);
    QVERIFY2(m_env->messages->last().contains(QStringLiteral("Sage")), qPrintable(m_env->messages->last()));
}

void HistoryWindowTest::clearHistoryForgetsOnlyWhenTheUserAgrees_data()
{
    QTest::addColumn<gui::Answer>("answer");
    QTest::addColumn<bool>("forgotten");
    QTest::newRow("yes") << gui::Answer::Yes << true;
    QTest::newRow("no") << gui::Answer::No << false;
}

void HistoryWindowTest::clearHistoryForgetsOnlyWhenTheUserAgrees()
{
    QFETCH(gui::Answer, answer);
    QFETCH(bool, forgotten);
    QVERIFY(store::addEntry(m_diary, store::Table::Incense, {"Amber", "warm"}).ok());
    HistoryWindow *window = openHistory();
    QVERIFY(window);
    const QStringList before = linesOf(window, "lstChanges");
    QVERIFY(!before.isEmpty());

    m_env->messages->answers = {answer};
    click(window, "cmdClearHistory");
    QCOMPARE(m_env->messages->shown.size(), std::size_t(1));
    QCOMPARE(linesOf(window, "lstChanges").isEmpty(), forgotten);
    if (!forgotten)
        QCOMPARE(linesOf(window, "lstChanges"), before);
    // The entries stay whatever the answer.
    QCOMPARE(testing::readKeywords(m_diary, kIncense), (QStringList{"Myrrh", "Sage", "Rue", "Amber"}));
    const auto kept = store::history::readChanges(m_diary);
    QVERIFY(kept.ok());
    QCOMPARE(kept->empty(), forgotten);
}

void HistoryWindowTest::undoInTheSectionStepsBackThroughThisRun()
{
    QVERIFY(store::addEntry(m_diary, store::Table::Spell, {"Ward", "salt"}).ok()); // another section
    SectionWindow *section = testing::enterSection(1);
    QVERIFY(section);
    QTest::mouseClick(testing::control<QPushButton>(section, "Command1"), Qt::LeftButton); // Open
    testing::selectLine(section, 1);
    QTest::mouseClick(testing::control<QPushButton>(section, "Command3"), Qt::LeftButton); // Remove
    QCOMPARE(testing::listed(section), (QStringList{"Myrrh", "Rue"}));

    auto *list = testing::control<QListView>(section, "lstKeyword");
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(rows(), m_start);
    QCOMPARE(testing::listed(section), (QStringList{"Myrrh", "Sage", "Rue"}));

    // Nothing else of this run in this section: the Spell entry stays.
    QTest::keyClick(list, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(rows(), m_start);
    QCOMPARE(testing::readKeywords(m_diary, QStringLiteral("tblspell")), QStringList{"Ward"});
    QCOMPARE(m_env->messages->shown.size(), std::size_t(1));
}

void HistoryWindowTest::aLockedHistoryShowsNothingAndComesBack()
{
    QVERIFY(*store::removeEntry(m_diary, store::Table::Incense, m_start[1].index));
    QVERIFY(*store::removeEntry(m_diary, store::Table::Incense, m_start[2].index));
    QVERIFY(store::changePassword(m_diary, QString(), QStringLiteral("secret")).ok());
    HistoryWindow *window = openHistory();
    QVERIFY(window);
    choose(window, "lstChanges", 1);
    const QStringList lines = linesOf(window, "lstChanges");
    const QString shown = testing::control<QPlainTextEdit>(window, "txtChange")->toPlainText();
    QVERIFY(shown.contains(QStringLiteral("Sage")));

    DiaryLock::instance().refresh();
    DiaryLock::instance().lock();
    QVERIFY(DiaryLock::instance().locked());
    QVERIFY(linesOf(window, "lstChanges").isEmpty());
    QVERIFY(linesOf(window, "lstBackups").isEmpty());
    QVERIFY(testing::control<QPlainTextEdit>(window, "txtChange")->toPlainText().isEmpty());

    testing::control<QLineEdit>(window, "txtUnlockPassword")->setText(QStringLiteral("secret"));
    QTest::mouseClick(testing::control<QPushButton>(window, "cmdUnlock"), Qt::LeftButton);
    QVERIFY(!DiaryLock::instance().locked());
    QCOMPARE(linesOf(window, "lstChanges"), lines);
    QCOMPARE(testing::control<QPlainTextEdit>(window, "txtChange")->toPlainText(), shown);
}

void HistoryWindowTest::aBackupUnderAnotherPasswordComesBack_data()
{
    QTest::addColumn<bool>("whole");
    QTest::newRow("bring back entries") << false;
    QTest::newRow("restore the backup") << true;
}

// The backup holds an entry the diary has lost and is under a password the diary no longer has.
void HistoryWindowTest::aBackupUnderAnotherPasswordComesBack()
{
    QFETCH(bool, whole);
    const QString folder = store::backupFolder(m_diary);
    QVERIFY(QDir().mkpath(folder));
    const QString backup = folder + QStringLiteral("/updatediary-20261201-101500.dll");
    QVERIFY(QFile::copy(m_diary, backup));
    QVERIFY(store::changePassword(backup, QString(), QStringLiteral("old secret")).ok());
    QVERIFY(*store::removeEntry(m_diary, store::Table::Incense, m_start[0].index));
    QVERIFY(store::addEntry(m_diary, store::Table::Incense, {"Amber", "warm"}).ok());
    store::probe::forgetKeys();
    auto *prompt = new fakes::PasswordPrompt;
    prompt->answers = {QStringLiteral("old secret")};
    platform::installed().passwordPrompt.reset(prompt);

    HistoryWindow *window = openHistory();
    QVERIFY(window);
    QCOMPARE(prompt->asked, 0); // listing never asks
    const QStringList backups = linesOf(window, "lstBackups");
    const auto locked = std::find_if(backups.begin(), backups.end(), [](const QString &line) {
        return line.endsWith("under another password, or damaged");
    });
    QCOMPARE(backups.size(), 2); // the run's own, made before the first change, and this one
    QVERIFY(locked != backups.end());
    choose(window, "lstBackups", int(locked - backups.begin()));
    m_env->messages->answers = {gui::Answer::Yes};
    click(window, whole ? "cmdRestoreBackup" : "cmdBringBack");
    QCOMPARE(prompt->asked, 1);
    const QStringList expected =
        whole ? QStringList{"Myrrh", "Sage", "Rue"} : QStringList{"Sage", "Rue", "Amber", "Myrrh"};
    // Restored, the diary has the backup's password, which this run now knows.
    const auto listed = store::readKeywords(m_diary, store::Table::Incense);
    QVERIFY(listed.ok());
    QCOMPARE(listed->keywords, expected);
    QCOMPARE(prompt->asked, 1);
    // The diary as it was before the restore is kept as a backup of its own.
    QCOMPARE(linesOf(window, "lstBackups").size(), whole ? 3 : 2);
}

BRIMVALE_TEST_MAIN(HistoryWindowTest)
#include "tst_historywindow.moc"
