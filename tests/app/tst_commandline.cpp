// The program run from a script: brimvale --export FILE [--format] [--sections], help, version,
// and a bad argument's one-line error; and from a terminal that asks for the diary's password.

#include "diaryfiles.h"
#include "testmain.h"

#include "core/commandline.h"
#include "core/identity.h"
#include "core/store/password.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

#include <optional>
#include <vector>

namespace {
const QString kDataFolder = QStringLiteral("home/.local/share/Brimvale");

// A home under root whose diary holds two entries, beside the folders "out" and "runtime".
bool makeHome(const QString &root)
{
    const QDir folder(root);
    if (!folder.mkpath(QStringLiteral("out")) || !folder.mkpath(QStringLiteral("runtime")))
        return false;
    QFile::setPermissions(folder.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString diary = folder.filePath(kDataFolder + QStringLiteral("/updatediary.dll"));
    return testing::writeEmptyDiary(diary) && testing::appendRows(diary, QStringLiteral("tblspell"), {{"Rue", "herb"}})
        && testing::appendRows(diary, QStringLiteral("tblrituals"), {{"Moon", "full"}});
}

// As makeHome, its diary under a password of its own, "only mine".
bool makeHomeWithOwnPassword(const QString &root)
{
    const QString diary = QDir(root).filePath(kDataFolder + QStringLiteral("/updatediary.dll"));
    return makeHome(root) && store::changePassword(diary, QString(), QStringLiteral("only mine")).ok();
}

// The environment of a script's run, in root with root's home: no display, which the program
// must not need.
QProcessEnvironment environmentIn(const QString &root)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), root + QStringLiteral("/home"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/home/.local/share"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/home/.config"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + QStringLiteral("/runtime"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return environment;
}

struct Run {
    bool finished = false;
    int exitCode = -1;
    QString errors;
    QString output;
};

// The program as a script runs it, with input piped into it; "/dev/zero" stands for that
// endless input.
Run run(const QString &root, const QStringList &arguments, const QByteArray &input = {})
{
    QProcess program;
    program.setProcessEnvironment(environmentIn(root));
    program.setWorkingDirectory(root);
    if (input == "/dev/zero")
        program.setStandardInputFile(QString::fromLatin1(input));
    program.start(QStringLiteral(BRIMVALE_PROGRAM), arguments);
    if (input != "/dev/zero")
        program.write(input);
    program.closeWriteChannel();
    Run result;
    result.finished = program.waitForFinished(60000) && program.exitStatus() == QProcess::NormalExit;
    result.exitCode = program.exitCode();
    result.errors = QString::fromUtf8(program.readAllStandardError());
    result.output = QString::fromUtf8(program.readAllStandardOutput());
    return result;
}
} // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void exportRunsWithoutAWindow_data();
    void exportRunsWithoutAWindow();
    void passwordPipedIn_data();
    void passwordPipedIn();
    void exportNeverReplacesTheDiaryNorWhatIsNoFile_data();
    void exportNeverReplacesTheDiaryNorWhatIsNoFile();
    void promptEndedBySignalGivesTheTerminalBack_data();
    void promptEndedBySignalGivesTheTerminalBack();
    void promptHidesTypingBeforeItAsks();
    void pipedPasswordIsNeverTyped();
};

