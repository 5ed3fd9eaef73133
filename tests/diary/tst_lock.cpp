// The diary's lock: on demand, after a time without use and when the screen locks, every window
// hides the diary and its keys go, nothing is written, and the password brings the user back to
// where they were; a diary without a password of its own never locks.

#include "controls.h"
#include "diaryfiles.h"
#include "fixture.h"
#include "sectionwindow.h"
#include "testmain.h"

#include "core/book/bookimport.h"
#include "core/store/password.h"
#include "core/store/store.h"
#include "core/store/storeprobe.h"
#include "gui/diarylock.h"
#include "gui/forms.h"
#include "gui/lockpanel.h"
#include "gui/navigation.h"
#include "gui/windows/exitwindow.h"
#include "gui/windows/findwindow.h"
#include "gui/windows/sectionwindow.h"
#include "platform/screenlockwatch.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>

#ifdef BRIMVALE_HAS_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#endif

namespace {
const QString kPassword = QStringLiteral("moon gate 7");
const std::vector<std::pair<QString, QString>> kSpells{{QStringLiteral("Sage"), QStringLiteral("cleanses")},
                                                       {QStringLiteral("Rue"), QStringLiteral("guards")},
                                                       {QStringLiteral("Yarrow"), QStringLiteral("heals")}};

bool coveredByLock(const QWidget *window)
{
    const auto *panel = window->findChild<LockPanel *>();
    return panel && panel->isVisible();
}

void typeUnlock(QWidget *window, const QString &password)
{
    QTest::keyClicks(testing::control<QLineEdit>(window, QStringLiteral("txtUnlockPassword")), password);
    QTest::mouseClick(testing::control<QPushButton>(window, QStringLiteral("cmdUnlock")), Qt::LeftButton);
}
} // namespace

class LockTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup() { m_env.tearDown(); }

    void lockHidesAllAndUnlockReturnsToWhereTheUserWas_data();
    void lockHidesAllAndUnlockReturnsToWhereTheUserWas();
    void diaryWithoutItsOwnPasswordNeverLocks();
    void lockAskedDuringAWriteComesOnceItIsDone();
    void closingWhileLockedSavesTheEditAsEver();
    void printPreviewGoesWithTheLock();

private:
    // The section window of the spells, the diary opened with its password.
    SectionWindow *enterSpells();

    testing::Fixture m_env;
    fakes::PasswordPrompt *m_prompt = nullptr;
    QProcess m_bus;
    QString m_busAddress;
};

void LockTest::initTestCase()
{
    store::probe::setPasswordCost(1, 8192);
#ifdef BRIMVALE_HAS_DBUS
    // A session bus of the test's own, before anything in the process reaches for one.
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        return;
    m_bus.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    if (m_bus.waitForStarted() && m_bus.waitForReadyRead(5000))
        m_busAddress = QString::fromUtf8(m_bus.readLine()).trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_busAddress.toUtf8());
#endif
}

void LockTest::cleanupTestCase()
{
    m_bus.kill();
    m_bus.waitForFinished();
}

void LockTest::init()
{
    m_env.setUp({.workingDiary = true, .checkOpenFiles = false});
    QVERIFY(testing::appendRows(m_env->workingDiary(), QStringLiteral("tblspell"), kSpells));
    m_prompt = new fakes::PasswordPrompt;
    platform::installed().passwordPrompt.reset(m_prompt);
    store::probe::forgetKeys();
}

SectionWindow *LockTest::enterSpells()
{
    m_prompt->answers = {kPassword};
    SectionWindow *section = testing::enterSection(0);
    if (section)
        section->open();
    return section;
}

void LockTest::lockHidesAllAndUnlockReturnsToWhereTheUserWas_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("modeNumber");
    QTest::newRow("Ctrl+L while browsing") << QStringLiteral("menu") << int(SectionWindow::Mode::Browsing);
    QTest::newRow("Ctrl+L while adding") << QStringLiteral("menu") << int(SectionWindow::Mode::Adding);
    QTest::newRow("ten minutes without use while editing")
        << QStringLiteral("idle") << int(SectionWindow::Mode::Editing);
    QTest::newRow("screen saver while editing") << QStringLiteral("screen") << int(SectionWindow::Mode::Editing);
}

