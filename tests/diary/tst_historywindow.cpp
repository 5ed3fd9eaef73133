// The History window and Undo as a user meets them: every change comes back, a change that no
// longer fits is refused, and a backup brings entries back or the whole diary.

#include "controls.h"
#include "dialogs.h"
#include "diaryfiles.h"
#include "fakes.h"
#include "fixture.h"
#include "mounts.h"
#include "sectionwindow.h"
#include "testmain.h"

#include "core/services.h"
#include "core/store/backups.h"
#include "core/store/diarykey.h"
#include "core/store/history.h"
#include "core/store/opening.h"
#include "core/store/password.h"
#include "core/store/store.h"
#include "core/store/storeprobe.h"
#include "gui/diarylock.h"
#include "gui/forms.h"
#include "gui/navigation.h"
#include "gui/windows/historywindow.h"
#include "gui/windows/mainwindow.h"
#include "gui/windows/sectionwindow.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <sqlcipher/sqlite3.h>

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

void click(const QWidget *window, const char *button)
{
    QTest::mouseClick(testing::control<QPushButton>(window, button), Qt::LeftButton);
}

// The Incense keywords of a diary that opens with this password alone (empty: the built-in key).
std::optional<QStringList> incenseUnder(const QString &path, const QString &password)
{
    const QByteArray salt = store::saltOf(path);
    const auto key = password.isEmpty() ? std::optional(store::builtInKey(salt)) : store::userKey(password, salt);
    const auto opened = key ? store::openWithKey(path, *key) : store::Result<store::Connection>(store::Failure{});
    if (!opened.ok())
        return std::nullopt;
    auto read = store::Statement::prepare(*opened, QStringLiteral("SELECT keyword FROM tblincense ORDER BY \"Index\""));
    QStringList keywords;
    while (read.ok() && read->step() == SQLITE_ROW)
        keywords << read->text(0);
    return keywords;
}

// The letter a caption's "&" marks, in lower case; none without one.
QString accessKeyOf(const QString &caption)
{
    const qsizetype at = caption.indexOf(QRegularExpression(QStringLiteral("&[^&]")));
    return at < 0 ? QString() : caption.mid(at + 1, 1).toLower();
}

// Each row as "Index keyword: meaning".
QStringList shown(const std::optional<Rows> &rows)
{
    QStringList lines;
    for (const testing::DiaryRow &row : rows.value_or(Rows{}))
        lines << QStringLiteral("%1 %2: %3").arg(row.index).arg(row.keyword, row.meaning);
    return lines;
}

// The Bring Back Entries dialog's list: a section's name, then each entry as "keyword | the diary's
// keyword now | ticked".
QStringList entriesOffered(const QTreeWidget *list)
{
    QStringList lines;
    for (int s = 0; s < list->topLevelItemCount(); ++s) {
        const QTreeWidgetItem *section = list->topLevelItem(s);
        lines << section->text(0);
        for (int e = 0; e < section->childCount(); ++e) {
            const QTreeWidgetItem *entry = section->child(e);
            lines << QStringLiteral("%1 | %2 | %3")
                         .arg(entry->text(0).section(QLatin1Char('\n'), 0, 0),
                              entry->text(1).section(QLatin1Char('\n'), 0, 0),
                              entry->checkState(0) == Qt::Checked ? QStringLiteral("ticked")
                                                                  : QStringLiteral("unticked"));
        }
    }
    return lines;
}

