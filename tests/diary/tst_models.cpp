// The list models behind the section window and the History window keep the rules every Qt view
// relies on (Qt's model tester checks each of their signals against what they then hold) through
// what a user meets: filled, paged, followed row by row, read again whole, and emptied by the lock.

#include "controls.h"
#include "diaryfiles.h"
#include "fixture.h"
#include "mounts.h"
#include "sectionwindow.h"
#include "testmain.h"

#include "core/diary.h"
#include "core/store/backups.h"
#include "core/store/history.h"
#include "core/store/storeprobe.h"
#include "gui/changesmodel.h"
#include "gui/diarylock.h"
#include "gui/navigation.h"
#include "gui/windows/historywindow.h"
#include "gui/windows/sectionwindow.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>
#include <vector>

namespace {
const QString kSpell = QStringLiteral("tblspell");
const QString kPassword = QStringLiteral("secret");
} // namespace

class ModelsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { store::probe::setPasswordCost(1, 8192); }
    void init() { m_env.setUp({.workingDiary = true}); }
    void cleanup() { m_env.tearDown(); }

    void listsKeepTheModelRulesThroughEveryChange();

private:
    testing::Fixture m_env;
};

void ModelsTest::listsKeepTheModelRulesThroughEveryChange()
{
    // One change more than a page: the History window's list reads a second page as it scrolls.
    // Each change is on the disk when it returns, so they are written in memory where it can be.
    const QString diary = m_env->workingDiary();
    const QByteArray empty = testing::bytesOf(diary);
    const testing::Mount memory = testing::Mount::small(m_env->dataFolder(), 16384);
    QFile file(diary);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(empty) == empty.size());
    file.close();
    std::vector<std::pair<QString, QString>> herbs;
    for (int i = 0; i <= historyview::ChangesModel::kPerPage; ++i)
        herbs.emplace_back(QStringLiteral("Herb %1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("grows"));
    for (const auto &[keyword, meaning] : herbs)
        QVERIFY(store::addEntry(diary, store::Table::Spell, {keyword, meaning}).ok());
    const QString folder = store::backupFolder(diary);
    QVERIFY(QDir().mkpath(folder) && QFile::copy(diary, folder + QStringLiteral("/updatediary-20261201-101500.dll")));

    SectionWindow *section = testing::enterSection(0);
    QVERIFY(section);
    section->open();
    navigation::showHistory(section);
    auto *history = section->findChild<HistoryWindow *>();
    QVERIFY(history);
    std::vector<std::unique_ptr<QAbstractItemModelTester>> testers;
    for (const auto &[window, list] :
         {std::pair<QWidget *, const char *>{section, "lstKeyword"}, {history, "lstChanges"}, {history, "lstBackups"}})
        testers.push_back(
            std::make_unique<QAbstractItemModelTester>(testing::control<QListView>(window, list)->model(),
                                                       QAbstractItemModelTester::FailureReportingMode::QtTest));
    const QAbstractItemModel *changes = testing::control<QListView>(history, "lstChanges")->model();
    const QAbstractItemModel *backups = testing::control<QListView>(history, "lstBackups")->model();
    // Each list holds what the diary holds, the list of changes read to its end.
    const auto inStep = [&] {
        testing::control<QListView>(history, "lstChanges")->scrollToBottom();
        QCoreApplication::processEvents();
        return testing::listed(section) == testing::readKeywords(diary, kSpell)
            && changes->rowCount() == int(store::history::readChanges(diary)->size())
            && backups->rowCount() == int(store::summarizeBackups(diary).size());
    };
    QVERIFY(inStep());
    QVERIFY(changes->rowCount() > historyview::ChangesModel::kPerPage);

    // Row by row: a line added at the end, one changed, one removed, and the same brought back
    // into the middle by an undo.
    QTest::mouseClick(testing::control<QPushButton>(section, "Command2"), Qt::LeftButton);
    QTest::keyClicks(testing::control<QLineEdit>(section, "txtKeyword"), QStringLiteral("Yarrow"));
    QTest::keyClicks(testing::control<QPlainTextEdit>(section, "txtMeaning"), QStringLiteral("heals"));
    QTest::mouseClick(testing::control<QPushButton>(section, "Command2"), Qt::LeftButton);
    QVERIFY(inStep());
    const std::vector<qint64> indexes = section->lineIndexes();
    QVERIFY(
        *Diary::working().update(store::Table::Spell, indexes[1], {QStringLiteral("Rue"), QStringLiteral("guards")}));
    QVERIFY(inStep());
    QVERIFY(*Diary::working().remove(store::Table::Spell, indexes[2]));
    QVERIFY(inStep());
    QVERIFY(Diary::working().undoLastIn(store::Table::Spell)->change);
    QVERIFY(inStep());
    // Another program's change: the section is read again whole.
    QVERIFY(testing::appendRows(diary, kSpell, {{QStringLiteral("Vervain"), QStringLiteral("dreams")}}));
    Diary::working().lookForOutsideChange();
    QVERIFY(inStep());

    // The lock empties every list, and the password fills them again.
    QVERIFY(Diary::working().changePassword(QString(), kPassword).ok());
    DiaryLock::instance().refresh();
    DiaryLock::instance().lock();
    QVERIFY(DiaryLock::instance().locked());
    QCOMPARE(testing::listed(section), QStringList());
    QCOMPARE(changes->rowCount(), 0);
    QCOMPARE(backups->rowCount(), 0);
    testing::control<QLineEdit>(section, "txtUnlockPassword")->setText(kPassword);
    QTest::mouseClick(testing::control<QPushButton>(section, "cmdUnlock"), Qt::LeftButton);
    QVERIFY(!DiaryLock::instance().locked());
    QCOMPARE(testing::listed(section).size(), qsizetype(herbs.size() + 2));
    QVERIFY(changes->rowCount() > 0);
    QCOMPARE(backups->rowCount(), int(store::summarizeBackups(diary).size()));
}

BRIMVALE_TEST_MAIN(ModelsTest)
#include "tst_models.moc"
