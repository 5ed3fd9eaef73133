// Storage faults met through the windows, each with its own message and nothing lost: the typed
// text stays in the boxes and can be saved once the fault is gone, and the diary file is either
// untouched (same bytes, modification time and inode) or consistent. The diary tests already
// cover a read-only data folder, a full disk during an add and a zero-length or overwritten diary
// at the store; these are the faults they do not reach.

#include "checks.h"
#include "controls.h"
#include "diaryfiles.h"
#include "fixture.h"
#include "mounts.h"
#include "reliability.h"
#include "sectionwindow.h"
#include "testmain.h"

#include "core/book/bookimport.h"
#include "core/store/backups.h"
#include "core/store/history.h"
#include "core/store/restore.h"
#include "core/store/store.h"
#include "gui/forms.h"
#include "gui/windows/mainwindow.h"
#include "gui/windows/sectionwindow.h"
#include "gui/windows/startupwindow.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <filesystem>
#include <memory>

using Mode = SectionWindow::Mode;
using reliability::click;
using reliability::listed;
using reliability::selectLine;

namespace {
const QString kDamaged = QStringLiteral("The diary file is damaged or the password is wrong.");
const QString kReadOnly = QStringLiteral("The diary file is read-only.");
const QString kDiskFull = QStringLiteral("The entry could not be saved: the disk is full.");
const QString kCopyFailed = QStringLiteral("The diary could not be copied into the data folder.");
const QString kBothEmpty = QStringLiteral("Please Enter Keyword And Its Corresponding Meaning");

QStringList everythingIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class FaultTest : public QObject {
    Q_OBJECT

private slots:
    void init() { m_env.setUp({.newRun = true}); }
    void cleanup() { m_env.tearDown(); }

    void firstUseCopyFailsWithItsReasonAndLeavesNothing_data();
    void firstUseCopyFailsWithItsReasonAndLeavesNothing();
    void readOnlyDiaryFileKeepsTheTypedText();
    void fullDiskDuringAnEditKeepsBothVersions();
    void fullDiskNamesWhatCouldNotBeDone_data();
    void fullDiskNamesWhatCouldNotBeDone();
    void backupThatDoesNotFitStillSaves();
    void replacedDiaryIsReadAfreshAndItsRowsAreNeverMistaken_data();
    void replacedDiaryIsReadAfreshAndItsRowsAreNeverMistaken();
    void damagedDiaryIsReportedAndNeverTouched_data();
    void damagedDiaryIsReportedAndNeverTouched();
    void damageWhileRunningIsFoundBeforeTheNextWrite();

private:
    QString working() const { return m_env->workingDiary(); }
    QString folder() const { return m_env->dataFolder(); }
    testing::Fixture m_env;
};

void FaultTest::firstUseCopyFailsWithItsReasonAndLeavesNothing_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("reason");
    QTest::newRow("read-only data folder") << "readonly"
                                           << "Read-only file system";
    QTest::newRow("full data folder") << "full"
                                      << "No space left on device";
}