// Overwrites the first page's bytes: the file no longer opens under any key.
bool damageFirstPage(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.seek(100) && file.write(QByteArray(200, 'x')) == 200;
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
    void initTestCase() { store::probe::setPasswordCost(1, 8192); }

    void eachChangeIsTakenBackAndBroughtAgain_data();
    void eachChangeIsTakenBackAndBroughtAgain();
    void anUndoThatNoLongerFitsChangesNothingAndSaysWhy();
    void clearHistoryForgetsOnlyWhenTheUserAgrees_data();
    void clearHistoryForgetsOnlyWhenTheUserAgrees();
    void accessKeysDifferInTheirWindow_data();
    void accessKeysDifferInTheirWindow();
    void undoInTheSectionStepsBackThroughThisRun();
    void aLockedHistoryShowsNothingAndComesBack();
    void aBackupUnderAnotherPasswordComesBack_data();
    void aBackupUnderAnotherPasswordComesBack();
    void restoreAsksWhichPasswordTheDiaryKeeps_data();
    void restoreAsksWhichPasswordTheDiaryKeeps();
    void restoreThatCannotKeepTheDiaryReplacesNothing_data();
    void restoreThatCannotKeepTheDiaryReplacesNothing();
    void bringBackOffersTheEntriesAndBringsBackThoseTicked_data();
    void bringBackOffersTheEntriesAndBringsBackThoseTicked();
    void aCraftedBackupBringsNothingOutOfPlace_data();
    void aCraftedBackupBringsNothingOutOfPlace();

private:
    Rows rows() const { return testing::readRows(m_diary, kIncense).value_or(Rows{}); }
    // Bring Back Entries for the backup listed last, its dialog answered by `answer`; the
    // backup's date as the list gives it.
    QString bringBackFromLast(HistoryWindow *window, const std::function<void(QWidget *)> &answer)
    {
        const QStringList backups = linesOf(window, "lstBackups");
        choose(window, "lstBackups", int(backups.size()) - 1);
        testing::whileDialogIsUp([&] { click(window, "cmdBringBack"); }, answer);
        return backups.last().section(QStringLiteral(" \u2014 "), 0, 0);
    }
    // A backup of the diary as it is now (under the password `now`), made on 1 December, then given
    // the password `then`; the diary then loses its first entry. The History window lists it last.
    QString plantBackup(const QString &now, const QString &then)
    {
        const QString folder = store::backupFolder(m_diary);
        const QString backup = folder + QStringLiteral("/updatediary-20261201-101500.dll");
        if (!QDir().mkpath(folder) || !QFile::copy(m_diary, backup))
            return {};
        if (now != then && !store::changePassword(backup, now, then).ok())
            return {};
        if (!store::removeEntry(m_diary, store::Table::Incense, m_start[0].index).ok())
            return {};
        return backup;
    }

    testing::Fixture m_env;
    QString m_diary;
    Rows m_start;
};

void HistoryWindowTest::eachChangeIsTakenBackAndBroughtAgain_data()
{
    QTest::addColumn<int>("change");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("undone");
    QTest::newRow("add") << 0 << QStringLiteral("Added \u201cAmber\u201d to Incense")
                         << QStringLiteral("Removed \u201cAmber\u201d again from Incense");
    QTest::newRow("edit") << 1 << QStringLiteral("Changed \u201cSage\u201d in Incense")
                          << QStringLiteral("Changed \u201cSage\u201d back in Incense");
    QTest::newRow("remove") << 2 << QStringLiteral("Removed \u201cSage\u201d from Incense")
                            << QStringLiteral("Brought back \u201cSage\u201d to Incense");
    QTest::newRow("import") << 3 << QStringLiteral("Imported 2 entries")
                            << QStringLiteral("Removed 2 imported entries again");
}