void LockTest::lockHidesAllAndUnlockReturnsToWhereTheUserWas()
{
    QFETCH(QString, how);
    QFETCH(int, modeNumber);
    const auto mode = SectionWindow::Mode(modeNumber);
#ifdef BRIMVALE_HAS_DBUS
    if (how == QLatin1String("screen")) {
        if (m_busAddress.isEmpty())
            QSKIP("dbus-daemon is not installed or did not start: no session bus to send the signal on");
        platform::installed().screenLock = platform::desktopScreenLockWatch();
    }
#else
    if (how == QLatin1String("screen"))
        QSKIP("built without D-Bus");
#endif
    QVERIFY(store::changePassword(m_env->workingDiary(), QString(), kPassword).ok());
    store::probe::forgetKeys();
    SectionWindow *section = enterSpells();
    QVERIFY(section);
    auto *keyword = testing::control<QLineEdit>(section, QStringLiteral("txtKeyword"));
    auto *meaning = testing::control<QPlainTextEdit>(section, QStringLiteral("txtMeaning"));
    testing::control<QAction>(section, QStringLiteral("mnuFind"))->trigger();
    auto *find = section->findChild<FindWindow *>();
    QVERIFY(find);
    testing::control<QLineEdit>(find, QStringLiteral("txtFind"))->setText(QStringLiteral("Rue"));
    QAbstractItemModel *results = testing::control<QListView>(find, QStringLiteral("lstResults"))->model();
    QTRY_COMPARE(results->rowCount(), 1);
    section->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(section));
    testing::selectLine(section, 1);
    if (mode == SectionWindow::Mode::Adding)
        QTest::mouseClick(testing::control<QPushButton>(section, QStringLiteral("Command2")), Qt::LeftButton);
    if (mode == SectionWindow::Mode::Editing)
        QTest::mouseClick(testing::control<QPushButton>(section, QStringLiteral("Command4")), Qt::LeftButton);
    QTest::keyClicks(keyword, QStringLiteral(" typed"));
    meaning->setFocus();
    QTest::keyClicks(meaning, QStringLiteral("half a thought"));
    QCOMPARE(section->mode(), mode);
    keyword->selectAll();
    keyword->copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), keyword->text());
    const QString keywordTyped = keyword->text();
    const QString meaningTyped = meaning->toPlainText();
    const QStringList listedBefore = testing::listed(section);
    const QStringList filesBefore = testing::stateOf(m_env->dataFolder());
    const auto settingsBefore = m_env->settings->values;

    if (how == QLatin1String("menu")) {
        QTest::keyClick(section, Qt::Key_L, Qt::ControlModifier);
    } else if (how == QLatin1String("idle")) {
        m_env->clock->advance(9 * 60);
        QTest::qWait(1500);
        QVERIFY(!coveredByLock(section));
        m_env->clock->advance(60);
    } else {
#ifdef BRIMVALE_HAS_DBUS
        QDBusConnection sender = QDBusConnection::connectToBus(m_busAddress, QStringLiteral("screen saver"));
        QVERIFY(sender.isConnected());
        QVERIFY(sender.send(QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/ScreenSaver"),
                                                       QStringLiteral("org.freedesktop.ScreenSaver"),
                                                       QStringLiteral("ActiveChanged"))
                            << true));
#endif
    }
    QTRY_VERIFY(coveredByLock(section));
    QVERIFY(coveredByLock(find));
    QCOMPARE(results->rowCount(), 0);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());
    QVERIFY(!testing::control<QListView>(section, QStringLiteral("lstKeyword"))->isEnabled());
    // Only the line of an entry being edited stays, for leaving while locked.
    const QStringList keptWhileLocked =
        mode == SectionWindow::Mode::Editing ? QStringList{listedBefore.at(1)} : QStringList();
    QCOMPARE(testing::listed(section), keptWhileLocked);
    QVERIFY(!store::ownPasswordInUse(m_env->workingDiary()));
    QCOMPARE(testing::stateOf(m_env->dataFolder()), filesBefore);
    QCOMPARE(m_env->settings->values, settingsBefore);

    typeUnlock(section, QStringLiteral("not it"));
    QVERIFY(coveredByLock(section));
    QCOMPARE(testing::control<QLabel>(section, QStringLiteral("lblUnlockRefused"))->text(),
             QStringLiteral("The password is wrong. Type it again."));
    QCOMPARE(testing::listed(section), keptWhileLocked);

    typeUnlock(section, kPassword);
    QVERIFY(!coveredByLock(section));
    QCOMPARE(section->mode(), mode);
    QCOMPARE(testing::listed(section), listedBefore);
    QCOMPARE(section->selectedPosition(), 1);
    QCOMPARE(keyword->text(), keywordTyped);
    QCOMPARE(meaning->toPlainText(), meaningTyped);
    QVERIFY(keyword->isEnabled());
    QVERIFY(!coveredByLock(find));
    QCOMPARE(results->rowCount(), 1);
    QCOMPARE(m_prompt->asked, 1);
}

