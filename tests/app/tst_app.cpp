// Start-up, the main window, the data folder and the ways out of the program, driven as a user
// drives them.

#include "checks.h"
#include "controls.h"
#include "diaryfiles.h"
#include "environment.h"
#include "sectionwindow.h"

#include "core/datafolder.h"
#include "core/identity.h"
#include "core/starterdiary.h"
#include "gui/forms.h"
#include "gui/shutdown.h"
#include "gui/windows/exitwindow.h"
#include "gui/windows/mainwindow.h"
#include "gui/windows/sectionwindow.h"
#include "gui/windows/startupwindow.h"
#include "platform/qtservices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLockFile>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using gui::MessageIcon;

namespace {
const QString kSelect = QStringLiteral("Please Select An Option");
const QString kMissing = QStringLiteral("Required Files Are Missing\rPlease Reinstall The Software");

// A real starter diary, made once: the section window reads it after Continue.
QByteArray starterBytes()
{
    static const QByteArray bytes = [] {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("defaultdiary.dll"));
        testing::writeEmptyDiary(path);
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    return bytes;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool visible(QWidget *window)
{
    return window && window->isVisible();
}
} // namespace

class AppTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { app::setApplicationIdentity(); }
    void init() { m_env = std::make_unique<testing::Environment>(); }
    void cleanup() { m_env.reset(); }

    void startupShowsOnlyTheMainWindow();
    void startupCreatesAPrivateDataFolder();
    void secondInstanceShowsOnlyItsMessageAndEnds();
    void realInstanceLockRefusesASecondClaimButNotAStaleOne();

    void continueWithoutChoiceAsksForAnOption();
    void missingDiaryFilesOutrankTheOptionCheck();
    void firstContinueCopiesTheStarterByteForByte();
    void existingWorkingDiaryIsNeverTouched();
    void backupsOfALostDiaryAreKeptApart();
    void continueWorksWithoutStarterWhenTheDiaryExists();
    void unusableDataFolderIsReportedAndStopsContinue();
    void lastSectionClickedWins();
    void bookOptionsOnlyRecordTheirNumber();
    void continueIsReachableFromTheKeyboard();

    void backGivesAFreshMainWindow();
    void closingMainWindowLeavesOnlyTheExitWindow();
    void sectionWindowExitShowsTheExitWindow();
    void leavingTheExitWindowEndsTheProgram();
    void quitAllIsReentrantAndEndsOnce();

private:
    void choose(MainWindow *main, int index)
    {
        QTest::mouseClick(testing::control<QRadioButton>(main, QStringLiteral("optOption_%1").arg(index)),
                          Qt::LeftButton);
    }
    void clickContinue(MainWindow *main)
    {
        QTest::mouseClick(testing::control<QPushButton>(main, "cmdContinue"), Qt::LeftButton);
    }

    std::unique_ptr<testing::Environment> m_env;
};

void AppTest::startupShowsOnlyTheMainWindow()
{
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    QVERIFY(visible(main));
    QVERIFY(!visible(forms::loaded<StartupWindow>()));
    QVERIFY(!forms::loaded<SectionWindow>());
    QVERIFY(!forms::loaded<ExitWindow>());
    QCOMPARE(main->windowTitle(), QStringLiteral("Brimvale v2.05"));
    QCOMPARE(m_env->random->seeds, 1);
    QCOMPARE(m_env->instanceLock->asked, 1);
    QVERIFY(m_env->messages->shown.empty());
    for (int i = 0; i < 6; ++i)
        QVERIFY(!testing::control<QRadioButton>(main, QStringLiteral("optOption_%1").arg(i))->isChecked());
    QCOMPARE(main->focusWidget(), testing::control<QPushButton>(main, "cmdContinue"));
    // Nothing touches the diary during start-up.
    QVERIFY(!QFile::exists(m_env->workingDiary()));

    // The start window refuses to become visible, whoever asks.
    QVERIFY(forms::loaded<StartupWindow>());
    forms::loaded<StartupWindow>()->show();
    QVERIFY(!visible(forms::loaded<StartupWindow>()));
}

void AppTest::startupCreatesAPrivateDataFolder()
{
    // The real system facts and settings, under this test's XDG folders, as a user's program has them.
    platform::installed().system = platform::productionServices().system;
    m_env->useRealSettings();
    QVERIFY(testing::startProgram());
    const QFileInfo folder(datafolder::folderPath);
    QVERIFY(folder.isDir());
#ifdef Q_OS_WIN
    // The user's own roaming application data folder, which no variable moves; private by its
    // access list.
    QVERIFY2(datafolder::folderPath.endsWith(QStringLiteral("\\AppData\\Roaming\\Brimvale")),
             qPrintable(datafolder::folderPath));
#else
    QCOMPARE(datafolder::folderPath, m_env->root() + QStringLiteral("/home/.local/share/Brimvale"));
    QCOMPARE(folder.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther), QFile::Permissions());
