// A password of the user's own: set, changed and removed for the diary and every backup of it,
// asked for once per run, refused when wrong without anything written, and nothing else opens
// the diary or a backup once it is changed.

#include "checks.h"
#include "controls.h"
#include "diaryfiles.h"
#include "environment.h"
#include "mounts.h"
#include "reliability.h"
#include "testmain.h"

#include "core/book/bookimport.h"
#include "core/datafolder.h"
#include "core/find/find.h"
#include "core/store/backups.h"
#include "core/store/diarykey.h"
#include "core/store/password.h"
#include "core/store/store.h"
#include "core/store/storeprobe.h"
#include "gui/forms.h"
#include "gui/windows/diarypassworddialog.h"
#include "gui/windows/mainwindow.h"
#include "gui/windows/passwordpromptdialog.h"
#include "gui/windows/sectionwindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

#include <sqlcipher/sqlite3.h>

#include <memory>

using store::FailureKind;
using store::Table;

namespace {
const QStringList kSpells{QStringLiteral("Sage"), QStringLiteral("Moon \u263d water")};

bool opensWith(const QString &path, const QString &password)
{
    return reliability::openUnder(path, password).has_value();
}

QStringList filesOf(const QString &diary)
{
    return QStringList{diary} + store::everyBackupOf(diary);
}

QStringList fileStates(const QStringList &paths)
{
    QStringList states;
    for (const QString &path : paths) {
        const auto state = reliability::stateOf(path);
        states << (state ? QString::fromLatin1(state->bytes.toBase64()) + QString::number(state->mtimeNs) : QString());
    }
    return states;
}

// The tables and indexes as made, and the counters that keep an Index from being given twice.
QStringList schemaOf(const QString &path, const QString &password)
{
    const auto opened = reliability::openUnder(path, password);
    if (!opened)
        return {};
    auto rows = store::Statement::prepare(*opened,
                                          QStringLiteral("SELECT type || ' ' || name || ' ' || coalesce(sql, '') FROM "
                                                         "sqlite_master UNION ALL SELECT name || ' ' || seq FROM "
                                                         "sqlite_sequence ORDER BY 1"));
    QStringList lines;
    while (rows.ok() && rows->step() == SQLITE_ROW)
        lines << rows->text(0);
    return lines;
}

template <class Dialog>
Dialog *shownDialog()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *dialog = qobject_cast<Dialog *>(widget); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

// Clicks the box itself: the check box is as wide as the dialog, its text is not.
void clickShowPassword(QWidget *dialog)
{
    auto *toggle = dialog->findChild<QCheckBox *>(QStringLiteral("chkShowPassword"));
    QTest::mouseClick(toggle, Qt::LeftButton, {}, QPoint(4, toggle->height() / 2));
}

// Runs `steps` once the modal dialog that `open` shows is on the screen.
template <class Dialog>
void whileOpen(const std::function<void()> &open, const std::function<void(Dialog *)> &steps)
{
    QTimer::singleShot(0, [steps] {
        if (auto *dialog = shownDialog<Dialog>())
            steps(dialog);
    });
    open();
}

// Answers each password dialog that `run` shows with the next answer (none left: Cancel), and
// gives what each dialog said.
QStringList answerPrompts(const std::function<void()> &run, QStringList answers)
{
    QStringList said;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto *dialog = shownDialog<gui::PasswordPromptDialog>();
        if (!dialog)
            return;
        said << testing::control<QLabel>(dialog, "lblMessage")->text();
        if (answers.isEmpty())
            return dialog->reject();
        QTest::keyClicks(testing::control<QLineEdit>(dialog, "txtPassword"), answers.takeFirst());
        QTest::keyClick(testing::control<QLineEdit>(dialog, "txtPassword"), Qt::Key_Return);
    });
    timer.start(10);
    run();
    return said;
}
} // namespace

class PasswordTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { store::probe::setPasswordCost(1, 8192); }
    void init()
    {
        m_env = std::make_unique<testing::Environment>();
        m_prompt = new fakes::PasswordPrompt;
        platform::installed().passwordPrompt.reset(m_prompt);
        store::probe::startNewRun();
        store::probe::forgetKeys();
        m_path = m_env->workingDiary();
        QVERIFY(testing::writeEmptyDiary(m_path));
        QVERIFY(testing::appendRows(m_path, QStringLiteral("tblspell"), {{kSpells[0], QStringLiteral("cleanses")}}));
        // The first write of the run backs the diary up.
        QVERIFY(store::addEntry(m_path, Table::Spell, {kSpells[1], QStringLiteral("by night")}).ok());
    }
    void cleanup()
    {
        QCOMPARE(testing::openFilesUnder(m_env->root()), 0);
        m_env.reset();
    }

    void changeReachesTheDiaryAndEveryBackup_data();
    void changeReachesTheDiaryAndEveryBackup();
    void diariesGivenOnePasswordShareNoSaltNorKey();
    void importAsksOnceForTheOtherDiaryAndNamesIt();
    void wrongPasswordWritesNothing();
    void damagedFirstPageIsToldFromAWrongPassword_data();
    void damagedFirstPageIsToldFromAWrongPassword();
    void continueAsksOnceAndEverythingLaterIsAsToday();
    void backupLeftByAStoppedChangeGetsThePasswordOnContinue();
    void changeThatDidNotReachTheBackupsIsFinishedAtTheNextOpen_data();
    void changeThatDidNotReachTheBackupsIsFinishedAtTheNextOpen();
    void findAsksForThePasswordLikeAnyOtherUse();
    void givingUpStaysOnTheMainWindow_data();
    void givingUpStaysOnTheMainWindow();
    void setAndRemoveThroughTheMenu();
    void lockSettingsChangeOnlyWithOK_data();
    void lockSettingsChangeOnlyWithOK();
    void promptSaysWhenThePasswordIsWrong();

private:
    // A new run: nothing known of keys or backups.
    void restart()
    {
        store::probe::forgetKeys();
        store::probe::startNewRun();
    }

    std::unique_ptr<testing::Environment> m_env;
    fakes::PasswordPrompt *m_prompt = nullptr;
    QString m_path;
};

void PasswordTest::changeReachesTheDiaryAndEveryBackup_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::newRow("set") << QString() << QStringLiteral("s\u00e9cret \u263d");
    QTest::newRow("change") << QStringLiteral("first") << QStringLiteral("second");
    QTest::newRow("remove") << QStringLiteral("only one") << QString();
}

void PasswordTest::changeReachesTheDiaryAndEveryBackup()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    // The backups of a lost diary, with a salt of their own.
    const QString lost = m_env->root() + QStringLiteral("/lost.dll");
    QVERIFY(testing::writeEmptyDiary(lost));
    const QString kept = store::backupFolder(m_path) + QStringLiteral("-kept-20261201-000000");
    QVERIFY(QDir().mkpath(kept));
    QVERIFY(QFile::copy(lost, kept + QStringLiteral("/updatediary-20261201-000000.dll")));
    // The counter stays past the Index of a removed entry.
    BRIMVALE_UNWRAP(removed, store::addEntry(m_path, Table::Spell, {QStringLiteral("Rue"), QStringLiteral("gone")}));
    QVERIFY(store::removeEntry(m_path, Table::Spell, removed).ok());
    if (!from.isEmpty()) {
        BRIMVALE_UNWRAP(set, store::changePassword(m_path, QString(), from));
        QVERIFY(set.backupsLeft.isEmpty());
        restart();
    }
    const QByteArray salt = store::saltOf(m_path);
    const QStringList schema = schemaOf(m_path, from);
    QVERIFY(!schema.isEmpty());

    BRIMVALE_UNWRAP(change, store::changePassword(m_path, from, to));
    QVERIFY(store::saltOf(m_path) != salt);
    QCOMPARE(schemaOf(m_path, to), schema);
    const QStringList files = filesOf(m_path);
    // Made before this run's change, and re-keyed with the others.
    QCOMPARE(files.size(), from.isEmpty() ? 3 : 4);
    QCOMPARE(change.backupsRekeyed, files.size() - 1);
    QVERIFY2(change.backupsLeft.isEmpty(), qPrintable(change.backupsLeft.join(QLatin1Char(' '))));
    const bool sqlcipherTool = !QStandardPaths::findExecutable(QStringLiteral("sqlcipher")).isEmpty();
    for (const QString &file : files) {
        QVERIFY2(opensWith(file, to), qPrintable(file));
        QVERIFY2(!opensWith(file, from), qPrintable(file));
        if (!to.isEmpty() && sqlcipherTool)
            QCOMPARE(testing::sqlcipherTool(file, QStringLiteral("SELECT count(*) FROM tblspell;")), QString());
        if (to.isEmpty() && sqlcipherTool)
            QVERIFY(!testing::sqlcipherTool(file, QStringLiteral("SELECT count(*) FROM tblspell;")).isEmpty());
    }
    QCOMPARE(store::readKeywords(m_path, Table::Spell)->keywords, kSpells);

    // The next run asks for the new password, and only once it has one.
    restart();
    m_prompt->answers = {to.isEmpty() ? QStringLiteral("unused") : to};
    BRIMVALE_UNWRAP(read, store::readKeywords(m_path, Table::Spell));
    QCOMPARE(read.keywords, kSpells);
    QCOMPARE(m_prompt->asked, to.isEmpty() ? 0 : 1);
    QCOMPARE(*store::hasOwnPassword(m_path), !to.isEmpty());
}