void FaultTest::firstUseCopyFailsWithItsReasonAndLeavesNothing()
{
    QFETCH(QString, fault);
    QFETCH(QString, reason);
    QVERIFY(QDir().mkpath(folder()));
    std::optional<testing::Mount> mount;
    if (fault == u"readonly") {
        mount.emplace(testing::Mount::readOnly(folder()));
        if (!mount->ok())
            QSKIP(qPrintable(QStringLiteral("no read-only mount: ") + mount->error()));
    } else {
        mount.emplace(testing::Mount::small(folder(), 64));
        if (!mount->ok())
            QSKIP(qPrintable(QStringLiteral("no small file system: ") + mount->error()));
        reliability::fillDisk(folder());
    }
    const QStringList before = everythingIn(folder());

    forms::ref<StartupWindow>();
    MainWindow *main = forms::loaded<MainWindow>();
    QVERIFY(main);
    QTest::mouseClick(testing::control<QRadioButton>(main, "optOption_2"), Qt::LeftButton);
    QTest::mouseClick(testing::control<QPushButton>(main, "cmdContinue"), Qt::LeftButton);
    testing::flushDeletions();

    QCOMPARE(m_env->messages->shown.size(), std::size_t(1));
    QCOMPARE(m_env->messages->shown.back().icon, gui::MessageIcon::Critical);
    const QStringList lines = m_env->messages->last().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], kCopyFailed);
    QCOMPARE(lines[1], working());
    QVERIFY2(lines[2].contains(reason, Qt::CaseInsensitive), qPrintable(lines[2]));
    QVERIFY(!forms::loaded<SectionWindow>());
    QCOMPARE(forms::loaded<MainWindow>(), main);
    QVERIFY(main->isVisible());
    // No half copy and no temporary file is left behind.
    QCOMPARE(everythingIn(folder()), before);

    // Once the fault is gone, the same Continue makes a whole, private copy.
    mount.reset();
    QTest::mouseClick(testing::control<QPushButton>(main, "cmdContinue"), Qt::LeftButton);
    testing::flushDeletions();
    QVERIFY(forms::loaded<SectionWindow>());
    QCOMPARE(m_env->messages->shown.size(), std::size_t(1));
    QCOMPARE(reliability::bytesOf(working()), reliability::bytesOf(m_env->starterDiary()));
    QCOMPARE(reliability::modeOf(working()), 0600);
    QCOMPARE(everythingIn(folder()), QStringList{QStringLiteral("updatediary.dll")});
}

void FaultTest::readOnlyDiaryFileKeepsTheTypedText()
{
    QVERIFY(testing::writeEmptyDiary(working()));
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblspell"), {{"Sage", "Cleansing"}}));
    SectionWindow *window = reliability::enterSection(0);
    QVERIFY(window);
    QVERIFY(click(testing::control<QPushButton>(window, "Command1")));
    const auto original = reliability::stateOf(working());
    const QString expected = kReadOnly + QLatin1Char('\n') + QDir::toNativeSeparators(working());

    // Only the file is write-protected; its folder stays writable.
    std::optional<testing::Mount> mount(testing::Mount::readOnly(working()));
    if (!mount->ok())
        QSKIP(qPrintable(QStringLiteral("no read-only mount: ") + mount->error()));

    selectLine(window, 0);
    QVERIFY(click(testing::control<QPushButton>(window, "Command3")));
    QCOMPARE(m_env->messages->texts(), QStringList{expected});
    QCOMPARE(listed(window), QStringList{QStringLiteral("Sage")});

    selectLine(window, 0);
    QVERIFY(click(testing::control<QPushButton>(window, "Command4")));
    testing::control<QPlainTextEdit>(window, "txtMeaning")->selectAll();
    QTest::keyClicks(testing::control<QPlainTextEdit>(window, "txtMeaning"),
                     QStringLiteral("Cleansing and protection"));
    QVERIFY(click(testing::control<QPushButton>(window, "Command4")));
    QCOMPARE(m_env->messages->texts(), QStringList({expected, expected}));
    QCOMPARE(window->mode(), Mode::Editing);
    QCOMPARE(testing::meaningShown(window), QStringLiteral("Cleansing and protection"));
    QCOMPARE(reliability::stateOf(working()), original);
    QCOMPARE(everythingIn(folder()), QStringList{QStringLiteral("updatediary.dll")});

    // The protection lifted, the same Save stores what was typed.
    mount.reset();
    QVERIFY(click(testing::control<QPushButton>(window, "Command4")));
    QCOMPARE(m_env->messages->shown.size(), std::size_t(2));
    QCOMPARE(window->mode(), Mode::Browsing);
    BRIMVALE_UNWRAP(saved, testing::readRows(working(), QStringLiteral("tblspell")));
    QCOMPARE(saved.size(), std::size_t(1));
    QCOMPARE(saved[0].meaning, QStringLiteral("Cleansing and protection"));

    const auto edited = reliability::stateOf(working());
    mount.emplace(testing::Mount::readOnly(working()));
    QVERIFY(mount->ok());
    QVERIFY(click(testing::control<QPushButton>(window, "Command2")));
    QTest::keyClicks(testing::control<QLineEdit>(window, "txtKeyword"), QStringLiteral("Vervain"));
    QTest::keyClicks(testing::control<QPlainTextEdit>(window, "txtMeaning"), QStringLiteral("Visions"));
    QVERIFY(click(testing::control<QPushButton>(window, "Command2")));
    QCOMPARE(m_env->messages->last(), expected);
    QCOMPARE(window->mode(), Mode::Adding);
    QCOMPARE(testing::control<QLineEdit>(window, "txtKeyword")->text(), QStringLiteral("Vervain"));
    QCOMPARE(reliability::stateOf(working()), edited);
    mount.reset();
    QVERIFY(click(testing::control<QPushButton>(window, "Command2")));
    QCOMPARE(m_env->messages->shown.size(), std::size_t(3));
    QCOMPARE(listed(window), (QStringList{"Sage", "Vervain"}));
    QCOMPARE(testing::readKeywords(working(), QStringLiteral("tblspell")), (QStringList{"Sage", "Vervain"}));
}

