// Rolling backups: made before the first write of each run, whole, in order, the newest ten
// kept, never made of a damaged diary, never in the way of a write, and named in the message
// when the diary cannot be used, so that the user can put one back; listed as the user sees them
// and put back whole, only once checked, the diary of the moment kept as a backup first.

#include "checks.h"
#include "controls.h"
#include "diaryfiles.h"
#include "environment.h"
#include "mounts.h"
#include "reliability.h"
#include "testmain.h"

#include "core/store/backups.h"
#include "core/store/checkahead.h"
#include "core/store/diarykey.h"
#include "core/store/history.h"
#include "core/store/newfile.h"
#include "core/store/password.h"
#include "core/store/restore.h"
#include "core/store/store.h"
#include "core/store/storeprobe.h"
#include "gui/windows/sectionwindow.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlcipher/sqlite3.h>

#include <chrono>
#include <memory>
#include <thread>

#ifdef Q_OS_LINUX
#include <sys/inotify.h>
#include <unistd.h>
#endif
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using reliability::click;
using reliability::listed;
using store::FailureKind;
using store::Table;

namespace {
QStringList fileNames(const QStringList &paths)
{
    QStringList names;
    for (const QString &path : paths)
        names << QFileInfo(path).fileName();
    return names;
}

QStringList spells(const QString &path)
{
    return testing::readKeywords(path, QStringLiteral("tblspell"));
}

bool add(const QString &path, const QString &keyword)
{
    return store::addEntry(path, Table::Spell, {keyword, QStringLiteral("meaning of ") + keyword}).ok();
}

// The History window's lines, newest first, in the locale whose short format is 08/12/2026 18:23.
QStringList historyLines(const QString &path)
{
    const QLocale was;
    QLocale::setDefault(QLocale(QStringLiteral("en_GB")));
    QStringList lines;
    const auto changes = store::history::readChanges(path);
    for (const store::history::Change &change : changes.ok() ? *changes : std::vector<store::history::Change>())
        lines << store::history::describe(change);
    QLocale::setDefault(was);
    return lines;
}

// A copy of a diary under a password of its own, as a backup kept from before a password change is.
bool copyUnderPassword(const QString &from, const QString &to, const QString &password)
{
    if (!QFile::copy(from, to))
        return false;
    const auto opened = reliability::openUnder(to, QString());
    const auto key = store::userKey(password, store::saltOf(to));
    return opened && key && sqlite3_rekey(opened->get(), key->data(), key->size()) == SQLITE_OK;
}

// Every file's bytes, by path.
std::map<QString, QByteArray> bytesOfEach(const QStringList &paths)
{
    std::map<QString, QByteArray> bytes;
    for (const QString &path : paths)
        bytes[path] = reliability::bytesOf(path);
    return bytes;
}

// What kind of entry stands at path, links not followed.
QString kindOf(const QString &path)
{
    const QFileInfo entry(path);
    if (entry.isSymLink())
        return QStringLiteral("link");
    if (entry.isDir())
        return QStringLiteral("folder");
    if (entry.isFile())
        return QStringLiteral("file");
    return entry.exists() ? QStringLiteral("other") : QStringLiteral("nothing");
}

bool makePipe(const QString &path)
{
#ifdef Q_OS_UNIX
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
#else
    Q_UNUSED(path);
    return false;
#endif
}

// Damage in a page that opening the file does not read: the end of a long meaning.
bool damageLatePage(const QString &path)
{
    QByteArray bytes = reliability::bytesOf(path);
    bytes[bytes.size() - 300] = char(bytes[bytes.size() - 300] ^ 0x10);
    return reliability::writeBytes(path, bytes);
}
} // namespace

class BackupTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { store::probe::setPasswordCost(1, 8192); }
    void init()
    {
        store::probe::startNewRun();
        m_dir = std::make_unique<QTemporaryDir>();
        m_path = m_dir->filePath(QStringLiteral("updatediary.dll"));
        QVERIFY(testing::writeEmptyDiary(m_path));
    }
    void cleanup()
    {
        platform::installed().clock.reset();
        platform::installed().passwordPrompt.reset();
        QCOMPARE(testing::openFilesUnder(m_dir->path()), 0);
        m_dir.reset();
    }

    void firstWriteOfEachRunKeepsTheDiaryAsItWas();
    void firstSaveUsesTheCheckMadeAheadOfIt_data();
    void firstSaveUsesTheCheckMadeAheadOfIt();
    void newestTenAreKeptAndNothingElseIsTouched();
    void neverMoreThanTenWhereverTheProgramIsStopped();
    void namesFollowTheClockAndStayInOrderWhateverItSays();
    void damagedDiaryIsNotWrittenAndPushesNoGoodBackupOut();
    void backupThatCannotBeMadeDoesNotStopTheWrite();
    void messagesNameTheNewestBackupWhichRestoresTheDiary();
    void summaryListsNewestFirstWithoutAskingOrWriting();
    void restoreBringsTheBackupBackAndCanItselfBeTakenBack();
    void damagedDiaryIsKeptApartWhenABackupIsRestored();
    void backupUnderAnotherPasswordIsAskedForByName_data();
    void backupUnderAnotherPasswordIsAskedForByName();
    void fileThatIsNoWholeDiaryIsNotRestored_data();
    void fileThatIsNoWholeDiaryIsNotRestored();
    void restoreCostsNoBackup_data();
    void restoreCostsNoBackup();
    void namesInUseStopNoBackup_data();
    void namesInUseStopNoBackup();
    void superJournalsGoOnceNoJournalNeedsThem_data();
    void superJournalsGoOnceNoJournalNeedsThem();
    void linkedDiaryStaysALink_data();
    void linkedDiaryStaysALink();

