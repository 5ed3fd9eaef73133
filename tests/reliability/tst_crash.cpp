// The store killed at random moments while it adds, edits, removes entries and takes changes back,
// and while it puts backups back. The writer is this program run again as a child: it announces
// each write before it starts ("?") and reports it once the call has returned ("!"), each line in
// one write(2) so that no line is ever torn. After every SIGKILL the diary must open, pass PRAGMA
// integrity_check, hold every reported write and hold the one write in flight either whole or not
// at all; and its history, replayed from an empty diary, must give exactly the entries it holds.

#include "diaryfiles.h"
#include "environment.h"
#include "reliability.h"
#include "seed.h"

#include "core/identity.h"
#include "core/store/backups.h"
#include "core/store/history.h"
#include "core/store/restore.h"
#include "core/store/store.h"

#include <sqlcipher/sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <array>
#include <cstring>
#include <map>
#include <random>
#include <set>

#include <unistd.h>

using store::Table;

namespace {
QString g_selfPath;
constexpr int kKills = 60;
constexpr int kRestoreKills = 30;
constexpr int kLongestKillDelayMs = 250;
constexpr int kLongestMeaning = 6000;
constexpr std::array<Table, 2> kWrittenTables{Table::Spell, Table::Rituals};

// The meaning belongs to its keyword, which also says how long it is: "r3-n17-L4521".
QString meaningFor(const QString &keyword)
{
    const int length = keyword.section(QStringLiteral("-L"), -1).toInt();
    const QString unit = keyword + QStringLiteral(" \u263d \u00e9\n");
    QString meaning;
    meaning.reserve(length + unit.size());
    while (meaning.size() < length)
        meaning += unit;
    meaning.truncate(length);
    return meaning;
}

void say(const QString &line)
{
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    if (::write(STDOUT_FILENO, bytes.constData(), size_t(bytes.size())) != bytes.size())
        ::_exit(3);
}
} // namespace

// --crash-child <diary> <run> <seed>: writes until it is killed.
int runCrashChild(int argc, char **argv)
{
    if (argc < 5)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[2]);
    const int run = std::atoi(argv[3]);
    std::mt19937 random(std::uint32_t(std::strtoul(argv[4], nullptr, 10)));

    std::array<std::vector<qint64>, kWrittenTables.size()> indexes;
    for (std::size_t t = 0; t < kWrittenTables.size(); ++t) {
        const auto keywords = store::readKeywords(path, kWrittenTables[t]);
        if (!keywords.ok()) {
            say(QStringLiteral("x ") + store::message(keywords.failure()));
            return 2;
        }
        indexes[t] = keywords->indexes;
    }
    say(QStringLiteral("ready"));

    for (int n = 0;; ++n) {
        const std::size_t t = random() % kWrittenTables.size();
        const Table table = kWrittenTables[t];
        std::vector<qint64> &rows = indexes[t];
        const unsigned choice = random() % 12;
        const QString keyword = QStringLiteral("r%1-n%2-L%3").arg(run).arg(n).arg(1 + random() % kLongestMeaning);
        const store::Entry entry{keyword, meaningFor(keyword)};
        if (choice >= 10) {
            say(QStringLiteral("? U %1").arg(t));
            const auto undone = store::history::undoLastIn(path, table);
            const auto keywords = store::readKeywords(path, table);
            if (!undone.ok() || !keywords.ok()) {
                say(QStringLiteral("x ") + store::message(undone.ok() ? keywords.failure() : undone.failure()));
                return 2;
            }
            rows = keywords->indexes;
            say(QStringLiteral("! U %1 %2").arg(t).arg(undone->change.value_or(0)));
        } else if (choice < 5 || rows.empty()) {
            say(QStringLiteral("? A %1 %2").arg(t).arg(keyword));
            const auto added = store::addEntry(path, table, entry);
            if (!added.ok()) {
                say(QStringLiteral("x ") + store::message(added.failure()));
                return 2;
            }
            rows.push_back(*added);
            say(QStringLiteral("! A %1 %2").arg(t).arg(*added));
        } else {
            const std::size_t position = random() % rows.size();
            const qint64 index = rows[position];
            if (choice < 8) {
                say(QStringLiteral("? E %1 %2 %3").arg(t).arg(index).arg(keyword));
                const auto updated = store::updateEntry(path, table, index, entry);
                if (!updated.ok() || !*updated) {
                    say(QStringLiteral("x edit ")
                        + (updated.ok() ? QStringLiteral("found no row") : store::message(updated.failure())));
                    return 2;
                }
                say(QStringLiteral("! E %1 %2").arg(t).arg(index));
            } else {
                say(QStringLiteral("? R %1 %2").arg(t).arg(index));
                const auto removed = store::removeEntry(path, table, index);
                if (!removed.ok() || !*removed) {
                    say(QStringLiteral("x remove ")
                        + (removed.ok() ? QStringLiteral("found no row") : store::message(removed.failure())));
                    return 2;
                }
                rows.erase(rows.begin() + std::ptrdiff_t(position));
                say(QStringLiteral("! R %1 %2").arg(t).arg(index));
            }
        }
    }
}