void HistoryWindowTest::eachChangeIsTakenBackAndBroughtAgain()
{
    QFETCH(int, change);
    QFETCH(QString, line);
    QFETCH(QString, undone);
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
    QVERIFY(linesOf(window, "lstChanges").value(0).endsWith(undone));

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
    QTest::addColumn<gui::Answer>("answer"); // Ok: Enter at the real question
    QTest::addColumn<bool>("forgotten");
    QTest::newRow("yes") << gui::Answer::Yes << true;
    QTest::newRow("no") << gui::Answer::No << false;
    QTest::newRow("Enter takes No") << gui::Answer::Ok << false;
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

    if (answer == gui::Answer::Ok) {
        auto scripted = gui::installMessages(gui::productionMessages());
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QTimer::singleShot(0, this, [&icon] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                icon = box->icon();
                QTest::keyClick(box, Qt::Key_Return);
            }
        });
        click(window, "cmdClearHistory");
        gui::installMessages(std::move(scripted));
        QCOMPARE(icon, QMessageBox::Warning);
    } else {
        m_env->messages->answers = {answer};
        click(window, "cmdClearHistory");
        QCOMPARE(m_env->messages->shown.size(), std::size_t(1));
        QCOMPARE(m_env->messages->shown.back().icon, gui::MessageIcon::Warning);
    }
    QCOMPARE(linesOf(window, "lstChanges").isEmpty(), forgotten);
    if (!forgotten)
        QCOMPARE(linesOf(window, "lstChanges"), before);
    // The entries stay whatever the answer.
    QCOMPARE(testing::readKeywords(m_diary, kIncense), (QStringList{"Myrrh", "Sage", "Rue", "Amber"}));
    const auto kept = store::history::readChanges(m_diary);
    QVERIFY(kept.ok());
    QCOMPARE(kept->empty(), forgotten);
}

void HistoryWindowTest::accessKeysDifferInTheirWindow_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("caption"); // of the button that needs one
    QTest::newRow("History") << "history" << QStringLiteral("Clear History\u2026");
    QTest::newRow("the question before leaving an entry") << "leave" << QStringLiteral("Discard");
}

void HistoryWindowTest::accessKeysDifferInTheirWindow()
{
    QFETCH(QString, window);
    QFETCH(QString, caption);
    QStringList keys;
    QString keyOfCaption;
    const auto read = [&](const QWidget *shown) {
        for (const QAbstractButton *button : shown->findChildren<QAbstractButton *>()) {
            keys << accessKeyOf(button->text());
            if (QString(button->text()).remove(QLatin1Char('&')) == caption)
                keyOfCaption = keys.back();
        }
        for (const QLabel *label : shown->findChildren<QLabel *>())
            keys << accessKeyOf(label->text());
        keys.removeAll(QString());
    };
    if (window == u"history") {
        HistoryWindow *history = openHistory();
        QVERIFY(history);
        read(history);
    } else {
        SectionWindow *section = testing::enterSection(1);
        QVERIFY(section);
        section->open();
        QTest::mouseClick(testing::control<QPushButton>(section, "Command2"), Qt::LeftButton); // Add
        QTest::keyClicks(testing::control<QLineEdit>(section, "txtKeyword"), QStringLiteral("Amber"));
        auto scripted = gui::installMessages(gui::productionMessages());
        QTimer::singleShot(0, this, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                read(box);
                box->reject();
            }
        });
        testing::control<QAction>(section, "mnuBack")->trigger();
        gui::installMessages(std::move(scripted));
    }
    QVERIFY2(!keyOfCaption.isEmpty(), qPrintable(keys.join(QLatin1Char(' '))));
    QCOMPARE(QSet<QString>(keys.begin(), keys.end()).size(), keys.size());
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
    QTest::addColumn<bool>("given"); // the backup's password, when asked
    QTest::newRow("bring back entries") << false << true;
    QTest::newRow("restore the backup") << true << true;
    QTest::newRow("bring back entries, the password not given") << false << false;
}

