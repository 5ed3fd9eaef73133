// The diary's lock: on demand, after a time without use and when the screen locks, every window
// hides the diary and its keys go, nothing is written, and the password brings the user back to
// where they were; a diary without a password of its own never locks.

#include "controls.h"
#include "dialogs.h"
#include "diaryfiles.h"
#include "fixture.h"
#include "memoryscan.h"
#include "readable.h"
#include "sectionwindow.h"
#include "testmain.h"

#include "core/book/bookimport.h"
#include "core/store/password.h"
#include "core/store/store.h"
#include "core/store/storeprobe.h"
#include "gui/diarylock.h"
#include "gui/forms.h"
#include "gui/lockpanel.h"
#include "gui/windows/exitwindow.h"
#include "gui/windows/findwindow.h"
#include "gui/windows/historywindow.h"
#include "gui/windows/mainwindow.h"
#include "gui/windows/passwordpromptdialog.h"
#include "gui/windows/sectionwindow.h"
#include "platform/screenlockwatch.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QtTest>

#include <functional>

#ifdef BRIMVALE_HAS_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#endif

namespace {
const QString kPassword = QStringLiteral("moon gate 7");
const std::vector<std::pair<QString, QString>> kSpells{{QStringLiteral("Sage"), QStringLiteral("cleanses")},
                                                       {QStringLiteral("Rue"), QStringLiteral("guards")},
                                                       {QStringLiteral("Yarrow"), QStringLiteral("heals")}};

// The diary's text and what the user types and looks for in it: none of it may be readable from
// a window while the diary is locked.
const QStringList kDiaryWords{QStringLiteral("Sage"),     QStringLiteral("cleanses"), QStringLiteral("Rue"),
                              QStringLiteral("guards"),   QStringLiteral("Yarrow"),   QStringLiteral("heals"),
                              QStringLiteral("Mandrake"), QStringLiteral("sleeps"),   QStringLiteral("quill"),
                              QStringLiteral("a thought")};

// The panel over the window; none when it is not locked. The panel of an earlier lock may still
// be there, hidden, until the event loop deletes it.
LockPanel *lockPanel(const QWidget *window)
{
    for (LockPanel *panel : window->findChildren<LockPanel *>())
        if (panel->isVisible())
            return panel;
    return nullptr;
}

bool coveredByLock(const QWidget *window)
{
    return lockPanel(window);
}

void typeUnlock(QWidget *window, const QString &password)
{
    LockPanel *panel = lockPanel(window);
    QVERIFY(panel);
    QTest::keyClicks(testing::control<QLineEdit>(panel, QStringLiteral("txtUnlockPassword")), password);
    QTest::mouseClick(testing::control<QPushButton>(panel, QStringLiteral("cmdUnlock")), Qt::LeftButton);
}

void typeUnlock(QWidget *window, const testing::MaskedSecret &password, bool send = true)
{
    LockPanel *panel = lockPanel(window);
    QVERIFY(panel);
    password.type(testing::control<QLineEdit>(panel, QStringLiteral("txtUnlockPassword")));
    if (send)
        QTest::mouseClick(testing::control<QPushButton>(panel, QStringLiteral("cmdUnlock")), Qt::LeftButton);
}

QStringList visibleDialogs()
{
    QStringList open;
    for (QWidget *window : QApplication::topLevelWidgets())
        if (qobject_cast<QDialog *>(window) && window->isVisible())
            open << window->metaObject()->className();
    return open;
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
    void dialogsGoWithTheLockAndNothingIsWritten_data();
    void dialogsGoWithTheLockAndNothingIsWritten();
    void passwordsLeaveNoCopyInMemory();
    void diaryWithoutItsOwnPasswordNeverLocks_data();
    void diaryWithoutItsOwnPasswordNeverLocks();
    void lockAskedDuringAWriteComesOnceItIsDone();
    void closingWhileLockedSavesTheEditAsEver();
    void printPreviewGoesWithTheLock();

private:
    // The section window of the spells, the diary opened with its password.
    SectionWindow *enterSpells();
    // The desktop's screen lock as the program hears it, from the test's own session bus; the
    // reason when there is none.
    QString listenToTheDesktop();
    bool lockTheScreen();

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

QString LockTest::listenToTheDesktop()
{
#ifdef BRIMVALE_HAS_DBUS
    if (m_busAddress.isEmpty())
        return QStringLiteral("dbus-daemon is not installed or did not start: no session bus to send the signal on");
    platform::installed().screenLock = platform::desktopScreenLockWatch();
    return {};
#else
    return QStringLiteral("built without D-Bus");
#endif
}

bool LockTest::lockTheScreen()
{
#ifdef BRIMVALE_HAS_DBUS
    QDBusConnection sender = QDBusConnection::connectToBus(m_busAddress, QStringLiteral("screen saver"));
    return sender.isConnected()
        && sender.send(QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/ScreenSaver"),
                                                  QStringLiteral("org.freedesktop.ScreenSaver"),
                                                  QStringLiteral("ActiveChanged"))
                       << true);
#else
    return false;
#endif
}

void LockTest::lockHidesAllAndUnlockReturnsToWhereTheUserWas()
{
    QFETCH(QString, how);
    QFETCH(int, modeNumber);
    const auto mode = SectionWindow::Mode(modeNumber);
    if (how == QLatin1String("screen"))
        if (const QString why = listenToTheDesktop(); !why.isEmpty())
            QSKIP(qPrintable(why));
    // A change in the history, whose window shows its entry.
    QVERIFY(store::addEntry(m_env->workingDiary(), store::Table::Spell,
                            {QStringLiteral("Mandrake"), QStringLiteral("sleeps")})
                .ok());
    QVERIFY(store::changePassword(m_env->workingDiary(), QString(), kPassword).ok());
    store::probe::forgetKeys();
    SectionWindow *section = enterSpells();
    QVERIFY(section);
    auto *keyword = testing::control<QLineEdit>(section, QStringLiteral("txtKeyword"));
    auto *meaning = testing::control<QPlainTextEdit>(section, QStringLiteral("txtMeaning"));
    testing::control<QAction>(section, QStringLiteral("mnuHistory"))->trigger();
    auto *history = section->findChild<HistoryWindow *>();
    QVERIFY(history);
    auto *changes = testing::control<QListView>(history, QStringLiteral("lstChanges"));
    changes->setCurrentIndex(changes->model()->index(0, 0));
    QVERIFY(testing::control<QPlainTextEdit>(history, QStringLiteral("txtChange"))->toPlainText().contains("sleeps"));
    testing::control<QAction>(section, QStringLiteral("mnuFind"))->trigger();
    auto *find = section->findChild<FindWindow *>();
    QVERIFY(find);
    testing::control<QLineEdit>(find, QStringLiteral("txtFind"))->setText(QStringLiteral("Rue"));
    QAbstractItemModel *results = testing::control<QListView>(find, QStringLiteral("lstResults"))->model();
    QTRY_COMPARE(results->rowCount(), 1);
    QCOMPARE(find->indexedEntries().value_or(0), 4u);
    section->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(section));
    testing::selectLine(section, 1);
    if (mode == SectionWindow::Mode::Adding)
        QTest::mouseClick(testing::control<QPushButton>(section, QStringLiteral("Command2")), Qt::LeftButton);
    if (mode == SectionWindow::Mode::Editing)
        QTest::mouseClick(testing::control<QPushButton>(section, QStringLiteral("Command4")), Qt::LeftButton);
    QTest::keyClicks(keyword, QStringLiteral(" quill"));
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
    const QString title = section->windowTitle();