// --restore-child <diary> <state> <file of state 0> <file of state 1>: puts the two files back in
// turn until it is killed, starting from the one the diary does not hold.
int runRestoreChild(int argc, char **argv)
{
    if (argc < 6)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[2]);
    const std::array<QString, 2> states{QString::fromLocal8Bit(argv[4]), QString::fromLocal8Bit(argv[5])};
    for (int state = std::atoi(argv[3]);;) {
        state = 1 - state;
        say(QStringLiteral("? %1").arg(state));
        const auto restored = store::restoreBackup(path, states[std::size_t(state)]);
        if (!restored.ok()) {
            say(QStringLiteral("x ") + store::message(restored.failure()));
            return 2;
        }
        say(QStringLiteral("! %1").arg(state));
    }
}

namespace {
// "Index" -> keyword, per written table.
using Model = std::array<std::map<qint64, QString>, kWrittenTables.size()>;

struct Pending {
    QChar kind; // 'A', 'E', 'R' or 'U'
    std::size_t table = 0;
    qint64 index = 0;
    QString keyword;
};

// The model with the entries of one change of the history as that change left them.
void applyChange(const QString &path, qint64 change, Model &model)
{
    const auto entries = store::history::readEntryChanges(path, change);
    QVERIFY(entries.ok());
    for (const store::history::EntryChange &entry : *entries) {
        const auto written = std::find(kWrittenTables.begin(), kWrittenTables.end(), entry.table);
        QVERIFY(written != kWrittenTables.end());
        auto &rows = model[std::size_t(written - kWrittenTables.begin())];
        if (entry.after)
            rows[entry.index] = entry.after->keyword;
        else
            rows.erase(entry.index);
    }
}

// The entries that the history gives when it is replayed from the empty diary, change by change.
Model replayedHistory(const QString &path)
{
    Model model;
    const auto opened = reliability::openUnder(path, QString());
    if (!opened)
        return model;
    auto rows = store::Statement::prepare(
        *opened, QStringLiteral("SELECT change_id FROM history_entries GROUP BY change_id ORDER BY change_id"));
    while (rows.ok() && rows->step() == SQLITE_ROW)
        applyChange(path, rows->integer(0), model);
    return model;
}

// Applies the child's reports to the model; gives the write that was announced but not reported.
std::optional<Pending> replay(const QString &path, const QByteArray &output, Model &model, int &confirmed,
                              std::set<qint64> &undos, QString &childError)
{
    std::optional<Pending> pending;
    for (const QByteArray &raw : output.split('\n')) {
        const QStringList words = QString::fromUtf8(raw).split(QLatin1Char(' '));
        if (words.first() == u"x") {
            childError = QString::fromUtf8(raw);
            continue;
        }
        if (words.size() < 3)
            continue;
        const std::size_t t = words[2].toULong();
        if (words[0] == u"?") {
            if (words[1] == u"U")
                pending = Pending{QLatin1Char('U'), t, 0, {}};
            else if (words[1] == u"A")
                pending = Pending{QLatin1Char('A'), t, 0, words[3]};
            else if (words[1] == u"E")
                pending = Pending{QLatin1Char('E'), t, words[3].toLongLong(), words[4]};
            else
                pending = Pending{QLatin1Char('R'), t, words[3].toLongLong(), {}};
        } else if (words[0] == u"!" && pending) {
            if (pending->kind == u'U') {
                applyChange(path, words[3].toLongLong(), model);
                undos.insert(words[3].toLongLong());
            } else if (pending->kind == u'A') {
                model[t][words[3].toLongLong()] = pending->keyword;
            } else if (pending->kind == u'E') {
                model[t][pending->index] = pending->keyword;
            } else {
                model[t].erase(pending->index);
            }
            pending.reset();
            ++confirmed;
        }
    }
    return pending;
}
} // namespace

class CrashTest : public QObject {
    Q_OBJECT

private slots:
    void killedWriterLosesNothing();
    void killedRestoreLeavesOneDiaryOrTheOther();
};