void FaultTest::fullDiskDuringAnEditKeepsBothVersions()
{
    QVERIFY(QDir().mkpath(folder()));
    const testing::Mount mount = testing::Mount::small(folder(), 512);
    if (!mount.ok())
        QSKIP(qPrintable(QStringLiteral("no small file system: ") + mount.error()));
    QVERIFY(testing::writeEmptyDiary(working()));
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblspell"), {{"Sage", "Cleansing"}, {"Rue", "Protection"}}));
    SectionWindow *window = reliability::enterSection(0);
    QVERIFY(window);
    QVERIFY(click(testing::control<QPushButton>(window, "Command1")));
    reliability::fillDisk(folder());
    const auto full = reliability::stateOf(working());

    selectLine(window, 1);
    QVERIFY(click(testing::control<QPushButton>(window, "Command4")));
    const QString longer(100000, QLatin1Char('p'));
    testing::control<QPlainTextEdit>(window, "txtMeaning")->setPlainText(longer);
    QVERIFY(click(testing::control<QPushButton>(window, "Command4")));
    QCOMPARE(m_env->messages->texts(), QStringList{kDiskFull + QLatin1Char('\n') + working()});
    QCOMPARE(window->mode(), Mode::Editing);
    QCOMPARE(testing::meaningShown(window), longer);
    QCOMPARE(reliability::stateOf(working()), full);
    QCOMPARE(reliability::integrityCheck(working()), QStringLiteral("ok"));
    BRIMVALE_UNWRAP(kept, testing::readRows(working(), QStringLiteral("tblspell")));
    QCOMPARE(kept.size(), std::size_t(2));
    QCOMPARE(kept[1].meaning, QStringLiteral("Protection"));

    QVERIFY(QFile::remove(folder() + QStringLiteral("/filler")));
    QVERIFY(click(testing::control<QPushButton>(window, "Command4")));
    QCOMPARE(m_env->messages->shown.size(), std::size_t(1));
    QCOMPARE(window->mode(), Mode::Browsing);
    BRIMVALE_UNWRAP(saved, testing::readRows(working(), QStringLiteral("tblspell")));
    QCOMPARE(saved.size(), std::size_t(2));
    QCOMPARE(saved[1].meaning, longer);
}

void FaultTest::fullDiskNamesWhatCouldNotBeDone_data()
{
    QTest::addColumn<QString>("task");
    QTest::addColumn<int>("roomKb"); // left free once the disk is full
    QTest::addColumn<QString>("said");
    QTest::newRow("clear history") << "clear" << 0 << "The history could not be cleared: the disk is full.";
    QTest::newRow("undo") << "undo" << 0 << "The change could not be undone: the disk is full.";
    // Room for the backup's copy, not for keeping the diary first; the second line gives the reason.
    QTest::newRow("restore") << "restore" << 64 << "The backup could not be restored.";
    QTest::newRow("import") << "import" << 0 << "The entries could not be imported: the disk is full.";
}