private:
    // The diary, its backups and what else lies beside it, as a restore that fails must leave them.
    QStringList diaryAndBackups() const
    {
        return testing::stateOf(m_path) + testing::stateOf(store::backupFolder(m_path))
            + QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    fakes::PasswordPrompt *installPrompt(const QStringList &answers)
    {
        auto *prompt = new fakes::PasswordPrompt;
        prompt->answers.assign(answers.begin(), answers.end());
        platform::installed().passwordPrompt.reset(prompt);
        return prompt;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void BackupTest::firstWriteOfEachRunKeepsTheDiaryAsItWas()
{
    QVERIFY(testing::appendRows(m_path, QStringLiteral("tblspell"), {{"Sage", "Cleansing"}}));
    QCOMPARE(store::backupFolder(m_path), m_dir->filePath(QStringLiteral("backups")));

    // Reading is no reason for a copy.
    QVERIFY(store::readKeywords(m_path, Table::Spell).ok());
    QVERIFY(store::readEntry(m_path, Table::Spell, 1).ok());
    QVERIFY(!QFileInfo::exists(store::backupFolder(m_path)));

    const QString before = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QVERIFY(add(m_path, QStringLiteral("Rue")));
    const QString after = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QVERIFY(add(m_path, QStringLiteral("Yarrow")));
    QVERIFY(store::removeEntry(m_path, Table::Spell, 1).ok());
    QStringList backups = store::backupsOf(m_path);
    QCOMPARE(backups.size(), 1);
    const QRegularExpression name(QStringLiteral("^updatediary-(\\d{8}-\\d{6})\\.dll$"));
    const auto match = name.match(QFileInfo(backups[0]).fileName());
    QVERIFY2(match.hasMatch(), qPrintable(backups[0]));
    QVERIFY(match.captured(1) >= before && match.captured(1) <= after);
    QCOMPARE(spells(backups[0]), QStringList{QStringLiteral("Sage")});
    QCOMPARE(reliability::integrityCheck(backups[0]), QStringLiteral("ok"));

    // The next run copies the diary as that run found it.
    store::probe::startNewRun();
    BRIMVALE_UNWRAP(updated,
                    store::updateEntry(m_path, Table::Spell, 2, {QStringLiteral("Rue"), QStringLiteral("dried")}));
    QVERIFY(updated);
    backups = store::backupsOf(m_path);
    QCOMPARE(backups.size(), 2);
    QVERIFY(backups[0] < backups[1]);
    QCOMPARE(spells(backups[1]), (QStringList{"Rue", "Yarrow"}));
    BRIMVALE_UNWRAP(copied, testing::readRows(backups[1], QStringLiteral("tblspell")));
    QCOMPARE(copied.size(), std::size_t(2));
    QCOMPARE(copied[0].meaning, QStringLiteral("meaning of Rue"));
    // Nothing half-made stays in the folder.
    QCOMPARE(QDir(store::backupFolder(m_path)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             fileNames(backups));
}

void BackupTest::firstSaveUsesTheCheckMadeAheadOfIt_data()
{
    QTest::addColumn<QString>("diary");
    QTest::newRow("sound, saved while the check runs") << "sound";
    QTest::newRow("damaged, saved while the check runs") << "damaged";
    QTest::newRow("changed by another program after the check") << "changed";
    QTest::newRow("sound, saved before the check's thread starts") << "late";
}

// The check and copy made off the window's thread after the first open stand for the first save's
// own, as long as the file is as they found it: that save waits for them, writes nothing into a
// damaged diary, and checks and copies again what another program changed since.
void BackupTest::firstSaveUsesTheCheckMadeAheadOfIt()
{
    QFETCH(QString, diary);
    QVERIFY(testing::appendRows(m_path, QStringLiteral("tblspell"), {{"Sage", "Cleansing"}}));
    if (diary == u"damaged") {
        QVERIFY(testing::appendRows(m_path, QStringLiteral("tblspell"), {{"Long", QString(20000, QLatin1Char('l'))}}));
        QVERIFY(damageLatePage(m_path));
    }
    const auto before = reliability::stateOf(m_path);
    const int checks = store::probe::wholeChecks();
    auto checkAhead = store::claimCheckAhead(m_path);
    QVERIFY(checkAhead);
    std::thread checking;
    if (diary == u"changed") {
        checkAhead();
        // Long enough to change the file's size, within the file system's clock tick too.
        QVERIFY(testing::appendRows(m_path, QStringLiteral("tblspell"), {{"Rue", QString(20000, QLatin1Char('r'))}}));
    } else if (diary == u"late") {
        checking = std::thread([checkAhead] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            checkAhead();
        });
    } else {
        store::probe::holdCheckAhead(true);
        checking = std::thread(checkAhead);
    }
    const auto added = store::addEntry(m_path, Table::Spell, {QStringLiteral("Yarrow"), QStringLiteral("Courage")});
    if (checking.joinable())
        checking.join();
    store::probe::holdCheckAhead(false);

    const QStringList backups = store::backupsOf(m_path);
    if (diary == u"damaged") {
        QVERIFY(!added.ok());
        QCOMPARE(added.failure().kind, FailureKind::Damaged);
        QCOMPARE(reliability::stateOf(m_path), before);
        QVERIFY(backups.isEmpty());
    } else {
        QVERIFY(added.ok());
        QCOMPARE(backups.size(), 1);
        const QStringList copied = diary == u"changed" ? QStringList{"Sage", "Rue"} : QStringList{"Sage"};
        QCOMPARE(spells(backups[0]), copied);
        // A save after a check that still stands for the file checks nothing itself.
        QCOMPARE(store::probe::wholeChecks() - checks, diary == u"changed" ? 2 : 1);
    }
    QCOMPARE(QDir(store::backupFolder(m_path)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             fileNames(backups));
}

void BackupTest::newestTenAreKeptAndNothingElseIsTouched()
{
    const QString folder = store::backupFolder(m_path);
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/updatediary-20000101-000000.dll")));
    const QStringList foreign{QStringLiteral("notes.txt"), QStringLiteral("updatediary-old.dll"),
                              QStringLiteral("updatediary-2026.dll"), QStringLiteral("other-20000101-000000.dll"),
                              QStringLiteral("updatediary-20000101-000000.dll.txt")};
    for (const QString &name : foreign)
        QVERIFY(reliability::writeBytes(folder + QLatin1Char('/') + name, "the user's own"));
    // What a run ended in the middle of a copy leaves behind.
    QVERIFY(reliability::writeBytes(folder + QStringLiteral("/.updatediary-Ab12Cd.part"), "half a diary"));

    // Ten, the number README promises the user.
    constexpr int kRuns = 13;
    for (int run = 0; run < kRuns; ++run) {
        store::probe::startNewRun();
        QVERIFY(add(m_path, QStringLiteral("entry %1").arg(run)));
        QVERIFY(add(m_path, QStringLiteral("second %1").arg(run)));
    }
    const QStringList backups = store::backupsOf(m_path);
    QCOMPARE(backups.size(), 10);
    // Run r copied the diary with the 2r entries of the runs before it: the three oldest are gone.
    for (int i = 0; i < backups.size(); ++i) {
        QCOMPARE(spells(backups[i]).size(), 2 * (i + 3));
        if (i > 0)
            QVERIFY(backups[i - 1] < backups[i]);
    }
    QStringList expected =
        foreign + fileNames(backups) + QStringList{QStringLiteral("updatediary-20000101-000000.dll")};
    expected.sort();
    QStringList present = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    present.sort();
    QCOMPARE(present, expected);
    for (const QString &name : foreign)
        QCOMPARE(reliability::bytesOf(folder + QLatin1Char('/') + name), QByteArray("the user's own"));
}

// Every prefix of the folder's changes during a backup is what a kill at that moment leaves, so
// the count after each change is the count on disk at every instant a crash could freeze.
void BackupTest::neverMoreThanTenWhereverTheProgramIsStopped()
{
#ifdef Q_OS_LINUX
    for (int run = 0; run < store::kBackupsKept; ++run) {
        store::probe::startNewRun();
        QVERIFY(add(m_path, QStringLiteral("entry %1").arg(run)));
    }
    QCOMPARE(store::backupsOf(m_path).size(), store::kBackupsKept);

    const int watcher = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watcher >= 0);
    const auto closeWatcher = qScopeGuard([watcher] { ::close(watcher); });
    QVERIFY(inotify_add_watch(watcher, QFile::encodeName(store::backupFolder(m_path)).constData(),
                              IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO)
            >= 0);
    store::probe::startNewRun();
    QVERIFY(add(m_path, QStringLiteral("one more")));

    const QRegularExpression backupName(QStringLiteral("^updatediary-\\d{8}-\\d{6}\\.dll$"));
    qsizetype count = store::kBackupsKept;
    qsizetype most = count;
    QStringList changes;
    alignas(inotify_event) char buffer[16384];
    for (ssize_t length; (length = ::read(watcher, buffer, sizeof buffer)) > 0;) {
        for (char *at = buffer; at < buffer + length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(at);
            at += sizeof(inotify_event) + event->len;
            const QString name = QFile::decodeName(event->len ? event->name : "");
            if (!backupName.match(name).hasMatch())
                continue;
            count += (event->mask & (IN_CREATE | IN_MOVED_TO)) ? 1 : -1;
            most = std::max(most, count);
            changes << QStringLiteral("%1 %2 -> %3")
                           .arg((event->mask & (IN_CREATE | IN_MOVED_TO)) ? "+" : "-", name)
                           .arg(count);
        }
    }
    QVERIFY2(most <= 10, qPrintable(changes.join(QLatin1Char('\n'))));
    QCOMPARE(count, 10);
    QCOMPARE(store::backupsOf(m_path).size(), 10);
    QCOMPARE(spells(store::backupsOf(m_path).constLast()).size(), store::kBackupsKept);
#else
    QSKIP("watching a folder's changes needs inotify");
#endif
}

void BackupTest::namesFollowTheClockAndStayInOrderWhateverItSays()
{
    auto *clock = new fakes::Clock;
    platform::installed().clock.reset(clock);
    clock->moment = QDateTime(QDate(2026, 12, 7), QTime(21, 15, 30));
    QVERIFY(add(m_path, QStringLiteral("Sage")));
    // A clock set back, then a second run within the same second.
    clock->advance(-3600);
    store::probe::startNewRun();
    QVERIFY(add(m_path, QStringLiteral("Rue")));
    store::probe::startNewRun();
    QVERIFY(add(m_path, QStringLiteral("Yarrow")));
    // A copy named by a clock that once ran far ahead (or is read in another time zone).
    const QString ahead = store::backupFolder(m_path) + QStringLiteral("/updatediary-20991231-235959.dll");
    QVERIFY(QFile::copy(m_path, ahead));
    clock->advance(3600);
    for (int run = 0; run < 2; ++run) {
        store::probe::startNewRun();
        QVERIFY(add(m_path, QStringLiteral("Vervain %1").arg(run)));
    }
    QCOMPARE(fileNames(store::backupsOf(m_path)),
             (QStringList{"updatediary-20261207-211530.dll", "updatediary-20261207-211531.dll",
                          "updatediary-20261207-211532.dll", "updatediary-20991231-235959.dll",
                          "updatediary-21000101-000000.dll", "updatediary-21000101-000001.dll"}));
    QCOMPARE(spells(store::backupsOf(m_path).last()), (QStringList{"Sage", "Rue", "Yarrow", "Vervain 0"}));
}

void BackupTest::damagedDiaryIsNotWrittenAndPushesNoGoodBackupOut()
{
    for (int run = 0; run < 3; ++run) {
        store::probe::startNewRun();
        QVERIFY(add(m_path, QStringLiteral("entry %1").arg(run)));
    }
    const QStringList good = store::backupsOf(m_path);
    QCOMPARE(good.size(), 3);
    std::vector<QByteArray> goodBytes;
    for (const QString &backup : good)
        goodBytes.push_back(reliability::bytesOf(backup));

    // Damage in a page that no read has reached yet: the end of a long meaning.
    QVERIFY(testing::appendRows(m_path, QStringLiteral("tblspell"), {{"Long", QString(20000, QLatin1Char('l'))}}));
    QByteArray bytes = reliability::bytesOf(m_path);
    bytes[bytes.size() - 300] = char(bytes[bytes.size() - 300] ^ 0x10);
    QVERIFY(reliability::writeBytes(m_path, bytes));
    const auto damaged = reliability::stateOf(m_path);
    QVERIFY(store::readKeywords(m_path, Table::Rituals).ok());

    for (int run = 0; run < store::kBackupsKept + 2; ++run) {
        store::probe::startNewRun();
        const auto added =
            store::addEntry(m_path, Table::Rituals, {QStringLiteral("Yule"), QStringLiteral("Solstice")});
        QVERIFY(!added.ok());
        QCOMPARE(added.failure().kind, FailureKind::Damaged);
        QCOMPARE(store::message(added.failure()),
                 QStringLiteral("The diary file is damaged or the password is wrong.\n%1\nNewest backup: %2")
                     .arg(QDir::toNativeSeparators(m_path), QDir::toNativeSeparators(good.last())));
        // Refused again on the next write of the same run, too.
        QVERIFY(!store::removeEntry(m_path, Table::Spell, 1).ok());
    }
    QCOMPARE(reliability::stateOf(m_path), damaged);
    QCOMPARE(store::backupsOf(m_path), good);
    for (qsizetype i = 0; i < good.size(); ++i)
        QCOMPARE(reliability::bytesOf(good[i]), goodBytes[std::size_t(i)]);
}

void BackupTest::backupThatCannotBeMadeDoesNotStopTheWrite()
{
    // Something that is not a folder stands where the backups go.
    QVERIFY(reliability::writeBytes(store::backupFolder(m_path), "not a folder"));
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("^No backup of .*updatediary.dll was made: ")));
    QVERIFY(add(m_path, QStringLiteral("Sage")));
    // Tried once in a run, not before every write.
    QVERIFY(add(m_path, QStringLiteral("Rue")));
    QCOMPARE(spells(m_path), (QStringList{"Sage", "Rue"}));
    QCOMPARE(reliability::bytesOf(store::backupFolder(m_path)), QByteArray("not a folder"));
}