#endif
    // The update reminder's first run stored its date in the user's configuration folder.
    QVERIFY(QFileInfo::exists(m_env->settingsFile()));
}

void AppTest::secondInstanceShowsOnlyItsMessageAndEnds()
{
    m_env->instanceLock->running = true;
    forms::ref<StartupWindow>();
    QCOMPARE(m_env->messages->texts(), QStringList{QStringLiteral("Application is already running")});
    QCOMPARE(m_env->messages->shown.front().icon, MessageIcon::Information);
    QCOMPARE(m_env->processEnd->calls, 1);
    QVERIFY(forms::loadOrder().empty());
    QCOMPARE(m_env->random->seeds, 0);
    QVERIFY(m_env->web->opened.isEmpty());
}

void AppTest::realInstanceLockRefusesASecondClaimButNotAStaleOne()
{
    const QString runtime = m_env->root() + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
#ifdef Q_OS_WIN
    // Windows has no runtime folder: the lock is in the user's temporary folder.
    const QByteArray temporary = qgetenv("TMP");
    const auto restoreTemporary = qScopeGuard([temporary] { qputenv("TMP", temporary); });
    qputenv("TMP", QFile::encodeName(QDir::toNativeSeparators(runtime)));
#endif

    // A lock left by a process that no longer runs must not block the next start: this test
    // program, asked only for its list of tests.
    QProcess finished;
    finished.start(QCoreApplication::applicationFilePath(), {QStringLiteral("-functions")});
    QVERIFY(finished.waitForStarted());
    const qint64 deadPid = finished.processId();
    QVERIFY(finished.waitForFinished());
    QFile stale(runtime + QStringLiteral("/brimvale.lock"));
    QVERIFY(stale.open(QIODevice::WriteOnly));
    // The lines QLockFile writes: process id, application, host, machine and boot ids.
    stale.write(QByteArray::number(deadPid) + "\nbrimvale\n" + QSysInfo::machineHostName().toUtf8() + "\n"
                + QSysInfo::machineUniqueId() + "\n" + QSysInfo::bootUniqueId() + "\n");
    stale.close();

    platform::Services first = platform::productionServices();
    QVERIFY(!first.instanceLock->anotherInstanceRunning());
    platform::Services second = platform::productionServices();
    QVERIFY(second.instanceLock->anotherInstanceRunning());
    first.instanceLock.reset(); // the first instance ends
    platform::Services third = platform::productionServices();
    QVERIFY(!third.instanceLock->anotherInstanceRunning());
}

void AppTest::continueWithoutChoiceAsksForAnOption()
{
    m_env->writeStarter(starterBytes());
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    clickContinue(main);
    QCOMPARE(m_env->messages->texts(), QStringList{kSelect});
    QCOMPARE(m_env->messages->shown.front().icon, MessageIcon::Critical);
    QCOMPARE(forms::loaded<MainWindow>(), main);
    QVERIFY(visible(main));
    QVERIFY(!forms::loaded<SectionWindow>());
    QVERIFY(!QFile::exists(m_env->workingDiary()));
}

void AppTest::missingDiaryFilesOutrankTheOptionCheck()
{
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    clickContinue(main);
    QCOMPARE(m_env->messages->texts(), QStringList{kMissing});

    choose(main, 1);
    clickContinue(main);
    QCOMPARE(m_env->messages->texts(), (QStringList{kMissing, kMissing}));
    QCOMPARE(m_env->messages->shown.back().icon, MessageIcon::Critical);
    QVERIFY(visible(main));
    QVERIFY(!forms::loaded<SectionWindow>());
}

void AppTest::firstContinueCopiesTheStarterByteForByte()
{
    m_env->writeStarter(starterBytes());
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    choose(main, 1);
    clickContinue(main);

    QVERIFY(m_env->messages->shown.empty());
    QCOMPARE(readAll(m_env->workingDiary()), starterBytes());
    QVERIFY(!testing::othersMayRead(m_env->workingDiary()));
    // No temporary file is left beside the diary.
    QCOMPARE(QDir(m_env->dataFolder()).entryList(QDir::Files), QStringList{QStringLiteral("updatediary.dll")});

    // Only the section window is visible; the main window is gone, the exit window loaded but hidden.
    QVERIFY(visible(forms::loaded<SectionWindow>()));
    QVERIFY(!forms::loaded<MainWindow>());
    QVERIFY(forms::loaded<ExitWindow>());
    QVERIFY(!visible(forms::loaded<ExitWindow>()));
    QVERIFY(!visible(forms::loaded<StartupWindow>()));
    QCOMPARE(m_env->processEnd->calls, 0);
}