    if (how == QLatin1String("menu")) {
        QTest::keyClick(section, Qt::Key_L, Qt::ControlModifier);
    } else if (how == QLatin1String("idle")) {
        m_env->clock->advance(9 * 60);
        QTest::qWait(1500);
        QVERIFY(!coveredByLock(section));
        m_env->clock->advance(60);
    } else {
        QVERIFY(lockTheScreen());
    }
    QTRY_VERIFY(coveredByLock(section));
    QVERIFY(coveredByLock(find));
    QVERIFY(coveredByLock(history));
    QCOMPARE(section->windowTitle(), title + QStringLiteral(" [Locked]"));
    QCOMPARE(history->windowTitle(), QStringLiteral("History [Locked]"));
    // Nothing of the diary in any window, for a screen reader or anything else that reads them;
    // and the find window's index of every entry is gone too.
    QCOMPARE(testing::textsHolding(kDiaryWords), QStringList());
    QCOMPARE(results->rowCount(), 0);
    QVERIFY2(!find->indexedEntries(), "the find window keeps its index of the diary");
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());
    QVERIFY(!testing::control<QListView>(section, QStringLiteral("lstKeyword"))->isEnabled());
    QVERIFY(!store::ownPasswordInUse(m_env->workingDiary()));
    QCOMPARE(testing::stateOf(m_env->dataFolder()), filesBefore);
    QCOMPARE(m_env->settings->values, settingsBefore);

    typeUnlock(section, QStringLiteral("not it"));
    QVERIFY(coveredByLock(section));
    QCOMPARE(testing::control<QLabel>(lockPanel(section), QStringLiteral("lblUnlockRefused"))->text(),
             QStringLiteral("The password is wrong. Type it again."));
    QCOMPARE(testing::textsHolding(kDiaryWords), QStringList());

    typeUnlock(section, kPassword);
    QVERIFY(!coveredByLock(section));
    QCOMPARE(section->windowTitle(), title);
    QCOMPARE(history->windowTitle(), QStringLiteral("History"));
    QCOMPARE(section->mode(), mode);
    QCOMPARE(testing::listed(section), listedBefore);
    QCOMPARE(section->selectedPosition(), 1);
    QCOMPARE(keyword->text(), keywordTyped);
    QCOMPARE(meaning->toPlainText(), meaningTyped);
    QVERIFY(keyword->isEnabled());
    QVERIFY(!coveredByLock(find));
    QCOMPARE(testing::control<QLineEdit>(find, QStringLiteral("txtFind"))->text(), QStringLiteral("Rue"));
    QTRY_COMPARE(results->rowCount(), 1);
    QCOMPARE(changes->currentIndex().row(), 0);
    QCOMPARE(m_prompt->asked, 1);
}