void CommandLineTest::exportRunsWithoutAWindow_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");         // the one line on standard error, or the start of standard output
    QTest::addColumn<QByteArray>("fileStart"); // of out/<name> where the export wrote, else empty

    QTest::newRow("format from the extension")
        << QStringList{"--export", "out/book.csv"} << 0 << QString()
        << QByteArray("section,keyword,meaning\r\nSpell,Rue,herb\r\nRituals,Moon,full\r\n");
    QTest::newRow("format and sections given")
        << QStringList{"--export", "out/book.txt", "--format", "md", "--sections", "rituals"} << 0 << QString()
        << QByteArray("# Book of Shadows\n\n## Rituals\n\n### Moon\n");
    QTest::newRow("pdf") << QStringList{"--export=out/book.pdf"} << 0 << QString() << QByteArray("%PDF-");
    QTest::newRow("sections without entries left out")
        << QStringList{"--export", "out/book.md", "--sections", "incense,rituals"} << 0 << QString()
        << QByteArray("# Book of Shadows\n\n## Rituals\n");
    QTest::newRow("no entries at all") << QStringList{"--export", "out/book.pdf", "--sections", "incense"} << 0
                                       << QString() << QByteArray("%PDF-");
    QTest::newRow("help") << QStringList{"--help"} << 0 << QStringLiteral("Usage: ") << QByteArray();
    QTest::newRow("version") << QStringList{"--version"} << 0 << QStringLiteral("Brimvale ") + app::kVersion
                             << QByteArray();
    QTest::newRow("unknown option") << QStringList{"--frobnicate"} << 2
                                    << QStringLiteral("brimvale: Unknown option 'frobnicate'.") << QByteArray();
    QTest::newRow("stray argument") << QStringList{"book.pdf"} << 2
                                    << QStringLiteral("brimvale: Unexpected argument 'book.pdf'.") << QByteArray();
    QTest::newRow("file name missing") << QStringList{"--export"} << 2
                                       << QStringLiteral("brimvale: Missing value after '--export'.") << QByteArray();
    QTest::newRow("format unknown") << QStringList{"--export", "out/b.pdf", "--format", "doc"} << 2
                                    << QStringLiteral("brimvale: Unknown format 'doc': use pdf, html, md, txt or csv.")
                                    << QByteArray();
    QTest::newRow("format not in the name")
        << QStringList{"--export", "out/book"} << 2
        << QStringLiteral("brimvale: The format cannot be told from 'out/book': add --format.") << QByteArray();
    QTest::newRow("section unknown") << QStringList{"--export", "out/b.csv", "--sections", "spell,spells"} << 2
                                     << QStringLiteral(
                                            "brimvale: Unknown section 'spells': use spell,incense,recipes,rituals.")
                                     << QByteArray();
    QTest::newRow("sections without export")
        << QStringList{"--sections", "spell"} << 2
        << QStringLiteral("brimvale: --format and --sections go with --export.") << QByteArray();
    QTest::newRow("sections repeated add up")
        << QStringList{"--export", "out/book.csv", "--sections", "rituals", "--sections", "spell"} << 0 << QString()
        << QByteArray("section,keyword,meaning\r\nSpell,Rue,herb\r\nRituals,Moon,full\r\n");
    QTest::newRow("export repeated") << QStringList{"--export", "out/a.csv", "--export=out/b.csv"} << 2
                                     << QStringLiteral("brimvale: --export may be given only once.") << QByteArray();
    QTest::newRow("format repeated") << QStringList{"--export", "out/book.csv", "--format", "csv", "--format", "pdf"}
                                     << 2 << QStringLiteral("brimvale: --format may be given only once.")
                                     << QByteArray();
    QTest::newRow("diary with a password of its own, no terminal")
        << QStringList{"--export", "out/book.csv", "--password-of-its-own"} << 1
        << QStringLiteral("brimvale: The diary stays locked: its password was not given.") << QByteArray();
    QTest::newRow("password from standard input without export")
        << QStringList{"--password-stdin"} << 2 << QStringLiteral("brimvale: --password-stdin goes with --export.")
        << QByteArray();
    QTest::newRow("Brimvale never started")
        << QStringList{"--export", "out/book.csv", "--never-started"} << 1
        << QStringLiteral("brimvale: There is no diary yet: start Brimvale once") << QByteArray();
    QTest::newRow("folder missing") << QStringList{"--export", "gone/book.csv"} << 1
                                    << QStringLiteral("brimvale: The book could not be exported. - ") << QByteArray();
}