void BackupTest::messagesNameTheNewestBackupWhichRestoresTheDiary()
{
    testing::Environment env;
    const QString working = env.workingDiary();
    QVERIFY(testing::writeEmptyDiary(env.starterDiary()));
    QVERIFY(testing::writeEmptyDiary(working));
    QVERIFY(testing::appendRows(working, QStringLiteral("tblspell"), {{"Sage", "Cleansing"}, {"Rue", "Protection"}}));
    // An earlier run wrote once, so a backup of these two entries exists.
    QVERIFY(add(working, QStringLiteral("Yarrow")));
    const QStringList backups = store::backupsOf(working);
    QCOMPARE(backups.size(), 1);
    QCOMPARE(QFileInfo(backups[0]).absolutePath(), env.dataFolder() + QStringLiteral("/backups"));
    store::probe::startNewRun();

    QByteArray garbage(int(QFileInfo(working).size()), '\0');
    for (qsizetype i = 0; i < garbage.size(); ++i)
        garbage[i] = char(i * 131 + 7);
    QVERIFY(reliability::writeBytes(working, garbage));
    SectionWindow *window = reliability::enterSection(0);
    QVERIFY(window);
    QCOMPARE(env.messages->texts(),
             QStringList{QStringLiteral("The diary file is damaged or the password is wrong.\n%1\nNewest backup: %2")
                             .arg(QDir::toNativeSeparators(working), QDir::toNativeSeparators(backups[0]))});
    QCOMPARE(env.messages->shown.back().icon, gui::MessageIcon::Critical);

    QVERIFY(click(testing::control<QPushButton>(window, "Command1")));
    QVERIFY(QFile::remove(working));
    QVERIFY(click(testing::control<QPushButton>(window, "Command2")));
    QTest::keyClicks(testing::control<QLineEdit>(window, "txtKeyword"), QStringLiteral("Vervain"));
    QTest::keyClicks(testing::control<QPlainTextEdit>(window, "txtMeaning"), QStringLiteral("Visions"));
    QVERIFY(click(testing::control<QPushButton>(window, "Command2")));
    QCOMPARE(env.messages->last(),
             QStringLiteral("The diary file is missing.\n%1\nNewest backup: %2")
                 .arg(QDir::toNativeSeparators(working), QDir::toNativeSeparators(backups[0])));

    // README's way back: copy the newest backup over the diary. The typed entry is still there to save.
    QVERIFY(QFile::copy(backups[0], working));
    QVERIFY(click(testing::control<QPushButton>(window, "Command2")));
    QCOMPARE(window->mode(), SectionWindow::Mode::Browsing);
    QCOMPARE(listed(window), (QStringList{"Sage", "Rue", "Vervain"}));
    QCOMPARE(spells(working), (QStringList{"Sage", "Rue", "Vervain"}));
    QCOMPARE(env.messages->shown.size(), std::size_t(2));
}