// As two first-use copies of one starter diary are, before either gets a password.
void PasswordTest::diariesGivenOnePasswordShareNoSaltNorKey()
{
    const QString other = m_env->root() + QStringLiteral("/other.dll");
    QVERIFY(QFile::copy(m_path, other));
    const QByteArray starterSalt = store::saltOf(m_path);
    const QString password = QStringLiteral("one for both");
    QVERIFY(store::changePassword(m_path, QString(), password).ok());
    QVERIFY(store::changePassword(other, QString(), password).ok());

    const QByteArray salts[] = {store::saltOf(m_path), store::saltOf(other)};
    QCOMPARE(salts[0].size(), store::kSaltBytes);
    QVERIFY(salts[0] != salts[1] && salts[0] != starterSalt && salts[1] != starterSalt);
    unsigned char keys[2][32];
    for (int i = 0; i < 2; ++i) {
        const auto key = store::userKey(password, salts[i]);
        QVERIFY(key);
        key->keyBytes(keys[i]);
    }
    QVERIFY(std::memcmp(keys[0], keys[1], sizeof keys[0]) != 0);
    QVERIFY(opensWith(m_path, password) && opensWith(other, password));
}

// Another diary with the working diary's salt, as diaries of older builds have, under another
// password: each is asked for once, and the prompt names the file that is not the working diary.
void PasswordTest::importAsksOnceForTheOtherDiaryAndNamesIt()
{
    QVERIFY(store::changePassword(m_path, QString(), QStringLiteral("right")).ok());
    const QString other = m_env->root() + QStringLiteral("/updatediary.dll");
    QVERIFY(QFile::copy(m_path, other));
    {
        const auto opened = reliability::openUnder(other, QStringLiteral("right"));
        const auto key = store::userKey(QStringLiteral("other"), store::saltOf(other));
        QVERIFY(opened && key);
        QCOMPARE(sqlite3_rekey(opened->get(), key->data(), key->size()), SQLITE_OK);
    }
    restart();
    QVERIFY(datafolder::setDataFolder());
    QCOMPARE(datafolder::workingDiaryPath(), QDir::toNativeSeparators(m_path));
    platform::installed().passwordPrompt = gui::dialogPasswordPrompt();

    std::optional<store::Failure> locked;
    std::optional<store::Result<book::Book>> loaded;
    std::optional<store::Result<book::Preview>> preview;
    const QStringList said = answerPrompts(
        [&] {
            locked = store::unlock(m_path);
            loaded.emplace(book::load(other));
            if (loaded->ok())
                preview.emplace(book::preview(m_path, **loaded));
        },
        {QStringLiteral("right"), QStringLiteral("other")});
    const QString typeIt = QStringLiteral(" Type it to open the diary.");
    QCOMPARE(
        said,
        QStringList(
            {QStringLiteral("Your diary has a password of its own.") + typeIt,
             QStringLiteral("The diary \u201c%1\u201d has a password of its own.").arg(QDir::toNativeSeparators(other))
                 + typeIt}));
    QVERIFY(!locked);
    QVERIFY(loaded);
    QCOMPARE(loaded->ok() ? QString() : loaded->failure().detail, QString());
    QVERIFY(preview && preview->ok());
    QCOMPARE((*preview)->skipped, qint64(kSpells.size()));
}