void CommandLineTest::exportRunsWithoutAWindow()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    QFETCH(QByteArray, fileStart);

    QTemporaryDir root;
    QVERIFY(makeHome(root.path()));
    const QString diary = root.filePath(kDataFolder + QStringLiteral("/updatediary.dll"));
    // A script without a terminal cannot be asked for the diary's own password: nothing is written.
    if (arguments.removeAll(QStringLiteral("--password-of-its-own")))
        QVERIFY(store::changePassword(diary, QString(), QStringLiteral("only mine")).ok());
    if (arguments.removeAll(QStringLiteral("--never-started")))
        QVERIFY(QDir(root.filePath(QStringLiteral("home"))).removeRecursively());
    const QStringList home = testing::stateOf(root.filePath(QStringLiteral("home")));

    const Run program = run(root.path(), arguments);
    const QString &errors = program.errors;
    const QString &output = program.output;
    QVERIFY(program.finished);
    QCOMPARE(program.exitCode, exitCode);
    if (exitCode == 0) {
        QCOMPARE(errors, QString());
        QVERIFY2(output.startsWith(said), qPrintable(output));
    } else if (exitCode == 2) {
        QCOMPARE(errors.count(QLatin1Char('\n')), 1);
        QVERIFY2(errors.startsWith(said), qPrintable(errors));
    } else {
        QVERIFY2(errors.contains(said), qPrintable(errors));
    }
    if (exitCode != 0)
        QCOMPARE(testing::stateOf(root.filePath(QStringLiteral("home"))), home);
    const QStringList written = QDir(root.filePath(QStringLiteral("out"))).entryList(QDir::Files);
    if (fileStart.isEmpty()) {
        QCOMPARE(written, QStringList());
    } else {
        QCOMPARE(written.size(), 1);
        QFile file(root.filePath(QStringLiteral("out/")) + written.constFirst());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(file.readAll().startsWith(fileStart), qPrintable(written.constFirst()));
    }
}

void CommandLineTest::passwordPipedIn_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("said"); // on standard error; none when the export is written
    const QString usual = QStringLiteral("brimvale: The diary file is damaged or the password is wrong.");
    const QString locked = QStringLiteral("brimvale: The diary stays locked: its password was not given.");
    QTest::newRow("right password") << QByteArray("only mine\n") << QString();
    QTest::newRow("the first line alone, CR LF left off") << QByteArray("only mine\r\nonly\n") << QString();
    QTest::newRow("no line end") << QByteArray("only mine") << QString();
    QTest::newRow("wrong password") << QByteArray("not mine\n") << usual;
    QTest::newRow("nothing") << QByteArray() << locked;
    QTest::newRow("an empty line") << QByteArray("\nonly mine\n") << locked;
    QTest::newRow("a NUL byte") << QByteArray("only mine\0\n", 11) << locked;
    QTest::newRow("endless input") << QByteArray("/dev/zero") << locked;
}

// A scheduled job pipes the diary's own password in; anything but the right one fails cleanly.
void CommandLineTest::passwordPipedIn()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, said);
    QTemporaryDir root;
    QVERIFY(makeHomeWithOwnPassword(root.path()));

    const Run program = run(root.path(), {"--export", "out/book.csv", "--password-stdin"}, input);
    QVERIFY(program.finished);
    QCOMPARE(program.exitCode, said.isEmpty() ? 0 : commandline::kExitFailed);
    QVERIFY2(said.isEmpty() ? program.errors.isEmpty() : program.errors.contains(said), qPrintable(program.errors));
    QCOMPARE(QFile::exists(root.filePath(QStringLiteral("out/book.csv"))), said.isEmpty());
}

void CommandLineTest::exportNeverReplacesTheDiaryNorWhatIsNoFile_data()
{
    QTest::addColumn<QString>("target"); // relative to the home's root
    QTest::addColumn<QString>("made");   // what is put at the target first, if anything
    QTest::addColumn<QString>("reason");
    const QString diary = kDataFolder + QStringLiteral("/updatediary.dll");
    const QString inDataFolder = QStringLiteral("It is in Brimvale's data folder");
    QTest::newRow("the diary") << diary << QString() << inDataFolder;
    QTest::newRow("a link to the diary") << QStringLiteral("out/link.csv") << QStringLiteral("link") << inDataFolder;
    QTest::newRow("the diary by a path with ..")
        << kDataFolder + QStringLiteral("/backups/../updatediary.dll") << QString() << inDataFolder;
    QTest::newRow("a backup") << kDataFolder + QStringLiteral("/backups/updatediary-20261207-211500.dll") << QString()
                              << inDataFolder;
    QTest::newRow("a new file in the data folder")
        << kDataFolder + QStringLiteral("/book.csv") << QString() << inDataFolder;
    QTest::newRow("a hard link to the diary")
        << QStringLiteral("out/hard.csv") << QStringLiteral("hard link")
        << QStringLiteral("It is Brimvale's diary or one of its backups under another name");
    // Brimvale writes its backups through such links, so what is behind them is its own.
    QTest::newRow("a backup in a linked backups folder")
        << kDataFolder + QStringLiteral("/backups/updatediary-20261207-211500.dll") << QStringLiteral("linked backups")
        << inDataFolder;
    QTest::newRow("a backup in a linked kept folder")
        << kDataFolder + QStringLiteral("/backups-kept-20261207-211500/updatediary-20261207-211500.dll")
        << QStringLiteral("linked kept") << inDataFolder;
    QTest::newRow("a link in the backups folder to a new file elsewhere")
        << kDataFolder + QStringLiteral("/backups/updatediary-20261208-090000.dll") << QStringLiteral("link out")
        << inDataFolder;
    const QString settings = QStringLiteral("It is Brimvale's settings file");
    QTest::newRow("the settings file, not written yet")
        << QStringLiteral("home/.config/brimvale.conf") << QStringLiteral("no settings") << settings;
    QTest::newRow("a hard link to the settings file")
        << QStringLiteral("out/settings.csv") << QStringLiteral("settings hard link") << settings;
    QTest::newRow("a pipe") << QStringLiteral("out/pipe.csv") << QStringLiteral("pipe")
                            << QStringLiteral("It is not a regular file");
    QTest::newRow("a folder") << QStringLiteral("out/folder.csv") << QStringLiteral("folder")
                              << QStringLiteral("It is a folder");
}