void BackupTest::summaryListsNewestFirstWithoutAskingOrWriting()
{
    auto *clock = new fakes::Clock;
    platform::installed().clock.reset(clock);
    QVERIFY(testing::appendRows(m_path, QStringLiteral("tblrituals"), {{"Yule", "Solstice"}}));
    QVERIFY(add(m_path, QStringLiteral("Sage")));
    clock->advance(60);
    store::probe::startNewRun();
    QVERIFY(add(m_path, QStringLiteral("Rue")));
    // Put there by someone else: a damaged file, a diary under a password not given in this run,
    // and a copy whose name says no real time.
    const QString folder = store::backupFolder(m_path) + QLatin1Char('/');
    QVERIFY(reliability::writeBytes(folder + QStringLiteral("updatediary-20261207-211700.dll"), QByteArray(4096, 'x')));
    QVERIFY(copyUnderPassword(m_path, folder + QStringLiteral("updatediary-20261207-211800.dll"), "unknown"));
    const QString unnamed = folder + QStringLiteral("updatediary-20261399-000000.dll");
    QVERIFY(QFile::copy(m_path, unnamed));
    {
        QFile file(unnamed);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime(QDate(2026, 12, 1), QTime(8, 0)), QFileDevice::FileModificationTime));
    }
    auto *prompt = installPrompt({});
    const QStringList before = testing::stateOf(m_dir->path());

    QStringList seen;
    for (const store::BackupSummary &backup : store::summarizeBackups(m_path)) {
        QStringList counts;
        for (const qint64 count : backup.entries.value_or(std::array<qint64, 4>{}))
            counts << QString::number(count);
        seen << QStringLiteral("%1 %2 %3")
                    .arg(QFileInfo(backup.path).fileName(), backup.madeAt.toString(Qt::ISODate),
                         backup.readable ? counts.join(QLatin1Char(' ')) : QStringLiteral("unreadable"));
    }
    QCOMPARE(seen,
             (QStringList{"updatediary-20261207-211800.dll 2026-12-07T21:18:00 unreadable",
                          "updatediary-20261207-211700.dll 2026-12-07T21:17:00 unreadable",
                          "updatediary-20261207-211600.dll 2026-12-07T21:16:00 1 0 0 1",
                          "updatediary-20261207-211500.dll 2026-12-07T21:15:00 0 0 0 1",
                          "updatediary-20261399-000000.dll 2026-12-01T08:00:00 2 0 0 1"}));
    QCOMPARE(prompt->asked, 0);
    QCOMPARE(testing::stateOf(m_dir->path()), before);
}