void PasswordTest::wrongPasswordWritesNothing()
{
    QVERIFY(store::changePassword(m_path, QString(), QStringLiteral("right")).ok());
    restart();
    const QStringList files = filesOf(m_path);
    const QStringList before = fileStates(files);

    const auto changed = store::changePassword(m_path, QStringLiteral("wrong"), QStringLiteral("new"));
    QVERIFY(!changed.ok());
    QCOMPARE(changed.failure().kind, FailureKind::WrongPassword);
    m_prompt->answers = {QStringLiteral("Right"), QStringLiteral("right ")};
    const auto added = store::addEntry(m_path, Table::Spell, {QStringLiteral("Rue"), QStringLiteral("x")});
    QVERIFY(!added.ok());
    QCOMPARE(added.failure().kind, FailureKind::Damaged);
    QCOMPARE(m_prompt->refused, 2);

    QCOMPARE(filesOf(m_path), files);
    QCOMPARE(fileStates(files), before);
}

void PasswordTest::damagedFirstPageIsToldFromAWrongPassword_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("asked");
    QTest::newRow("built-in key: never asked") << QString() << 0;
    QTest::newRow("own password: the right one ends the asking") << QStringLiteral("right") << 1;
}

void PasswordTest::damagedFirstPageIsToldFromAWrongPassword()
{
    QFETCH(QString, password);
    QFETCH(int, asked);
    if (!password.isEmpty())
        QVERIFY(store::changePassword(m_path, QString(), password).ok());
    restart();
    QByteArray bytes = reliability::bytesOf(m_path);
    bytes.replace(200, 8, "damaged!");
    QVERIFY(reliability::writeBytes(m_path, bytes));
    m_prompt->answers = {QStringLiteral("wrong"), password};

    const auto read = store::readKeywords(m_path, Table::Spell);
    QVERIFY(!read.ok());
    QCOMPARE(read.failure().kind, FailureKind::Damaged);
    QVERIFY(!read.failure().newestBackup.isEmpty());
    QCOMPARE(m_prompt->asked, asked);
    QCOMPARE(m_prompt->refused, asked);
}

void PasswordTest::continueAsksOnceAndEverythingLaterIsAsToday()
{
    QVERIFY(store::changePassword(m_path, QString(), QStringLiteral("right")).ok());
    restart();
    m_prompt->answers = {QStringLiteral("wrong"), QStringLiteral("right")};
    const int derivations = store::probe::keyDerivations();

    SectionWindow *window = testing::enterSection(0);
    QVERIFY(window);
    QCOMPARE(testing::listed(window), kSpells);
    QVERIFY(reliability::click(testing::control<QPushButton>(window, "Command1")));
    testing::selectLine(window, 1);
    QCOMPARE(testing::control<QLineEdit>(window, "txtKeyword")->text(), kSpells[1]);
    QVERIFY(reliability::click(testing::control<QPushButton>(window, "Command3")));
    QCOMPARE(testing::listed(window), kSpells.mid(0, 1));

    QCOMPARE(m_prompt->asked, 1);
    QCOMPARE(m_prompt->refused, 1);
    // The built-in key for the salt the password brought, tried first, then the wrong password's
    // key and the right one's: no action after Continue derives again.
    QCOMPARE(store::probe::keyDerivations() - derivations, 3);
    QVERIFY(m_env->messages->shown.empty());
    QVERIFY(opensWith(m_path, QStringLiteral("right")));
}