void LockTest::dialogsGoWithTheLockAndNothingIsWritten_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("how");
    QTest::newRow("Export Book, time without use") << QStringLiteral("export") << QStringLiteral("idle");
    QTest::newRow("Export Book, the screen locks") << QStringLiteral("export") << QStringLiteral("screen");
    QTest::newRow("a message waiting for OK") << QStringLiteral("message") << QStringLiteral("idle");
    QTest::newRow("leaving an entry being written") << QStringLiteral("leave") << QStringLiteral("idle");
    QTest::newRow("an import's question") << QStringLiteral("import") << QStringLiteral("idle");
    QTest::newRow("Bring Back Entries") << QStringLiteral("bring back") << QStringLiteral("idle");
    QTest::newRow("a restore's question") << QStringLiteral("restore") << QStringLiteral("screen");
    QTest::newRow("Diary Password with a lock setting changed") << QStringLiteral("password") << QStringLiteral("idle");
    QTest::newRow("the file dialog") << QStringLiteral("file") << QStringLiteral("idle");
    QTest::newRow("the password of a diary to import") << QStringLiteral("prompt") << QStringLiteral("idle");
    QTest::newRow("About") << QStringLiteral("about") << QStringLiteral("idle");
}

// A dialog left open never keeps the lock away: it goes as its Cancel would, whatever flow it
// came from, and nothing is written; after the unlock the window is as it was, so that the user can
// ask again.
void LockTest::dialogsGoWithTheLockAndNothingIsWritten()
{
    QFETCH(QString, dialog);
    QFETCH(QString, how);
    if (how == QLatin1String("screen"))
        if (const QString why = listenToTheDesktop(); !why.isEmpty())
            QSKIP(qPrintable(why));
    // The backup made as the password came has an entry to bring back, in a section of its own.
    const store::Entry ritual{QStringLiteral("Mandrake"), QStringLiteral("sleeps")};
    QVERIFY(store::addEntry(m_env->workingDiary(), store::Table::Rituals, ritual).ok());
    store::probe::startNewRun();
    QVERIFY(store::changePassword(m_env->workingDiary(), QString(), kPassword).ok());
    QVERIFY(store::removeEntry(m_env->workingDiary(), store::Table::Rituals, 1, ritual.keyword).ok());
    store::probe::forgetKeys();
    SectionWindow *section = enterSpells();
    QVERIFY(section);
    testing::selectLine(section, 1);
    auto *keyword = testing::control<QLineEdit>(section, QStringLiteral("txtKeyword"));
    QObject *asking = section;
    QString opens = QStringLiteral("mnu") + dialog;
    if (dialog == QLatin1String("export"))
        opens = QStringLiteral("mnuExportBook");
    if (dialog == QLatin1String("message"))
        opens = QStringLiteral("mnuUndo"); // nothing in the section to take back
    if (dialog == QLatin1String("password"))
        opens = QStringLiteral("mnuDiaryPassword");
    if (dialog == QLatin1String("about"))
        opens = QStringLiteral("mnuAbout");
    if (dialog == QLatin1String("leave")) {
        QTest::mouseClick(testing::control<QPushButton>(section, QStringLiteral("Command2")), Qt::LeftButton);
        QTest::keyClicks(keyword, QStringLiteral("quill"));
        opens = QStringLiteral("mnuBack");
    }
    if (dialog == QLatin1String("import") || dialog == QLatin1String("file")) {
        const QString csv = m_env->root() + QStringLiteral("/entries.csv");
        QFile file(csv);
        QVERIFY(file.open(QIODevice::WriteOnly)
                && file.write("section,keyword,meaning\r\nSpell,Mandrake,sleeps\r\n") > 0);
        file.close();
        m_env->files->answers.push_back(csv);
        opens = QStringLiteral("mnuImportEntries");
    }
    if (dialog == QLatin1String("prompt")) {
        // Another diary, under a password of its own, which the lock never knew.
        const QString other = m_env->root() + QStringLiteral("/other.dll");
        QVERIFY(testing::writeEmptyDiary(other));
        QVERIFY(store::changePassword(other, QString(), QStringLiteral("not the diary's")).ok());
        store::probe::forgetKeys();
        QVERIFY(store::reopenWith(m_env->workingDiary(), kPassword) == std::nullopt);
        m_env->files->answers.push_back(other);
        opens = QStringLiteral("mnuImportEntries");
        platform::installed().passwordPrompt = gui::dialogPasswordPrompt();
        m_prompt = nullptr;
    }
    std::unique_ptr<gui::FileDialogs> fakeFiles;
    if (dialog == QLatin1String("file"))
        fakeFiles = gui::installFileDialogs(gui::productionFileDialogs());
    if (dialog == QLatin1String("restore") || dialog == QLatin1String("bring back")) {
        testing::control<QAction>(section, QStringLiteral("mnuHistory"))->trigger();
        asking = section->findChild<HistoryWindow *>();
        QVERIFY(asking);
        auto *backups = testing::control<QListView>(asking, QStringLiteral("lstBackups"));
        QVERIFY(backups->model()->rowCount() > 0);
        backups->setCurrentIndex(backups->model()->index(0, 0));
        opens =
            dialog == QLatin1String("restore") ? QStringLiteral("cmdRestoreBackup") : QStringLiteral("cmdBringBack");
    }
    const auto mode = section->mode();
    const QString typed = keyword->text();
    QStringList filesBefore;
    QMap<QString, QString> settingsBefore;
    auto fakeMessages = gui::installMessages(gui::productionMessages());

    QString left;
    QStringList after;
    QTimer lastResort;
    lastResort.setSingleShot(true);
    connect(&lastResort, &QTimer::timeout, this, [&] {
        left = visibleDialogs().join(QStringLiteral(", "));
        for (int tries = 0; tries < 8 && QApplication::activeModalWidget(); ++tries)
            static_cast<QDialog *>(QApplication::activeModalWidget())->reject();
    });
    lastResort.start(8000);
    const bool asked = testing::whileDialogIsUp(
        [&] {
            if (auto *action = asking->findChild<QAction *>(opens))
                action->trigger();
            else
                QTest::mouseClick(testing::control<QPushButton>(asking, opens), Qt::LeftButton);
        },
        [&](QWidget *shown) {
            // Once the lock is on, a dialog that comes up is the way out of a flow it cut short.
            if (!filesBefore.isEmpty()) {
                after << shown->metaObject()->className();
                return;
            }
            // What the user chose before (an import's file, remembered) is theirs.
            filesBefore = testing::stateOf(m_env->dataFolder());
            settingsBefore = m_env->settings->values;
            // A choice made in the dialog and not yet confirmed.
            if (auto *minutes = shown->findChild<QSpinBox *>(QStringLiteral("spnLockMinutes")))
                minutes->setValue(1);
            if (how == QLatin1String("idle"))
                m_env->clock->advance(10 * 60);
            else
                QVERIFY(lockTheScreen());
        });
    lastResort.stop();
    gui::installMessages(std::move(fakeMessages));
    if (fakeFiles)
        gui::installFileDialogs(std::move(fakeFiles));
    QVERIFY(asked);
    QVERIFY2(left.isEmpty(), qPrintable(QStringLiteral("left open: ") + left));
    QCOMPARE(after, QStringList());
    QVERIFY(coveredByLock(section));
    QCOMPARE(visibleDialogs(), QStringList());
    QCOMPARE(testing::textsHolding(kDiaryWords), QStringList());
    QCOMPARE(testing::stateOf(m_env->dataFolder()), filesBefore);
    QCOMPARE(m_env->settings->values, settingsBefore);
    // Nor was the diary read while locked: that would have asked for its password.
    if (m_prompt)
        QCOMPARE(m_prompt->asked, 1);
    if (dialog == QLatin1String("leave")) {
        // Closing the window while locked is a step of the user's own, and asks again.
        auto scripted = gui::installMessages(gui::productionMessages());
        const bool askedAgain = testing::whileDialogIsUp(
            [&] { section->close(); }, [](QWidget *question) { static_cast<QDialog *>(question)->reject(); });
        gui::installMessages(std::move(scripted));
        QVERIFY(askedAgain);
        QCOMPARE(forms::loaded<SectionWindow>(), section);
    }

    typeUnlock(section, kPassword);
    QVERIFY(!coveredByLock(section));
    QCOMPARE(section->mode(), mode);
    QCOMPARE(keyword->text(), typed);
    QCOMPARE(section->selectedPosition(), 1);
    if (dialog == QLatin1String("bring back")) {
        const auto rituals = store::readKeywords(m_env->workingDiary(), store::Table::Rituals);
        QVERIFY(rituals.ok());
        QCOMPARE(rituals->keywords, QStringList());
    }
    if (dialog == QLatin1String("leave")) {
        testing::control<QAction>(section, QStringLiteral("mnuBack"))->trigger();
        QCOMPARE(m_env->messages->last(), QStringLiteral("Save the entry you are writing?"));
        QCOMPARE(forms::loaded<SectionWindow>(), section);
        QCOMPARE(keyword->text(), typed);
    }
}