// The backup holds an entry the diary has lost and is under a password the diary no longer has.
void HistoryWindowTest::aBackupUnderAnotherPasswordComesBack()
{
    QFETCH(bool, whole);
    QFETCH(bool, given);
    const QString folder = store::backupFolder(m_diary);
    QVERIFY(QDir().mkpath(folder));
    const QString backup = folder + QStringLiteral("/updatediary-20261201-101500.dll");
    QVERIFY(QFile::copy(m_diary, backup));
    QVERIFY(store::changePassword(backup, QString(), QStringLiteral("old secret")).ok());
    QVERIFY(*store::removeEntry(m_diary, store::Table::Incense, m_start[0].index));
    QVERIFY(store::addEntry(m_diary, store::Table::Incense, {"Amber", "warm"}).ok());
    store::probe::forgetKeys();
    auto *prompt = new fakes::PasswordPrompt;
    if (given)
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
    QCOMPARE(testing::whileDialogIsUp([&] { click(window, whole ? "cmdRestoreBackup" : "cmdBringBack"); },
                                      [](QWidget *dialog) { click(dialog, "cmdOK"); }),
             !whole && given);
    QCOMPARE(prompt->asked, 1);
    // The bring-back is told by the History window's list alone; giving up on the password ends it.
    if (!whole)
        QVERIFY(m_env->messages->shown.empty());
    const QStringList expected = !given ? QStringList{"Sage", "Rue", "Amber"}
        : whole                         ? QStringList{"Myrrh", "Sage", "Rue"}
                                        : QStringList{"Myrrh", "Sage", "Rue", "Amber"};
    // Restored, the diary has the backup's password, which this run now knows.
    const auto listed = store::readKeywords(m_diary, store::Table::Incense);
    QVERIFY(listed.ok());
    QCOMPARE(listed->keywords, expected);
    QCOMPARE(prompt->asked, 1);
    // The diary as it was before the restore is kept as a backup of its own.
    QCOMPARE(linesOf(window, "lstBackups").size(), whole ? 3 : 2);
}

void HistoryWindowTest::restoreAsksWhichPasswordTheDiaryKeeps_data()
{
    QTest::addColumn<QString>("diaryPassword"); // "damaged": a diary that does not open
    QTest::addColumn<QString>("backupPassword");
    QTest::addColumn<gui::Answer>("answer"); // Ok: no question is asked
    QTest::addColumn<QString>("opensWith");
    QTest::addColumn<QString>("told");
    QTest::newRow("the diary's, by default") << "now"
                                             << "then" << gui::Answer::First << "now"
                                             << "It keeps the password it had.";
    QTest::newRow("the backup's") << "now"
                                  << "then" << gui::Answer::Second << "then"
                                  << "It now opens with the password the backup was made with.";
    QTest::newRow("cancelled") << "now"
                               << "then" << gui::Answer::Cancel << "now" << QString();
    QTest::newRow("a backup without one") << "now" << QString() << gui::Answer::First << "now"
                                          << "It keeps the password it had.";
    QTest::newRow("a diary without one") << QString() << "then" << gui::Answer::First << QString()
                                         << "It still has no password of its own.";
    QTest::newRow("neither has one") << QString() << QString() << gui::Answer::Ok << QString() << QString();
    QTest::newRow("one and the same") << "same"
                                      << "same" << gui::Answer::Ok << "same" << QString();
    QTest::newRow("a diary that does not open") << "damaged"
                                                << "then" << gui::Answer::Ok << "then"
                                                << "It now opens with the password the backup was made with.";
}