void PasswordTest::backupLeftByAStoppedChangeGetsThePasswordOnContinue()
{
    // As a change stopped before it reached the backups leaves them: under the built-in key.
    const QString before = m_env->root() + QStringLiteral("/before.dll");
    QVERIFY(QFile::copy(m_path, before));
    QVERIFY(store::changePassword(m_path, QString(), QStringLiteral("right")).ok());
    const QString left = store::backupFolder(m_path) + QStringLiteral("/updatediary-20261207-000000.dll");
    QVERIFY(QFile::copy(before, left));
    restart();
    m_prompt->answers = {QStringLiteral("right")};

    QVERIFY(testing::enterSection(0));
    for (const QString &backup : store::everyBackupOf(m_path)) {
        QVERIFY2(opensWith(backup, QStringLiteral("right")), qPrintable(backup));
        QVERIFY2(!opensWith(backup, QString()), qPrintable(backup));
    }
}

void PasswordTest::changeThatDidNotReachTheBackupsIsFinishedAtTheNextOpen_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::newRow("change") << QStringLiteral("first") << QStringLiteral("second");
    QTest::newRow("remove") << QStringLiteral("only one") << QString();
}

// The backups could not be written (their folder read-only for the while, as a program stopped
// after the diary got its new key leaves them): the next open gives them the diary's password,
// and then the diary keeps nothing of the old one.
void PasswordTest::changeThatDidNotReachTheBackupsIsFinishedAtTheNextOpen()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QVERIFY(store::changePassword(m_path, QString(), from).ok());
    restart();
    const QStringList schema = schemaOf(m_path, from);
    {
        const testing::Mount readOnly = testing::Mount::readOnly(store::backupFolder(m_path));
        if (!readOnly.ok())
            QSKIP(qPrintable(readOnly.error()));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^No backup of .* was made: ")));
        BRIMVALE_UNWRAP(change, store::changePassword(m_path, from, to));
        QCOMPARE(change.backupsLeft, store::everyBackupOf(m_path));
    }
    restart();
    m_prompt->answers = {to.isEmpty() ? QStringLiteral("unused") : to};

    QVERIFY(!store::unlock(m_path));
    for (const QString &backup : store::everyBackupOf(m_path)) {
        QVERIFY2(opensWith(backup, to), qPrintable(backup));
        QVERIFY2(!opensWith(backup, from), qPrintable(backup));
    }
    QCOMPARE(schemaOf(m_path, to), schema);
    QCOMPARE(store::readKeywords(m_path, Table::Spell)->keywords, kSpells);
}

void PasswordTest::findAsksForThePasswordLikeAnyOtherUse()
{
    QVERIFY(store::changePassword(m_path, QString(), QStringLiteral("right")).ok());
    restart();
    m_prompt->answers = {QStringLiteral("right")};

    BRIMVALE_UNWRAP(index, finder::Index::build(m_path));
    QCOMPARE(index.search(u"moon").size(), std::size_t(1));
    QCOMPARE(m_prompt->asked, 1);
}

void PasswordTest::givingUpStaysOnTheMainWindow_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("message");
    QTest::newRow("at once") << QStringList() << QString();
    QTest::newRow("after a wrong password") << QStringList{QStringLiteral("wrong")}
                                            << QStringLiteral("The diary file is damaged or the password is wrong.");
}

void PasswordTest::givingUpStaysOnTheMainWindow()
{
    QFETCH(QStringList, answers);
    QFETCH(QString, message);
    QVERIFY(store::changePassword(m_path, QString(), QStringLiteral("right")).ok());
    restart();
    const QStringList files = filesOf(m_path);
    const QStringList before = fileStates(files);
    m_prompt->answers.assign(answers.begin(), answers.end());

    QVERIFY(!testing::enterSection(2));
    QVERIFY(forms::loaded<MainWindow>());
    QCOMPARE(m_prompt->asked, 1);
    QCOMPARE(m_env->messages->last().section(QLatin1Char('\n'), 0, 0), message);
    QCOMPARE(fileStates(filesOf(m_path)), before);
}