void BackupTest::restoreBringsTheBackupBackAndCanItselfBeTakenBack()
{
    auto *clock = new fakes::Clock;
    platform::installed().clock.reset(clock);
    clock->moment = QDateTime(QDate(2026, 12, 8), QTime(18, 23));
    QVERIFY(testing::appendRows(m_path, QStringLiteral("tblspell"), {{"Sage", "Cleansing"}, {"Rue", "Protection"}}));
    QVERIFY(store::removeEntry(m_path, Table::Spell, 1).ok());
    for (int run = 0; run < store::kBackupsKept; ++run) {
        store::probe::startNewRun();
        QVERIFY(add(m_path, QStringLiteral("entry %1").arg(run)));
    }
    // The oldest of a full rotation, made at 18:23 on 8 December.
    const QString chosen = store::backupsOf(m_path).first();
    const auto chosenState = reliability::stateOf(chosen);
    BRIMVALE_UNWRAP(earlier, testing::readRows(chosen, QStringLiteral("tblspell")));
    BRIMVALE_UNWRAP(later, testing::readRows(m_path, QStringLiteral("tblspell")));
    const store::DiaryVersion version = store::versionOf(m_path);
    const QStringList chosenLines = historyLines(chosen);
    QCOMPARE(chosenLines, QStringList{QStringLiteral("Removed \u201cSage\u201d from Spell")});
    clock->moment = QDateTime(QDate(2026, 12, 9), QTime(7, 5));

    BRIMVALE_UNWRAP(restored, store::restoreBackup(m_path, chosen));
    const QString kept = restored.kept;
    QCOMPARE(testing::readRows(m_path, QStringLiteral("tblspell")), std::optional(earlier));
    // The restore is listed at its own time, above the backup's own history.
    QCOMPARE(historyLines(m_path), QStringList{"Restored the backup of 08/12/2026 18:23"} + chosenLines);
    BRIMVALE_UNWRAP(changes, store::history::readChanges(m_path));
    QCOMPARE(changes.front().at, clock->moment);
    // Undo Change says how a restore is taken back, and writes nothing.
    const QByteArray file = reliability::bytesOf(m_path);
    BRIMVALE_UNWRAP(undone, store::history::undo(m_path, changes.front().id));
    QVERIFY(!undone.change);
    QCOMPARE(undone.refusal,
             QStringLiteral("A restore is taken back by restoring the copy of the diary it kept, "
                            "which the Backups list shows."));
    QCOMPARE(reliability::bytesOf(m_path), file);
    QCOMPARE(reliability::integrityCheck(m_path), QStringLiteral("ok"));
    QVERIFY(store::versionOf(m_path) != version);
    QCOMPARE(store::backupsOf(m_path).size(), store::kBackupsKept);
    QVERIFY(store::everyBackupOf(m_path).contains(kept));
    QCOMPARE(testing::readRows(kept, QStringLiteral("tblspell")), std::optional(later));
    QVERIFY(!QFileInfo::exists(chosen) || reliability::stateOf(chosen) == chosenState);

    // Restoring the diary that was kept takes the restore back; the entry removed before stays gone.
    QVERIFY(store::restoreBackup(m_path, kept).ok());
    QCOMPARE(testing::readRows(m_path, QStringLiteral("tblspell")), std::optional(later));
    BRIMVALE_UNWRAP(next, store::addEntry(m_path, Table::Spell, {QStringLiteral("Yarrow"), QStringLiteral("x")}));
    QCOMPARE(next, later.back().index + 1);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("updatediary.dll")});
}