// A backup made under an earlier password: the diary keeps the password chosen (its own unless
// the user says otherwise), and the closing message says which one it has.
void HistoryWindowTest::restoreAsksWhichPasswordTheDiaryKeeps()
{
    QFETCH(QString, diaryPassword);
    QFETCH(QString, backupPassword);
    QFETCH(gui::Answer, answer);
    QFETCH(QString, opensWith);
    QFETCH(QString, told);
    const QString now = diaryPassword == u"damaged" ? QString() : diaryPassword;
    if (!now.isEmpty())
        QVERIFY(store::changePassword(m_diary, QString(), now).ok());
    // "same": a backup of the diary under its password, as every backup made since the password is.
    QVERIFY(!plantBackup(now, backupPassword).isEmpty());
    HistoryWindow *window = openHistory();
    QVERIFY(window);
    if (diaryPassword == u"damaged")
        QVERIFY(damageFirstPage(m_diary));
    const QByteArray before = testing::bytesOf(m_diary);
    m_env->messages->shown.clear();
    m_env->messages->answers = {gui::Answer::Yes, answer};

    choose(window, "lstBackups", int(linesOf(window, "lstBackups").size()) - 1);
    click(window, "cmdRestoreBackup");
    const std::vector<fakes::Message> &shown = m_env->messages->shown;
    const bool asked =
        std::any_of(shown.begin(), shown.end(), [](const fakes::Message &m) { return !m.choices.isEmpty(); });
    QCOMPARE(asked, answer != gui::Answer::Ok);
    if (answer == gui::Answer::Cancel) {
        QCOMPARE(testing::bytesOf(m_diary), before);
        QCOMPARE(shown.size(), std::size_t(2));
        return;
    }
    QCOMPARE(incenseUnder(m_diary, opensWith), std::optional(QStringList{"Myrrh", "Sage", "Rue"}));
    const QString closing = m_env->messages->last();
    QVERIFY2(closing.startsWith(QStringLiteral("The diary is now as it was on ")), qPrintable(closing));
    QCOMPARE(closing.contains(QStringLiteral("password")), !told.isEmpty());
    QVERIFY2(told.isEmpty() || closing.contains(told), qPrintable(closing));
}

void HistoryWindowTest::restoreThatCannotKeepTheDiaryReplacesNothing_data()
{
    QTest::addColumn<bool>("damaged");
    QTest::newRow("a whole diary") << false;
    QTest::newRow("a damaged diary, kept byte for byte") << true;
}