void CrashTest::killedWriterLosesNothing()
{
    if (testing::underWine())
        QSKIP(testing::kKillsNeedRealProcesses);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("updatediary.dll"));
    QVERIFY(testing::writeEmptyDiary(path));

    const testing::TestSeed seed;
    std::mt19937 random(seed.value());

    Model model;
    int kills = 0;
    int confirmed = 0;
    int inFlight = 0;
    int lost = 0;
    int journalsLeft = 0;
    int inFlightDone = 0;
    std::set<QString> checkedBackups;
    std::set<qint64> undos;
    int undosInFlight = 0;
    for (int run = 0; run < kKills; ++run) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(g_selfPath,
                    {QStringLiteral("--crash-child"), path, QString::number(run), QString::number(random())});
        QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));
        QByteArray output;
        while (!output.contains("ready\n") && !output.startsWith("x ")) {
            QVERIFY2(child.waitForReadyRead(60000), "the writer never got ready");
            output += child.readAllStandardOutput();
        }
        QThread::msleep(random() % (kLongestKillDelayMs + 1));
        child.kill();
        QVERIFY(child.waitForFinished(60000));
        output += child.readAllStandardOutput();
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        ++kills;

        QString childError;
        const std::optional<Pending> pending = replay(path, output, model, confirmed, undos, childError);
        QVERIFY2(childError.isEmpty(), qPrintable(childError));
        if (pending)
            ++inFlight;

        if (QFileInfo::exists(path + QStringLiteral("-journal")))
            ++journalsLeft;
        // The next run opens it as the program would, and every page is sound.
        for (Table table : kWrittenTables)
            QVERIFY2(store::readKeywords(path, table).ok(), qPrintable(QStringLiteral("run %1").arg(run)));
        QCOMPARE(reliability::integrityCheck(path), QStringLiteral("ok"));

        Model found;
        for (std::size_t t = 0; t < kWrittenTables.size(); ++t) {
            const auto rows = testing::readRows(path, store::tableName(kWrittenTables[t]));
            QVERIFY(rows);
            for (const testing::DiaryRow &row : *rows) {
                QVERIFY2(row.meaning == meaningFor(row.keyword), qPrintable(row.keyword));
                found[t][row.index] = row.keyword;
            }
        }
        // The write in flight is whole or absent; everything reported is there as reported.
        Model applied = model;
        if (pending) {
            auto &rows = applied[pending->table];
            if (pending->kind == u'U') {
                // An undo that was made is the newest change, and none reported.
                const auto changes = store::history::readChanges(path);
                QVERIFY(changes.ok());
                if (!changes->empty() && changes->front().kind == store::history::Kind::Undone
                    && !undos.count(changes->front().id))
                    applyChange(path, changes->front().id, applied);
                ++undosInFlight;
            } else if (pending->kind == u'A') {
                const auto &now = found[pending->table];
                if (!now.empty() && now.rbegin()->second == pending->keyword
                    && !model[pending->table].count(now.rbegin()->first))
                    rows[now.rbegin()->first] = pending->keyword;
            } else if (pending->kind == u'E') {
                rows[pending->index] = pending->keyword;
            } else {
                rows.erase(pending->index);
            }
        }
        if (found != model && found != applied) {
            for (std::size_t t = 0; t < model.size(); ++t)
                for (const auto &[index, keyword] : model[t])
                    if (!(pending && pending->table == t && pending->index == index)
                        && (!found[t].count(index) || found[t].at(index) != keyword))
                        ++lost;
            QFAIL(qPrintable(QStringLiteral("run %1: the diary differs from the reported writes; %2 entries lost")
                                 .arg(run)
                                 .arg(lost)));
        }
        if (pending && found == applied && found != model)
            ++inFlightDone;
        model = found;
        // The history holds every change whole, the undos with the rest: never one without the other.
        QVERIFY2(replayedHistory(path) == found, qPrintable(QStringLiteral("run %1: the history disagrees").arg(run)));

        // Every backup made so far is a whole diary; a copy cut short never carries a backup's name.
        const QStringList backups = store::backupsOf(path);
        QVERIFY2(backups.size() <= store::kBackupsKept,
                 qPrintable(QStringLiteral("run %1: %2 backups").arg(run).arg(backups.size())));
        for (const QString &backup : backups) {
            if (checkedBackups.count(backup))
                continue;
            QCOMPARE(reliability::integrityCheck(backup), QStringLiteral("ok"));
            QVERIFY(store::readKeywords(backup, Table::Spell).ok());
            checkedBackups.insert(backup);
        }
    }
    qInfo("kills survived: %d; writes reported before a kill: %d (%zu undos); kills during a write: %d (%d of them "
          "found whole, the rest absent; %d during an undo); kills that left a journal to roll back: %d; entries "
          "lost: %d; backups checked: %zu",
          kills, confirmed, undos.size(), inFlight, inFlightDone, undosInFlight, journalsLeft, lost,
          checkedBackups.size());
    QCOMPARE(kills, kKills);
    QVERIFY2(confirmed > kKills, "the writer hardly wrote between the kills");
    QCOMPARE(lost, 0);
}