void AppTest::existingWorkingDiaryIsNeverTouched()
{
    m_env->writeStarter(starterBytes());
    QDir().mkpath(m_env->dataFolder());
    QFile working(m_env->workingDiary());
    QVERIFY(working.open(QIODevice::WriteOnly));
    working.write("the user's own diary");
    working.close();
    const QDateTime modified = QFileInfo(m_env->workingDiary()).lastModified();

    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    choose(main, 0);
    clickContinue(main);
    QCOMPARE(readAll(m_env->workingDiary()), QByteArray("the user's own diary"));
    QCOMPARE(QFileInfo(m_env->workingDiary()).lastModified(), modified);
    QVERIFY(visible(forms::loaded<SectionWindow>()));
    // Nor by the copy itself, should the diary appear after Continue looked for it.
    QVERIFY(starterdiary::copyStarterDiary());
    QCOMPARE(readAll(m_env->workingDiary()), QByteArray("the user's own diary"));
}

void AppTest::backupsOfALostDiaryAreKeptApart()
{
    m_env->writeStarter(starterBytes());
    const QString backups = m_env->dataFolder() + QStringLiteral("/backups");
    QDir().mkpath(backups);
    QFile old(backups + QStringLiteral("/updatediary-20261201-100000.dll"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("years of entries");
    old.close();

    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    choose(main, 0);
    clickContinue(main);
    QCOMPARE(readAll(m_env->workingDiary()), starterBytes());
    QVERIFY(visible(forms::loaded<SectionWindow>()));

    const QStringList kept = QDir(m_env->dataFolder()).entryList({QStringLiteral("backups-kept-*")}, QDir::Dirs);
    QCOMPARE(kept.size(), 1);
    // Named by the program's clock, as the backups are.
    QCOMPARE(kept.front(), QStringLiteral("backups-kept-20261207-211500"));
    QCOMPARE(readAll(m_env->dataFolder() + QLatin1Char('/') + kept.front()
                     + QStringLiteral("/updatediary-20261201-100000.dll")),
             QByteArray("years of entries"));
    QCOMPARE(m_env->messages->shown.size(), size_t(1));
    QCOMPARE(m_env->messages->shown.front().icon, MessageIcon::Information);
    QVERIFY(m_env->messages->last().startsWith(
        QStringLiteral("The diary file was missing, so an empty diary was started.\n")));
    QVERIFY(m_env->messages->last().endsWith(kept.front()));
}

void AppTest::continueWorksWithoutStarterWhenTheDiaryExists()
{
    QDir().mkpath(m_env->dataFolder());
    QVERIFY(testing::writeEmptyDiary(m_env->workingDiary()));

    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    choose(main, 2);
    clickContinue(main);
    QVERIFY(m_env->messages->shown.empty());
    QVERIFY(visible(forms::loaded<SectionWindow>()));
}

void AppTest::unusableDataFolderIsReportedAndStopsContinue()
{
    m_env->writeStarter(starterBytes());
    // An ordinary file stands where the data folder should be created.
    const QString blocked = m_env->root() + QStringLiteral("/blocked");
    QFile blocker(blocked);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    m_env->system->appData = blocked + QStringLiteral("/Brimvale");

    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    choose(main, 0);
    clickContinue(main);
    QCOMPARE(m_env->messages->texts(),
             QStringList{QStringLiteral("The data folder could not be created.\n")
                         + QDir::toNativeSeparators(blocked + QStringLiteral("/Brimvale"))});
    QCOMPARE(m_env->messages->shown.front().icon, MessageIcon::Critical);
    QVERIFY(visible(main));
    QVERIFY(!forms::loaded<SectionWindow>());

    // No folder at all: never fall back to a diary at the root of the drive.
    m_env->system->appData.clear();
    clickContinue(main);
    QVERIFY(m_env->messages->last().startsWith(QStringLiteral("The data folder could not be created.")));
    QVERIFY(!QFile::exists(QStringLiteral("/updatediary.dll")));
}

void AppTest::lastSectionClickedWins()
{
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    choose(main, 0);
    choose(main, 3);
    QCOMPARE(main->choice().option, 3);
    QCOMPARE(main->choice().name, QStringLiteral("Rituals"));
    QVERIFY(testing::control<QRadioButton>(main, "optOption_3")->isChecked());
    QVERIFY(!testing::control<QRadioButton>(main, "optOption_0")->isChecked());
}

void AppTest::bookOptionsOnlyRecordTheirNumber()
{
    m_env->writeStarter(starterBytes());
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    choose(main, 1);
    // The book group lies outside the visible area; code can still choose it.
    QVERIFY(testing::control<QRadioButton>(main, "optOption_4")->geometry().top()
                + testing::control<QGroupBox>(main, "Frame1")->geometry().top()
            >= main->centralWidget()->height());
    testing::control<QRadioButton>(main, "optOption_5")->click();
    QCOMPARE(main->choice().option, 5);
    QCOMPARE(main->choice().name, QStringLiteral("Incense"));
    QVERIFY(
        testing::control<QRadioButton>(main, "optOption_1")->isChecked()); // a separate group: the section stays chosen
    clickContinue(main);
    QVERIFY(m_env->messages->shown.empty());
    QVERIFY(forms::loaded<SectionWindow>());
    QCOMPARE(forms::loaded<SectionWindow>()->choice().option, 5);
}

void AppTest::continueIsReachableFromTheKeyboard()
{
    m_env->writeStarter(starterBytes());
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main));
    choose(main, 2);
    QTest::keyClick(main, Qt::Key_C, Qt::AltModifier);
    QTRY_VERIFY(forms::loaded<SectionWindow>());
    QCOMPARE(forms::loaded<SectionWindow>()->choice().name, QStringLiteral("Recipes"));
}