void LockTest::diaryWithoutItsOwnPasswordNeverLocks()
{
    SectionWindow *section = enterSpells();
    QVERIFY(section);
    auto *lock = testing::control<QAction>(section, QStringLiteral("mnuLockDiary"));
    QVERIFY(!lock->isEnabled());
    QVERIFY(lock->toolTip().contains(QStringLiteral("password of its own")));
    navigation::lockDiary(section);
    m_env->clock->advance(24 * 60 * 60);
    QTest::qWait(1500);
    QVERIFY(!coveredByLock(section));
    QCOMPARE(testing::listed(section).size(), qsizetype(kSpells.size()));
}

// The import's progress window lets events in between rows: a lock asked for then waits.
void LockTest::lockAskedDuringAWriteComesOnceItIsDone()
{
    QVERIFY(store::changePassword(m_env->workingDiary(), QString(), kPassword).ok());
    store::probe::forgetKeys();
    SectionWindow *section = enterSpells();
    QVERIFY(section);
    book::Preview incoming;
    incoming.additions.push_back({store::Table::Rituals, {}});
    for (int n = 0; n < 2048; ++n)
        incoming.additions.front().entries.push_back({QStringLiteral("Rite %1").arg(n), QStringLiteral("at dusk")});
    bool coveredMidway = true;
    const book::Outcome outcome = book::import(m_env->workingDiary(), incoming, [&](qint64, qint64) {
        navigation::lockDiary(section);
        coveredMidway = coveredByLock(section);
        return true;
    });
    QVERIFY(outcome.done());
    QVERIFY(!coveredMidway);
    QTRY_VERIFY(coveredByLock(section));
    typeUnlock(section, kPassword);
    const auto rituals = store::readKeywords(m_env->workingDiary(), store::Table::Rituals);
    QVERIFY(rituals.ok());
    QCOMPARE(rituals->keywords.size(), 2048);
}

// The way out while locked asks about the edit as it always does; saving it needs the password.
void LockTest::closingWhileLockedSavesTheEditAsEver()
{
    QVERIFY(store::changePassword(m_env->workingDiary(), QString(), kPassword).ok());
    store::probe::forgetKeys();
    SectionWindow *section = enterSpells();
    QVERIFY(section);
    testing::selectLine(section, 2);
    QTest::mouseClick(testing::control<QPushButton>(section, QStringLiteral("Command4")), Qt::LeftButton);
    auto *meaning = testing::control<QPlainTextEdit>(section, QStringLiteral("txtMeaning"));
    meaning->moveCursor(QTextCursor::End);
    QTest::keyClicks(meaning, QStringLiteral(" well"));
    navigation::lockDiary(section);
    QVERIFY(coveredByLock(section));
    m_env->messages->answers = {gui::Answer::Save};
    m_prompt->answers = {kPassword};
    section->close();
    QVERIFY(forms::loaded<ExitWindow>() && forms::loaded<ExitWindow>()->isVisible());
    const auto spells = store::readEntry(m_env->workingDiary(), store::Table::Spell, 3);
    QVERIFY(spells.ok() && *spells);
    QCOMPARE((*spells)->meaning, QStringLiteral("heals well"));
}

// The preview shows the whole book; it waits for no answer, so the lock closes it.
void LockTest::printPreviewGoesWithTheLock()
{
    QVERIFY(store::changePassword(m_env->workingDiary(), QString(), kPassword).ok());
    store::probe::forgetKeys();
    SectionWindow *section = enterSpells();
    QVERIFY(section);
    bool previewShown = false;
    bool leftOpen = false;
    QTimer::singleShot(0, this, [&] {
        previewShown = qobject_cast<QPrintPreviewDialog *>(QApplication::activeModalWidget());
        navigation::lockDiary(section);
    });
    QTimer::singleShot(3000, this, [&] {
        if (auto *preview = qobject_cast<QPrintPreviewDialog *>(QApplication::activeModalWidget())) {
            leftOpen = true;
            preview->reject();
        }
    });
    testing::control<QAction>(section, QStringLiteral("mnuPrintBook"))->trigger();
    QVERIFY(previewShown);
    QVERIFY(!leftOpen);
    QVERIFY(coveredByLock(section));
}

BRIMVALE_TEST_MAIN(LockTest)
#include "tst_lock.moc"