// The copy of the diary of the moment cannot be kept (its folder is read-only): the restore stops
// before anything is replaced, and says why.
void HistoryWindowTest::restoreThatCannotKeepTheDiaryReplacesNothing()
{
    QFETCH(bool, damaged);
    QVERIFY(testing::appendRows(m_diary, kIncense, {{"Long", QString(20000, QLatin1Char('l'))}}));
    QVERIFY(!plantBackup(QString(), QString()).isEmpty());
    if (damaged) {
        // A page that reading the history never touches: the end of the long meaning.
        QByteArray bytes = testing::bytesOf(m_diary);
        bytes[bytes.size() - 300] = char(bytes[bytes.size() - 300] ^ 0x10);
        QFile file(m_diary);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    const QString kept = store::backupFolder(m_diary) + QStringLiteral("-kept-before-restore");
    QVERIFY(QDir().mkpath(kept));
    const testing::Mount readOnly = testing::Mount::readOnly(kept);
    if (!readOnly.ok())
        QSKIP(qPrintable(readOnly.error()));
    HistoryWindow *window = openHistory();
    QVERIFY(window);
    const auto state = [&] {
        return testing::stateOf(m_diary) + testing::stateOf(store::backupFolder(m_diary)) + testing::stateOf(kept)
            + QDir(m_env->dataFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    };
    const QStringList before = state();
    m_env->messages->answers = {gui::Answer::Yes};

    choose(window, "lstBackups", int(linesOf(window, "lstBackups").size()) - 1);
    click(window, "cmdRestoreBackup");
    QCOMPARE(state(), before);
    QCOMPARE(m_env->messages->shown.back().icon, gui::MessageIcon::Critical);
    QVERIFY2(
        m_env->messages->last().startsWith(QStringLiteral("The backup could not be restored.\nNo copy of the diary as "
                                                          "it is now could be kept: ")),
        qPrintable(m_env->messages->last()));
}

void HistoryWindowTest::bringBackOffersTheEntriesAndBringsBackThoseTicked_data()
{
    QTest::addColumn<QStringList>("toggled"); // keywords whose tick the Space bar turns over
    QTest::addColumn<QString>("how");         // "ok", "escape", or "ok" after another program put Myrrh back
    QTest::addColumn<QStringList>("incense");
    QTest::addColumn<QStringList>("spell");
    QTest::addColumn<QString>("line"); // the change listed, after "the backup of <date>"
    const QStringList unchanged{"2 Sage: cleansing smoke", "3 Rue: herb", "4 Amber: warm"};
    QTest::newRow("the removed ones, as ticked")
        << QStringList() << "ok"
        << QStringList{"1 Myrrh: resin", "2 Sage: cleansing smoke", "3 Rue: herb", "4 Amber: warm"}
        << QStringList{"1 Ward: salt"} << "Brought back 2 entries from";
    QTest::newRow("an older version ticked, a removed one not")
        << QStringList{"Sage", "Ward"} << "ok"
        << QStringList{"1 Myrrh: resin", "2 Sage: smoke", "3 Rue: herb", "4 Amber: warm"} << QStringList()
        << "Brought back 2 entries from";
    QTest::newRow("Escape") << QStringList() << "escape" << unchanged << QStringList() << QString();
    QTest::newRow("Myrrh put back meanwhile by another program")
        << QStringList() << "meanwhile" << (QStringList{"1 Myrrh: resin again"} + unchanged) << QStringList()
        << QString();
}

// Since the backup, Myrrh and Ward were removed and Sage changed; Rue is as it was.
void HistoryWindowTest::bringBackOffersTheEntriesAndBringsBackThoseTicked()
{
    QFETCH(QStringList, toggled);
    QFETCH(QString, how);
    QFETCH(QStringList, incense);
    QFETCH(QStringList, spell);
    QFETCH(QString, line);
    QVERIFY(testing::appendRows(m_diary, QStringLiteral("tblspell"), {{"Ward", "salt"}}));
    QVERIFY(!plantBackup(QString(), QString()).isEmpty());
    QVERIFY(*store::updateEntry(m_diary, store::Table::Incense, m_start[1].index, {"Sage", "cleansing smoke"}));
    QVERIFY(*store::removeEntry(m_diary, store::Table::Spell, 1));
    QVERIFY(store::addEntry(m_diary, store::Table::Incense, {"Amber", "warm"}).ok());
    const QStringList before = shown(rows());
    HistoryWindow *window = openHistory();
    QVERIFY(window);
    const QStringList changes = linesOf(window, "lstChanges");

    QStringList offered;
    const QString made = bringBackFromLast(window, [&](QWidget *dialog) {
        auto *list = testing::control<QTreeWidget>(dialog, "lstBringBack");
        offered = entriesOffered(list);
        for (const QString &keyword : toggled) {
            const auto found = list->findItems(keyword, Qt::MatchStartsWith | Qt::MatchRecursive);
            QCOMPARE(found.size(), 1);
            list->setCurrentItem(found.front());
            QTest::keyClick(list, Qt::Key_Space);
        }
        if (how == u"meanwhile")
            QVERIFY(
                testing::execute(m_diary, QStringLiteral("INSERT INTO tblincense VALUES (1, 'Myrrh', 'resin again')")));
        QTest::keyClick(list, how == u"escape" ? Qt::Key_Escape : Qt::Key_B,
                        how == u"escape" ? Qt::NoModifier : Qt::AltModifier);
    });
    QCOMPARE(offered,
             (QStringList{"Spell", "Ward | (removed since) | ticked", "Incense", "Myrrh | (removed since) | ticked",
                          "Sage | Sage | unticked"}));
    QCOMPARE(shown(rows()), incense);
    QCOMPARE(shown(testing::readRows(m_diary, QStringLiteral("tblspell"))), spell);
    if (line.isEmpty()) {
        QCOMPARE(linesOf(window, "lstChanges"), changes);
        if (how == u"meanwhile")
            QVERIFY2(m_env->messages->last().startsWith(QStringLiteral("\u201cMyrrh\u201d in Incense was put back")),
                     qPrintable(m_env->messages->last()));
        return;
    }
    QVERIFY(m_env->messages->shown.empty());
    QTRY_VERIFY2(linesOf(window, "lstChanges").value(0).endsWith(line + QStringLiteral(" the backup of ") + made),
                 qPrintable(linesOf(window, "lstChanges").value(0)));
    // One change, taken back whole.
    choose(window, "lstChanges", 0);
    click(window, "cmdUndoChange");
    QCOMPARE(shown(rows()), before);
    QCOMPARE(shown(testing::readRows(m_diary, QStringLiteral("tblspell"))), QStringList());
    QVERIFY(linesOf(window, "lstChanges")
                .value(0)
                .endsWith(QStringLiteral("Took back 2 entries brought back from the backup of ") + made));
}

void HistoryWindowTest::aCraftedBackupBringsNothingOutOfPlace_data()
{
    QTest::addColumn<QString>("backupSql"); // "damaged": its first page overwritten
    QTest::addColumn<QString>("diarySql");
    QTest::addColumn<bool>("offered"); // the dialog, answered OK
    QTest::addColumn<QString>("told"); // the start of the message that ends it
    QTest::addColumn<QStringList>("incense");
    const QStringList start{"1 Myrrh: resin", "2 Sage: smoke", "3 Rue: herb"};
    const QString amber = QStringLiteral("INSERT INTO tblincense VALUES (%1, 'Amber', 'warm')");
    QTest::newRow("the same entries") << QString() << QString() << false << "There is nothing to bring back" << start;
    QTest::newRow("an Index the section never gave") << amber.arg(std::numeric_limits<qint64>::max()) << QString()
                                                     << true << QString() << (start + QStringList{"4 Amber: warm"});
    QTest::newRow("an Index below the first")
        << amber.arg(-5) << QString() << true << QString() << (start + QStringList{"4 Amber: warm"});
    QTest::newRow("a section that gave its last Index")
        << amber.arg(-5)
        << QStringLiteral("UPDATE sqlite_sequence SET seq = 9223372036854775807 WHERE name = 'tblincense'") << true
        << "The entries could not be brought back: Incense can take no more entries." << start;
    QTest::newRow("a damaged backup") << "damaged" << QString() << false
                                      << "Nothing was brought back from the backup of " << start;
}

// A backup is read, never written, and whatever it holds, no entry comes back at an Index the
// section never gave: that would use up the Indexes of the entries added after it.
void HistoryWindowTest::aCraftedBackupBringsNothingOutOfPlace()
{
    QFETCH(QString, backupSql);
    QFETCH(QString, diarySql);
    QFETCH(bool, offered);
    QFETCH(QString, told);
    QFETCH(QStringList, incense);
    const QString backup = store::backupFolder(m_diary) + QStringLiteral("/updatediary-20261201-101500.dll");
    QVERIFY(QDir().mkpath(store::backupFolder(m_diary)) && QFile::copy(m_diary, backup));
    if (backupSql == u"damaged")
        QVERIFY(damageFirstPage(backup));
    else if (!backupSql.isEmpty())
        QVERIFY(testing::execute(backup, backupSql));
    if (!diarySql.isEmpty())
        QVERIFY(testing::execute(m_diary, diarySql));
    const QByteArray backupBytes = testing::bytesOf(backup);
    HistoryWindow *window = openHistory();
    QVERIFY(window);

    bool asked = false;
    bringBackFromLast(window, [&](QWidget *dialog) {
        asked = true;
        // An empty list leaves nothing to bring back: only Cancel ends it.
        if (testing::control<QPushButton>(dialog, "cmdOK")->isEnabled())
            click(dialog, "cmdOK");
        else
            static_cast<QDialog *>(dialog)->reject();
    });
    QCOMPARE(asked, offered);
    QVERIFY2(m_env->messages->last().startsWith(told), qPrintable(m_env->messages->last()));
    QCOMPARE(shown(rows()), incense);
    QCOMPARE(testing::bytesOf(backup), backupBytes);
    if (offered && told.isEmpty())
        QCOMPARE(store::addEntry(m_diary, store::Table::Incense, {"Rue", "again"}).value(), qint64(5));
}

BRIMVALE_TEST_MAIN(HistoryWindowTest)
#include "tst_historywindow.moc"