void BackupTest::damagedDiaryIsKeptApartWhenABackupIsRestored()
{
    QVERIFY(testing::appendRows(m_path, QStringLiteral("tblspell"), {{"Long", QString(20000, QLatin1Char('l'))}}));
    for (int run = 0; run < store::kBackupsKept; ++run) {
        store::probe::startNewRun();
        QVERIFY(add(m_path, QStringLiteral("entry %1").arg(run)));
    }
    const QStringList backups = store::backupsOf(m_path);
    QVERIFY(damageLatePage(m_path));
    const QByteArray damaged = reliability::bytesOf(m_path);

    BRIMVALE_UNWRAP(restored, store::restoreBackup(m_path, backups.last()));
    const QString kept = restored.kept;
    QCOMPARE(spells(m_path), spells(backups.last()));
    // Kept byte for byte for whatever can still be read from it, and no good backup pushed out.
    QCOMPARE(reliability::bytesOf(kept), damaged);
    QVERIFY(store::everyBackupOf(m_path).contains(kept));
    QCOMPARE(store::backupsOf(m_path), backups);
}

void BackupTest::backupUnderAnotherPasswordIsAskedForByName_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<bool>("given");
    QTest::newRow("given") << QStringList{"wrong", "older"} << true;
    QTest::newRow("refused") << QStringList{"wrong"} << false;
}

void BackupTest::backupUnderAnotherPasswordIsAskedForByName()
{
    QFETCH(QStringList, answers);
    QFETCH(bool, given);
    QVERIFY(add(m_path, QStringLiteral("Sage")));
    const QString older = m_dir->filePath(QStringLiteral("elsewhere/updatediary.dll"));
    QVERIFY(QDir().mkpath(QFileInfo(older).absolutePath()));
    QVERIFY(copyUnderPassword(m_path, older, QStringLiteral("older")));
    QVERIFY(add(m_path, QStringLiteral("Rue")));
    store::probe::forgetKeys();
    auto *prompt = installPrompt(answers);
    const QStringList before = diaryAndBackups();
    const auto olderState = reliability::stateOf(older);

    const auto restored = store::restoreBackup(m_path, older, store::PasswordChoice::Backups);
    QCOMPARE(prompt->diaries, QStringList{older});
    QCOMPARE(reliability::stateOf(older), olderState);
    QCOMPARE(restored.ok(), given);
    if (!given) {
        QCOMPARE(diaryAndBackups(), before);
        return;
    }
    // The diary has the backup's password now, and this run knows it without asking again.
    QCOMPARE(reliability::spellsUnder(m_path, QStringLiteral("older")), std::optional(QStringList{"Sage"}));
    QVERIFY(add(m_path, QStringLiteral("Yarrow")));
    QCOMPARE(prompt->asked, 1);
    QCOMPARE(reliability::spellsUnder(restored->kept, QString()), std::optional(QStringList{"Sage", "Rue"}));
}

void BackupTest::fileThatIsNoWholeDiaryIsNotRestored_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("damaged page") << "damaged";
    QTest::newRow("more than a diary") << "foreign";
    QTest::newRow("empty file") << "empty";
    QTest::newRow("the diary itself") << "itself";
    QTest::newRow("a link to the diary") << "link";
}

void BackupTest::fileThatIsNoWholeDiaryIsNotRestored()
{
    QFETCH(QString, kind);
    QVERIFY(testing::appendRows(m_path, QStringLiteral("tblspell"), {{"Long", QString(20000, QLatin1Char('l'))}}));
    QVERIFY(add(m_path, QStringLiteral("Sage")));
    QString file = m_dir->filePath(QStringLiteral("other.dll"));
    if (kind == u"itself")
        file = m_path;
    else if (kind == u"link") {
#ifdef Q_OS_WIN
        QSKIP("a link made by Qt on Windows is a shortcut, a file of its own that the file system does not follow");
#endif
        QVERIFY(QFile::link(m_path, file));
    } else if (kind == u"empty")
        QVERIFY(reliability::writeBytes(file, {}));
    else
        QVERIFY(QFile::copy(m_path, file));
    if (kind == u"damaged")
        QVERIFY(damageLatePage(file));
    if (kind == u"foreign")
        QVERIFY(testing::execute(file, QStringLiteral("CREATE TABLE notes (text)")));
    auto *prompt = installPrompt({});
    const QStringList before = diaryAndBackups();
    const auto fileState = reliability::stateOf(file);

    QVERIFY(!store::restoreBackup(m_path, file).ok());
    QCOMPARE(diaryAndBackups(), before);
    QCOMPARE(reliability::stateOf(file), fileState);
    QCOMPARE(prompt->asked, 0);
}

void BackupTest::restoreCostsNoBackup_data()
{
    QTest::addColumn<QString>("from");
    QTest::newRow("the newest backup") << "newest";
    QTest::newRow("the oldest backup") << "oldest";
    QTest::newRow("a backup of a lost diary") << "lost";
    QTest::newRow("a diary file that is no backup") << "other";
}

