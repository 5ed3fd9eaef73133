// The program run from a script: brimvale --export FILE [--format] [--sections], help, version,
// and a bad argument's one-line error.

#include "diaryfiles.h"
#include "testmain.h"

#include "core/identity.h"
#include "core/password.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void exportRunsWithoutAWindow_data();
    void exportRunsWithoutAWindow();
};

void CommandLineTest::exportRunsWithoutAWindow_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said"); // the one line on standard error, or the start of standard output
    QTest::addColumn<QByteArray>("fileStart"); // of out/<name> where the export wrote, else empty

    QTest::newRow("format from the extension") << QStringList{"--export", "out/book.csv"} << 0 << QString()
                                               << QByteArray("section,keyword,meaning\r\nSpell,Rue,herb\r\nRituals,Moon,full\r\n");
    QTest::newRow("format and sections given") << QStringList{"--export", "out/book.txt", "--format", "md", "--sections", "rituals"} << 0
                                               << QString() << QByteArray("# Book of Shadows\n\n## Rituals\n\n### Moon\n");
    QTest::newRow("pdf") << QStringList{"--export=out/book.pdf"} << 0 << QString() << QByteArray("%PDF-");
    QTest::newRow("sections without entries left out") << QStringList{"--export", "out/book.md", "--sections", "incense,rituals"} << 0
                                                       << QString() << QByteArray("# Book of Shadows\n\n## Rituals\n");
    QTest::newRow("no entries at all") << QStringList{"--export", "out/book.pdf", "--sections", "incense"} << 0 << QString()
                                       << QByteArray("%PDF-");
    QTest::newRow("help") << QStringList{"--help"} << 0 << QStringLiteral("Usage: ") << QByteArray();
    QTest::newRow("version") << QStringList{"--version"} << 0 << QStringLiteral("Brimvale ") + app::kVersion << QByteArray();
    QTest::newRow("unknown option") << QStringList{"--frobnicate"} << 2 << QStringLiteral("brimvale: Unknown option 'frobnicate'.") << QByteArray();
    QTest::newRow("stray argument") << QStringList{"book.pdf"} << 2 << QStringLiteral("brimvale: Unexpected argument 'book.pdf'.") << QByteArray();
    QTest::newRow("file name missing") << QStringList{"--export"} << 2 << QStringLiteral("brimvale: Missing value after '--export'.") << QByteArray();
    QTest::newRow("format unknown") << QStringList{"--export", "out/b.pdf", "--format", "doc"} << 2
                                    << QStringLiteral("brimvale: Unknown format 'doc': use pdf, html, md, txt or csv.") << QByteArray();
    QTest::newRow("format not in the name") << QStringList{"--export", "out/book"} << 2
                                            << QStringLiteral("brimvale: The format cannot be told from 'out/book': add --format.") << QByteArray();
    QTest::newRow("section unknown") << QStringList{"--export", "out/b.csv", "--sections", "spell,spells"} << 2
                                     << QStringLiteral("brimvale: Unknown section 'spells': use spell,incense,recipes,rituals.") << QByteArray();
    QTest::newRow("sections without export") << QStringList{"--sections", "spell"} << 2
                                             << QStringLiteral("brimvale: --format and --sections go with --export.") << QByteArray();
    QTest::newRow("diary with a password of its own, no terminal")
        << QStringList{"--export", "out/book.csv", "--password-of-its-own"} << 1 << QStringLiteral("brimvale: The diary stays locked: its password was not given.") << QByteArray();
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
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("out")));
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("runtime")));
    QFile::setPermissions(root.filePath(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString diary = root.filePath(QStringLiteral("home/.local/share/Brimvale/updatediary.dll"));
    QVERIFY(testing::writeEmptyDiary(diary));
    QVERIFY(testing::appendRows(diary, QStringLiteral("tblspell"), {{"Rue", "herb"}}));
    QVERIFY(testing::appendRows(diary, QStringLiteral("tblrituals"), {{"Moon", "full"}}));
    // A script without a terminal cannot be asked for the diary's own password: nothing is written.
    if (arguments.removeAll(QStringLiteral("--password-of-its-own")))
        QVERIFY(modDB::ChangePassword(diary, QString(), QStringLiteral("only mine")).ok());

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), root.filePath(QStringLiteral("home")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), root.filePath(QStringLiteral("home/.local/share")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), root.filePath(QStringLiteral("home/.config")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), root.filePath(QStringLiteral("runtime")));
    // A script's run has no display: the program must not need one.
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(root.path());
    program.start(QStringLiteral(BRIMVALE_PROGRAM), arguments);
    QVERIFY(program.waitForFinished(60000));
    const QString errors = QString::fromUtf8(program.readAllStandardError());
    const QString output = QString::fromUtf8(program.readAllStandardOutput());

    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exitCode);
    if (exitCode == 0) {
        QCOMPARE(errors, QString());
        QVERIFY2(output.startsWith(said), qPrintable(output));
    } else if (exitCode == 2) {
        QCOMPARE(errors.count(QLatin1Char('\n')), 1);
        QVERIFY2(errors.startsWith(said), qPrintable(errors));
    } else {
        QVERIFY2(errors.contains(said), qPrintable(errors));
    }
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

BRIMVALE_TEST_MAIN(CommandLineTest)
#include "tst_commandline.moc"