void AppTest::backGivesAFreshMainWindow()
{
    m_env->writeStarter(starterBytes());
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    choose(main, 2);
    clickContinue(main);
    testing::flushDeletions();

    auto *section = forms::loaded<SectionWindow>();
    QVERIFY(section);
    testing::control<QAction>(section, "mnuBack")->trigger();
    testing::flushDeletions();

    MainWindow *fresh = forms::loaded<MainWindow>();
    QVERIFY(visible(fresh));
    QVERIFY(!forms::loaded<SectionWindow>());
    QVERIFY(!visible(forms::loaded<ExitWindow>()));
    for (int i = 0; i < 6; ++i)
        QVERIFY(!testing::control<QRadioButton>(fresh, QStringLiteral("optOption_%1").arg(i))->isChecked());
    QCOMPARE(fresh->focusWidget(), testing::control<QPushButton>(fresh, "cmdContinue"));

    // The earlier choice is still recorded, but Continue asks for a new one.
    QCOMPARE(fresh->choice().option, 2);
    clickContinue(fresh);
    QCOMPARE(m_env->messages->texts(), QStringList{kSelect});
}

void AppTest::closingMainWindowLeavesOnlyTheExitWindow()
{
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    main->close();
    testing::flushDeletions();
    QVERIFY(!forms::loaded<MainWindow>());
    QVERIFY(visible(forms::loaded<ExitWindow>()));
    QVERIFY(!visible(forms::loaded<StartupWindow>()));
    QCOMPARE(m_env->processEnd->calls, 0);

    // File, Exit does the same on a fresh run.
    m_env.reset();
    m_env = std::make_unique<testing::Environment>();
    MainWindow *again = testing::startProgram();
    QVERIFY(again);
    testing::control<QAction>(again, "mnuExit")->trigger();
    QVERIFY(!forms::loaded<MainWindow>());
    QVERIFY(visible(forms::loaded<ExitWindow>()));
    QCOMPARE(m_env->processEnd->calls, 0);
}

void AppTest::sectionWindowExitShowsTheExitWindow()
{
    m_env->writeStarter(starterBytes());
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    choose(main, 0);
    clickContinue(main);
    QVERIFY(forms::loaded<SectionWindow>());
    testing::control<QAction>(forms::loaded<SectionWindow>(), "mnuExit")->trigger();
    QVERIFY(!forms::loaded<SectionWindow>());
    QVERIFY(!forms::loaded<MainWindow>());
    QVERIFY(visible(forms::loaded<ExitWindow>()));
    QCOMPARE(m_env->processEnd->calls, 0);
}

void AppTest::leavingTheExitWindowEndsTheProgram()
{
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    main->close();
    auto *farewell = forms::loaded<ExitWindow>();
    QVERIFY(farewell);
    farewell->close();
    QCOMPARE(m_env->processEnd->calls, 1);
    QVERIFY(forms::loadOrder().empty());
    testing::flushDeletions();

    m_env.reset();
    m_env = std::make_unique<testing::Environment>();
    main = testing::startProgram();
    QVERIFY(main);
    main->close();
    QVERIFY(forms::loaded<ExitWindow>());
    QTest::mouseClick(testing::control<QPushButton>(forms::loaded<ExitWindow>(), QStringLiteral("cmdClose")),
                      Qt::LeftButton);
    QCOMPARE(m_env->processEnd->calls, 1);
    QVERIFY(forms::loadOrder().empty());
}

void AppTest::quitAllIsReentrantAndEndsOnce()
{
    QVERIFY(testing::startProgram());
    forms::ref<ExitWindow>();
    shutdown::quitAll();
    shutdown::quitAll();
    QCOMPARE(m_env->processEnd->calls, 1);
    QVERIFY(forms::loadOrder().empty());
    // While ending, nothing is shown again.
    forms::show<MainWindow>();
    QVERIFY(forms::loadOrder().empty());
}

QTEST_MAIN(AppTest)
#include "tst_app.moc"