// Ten backups, a restore and a write, as the user tries backups in turn: every backup stays, and
// the only new file is the diary as it was before. Only a file that is no backup is backed up.
void BackupTest::restoreCostsNoBackup()
{
    QFETCH(QString, from);
    for (int run = 0; run < store::kBackupsKept; ++run) {
        store::probe::startNewRun();
        QVERIFY(add(m_path, QStringLiteral("entry %1").arg(run)));
    }
    const QStringList backups = store::backupsOf(m_path);
    QString file = from == u"newest" ? backups.last() : backups.first();
    if (from == u"lost") {
        const QString kept = store::backupFolder(m_path) + QStringLiteral("-kept-20261201-000000");
        file = kept + QStringLiteral("/updatediary-20261201-000000.dll");
        QVERIFY(QDir().mkpath(kept) && QFile::copy(backups[3], file));
    } else if (from == u"other") {
        file = m_dir->filePath(QStringLiteral("copy.dll"));
        QVERIFY(QFile::copy(backups[3], file));
    }
    const auto before = bytesOfEach(store::everyBackupOf(m_path));
    const QStringList current = spells(m_path);

    BRIMVALE_UNWRAP(restored, store::restoreBackup(m_path, file));
    QCOMPARE(spells(restored.kept), current);
    QString tried = file;
    if (from != u"other") {
        // The diary is the backup put back: trying the next one keeps no copy of it.
        tried = backups[1];
        BRIMVALE_UNWRAP(again, store::restoreBackup(m_path, tried));
        QCOMPARE(again.kept, file);
    }
    QVERIFY(add(m_path, QStringLiteral("after")));

    QStringList made = store::everyBackupOf(m_path);
    made.removeIf([&](const QString &backup) { return before.count(backup); });
    if (from == u"other") {
        // Backed up by the next write, as a run's first write backs the diary up.
        QCOMPARE(made, (QStringList{store::backupsOf(m_path).last(), restored.kept}));
        QCOMPARE(spells(store::backupsOf(m_path).last()), spells(file));
        QCOMPARE(store::backupsOf(m_path).size(), store::kBackupsKept);
        return;
    }
    QCOMPARE(made, QStringList{restored.kept});
    QCOMPARE(spells(m_path), spells(tried) + QStringList{QStringLiteral("after")});
    for (const auto &[backup, bytes] : before)
        QVERIFY2(reliability::bytesOf(backup) == bytes, qPrintable(backup));
}

void BackupTest::namesInUseStopNoBackup_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<QString>("firstName");
    QTest::newRow("a pipe at the next name") << "pipe"
                                             << "21000101-000001";
    QTest::newRow("a folder at the next name") << "folder"
                                               << "21000101-000001";
    QTest::newRow("a dangling link at the next name") << "dangling link"
                                                      << "21000101-000001";
    QTest::newRow("a name that says no real time") << "unreal"
                                                   << "20270101-000000";
    QTest::newRow("a link to a pipe with a backup's name") << "link to a pipe"
                                                           << "20261207-211501";
}

// Whatever stands in the backups folder under a backup's name, later backups are made and pruned
// around it, and nothing but an ordinary file is ever taken for a backup or opened.
void BackupTest::namesInUseStopNoBackup()
{
    QFETCH(QString, obstacle);
    QFETCH(QString, firstName);
#ifndef Q_OS_UNIX
    QSKIP("needs named pipes and symbolic links in a folder");
#endif
    platform::installed().clock.reset(new fakes::Clock);
    QVERIFY(add(m_path, QStringLiteral("Sage")));
    const QString named = store::backupFolder(m_path) + QStringLiteral("/updatediary-%1.dll");
    // A copy named by a clock far ahead, and something else at the name after it.
    QString standing = named.arg(QStringLiteral("21000101-000000"));
    if (obstacle == u"unreal")
        QVERIFY(QFile::copy(m_path, named.arg(QStringLiteral("20261399-000000"))));
    else if (obstacle != u"link to a pipe")
        QVERIFY(QFile::copy(m_path, named.arg(QStringLiteral("20991231-235959"))));
    if (obstacle == u"pipe")
        QVERIFY(makePipe(standing));
    else if (obstacle == u"folder")
        QVERIFY(QDir().mkpath(standing));
    else if (obstacle == u"dangling link")
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("gone.dll")), standing));
    else if (obstacle == u"link to a pipe") {
        standing = named.arg(QStringLiteral("20261201-000000"));
        QVERIFY(makePipe(m_dir->filePath(QStringLiteral("pipe"))));
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("pipe")), standing));
    }
    const QString kind = kindOf(standing);

    constexpr int kRuns = store::kBackupsKept + 2;
    for (int run = 0; run < kRuns; ++run) {
        store::probe::startNewRun();
        QVERIFY(add(m_path, QStringLiteral("run %1").arg(run)));
    }
    // The clock stands still: each run's copy is named a second after the one before.
    const QDateTime first = QDateTime::fromString(firstName, QStringLiteral("yyyyMMdd-HHmmss"));
    QStringList newest;
    for (int run = kRuns - store::kBackupsKept; run < kRuns; ++run)
        newest << named.arg(first.addSecs(run).toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QCOMPARE(store::backupsOf(m_path), newest);
    QCOMPARE(spells(newest.last()).size(), kRuns);
    QCOMPARE(kindOf(standing), kind);
    for (const QString &backup : store::everyBackupOf(m_path))
        QVERIFY2(QFileInfo(backup).isFile(), qPrintable(backup));
}

// What a change written into two files at once leaves when it is stopped in its commit: the
// super-journal beside the first file, naming the journals of both. It goes with the partial
// file it was for, and stays while a journal it names is there to be rolled back.
void BackupTest::superJournalsGoOnceNoJournalNeedsThem_data()
{
    QTest::addColumn<bool>("checkedAhead");
    QTest::newRow("first save checks the diary itself") << false;
    QTest::newRow("first save after the check made ahead of it") << true;
}