void CommandLineTest::exportNeverReplacesTheDiaryNorWhatIsNoFile()
{
    QFETCH(QString, target);
    QFETCH(QString, made);
    QFETCH(QString, reason);
    QTemporaryDir root;
    QVERIFY(makeHome(root.path()));
    const QString diary = root.filePath(kDataFolder + QStringLiteral("/updatediary.dll"));
    QVERIFY(QDir(root.path()).mkpath(kDataFolder + QStringLiteral("/backups")));
    QVERIFY(
        QFile::copy(diary, root.filePath(kDataFolder + QStringLiteral("/backups/updatediary-20261207-211500.dll"))));
    const QString settings = root.filePath(QStringLiteral("home/.config/brimvale.conf"));
    QVERIFY(QDir().mkpath(QFileInfo(settings).path()));
    QFile settingsFile(settings);
    if (made != u"no settings")
        QVERIFY(settingsFile.open(QIODevice::WriteOnly) && settingsFile.write("[Export]\nFolder=out\n") > 0);
    settingsFile.close();
    const QString elsewhere = root.filePath(QStringLiteral("elsewhere"));
    const QByteArray at = QFile::encodeName(root.filePath(target));
    if (made == u"linked backups") {
        const QString backups = root.filePath(kDataFolder + QStringLiteral("/backups"));
        QVERIFY(QDir().rename(backups, elsewhere) && QFile::link(elsewhere, backups));
    } else if (made == u"linked kept") {
        QVERIFY(QDir().mkpath(elsewhere));
        QVERIFY(QFile::copy(diary, elsewhere + QStringLiteral("/updatediary-20261207-211500.dll")));
        QVERIFY(QFile::link(elsewhere, root.filePath(kDataFolder + QStringLiteral("/backups-kept-20261207-211500"))));
    } else if (made == u"link out") {
        QVERIFY(QDir().mkpath(elsewhere) && QFile::link(elsewhere + QStringLiteral("/new.dll"), root.filePath(target)));
    } else if (made == u"settings hard link") {
        QCOMPARE(::link(QFile::encodeName(settings).constData(), at.constData()), 0);
    } else if (made == u"link")
        QVERIFY(QFile::link(diary, root.filePath(target)));
    else if (made == u"hard link")
        QCOMPARE(::link(QFile::encodeName(diary).constData(), at.constData()), 0);
    else if (made == u"pipe")
        QCOMPARE(::mkfifo(at.constData(), 0600), 0);
    else if (made == u"folder")
        QVERIFY(QDir(root.path()).mkdir(target));
    const auto state = [&] {
        return testing::stateOf(root.filePath(QStringLiteral("home")))
            + testing::stateOf(root.filePath(QStringLiteral("out"))) + testing::stateOf(elsewhere);
    };
    const QStringList before = state();

    const Run program =
        run(root.path(), {QStringLiteral("--export"), target, QStringLiteral("--format"), QStringLiteral("csv")});
    QVERIFY(program.finished);
    QCOMPARE(program.exitCode, commandline::kExitFailed);
    QCOMPARE(program.errors.count(QLatin1Char('\n')), 1);
    QVERIFY2(program.errors.startsWith(
                 QStringLiteral("brimvale: The book could not be exported. - %1 - %2").arg(target, reason)),
             qPrintable(program.errors));
    QCOMPARE(state(), before);
}