void FaultTest::fullDiskNamesWhatCouldNotBeDone()
{
    QFETCH(QString, task);
    QFETCH(int, roomKb);
    QFETCH(QString, said);
    QVERIFY(QDir().mkpath(folder()));
    const testing::Mount mount = testing::Mount::small(folder(), 1024);
    if (!mount.ok())
        QSKIP(qPrintable(QStringLiteral("no small file system: ") + mount.error()));
    QVERIFY(testing::writeEmptyDiary(working()));
    QVERIFY(store::addEntry(working(), store::Table::Spell, {QStringLiteral("Rue"), QStringLiteral("herb")}).ok());
    const QString backup = store::newestBackupOf(working());
    QVERIFY(!backup.isEmpty());
    std::vector<std::pair<QString, QString>> rows;
    for (int i = 0; i < 40; ++i)
        rows.emplace_back(QStringLiteral("Entry %1").arg(i), QString(10000, QLatin1Char('a' + i % 26)));
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblspell"), rows));
    BRIMVALE_UNWRAP(incoming, book::preview(working(), {{store::Table::Incense, {{"Myrrh", "resin"}}}}));
    reliability::fillDisk(folder());
    QFile filler(folder() + QStringLiteral("/filler"));
    QVERIFY(filler.resize(filler.size() - roomKb * 1024));
    const auto before = reliability::stateOf(working());

    const auto messageOf = [](const auto &result) {
        return result.ok() ? QString() : store::message(result.failure());
    };
    const auto cleared = [&] {
        const auto failed = store::history::clear(working());
        return failed ? store::message(*failed) : QString();
    };
    const QString message = task == u"import" ? book::import(working(), incoming).message
        : task == u"clear"                    ? cleared()
        : task == u"undo"                     ? messageOf(store::history::undoLastIn(working(), store::Table::Spell))
                                              : messageOf(store::restoreBackup(working(), backup));
    QCOMPARE(message.section(QLatin1Char('\n'), 0, 0), said);
    QCOMPARE(reliability::stateOf(working()), before);
}

void FaultTest::backupThatDoesNotFitStillSaves()
{
    QVERIFY(QDir().mkpath(folder()));
    const testing::Mount mount = testing::Mount::small(folder(), 1024);
    if (!mount.ok())
        QSKIP(qPrintable(QStringLiteral("no small file system: ") + mount.error()));
    QVERIFY(testing::writeEmptyDiary(working()));
    std::vector<std::pair<QString, QString>> rows;
    for (int i = 0; i < 40; ++i)
        rows.emplace_back(QStringLiteral("Entry %1").arg(i), QString(10000, QLatin1Char('a' + i % 26)));
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblspell"), rows));
    const qint64 diarySize = QFileInfo(working()).size();
    QVERIFY(diarySize > 300 * 1024);

    // Room for the entry and its journal, not for a copy of the diary, from the start: the copy is
    // made as the diary first opens.
    reliability::fillDisk(folder());
    QFile filler(folder() + QStringLiteral("/filler"));
    QVERIFY(filler.resize(filler.size() - 96 * 1024));
    SectionWindow *window = reliability::enterSection(0);
    QVERIFY(window);
    QVERIFY(click(testing::control<QPushButton>(window, "Command1")));

    QVERIFY(click(testing::control<QPushButton>(window, "Command2")));
    QTest::keyClicks(testing::control<QLineEdit>(window, "txtKeyword"), QStringLiteral("Vervain"));
    QTest::keyClicks(testing::control<QPlainTextEdit>(window, "txtMeaning"), QStringLiteral("Visions"));
    QVERIFY(click(testing::control<QPushButton>(window, "Command2")));
    QVERIFY(m_env->messages->shown.empty());
    QCOMPARE(listed(window).size(), 41);
    QCOMPARE(listed(window).last(), QStringLiteral("Vervain"));
    QCOMPARE(testing::readKeywords(working(), QStringLiteral("tblspell")).size(), 41);
    QCOMPARE(reliability::integrityCheck(working()), QStringLiteral("ok"));
    // The copy that did not fit left nothing behind.
    QVERIFY(store::backupsOf(working()).isEmpty());
    QCOMPARE(everythingIn(store::backupFolder(working())), QStringList());
}

void FaultTest::replacedDiaryIsReadAfreshAndItsRowsAreNeverMistaken_data()
{
    QTest::addColumn<bool>("inPlace");
    QTest::newRow("another file renamed over it") << false;
    QTest::newRow("rewritten in place") << true;
}