void BackupTest::superJournalsGoOnceNoJournalNeedsThem()
{
    QFETCH(bool, checkedAhead);
    QVERIFY(add(m_path, QStringLiteral("Sage")));
    const QString backup = store::backupsOf(m_path).first();
    const QString folder = store::backupFolder(m_path) + QLatin1Char('/');
    const QString partial = folder + QStringLiteral(".updatediary-Ab12Cd.part");
    const QString stopped = backup + QStringLiteral("-mj1A2B3C9D4");
    const QString needed = backup + QStringLiteral("-mjABCDEF901");
    const QString othersJournal = folder + QStringLiteral("notes.db-journal");
    const QString others = folder + QStringLiteral("notes.db-mj1234569AB");
    const auto names = [](const QStringList &journals) { return QFile::encodeName(journals.join(QChar())) + '\0'; };
    QVERIFY(QFile::copy(m_path, partial));
    QVERIFY(reliability::writeBytes(partial + QStringLiteral("-journal"), "a hot journal"));
    QVERIFY(reliability::writeBytes(
        stopped, names({backup + QStringLiteral("-journal"), partial + QStringLiteral("-journal")})));
    QVERIFY(reliability::writeBytes(othersJournal, "another program's"));
    QVERIFY(reliability::writeBytes(needed, names({othersJournal})));
    QVERIFY(reliability::writeBytes(others, names({folder + QStringLiteral("gone-journal")})));
#ifdef Q_OS_UNIX
    const QString pipe = backup + QStringLiteral("-mj0000009FF");
    QVERIFY(makePipe(pipe));
#endif

    store::probe::startNewRun();
    if (checkedAhead)
        store::claimCheckAhead(m_path)();
    QVERIFY(add(m_path, QStringLiteral("Rue")));
    QCOMPARE(kindOf(stopped), QStringLiteral("nothing"));
    QCOMPARE(kindOf(partial + QStringLiteral("-journal")), QStringLiteral("nothing"));
    QCOMPARE(kindOf(needed), QStringLiteral("file"));
    QCOMPARE(kindOf(others), QStringLiteral("file"));
#ifdef Q_OS_UNIX
    QCOMPARE(kindOf(pipe), QStringLiteral("other"));
#endif
    QCOMPARE(store::backupsOf(m_path).size(), 2);
}

void BackupTest::linkedDiaryStaysALink_data()
{
    QTest::addColumn<QString>("write");
    QTest::addColumn<QString>("link");
    for (const char *write : {"restore", "password", "new version"})
        for (const char *link : {"link", "chain of links", "link to another file system", "dangling link"})
            if (QByteArray(write) == "restore" || QByteArray(link) != "dangling link")
                QTest::addRow("%s through a %s", write, link)
                    << QString::fromLatin1(write) << QString::fromLatin1(link);
}

// The diary kept in a synced folder, with a link to it in the data folder: a write that replaces
// the diary replaces the file in the synced folder, in one step, and every link stays.
void BackupTest::linkedDiaryStaysALink()
{
    QFETCH(QString, write);
    QFETCH(QString, link);
#ifndef Q_OS_UNIX
    QSKIP("a link made by Qt on Windows is a shortcut, a file of its own that the file system does not follow");
#endif
    const QString synced = m_dir->filePath(QStringLiteral("synced"));
    QVERIFY(QDir().mkpath(synced));
    std::optional<testing::Mount> disk;
    if (link == u"link to another file system") {
        disk.emplace(testing::Mount::small(synced, 4096));
        if (!disk->ok())
            QSKIP(qPrintable(disk->error()));
    }
    const QString target = synced + QStringLiteral("/diary.db");
    QVERIFY(QFile::copy(m_path, target) && QFile::remove(m_path));
    QStringList links{m_path};
    if (link == u"chain of links") {
        links << m_dir->filePath(QStringLiteral("middle.dll"));
        // Relative, as a link made in the folder itself is.
        QVERIFY(QFile::link(QStringLiteral("synced/diary.db"), links.last()));
    }
    QVERIFY(QFile::link(links.size() > 1 ? links.last() : target, m_path));
    QVERIFY(add(m_path, QStringLiteral("Sage")));
    QVERIFY(add(m_path, QStringLiteral("Rue")));
    const QString backup = store::backupsOf(m_path).value(0);
    QCOMPARE(QFileInfo(backup).absolutePath(), m_dir->filePath(QStringLiteral("backups")));
    if (link == u"dangling link")
        QVERIFY(QFile::remove(target));

    if (write == u"restore") {
        BRIMVALE_UNWRAP(restored, store::restoreBackup(m_path, backup));
        QCOMPARE(spells(target), QStringList());
        if (link != u"dangling link")
            QCOMPARE(spells(restored.kept), (QStringList{"Sage", "Rue"}));
    } else if (write == u"new version") {
        // Made beside the link by a writer that does not know it is one: it takes the linked file's
        // place, or, from another file system, nothing changes.
        files::NewFile next(m_dir->path(), store::partialPattern(QStringLiteral("updatediary")));
        QVERIFY(!next.open() && !store::copyFileInto(backup, next.file()));
        const auto failed = next.replace(QFileInfo(m_path).fileName());
        QCOMPARE(failed.has_value(), link == u"link to another file system");
        QCOMPARE(spells(target), failed ? (QStringList{"Sage", "Rue"}) : QStringList());
    } else {
        BRIMVALE_UNWRAP(changed, store::changePassword(m_path, QString(), QStringLiteral("new")));
        QVERIFY(changed.backupsLeft.isEmpty());
        QCOMPARE(reliability::spellsUnder(target, QStringLiteral("new")), std::optional(QStringList{"Sage", "Rue"}));
        QCOMPARE(reliability::spellsUnder(backup, QStringLiteral("new")), std::optional(QStringList()));
    }
    for (const QString &each : links)
        QVERIFY2(QFileInfo(each).isSymLink(), qPrintable(each));
    QCOMPARE(QFileInfo(m_path).canonicalFilePath(), QFileInfo(target).canonicalFilePath());
    QCOMPARE(QDir(synced).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("diary.db")});
}

BRIMVALE_TEST_MAIN(BackupTest)

#include "tst_backups.moc"