void CrashTest::killedRestoreLeavesOneDiaryOrTheOther()
{
    if (testing::underWine())
        QSKIP(testing::kKillsNeedRealProcesses);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("updatediary.dll"));
    // Two diaries to put back in turn, large enough that a kill lands in every step of a restore.
    const std::array<QString, 2> states{dir.filePath(QStringLiteral("states/first.dll")),
                                        dir.filePath(QStringLiteral("states/second.dll"))};
    std::array<QStringList, 2> spells;
    for (std::size_t s = 0; s < states.size(); ++s) {
        QVERIFY(testing::writeEmptyDiary(states[s]));
        std::vector<std::pair<QString, QString>> rows;
        for (int i = 0; i < 150 + 100 * int(s); ++i) {
            spells[s] << QStringLiteral("state %1 spell %2").arg(s).arg(i);
            rows.emplace_back(spells[s].back(), QString(600, QChar(u'\u263d')));
        }
        QVERIFY(testing::appendRows(states[s], QStringLiteral("tblspell"), rows));
    }
    QVERIFY(QFile::copy(states[0], path));

    const testing::TestSeed seed;
    std::mt19937 random(seed.value());
    int current = 0;
    int restores = 0;
    int inFlight = 0;
    int inFlightDone = 0;
    std::set<QString> checkedBackups;
    for (int run = 0; run < kRestoreKills; ++run) {
        const reliability::KilledChild child = reliability::killAfter(
            g_selfPath, {QStringLiteral("--restore-child"), path, QString::number(current), states[0], states[1]},
            int(random() % (kLongestKillDelayMs + 1)));
        QVERIFY2(child.killed, "the child did not start, or did not end by the kill");
        QVERIFY2(child.failure.isEmpty(), child.failure.constData());
        current = child.last.value_or(current);
        restores += child.reported;
        const int pending = child.pending.value_or(-1);
        const QString where = QStringLiteral("run %1").arg(run);
        QVERIFY2(store::readKeywords(path, Table::Spell).ok(), qPrintable(where));
        QCOMPARE(reliability::integrityCheck(path), QStringLiteral("ok"));
        const QStringList found = testing::readKeywords(path, QStringLiteral("tblspell"));
        const int held = found == spells[0] ? 0 : found == spells[1] ? 1 : -1;
        QVERIFY2(held == current || (pending >= 0 && held == pending), qPrintable(where));
        if (pending >= 0) {
            ++inFlight;
            inFlightDone += held == pending;
        }
        current = held;

        // The diaries kept on the way are whole; a copy cut short never carries a backup's name, and
        // the next restore removes it.
        QVERIFY2(store::backupsOf(path).size() <= store::kBackupsKept, qPrintable(where));
        for (const QString &backup : store::everyBackupOf(path))
            if (checkedBackups.insert(backup).second)
                QCOMPARE(reliability::integrityCheck(backup), QStringLiteral("ok"));
        QVERIFY(QDir(dir.path()).entryList({QStringLiteral(".updatediary-*")}, QDir::Files | QDir::Hidden).size() <= 1);
    }
    qInfo("kills survived: %d; restores reported before a kill: %d; kills during a restore: %d (%d of them found "
          "restored, the rest not); backups checked: %zu",
          kRestoreKills, restores, inFlight, inFlightDone, checkedBackups.size());
    QVERIFY2(inFlight > kRestoreKills / 2, "the kills hardly ever came during a restore");
}

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--crash-child") == 0)
        return runCrashChild(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--restore-child") == 0)
        return runRestoreChild(argc, argv);
    // Where this program lies, to run it again as the writer. Taken from the command line, since
    // the system's own answer (/proc/self/exe) is not there in every sandbox.
    g_selfPath = QFileInfo(QFile::decodeName(argv[0])).absoluteFilePath();
    QCoreApplication application(argc, argv);
    app::setApplicationIdentity();
    CrashTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crash.moc"