void FaultTest::replacedDiaryIsReadAfreshAndItsRowsAreNeverMistaken()
{
    QFETCH(bool, inPlace);
    // Two diaries whose rows share their "Index" values but not their entries.
    const QString mine = m_env->root() + QStringLiteral("/mine.dll");
    const QString other = m_env->root() + QStringLiteral("/other.dll");
    QVERIFY(testing::writeEmptyDiary(mine));
    QVERIFY(testing::appendRows(mine, QStringLiteral("tblspell"),
                                {{"Sage", "Cleansing"}, {"Rue", "Protection"}, {"Yarrow", "Courage"}}));
    QVERIFY(testing::writeEmptyDiary(other));
    QVERIFY(testing::appendRows(other, QStringLiteral("tblspell"), {{"Oak", "Strength"}, {"Ash", "Healing"}}));
    BRIMVALE_UNWRAP(mineRows, testing::readRows(mine, QStringLiteral("tblspell")));
    BRIMVALE_UNWRAP(otherRows, testing::readRows(other, QStringLiteral("tblspell")));
    QCOMPARE(mineRows.size(), std::size_t(3));
    QCOMPARE(otherRows.size(), std::size_t(2));
    QCOMPARE(mineRows[1].index, otherRows[1].index);
    auto replaceWith = [&](const QString &source) {
        if (inPlace)
            return reliability::writeBytes(working(), reliability::bytesOf(source));
        const QString incoming = folder() + QStringLiteral("/incoming");
        if (!QFile::copy(source, incoming))
            return false;
        const auto pathOf = [](const QString &name) {
            const QByteArray utf8 = name.toUtf8();
            return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
        };
        std::error_code error;
        std::filesystem::rename(pathOf(incoming), pathOf(working()), error);
        return !error;
    };
    QVERIFY(QDir().mkpath(folder()));
    QVERIFY(QFile::copy(mine, working()));

    SectionWindow *window = reliability::enterSection(0);
    QVERIFY(window);
    QVERIFY(click(testing::control<QPushButton>(window, "Command1")));
    QCOMPARE(listed(window), (QStringList{"Sage", "Rue", "Yarrow"}));
    selectLine(window, 1);
    QCOMPARE(testing::meaningShown(window), QStringLiteral("Protection"));

    // Between two actions another program puts its own diary in place.
    QVERIFY(replaceWith(other));
    QVERIFY(click(testing::control<QPushButton>(window, "Command4")));
    testing::control<QLineEdit>(window, "txtKeyword")->setText(QStringLiteral("Rue, dried"));
    // Its row holds another entry now: Save asks, and the diary's entry is taken.
    m_env->messages->answers = {gui::Answer::Second};
    QVERIFY(click(testing::control<QPushButton>(window, "Command4")));
    QCOMPARE(window->mode(), Mode::Browsing);
    QCOMPARE(listed(window), (QStringList{"Oak", "Ash"}));
    BRIMVALE_UNWRAP(replaced, testing::readRows(working(), QStringLiteral("tblspell")));
    QCOMPARE(replaced, otherRows);
    selectLine(window, 1);
    QCOMPARE(testing::control<QLineEdit>(window, "txtKeyword")->text(), QStringLiteral("Ash"));
    QCOMPARE(testing::meaningShown(window), QStringLiteral("Healing"));

    // And back: the selected "Ash" is not the row that now holds its place.
    QVERIFY(replaceWith(mine));
    QVERIFY(click(testing::control<QPushButton>(window, "Command3")));
    QCOMPARE(listed(window), (QStringList{"Sage", "Rue", "Yarrow"}));
    BRIMVALE_UNWRAP(restored, testing::readRows(working(), QStringLiteral("tblspell")));
    QCOMPARE(restored, mineRows);

    // A selection made before a reload shows nothing of the other diary's row at that place.
    QVERIFY(replaceWith(other));
    selectLine(window, 0);
    QVERIFY(testing::control<QLineEdit>(window, "txtKeyword")->text() != u"Oak"
            && testing::meaningShown(window) != u"Strength");
    testing::control<QPushButton>(window, "cmdRefresh")->click();
    QCOMPARE(listed(window), (QStringList{"Oak", "Ash"}));
    selectLine(window, 0);
    QCOMPARE(testing::meaningShown(window), QStringLiteral("Strength"));

    // New entries go to the diary that is there now.
    QVERIFY(click(testing::control<QPushButton>(window, "Command2")));
    QTest::keyClicks(testing::control<QLineEdit>(window, "txtKeyword"), QStringLiteral("Birch"));
    QTest::keyClicks(testing::control<QPlainTextEdit>(window, "txtMeaning"), QStringLiteral("Beginnings"));
    QVERIFY(click(testing::control<QPushButton>(window, "Command2")));
    QCOMPARE(listed(window), (QStringList{"Oak", "Ash", "Birch"}));
    QCOMPARE(testing::readKeywords(working(), QStringLiteral("tblspell")), (QStringList{"Oak", "Ash", "Birch"}));
    BRIMVALE_UNWRAP(untouched, testing::readRows(mine, QStringLiteral("tblspell")));
    QCOMPARE(untouched, mineRows);
    // Only the edit's question was asked.
    QCOMPARE(m_env->messages->shown.size(), std::size_t(1));
    QVERIFY(m_env->messages->shown.front().question);
}

