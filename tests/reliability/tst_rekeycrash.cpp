// The diary's password changed round and round, the process killed at random moments. The
// writer is this program run again as a child: it announces each change before it starts ("?")
// and reports it once the call has returned ("!"). After every SIGKILL the diary must open with
// the password it had before the change in flight or the one it was getting, pass
// PRAGMA integrity_check and hold every entry; every backup must open with one of the passwords
// and hold every entry too, and with the diary's own once the next start has opened the diary; an
// unfinished copy of the diary left by a kill goes with the next change.

#include "diaryfiles.h"
#include "environment.h"
#include "reliability.h"
#include "seed.h"

#include "core/identity.h"
#include "core/store/backups.h"
#include "core/store/password.h"
#include "core/store/store.h"
#include "core/store/storeprobe.h"

#include <sqlcipher/sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <random>

#include <unistd.h>

namespace {
QString g_selfPath;
constexpr int kKills = 36;
// Long enough for a kill to land in every step of a change: the new copy of the diary, its move into
// place and the backups after it.
constexpr int kLongestKillDelayMs = 500;
constexpr int kEntries = 200;
// Round and round: the built-in key, then two passwords of the user's own.
const QStringList kPasswords{QString(), QStringLiteral("first \u263d"), QStringLiteral("second")};

void say(const QString &line)
{
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    if (::write(STDOUT_FILENO, bytes.constData(), size_t(bytes.size())) != bytes.size())
        ::_exit(3);
}

QString integrityUnder(const QString &path, const QString &password)
{
    const auto opened = reliability::openUnder(path, password);
    if (!opened)
        return QStringLiteral("does not open");
    auto check = store::Statement::prepare(*opened, QStringLiteral("PRAGMA integrity_check"));
    return check.ok() && check->step() == SQLITE_ROW ? check->text(0) : QStringLiteral("cannot check");
}

// The password, by its place in the round, that opens the file; -1 when none does.
int passwordOf(const QString &path)
{
    for (int i = 0; i < kPasswords.size(); ++i)
        if (reliability::openUnder(path, kPasswords[i]))
            return i;
    return -1;
}
} // namespace

// --rekey-child <diary> <place of its password in the round>: changes it until it is killed.
int runRekeyChild(int argc, char **argv)
{
    if (argc < 4)
        return 2;
    store::probe::setPasswordCost(1, 8192);
    const QString path = QString::fromLocal8Bit(argv[2]);
    for (int n = std::atoi(argv[3]);; n = (n + 1) % int(kPasswords.size())) {
        const int next = (n + 1) % int(kPasswords.size());
        say(QStringLiteral("? %1").arg(next));
        const auto changed = store::changePassword(path, kPasswords[n], kPasswords[next]);
        if (!changed.ok()) {
            say(QStringLiteral("x ") + store::message(changed.failure()));
            return 2;
        }
        say(QStringLiteral("! %1").arg(next));
    }
}

class RekeyCrashTest : public QObject {
    Q_OBJECT

private slots:
    void killedWhileRekeyingLosesNothing();
};

void RekeyCrashTest::killedWhileRekeyingLosesNothing()
{
    if (testing::underWine())
        QSKIP(testing::kKillsNeedRealProcesses);
    store::probe::setPasswordCost(1, 8192);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("updatediary.dll"));
    QVERIFY(testing::writeEmptyDiary(path));
    std::vector<std::pair<QString, QString>> rows;
    QStringList spells;
    for (int i = 0; i < kEntries; ++i) {
        spells << QStringLiteral("spell %1").arg(i);
        rows.emplace_back(spells.back(), QString(600, QChar(u'\u263d')));
    }
    QVERIFY(testing::appendRows(path, QStringLiteral("tblspell"), rows));

    const testing::TestSeed seed;
    std::mt19937 random(seed.value());
    int current = 0;
    int changes = 0;
    int inFlight = 0;
    int inFlightDone = 0;
    int backupsChecked = 0;
    int copiesLeft = 0;
    int finished = 0;
    for (int run = 0; run < kKills; ++run) {
        const reliability::KilledChild child =
            reliability::killAfter(g_selfPath, {QStringLiteral("--rekey-child"), path, QString::number(current)},
                                   int(random() % (kLongestKillDelayMs + 1)));
        QVERIFY2(child.killed, "the child did not start, or did not end by the kill");
        QVERIFY2(child.failure.isEmpty(), child.failure.constData());
        current = child.last.value_or(current);
        changes += child.reported;
        const int pending = child.pending.value_or(-1);
        // The diary's new copy was cut short beside it; the next change removes it.
        const QStringList partial =
            QDir(dir.path()).entryList({QStringLiteral(".updatediary-*")}, QDir::Files | QDir::Hidden);
        QVERIFY2(partial.size() <= 2, qPrintable(partial.join(QLatin1Char(' '))));
        copiesLeft += !partial.isEmpty();
        const int found = passwordOf(path);
        const QString where = QStringLiteral("run %1: ").arg(run);
        QVERIFY2(
            found == current || (pending >= 0 && found == pending),
            qPrintable(
                where
                + QStringLiteral("opens with password %1, had %2, getting %3").arg(found).arg(current).arg(pending)));
        if (pending >= 0) {
            ++inFlight;
            inFlightDone += found == pending;
        }
        current = found;
        QCOMPARE(integrityUnder(path, kPasswords[current]), QStringLiteral("ok"));
        QCOMPARE(reliability::spellsUnder(path, kPasswords[current]), std::optional(spells));

        bool behind = false;
        for (const QString &backup : store::everyBackupOf(path)) {
            const int key = passwordOf(backup);
            QVERIFY2(key >= 0, qPrintable(where + backup));
            QCOMPARE(reliability::spellsUnder(backup, kPasswords[key]), std::optional(spells));
            behind = behind || key != current;
            ++backupsChecked;
        }
        // The next start opens the diary, and that finishes a change stopped on the way: no backup
        // stays under a password the diary no longer has.
        store::probe::forgetKeys();
        store::probe::startNewRun();
        if (!kPasswords[current].isEmpty())
            QVERIFY(!store::reopenWith(path, kPasswords[current]));
        QVERIFY(!store::unlock(path));
        for (const QString &backup : store::everyBackupOf(path))
            QVERIFY2(passwordOf(backup) == current, qPrintable(where + backup));
        finished += behind;
    }
    qInfo("kills survived: %d; changes reported before a kill: %d; kills during a change: %d (%d of them found "
          "under the new password, the rest under the old); kills that left an unfinished copy of the diary: %d; "
          "backups checked: %d; kills after which the next open finished the backups: %d",
          kKills, changes, inFlight, inFlightDone, copiesLeft, backupsChecked, finished);
    QVERIFY2(inFlight > kKills / 2, "the kills hardly ever came during a change");
}

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--rekey-child") == 0)
        return runRekeyChild(argc, argv);
    g_selfPath = QFileInfo(QFile::decodeName(argv[0])).absoluteFilePath();
    QCoreApplication application(argc, argv);
    app::setApplicationIdentity();
    RekeyCrashTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_rekeycrash.moc"