void PasswordTest::setAndRemoveThroughTheMenu()
{
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    QAction *menuEntry = main->findChild<QAction *>(QStringLiteral("mnuDiaryPassword"));
    QVERIFY(menuEntry);
    QCOMPARE(menuEntry->text(), QStringLiteral("&Diary Password\u2026"));

    QString warning;
    bool shown = false;
    bool stayedOpen = false;
    whileOpen<gui::DiaryPasswordDialog>(
        [&] { menuEntry->trigger(); },
        [&](gui::DiaryPasswordDialog *dialog) {
            QLineEdit *newPassword = testing::control<QLineEdit>(dialog, "txtNew");
            QLineEdit *repeated = testing::control<QLineEdit>(dialog, "txtRepeat");
            QPushButton *set = testing::control<QPushButton>(dialog, "cmdSet");
            warning = testing::control<QLabel>(dialog, "lblWarning")->text();
            QTest::keyClicks(newPassword, QStringLiteral("abc"));
            QTest::keyClicks(repeated, QStringLiteral("abd"));
            clickShowPassword(dialog);
            shown = newPassword->echoMode() == QLineEdit::Normal && repeated->echoMode() == QLineEdit::Normal;
            QTest::mouseClick(set, Qt::LeftButton);
            stayedOpen = dialog->isVisible() && !dialog->findChild<QLineEdit *>(QStringLiteral("txtCurrent"));
            QTest::keyClicks(repeated, QStringLiteral("abc"));
            testing::control<QSpinBox>(dialog, "spnLockMinutes")->setValue(5);
            testing::control<QCheckBox>(dialog, "chkLockWithScreen")->setChecked(false);
            QTest::mouseClick(set, Qt::LeftButton);
        });
    QVERIFY(stayedOpen);
    QVERIFY(main->findChild<QAction *>(QStringLiteral("mnuLockDiary"))->isEnabled());
    QCOMPARE(m_env->settings->values.value(QStringLiteral("brimvale/Lock/IdleMinutes")), QStringLiteral("5"));
    QCOMPARE(m_env->settings->values.value(QStringLiteral("brimvale/Lock/WithScreen")), QStringLiteral("0"));
    QVERIFY(shown);
    QTRY_COMPARE(QApplication::activeWindow(), main);
    QVERIFY(warning.contains(QStringLiteral("no way to recover")));
    QCOMPARE(m_env->messages->texts(),
             QStringList({QStringLiteral("The two new passwords differ. Type the new password again."),
                          QStringLiteral("The diary now has a password of its own.")}));
    QVERIFY(opensWith(m_path, QStringLiteral("abc")));
    QVERIFY(!opensWith(m_path, QString()));

    m_env->messages->answers = {gui::Answer::Yes};
    whileOpen<gui::DiaryPasswordDialog>(
        [&] { menuEntry->trigger(); },
        [&](gui::DiaryPasswordDialog *dialog) {
            QTest::keyClicks(testing::control<QLineEdit>(dialog, "txtCurrent"), QStringLiteral("abc"));
            QTest::mouseClick(testing::control<QPushButton>(dialog, "cmdRemove"), Qt::LeftButton);
        });
    QVERIFY(opensWith(m_path, QString()));
    QCOMPARE(store::readKeywords(m_path, Table::Spell)->keywords, kSpells);
    main->findChild<QAction *>(QStringLiteral("mnuLockDiary"))->trigger();
    QVERIFY2(m_env->messages->last().contains(QStringLiteral("has none yet")), qPrintable(m_env->messages->last()));
}