void FaultTest::damagedDiaryIsReportedAndNeverTouched_data()
{
    QTest::addColumn<QString>("damage");
    QTest::newRow("zero-length") << "zero";
    QTest::newRow("cut inside the first page") << "cut-first";
    QTest::newRow("cut in half") << "cut-half";
    QTest::newRow("cut by one page") << "cut-page";
    QTest::newRow("garbage") << "garbage";
    QTest::newRow("byte flipped in the first page") << "flip-first";
    QTest::newRow("byte flipped in the middle") << "flip-middle";
    QTest::newRow("bit flipped in the last page") << "flip-last";
}

void FaultTest::damagedDiaryIsReportedAndNeverTouched()
{
    QFETCH(QString, damage);
    QVERIFY(testing::writeEmptyDiary(working()));
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblspell"),
                                {{"Sage", QString(3000, QLatin1Char('s'))},
                                 {"Rue", QString(3000, QLatin1Char('r'))},
                                 {"Yarrow", QString(3000, QLatin1Char('y'))}}));
    QByteArray bytes = reliability::bytesOf(working());
    const qsizetype page = 1024;
    QVERIFY(bytes.size() > 8 * page);
    if (damage == u"zero") {
        bytes.clear();
    } else if (damage == u"cut-first") {
        bytes.truncate(600);
    } else if (damage == u"cut-half") {
        bytes.truncate(bytes.size() / 2);
    } else if (damage == u"cut-page") {
        bytes.chop(page);
    } else if (damage == u"garbage") {
        for (qsizetype i = 0; i < bytes.size(); ++i)
            bytes[i] = char((i * 2654435761u) >> 13);
    } else if (damage == u"flip-first") {
        bytes[100] = char(~bytes[100]);
    } else if (damage == u"flip-middle") {
        bytes[bytes.size() / 2] = char(~bytes[bytes.size() / 2]);
    } else {
        bytes[bytes.size() - 200] = char(bytes[bytes.size() - 200] ^ 0x01);
    }
    QVERIFY(reliability::writeBytes(working(), bytes));
    const auto original = reliability::stateOf(working());
    const QString expected = kDamaged + QLatin1Char('\n') + QDir::toNativeSeparators(working());

    // Everything a user can try: load, open, select each line, add, edit, remove, reload.
    SectionWindow *window = reliability::enterSection(0);
    QVERIFY(window);
    QVERIFY(click(testing::control<QPushButton>(window, "Command1")));
    for (int line = 0; line < listed(window).size(); ++line)
        selectLine(window, line);

    QVERIFY(click(testing::control<QPushButton>(window, "Command2")));
    QTest::keyClicks(testing::control<QLineEdit>(window, "txtKeyword"), QStringLiteral("Vervain"));
    QTest::keyClicks(testing::control<QPlainTextEdit>(window, "txtMeaning"), QStringLiteral("Visions"));
    QVERIFY(click(testing::control<QPushButton>(window, "Command2")));
    QCOMPARE(m_env->messages->last(), expected);
    QCOMPARE(window->mode(), Mode::Adding);
    QCOMPARE(testing::control<QLineEdit>(window, "txtKeyword")->text(), QStringLiteral("Vervain"));
    QCOMPARE(testing::meaningShown(window), QStringLiteral("Visions"));
    // Emptying both boxes is the way out of adding.
    testing::control<QLineEdit>(window, "txtKeyword")->clear();
    testing::control<QPlainTextEdit>(window, "txtMeaning")->clear();
    QVERIFY(click(testing::control<QPushButton>(window, "Command2")));
    QCOMPARE(window->mode(), Mode::Browsing);

    if (!listed(window).isEmpty()) {
        selectLine(window, 0);
        QVERIFY(click(testing::control<QPushButton>(window, "Command4")));
        testing::control<QPlainTextEdit>(window, "txtMeaning")->setPlainText(QStringLiteral("changed"));
        QVERIFY(click(testing::control<QPushButton>(window, "Command4")));
        QCOMPARE(m_env->messages->last(), expected);
        QCOMPARE(window->mode(), Mode::Editing);
        QCOMPARE(testing::meaningShown(window), QStringLiteral("changed"));
        testing::control<QLineEdit>(window, "txtKeyword")->clear();
        testing::control<QPlainTextEdit>(window, "txtMeaning")->clear();
        QVERIFY(click(testing::control<QPushButton>(window, "Command4")));
        QCOMPARE(window->mode(), Mode::Browsing);
        selectLine(window, 0);
        QVERIFY(click(testing::control<QPushButton>(window, "Command3")));
        QCOMPARE(m_env->messages->last(), expected);
    }
    testing::control<QPushButton>(window, "cmdRefresh")->click();

    for (const QString &text : m_env->messages->texts())
        QVERIFY2(text == expected || text == kBothEmpty, qPrintable(text));
    QCOMPARE(reliability::stateOf(working()), original);
    // No journal, no backup of a damaged diary, nothing put in its place.
    QCOMPARE(everythingIn(folder()), QStringList{QStringLiteral("updatediary.dll")});
}