// Once the diary is unlocked, and while it stays locked after a wrong password, neither password
// is anywhere in the program's memory: not in the boxes they were typed into (Diary Password, the
// prompt, the lock's own, a dialog the lock closed), nor in what the key derivation was handed.
void LockTest::passwordsLeaveNoCopyInMemory()
{
    const testing::MaskedSecret password(16);
    const testing::MaskedSecret wrong(16);
    QString why;
    if (!password.placesInMemory(&why))
        QSKIP(qPrintable(why));
    platform::installed().passwordPrompt = gui::dialogPasswordPrompt();
    m_prompt = nullptr;
    SectionWindow *section = testing::enterSection(0);
    QVERIFY(section);
    section->open();
    QVERIFY(testing::whileDialogIsUp(
        [&] { testing::control<QAction>(section, QStringLiteral("mnuDiaryPassword"))->trigger(); },
        [&](QWidget *dialog) {
            password.type(testing::control<QLineEdit>(dialog, QStringLiteral("txtNew")));
            password.type(testing::control<QLineEdit>(dialog, QStringLiteral("txtRepeat")));
            QTest::mouseClick(testing::control<QPushButton>(dialog, QStringLiteral("cmdSet")), Qt::LeftButton);
        }));
    QVERIFY(store::ownPasswordInUse(m_env->workingDiary()));
    store::probe::forgetKeys();
    QVERIFY(testing::whileDialogIsUp(
        [&] { testing::control<QPushButton>(section, QStringLiteral("cmdRefresh"))->click(); },
        [&](QWidget *prompt) {
            testing::control<QCheckBox>(prompt, QStringLiteral("chkShowPassword"))->setChecked(true);
            password.type(testing::control<QLineEdit>(prompt, QStringLiteral("txtPassword")));
            QTest::mouseClick(
                testing::control<QDialogButtonBox>(prompt, QStringLiteral("buttons"))->button(QDialogButtonBox::Ok),
                Qt::LeftButton);
        }));
    QCOMPARE(testing::listed(section).size(), qsizetype(kSpells.size()));

    DiaryLock::instance().lock();
    typeUnlock(section, wrong);
    QVERIFY(coveredByLock(section));
    // The search finds a password where one is: in the box, typed and not yet sent.
    typeUnlock(section, password, false);
    QVERIFY(!password.placesInMemory(&why).value_or(QStringList()).isEmpty());
    QTest::mouseClick(testing::control<QPushButton>(lockPanel(section), QStringLiteral("cmdUnlock")), Qt::LeftButton);
    QVERIFY(!coveredByLock(section));
    for (const testing::MaskedSecret *secret : {&password, &wrong}) {
        const QStringList places = secret->placesInMemory(&why).value_or(QStringList{why});
        QVERIFY2(places.isEmpty(), qPrintable(places.join(QStringLiteral("; "))));
    }

    // The lock closes Diary Password with the current password typed in it.
    QVERIFY(testing::whileDialogIsUp(
        [&] { testing::control<QAction>(section, QStringLiteral("mnuDiaryPassword"))->trigger(); },
        [&](QWidget *dialog) {
            testing::control<QCheckBox>(dialog, QStringLiteral("chkShowPassword"))->setChecked(true);
            password.type(testing::control<QLineEdit>(dialog, QStringLiteral("txtCurrent")));
            DiaryLock::instance().lock();
        }));
    typeUnlock(section, wrong);
    QVERIFY(coveredByLock(section));
    for (const testing::MaskedSecret *secret : {&password, &wrong}) {
        const QStringList places = secret->placesInMemory(&why).value_or(QStringList{why});
        QVERIFY2(places.isEmpty(), qPrintable(places.join(QStringLiteral("; "))));
    }
}