void PasswordTest::lockSettingsChangeOnlyWithOK_data()
{
    QTest::addColumn<QString>("closing");  // a button, or how else the dialog goes
    QTest::addColumn<QString>("password"); // typed twice as the new one
    QTest::addColumn<bool>("kept");
    QTest::newRow("OK") << "cmdOK" << QString() << true;
    QTest::newRow("OK with a new password typed") << "cmdOK"
                                                  << "abc" << true;
    QTest::newRow("Cancel") << "cmdCancel" << QString() << false;
    QTest::newRow("Escape") << "escape" << QString() << false;
    QTest::newRow("the window's frame") << "frame" << QString() << false;
}

void PasswordTest::lockSettingsChangeOnlyWithOK()
{
    QFETCH(QString, closing);
    QFETCH(QString, password);
    QFETCH(bool, kept);
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    const auto before = m_env->settings->values;
    QString oneMinute;
    whileOpen<gui::DiaryPasswordDialog>(
        [&] { main->findChild<QAction *>(QStringLiteral("mnuDiaryPassword"))->trigger(); },
        [&](gui::DiaryPasswordDialog *dialog) {
            auto *minutes = testing::control<QSpinBox>(dialog, "spnLockMinutes");
            minutes->setValue(1);
            oneMinute = minutes->text();
            testing::control<QCheckBox>(dialog, "chkLockWithScreen")->setChecked(false);
            QTest::keyClicks(testing::control<QLineEdit>(dialog, "txtNew"), password);
            QTest::keyClicks(testing::control<QLineEdit>(dialog, "txtRepeat"), password);
            if (closing == u"escape")
                QTest::keyClick(dialog, Qt::Key_Escape);
            else if (closing == u"frame")
                dialog->close();
            else
                QTest::mouseClick(testing::control<QPushButton>(dialog, closing), Qt::LeftButton);
        });
    QCOMPARE(oneMinute, QStringLiteral("1 minute without use"));
    const auto setting = [&](const char *key) { return m_env->settings->values.value(QLatin1String(key)); };
    QCOMPARE(setting("brimvale/Lock/IdleMinutes"),
             kept ? QStringLiteral("1") : before.value("brimvale/Lock/IdleMinutes"));
    QCOMPARE(setting("brimvale/Lock/WithScreen"),
             kept ? QStringLiteral("0") : before.value("brimvale/Lock/WithScreen"));
    QCOMPARE(opensWith(m_path, password), true);
}

void PasswordTest::promptSaysWhenThePasswordIsWrong()
{
    QVERIFY(store::changePassword(m_path, QString(), QStringLiteral("right")).ok());
    restart();
    platform::installed().passwordPrompt = gui::dialogPasswordPrompt();

    QString accessibleName;
    bool hidden = false;
    bool shown = false;
    QString afterWrong;
    bool stayedOpen = false;
    std::optional<store::Failure> locked;
    whileOpen<gui::PasswordPromptDialog>([&] { locked = store::unlock(m_path); },
                                         [&](gui::PasswordPromptDialog *dialog) {
                                             QLineEdit *password = testing::control<QLineEdit>(dialog, "txtPassword");
                                             accessibleName = password->accessibleName();
                                             hidden = password->echoMode() == QLineEdit::Password;
                                             clickShowPassword(dialog);
                                             shown = password->echoMode() == QLineEdit::Normal;
                                             QTest::keyClicks(password, QStringLiteral("wrong"));
                                             QTest::keyClick(password, Qt::Key_Return);
                                             afterWrong = testing::control<QLabel>(dialog, "lblMessage")->text();
                                             stayedOpen = dialog->isVisible() && password->text().isEmpty();
                                             QTest::keyClicks(password, QStringLiteral("right"));
                                             QTest::keyClick(password, Qt::Key_Return);
                                         });
    QVERIFY(!locked);
    QCOMPARE(accessibleName, QStringLiteral("Password"));
    QVERIFY(hidden);
    QVERIFY(shown);
    QVERIFY(afterWrong.contains(QStringLiteral("wrong")));
    QVERIFY(stayedOpen);
    QCOMPARE(store::readKeywords(m_path, Table::Spell)->keywords, kSpells);
}

BRIMVALE_TEST_MAIN(PasswordTest)

#include "tst_password.moc"