void FaultTest::damageWhileRunningIsFoundBeforeTheNextWrite()
{
    QVERIFY(testing::writeEmptyDiary(working()));
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblspell"),
                                {{"Sage", QString(3000, QLatin1Char('s'))},
                                 {"Rue", QString(3000, QLatin1Char('r'))},
                                 {"Yarrow", QString(3000, QLatin1Char('y'))}}));
    SectionWindow *window = reliability::enterSection(0);
    QVERIFY(window);
    QVERIFY(click(testing::control<QPushButton>(window, "Command1")));
    QVERIFY(click(testing::control<QPushButton>(window, "Command2")));
    QTest::keyClicks(testing::control<QLineEdit>(window, "txtKeyword"), QStringLiteral("Vervain"));
    QTest::keyClicks(testing::control<QPlainTextEdit>(window, "txtMeaning"), QStringLiteral("Visions"));
    QVERIFY(click(testing::control<QPushButton>(window, "Command2")));
    QCOMPARE(listed(window).size(), 4);

    // Another program flips 64 bytes in the middle of the file while Brimvale keeps running.
    QByteArray bytes = reliability::bytesOf(working());
    for (qsizetype i = bytes.size() / 2; i < bytes.size() / 2 + 64; ++i)
        bytes[i] = char(~bytes[i]);
    QVERIFY(reliability::writeBytes(working(), bytes));
    const auto damaged = reliability::stateOf(working());

    QVERIFY(click(testing::control<QPushButton>(window, "Command2")));
    QTest::keyClicks(testing::control<QLineEdit>(window, "txtKeyword"), QStringLiteral("Mugwort"));
    QTest::keyClicks(testing::control<QPlainTextEdit>(window, "txtMeaning"), QStringLiteral("Dreams"));
    QVERIFY(click(testing::control<QPushButton>(window, "Command2")));
    QCOMPARE(m_env->messages->last(),
             kDamaged + QLatin1Char('\n') + QDir::toNativeSeparators(working()) + QStringLiteral("\nNewest backup: ")
                 + QDir::toNativeSeparators(store::backupsOf(working()).value(0)));
    QCOMPARE(window->mode(), Mode::Adding);
    QCOMPARE(testing::control<QLineEdit>(window, "txtKeyword")->text(), QStringLiteral("Mugwort"));
    QCOMPARE(testing::meaningShown(window), QStringLiteral("Dreams"));
    QCOMPARE(reliability::stateOf(working()), damaged);
}

BRIMVALE_TEST_MAIN(FaultTest)

#include "tst_faults.moc"