void LockTest::diaryWithoutItsOwnPasswordNeverLocks_data()
{
    QTest::addColumn<bool>("ownPassword");
    QTest::addColumn<QString>("said");
    QTest::newRow("none: says where to set one") << false << QStringLiteral("To set one, choose File > ");
    QTest::newRow("one not typed yet in this run") << true << QStringLiteral("not open yet");
}

// Lock Diary says why it does nothing, in words: a window without a status bar shows no status tip.
void LockTest::diaryWithoutItsOwnPasswordNeverLocks()
{
    QFETCH(bool, ownPassword);
    QFETCH(QString, said);
    if (ownPassword)
        QVERIFY(store::changePassword(m_env->workingDiary(), QString(), kPassword).ok());
    store::probe::forgetKeys();
    QWidget *window = ownPassword ? static_cast<QWidget *>(testing::startProgram()) : enterSpells();
    QVERIFY(window);
    auto *lock = testing::control<QAction>(window, QStringLiteral("mnuLockDiary"));
    QVERIFY(lock->isEnabled());
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_L, Qt::ControlModifier);
    QVERIFY2(m_env->messages->last().contains(said), qPrintable(m_env->messages->last()));
    // The menu entry it names is there, in those words.
    const QString named = testing::control<QAction>(window, QStringLiteral("mnuDiaryPassword"))->text().remove('&');
    QVERIFY(ownPassword || m_env->messages->last().contains(QStringLiteral("File > ") + named));
    QVERIFY(lock->statusTip().contains(QStringLiteral("File > ") + named));
    m_env->clock->advance(24 * 60 * 60);
    QTest::qWait(1500);
    QVERIFY(!coveredByLock(window));
    QCOMPARE(m_prompt->asked, 0);
    if (auto *section = qobject_cast<SectionWindow *>(window))
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
        DiaryLock::instance().lock();
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
    DiaryLock::instance().lock();
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
        DiaryLock::instance().lock();
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