void CommandLineTest::promptEndedBySignalGivesTheTerminalBack_data()
{
    QTest::addColumn<int>("ending");
    QTest::addColumn<bool>("stoppedFirst");
    QTest::newRow("terminate") << int(SIGTERM) << false;
    QTest::newRow("interrupt") << int(SIGINT) << false;
    QTest::newRow("hang-up") << int(SIGHUP) << false;
    QTest::newRow("quit (Ctrl+\\)") << int(SIGQUIT) << false;
    QTest::newRow("stopped, continued, then terminated") << int(SIGTERM) << true;
}

// The program exporting the diary of a home under root, on a terminal of its own, as a user at a
// shell runs it; the test holds the terminal's other end.
class OnTerminal {
public:
    // With fullFirst the terminal has no room left when the program starts: it waits in its first
    // write until the test reads. A further option goes after the export's own.
    bool start(const QString &root, bool fullFirst = false, QByteArray more = {})
    {
        // Everything the child needs is made before the fork, which leaves it one thread.
        std::vector<QByteArray> strings;
        for (const QString &variable : environmentIn(root).toStringList())
            strings.push_back(variable.toLocal8Bit());
        std::vector<char *> environment;
        for (QByteArray &variable : strings)
            environment.push_back(variable.data());
        environment.push_back(nullptr);
        QByteArray program(BRIMVALE_PROGRAM);
        QByteArray option("--export");
        QByteArray file("out/book.csv");
        char *arguments[] = {program.data(), option.data(), file.data(), more.isEmpty() ? nullptr : more.data(),
                             nullptr};
        const QByteArray folder = QFile::encodeName(root);

        int programsTerminal = -1;
        if (::openpty(&m_terminal, &programsTerminal, nullptr, nullptr, nullptr) != 0)
            return false;
        if (fullFirst && !fill(::ptsname(m_terminal)))
            return false;
        m_child = ::fork();
        if (m_child == 0) {
            if (::login_tty(programsTerminal) != 0)
                ::_exit(127);
            // The test runner's ignored or blocked signals are not the program's.
            for (int each : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
                ::signal(each, SIG_DFL);
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            // Quitting leaves no core file behind.
            const rlimit noCore{0, 0};
            ::setrlimit(RLIMIT_CORE, &noCore);
            if (::chdir(folder.constData()) == 0)
                ::execve(program.constData(), arguments, environment.data());
            ::_exit(127);
        }
        ::close(programsTerminal);
        return m_child > 0;
    }
    ~OnTerminal()
    {
        if (m_child > 0) {
            ::kill(m_child, SIGKILL);
            ::waitpid(m_child, nullptr, 0);
        }
        if (m_terminal >= 0)
            ::close(m_terminal);
    }

    pid_t child() const { return m_child; }
    int terminal() const { return m_terminal; }
    bool echoing() const
    {
        termios settings{};
        return ::tcgetattr(m_terminal, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
    }
    // What the program wrote, read away so that it never waits for room.
    QByteArray readOutput()
    {
        QByteArray read;
        char output[512];
        pollfd waiting{m_terminal, POLLIN, 0};
        for (ssize_t got = 0; ::poll(&waiting, 1, 0) > 0 && (got = ::read(m_terminal, output, sizeof output)) > 0;)
            read.append(output, got);
        return read;
    }
    bool waitForEcho(bool on, bool readingOutput = true)
    {
        for (QDeadlineTimer deadline(30000); !deadline.hasExpired(); QThread::msleep(10)) {
            if (readingOutput)
                m_output += readOutput();
            if (echoing() == on)
                return true;
        }
        return false;
    }
    // The exit status once the program has ended; none when it is still running after 30 s.
    std::optional<int> ended()
    {
        int status = 0;
        for (QDeadlineTimer deadline(30000); !deadline.hasExpired(); QThread::msleep(10)) {
            m_output += readOutput();
            if (::waitpid(m_child, &status, WNOHANG) == m_child) {
                m_child = -1;
                return status;
            }
        }
        return std::nullopt;
    }
    const QByteArray &output() const { return m_output; }

private:
    // Writes to the terminal, as another program on it would, until it takes no more; it moves what
    // was written on in steps of its own, so full means no room for a while.
    static bool fill(const char *name)
    {
        const int other = ::open(name, O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (other < 0)
            return false;
        const QByteArray block(256, '.');
        for (int idle = 0; idle < 5; QThread::msleep(20)) {
            ++idle;
            while (::write(other, block.constData(), std::size_t(block.size())) > 0)
                idle = 0;
        }
        ::close(other);
        return true;
    }

    int m_terminal = -1;
    pid_t m_child = -1;
    QByteArray m_output;
};

// The prompt turns echo off on a terminal of its own; however the program ends, echo is on again.
void CommandLineTest::promptEndedBySignalGivesTheTerminalBack()
{
    QFETCH(int, ending);
    QFETCH(bool, stoppedFirst);
    QTemporaryDir root;
    QVERIFY(makeHomeWithOwnPassword(root.path()));

    OnTerminal program;
    QVERIFY(program.start(root.path()));
    QVERIFY(program.echoing());
    QVERIFY2(program.waitForEcho(false), "the prompt asks");
    if (stoppedFirst) {
        int status = 0;
        QCOMPARE(::kill(program.child(), SIGSTOP), 0);
        QCOMPARE(::waitpid(program.child(), &status, WUNTRACED), program.child());
        QVERIFY(WIFSTOPPED(status));
        // As a shell does for a stopped job: its own settings back, with echo.
        termios settings{};
        QCOMPARE(::tcgetattr(program.terminal(), &settings), 0);
        settings.c_lflag |= ECHO;
        QCOMPARE(::tcsetattr(program.terminal(), TCSANOW, &settings), 0);
        QCOMPARE(::kill(program.child(), SIGCONT), 0);
        QVERIFY2(program.waitForEcho(false), "the continued prompt hides what is typed again");
    }
    QCOMPARE(::kill(program.child(), ending), 0);
    const auto status = program.ended();
    QVERIFY2(status, "the signal ends the program");
    QVERIFY(WIFSIGNALED(*status));
    QCOMPARE(WTERMSIG(*status), ending);
    QVERIFY(program.echoing());
}

// A password typed the moment the question shows must not show: echo goes off before the
// question is written. The terminal starts full, so that the program waits inside that write.
void CommandLineTest::promptHidesTypingBeforeItAsks()
{
    QTemporaryDir root;
    QVERIFY(makeHome(root.path()));
    const QString diary = root.filePath(kDataFolder + QStringLiteral("/updatediary.dll"));
    const QString password = QStringLiteral("only mine");
    QVERIFY(store::changePassword(diary, QString(), password).ok());

    OnTerminal program;
    QVERIFY(program.start(root.path(), true));
    QVERIFY2(program.waitForEcho(false, false), "echo is off while the question waits to be written");

    while (!program.output().contains("Password: "))
        QVERIFY2(program.waitForEcho(false), program.output().right(200).constData());
    const QByteArray typed = password.toLocal8Bit() + '\n';
    QCOMPARE(::write(program.terminal(), typed.constData(), std::size_t(typed.size())), ssize_t(typed.size()));
    const auto status = program.ended();
    QVERIFY(status && WIFEXITED(*status));
    QCOMPARE(WEXITSTATUS(*status), 0);
    QVERIFY(!program.output().contains(password.toLocal8Bit()));
    QVERIFY(QFile::exists(root.filePath(QStringLiteral("out/book.csv"))));
}

// Typed on a terminal that echoes, the password would show: the program refuses to read it there.
void CommandLineTest::pipedPasswordIsNeverTyped()
{
    QTemporaryDir root;
    QVERIFY(makeHomeWithOwnPassword(root.path()));

    OnTerminal program;
    QVERIFY(program.start(root.path(), false, "--password-stdin"));
    const auto status = program.ended();
    QVERIFY(status && WIFEXITED(*status));
    QCOMPARE(WEXITSTATUS(*status), commandline::kExitFailed);
    QVERIFY2(program.output().contains("standard input is a terminal"), program.output().constData());
}

BRIMVALE_TEST_MAIN(CommandLineTest)
#include "tst_commandline.moc"
