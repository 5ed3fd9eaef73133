// What the diary lets in and out: its files are private to the user, any text a user can put in
// the boxes is stored and shown back exactly and never becomes SQL, and without the password the
// file gives nothing away.

#include "checks.h"
#include "controls.h"
#include "diaryfiles.h"
#include "fixture.h"
#include "reliability.h"
#include "seed.h"
#include "testmain.h"

#include "core/store/backups.h"
#include "core/store/diarykey.h"
#include "core/store/store.h"
#include "core/store/storeprobe.h"
#include "gui/windows/sectionwindow.h"

#include <sqlcipher/sqlite3.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextDocument>
#include <QtTest>

#include <random>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#include <sys/resource.h>
#endif

using reliability::click;
using reliability::listed;
using reliability::selectLine;
using store::Table;

namespace {
// The box's own text, line breaks as "\n" (toPlainText would turn non-breaking spaces into spaces).
QString meaningShown(const SectionWindow *window)
{
    return testing::control<QPlainTextEdit>(window, "txtMeaning")
        ->document()
        ->toRawText()
        .replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

// NUL-free junk from the whole of Unicode, pairs of surrogates included. A carriage return and
// the paragraph separator are left out: the meaning box itself shows both as a line break.
QString junk(std::mt19937 &random, int length)
{
    QString text;
    while (text.size() < length) {
        const char32_t code = random() % 8 == 0 ? 0x10000 + random() % 0xF0000 : 1 + random() % 0xFFFF;
        if ((code >= 0xD800 && code <= 0xDFFF) || code == U'\r' || code == 0x2029)
            continue;
        text += QString::fromUcs4(&code, 1);
    }
    // The window trims spaces at both ends of what is saved.
    while (text.startsWith(QLatin1Char(' ')) || text.endsWith(QLatin1Char(' ')))
        text.remove(text.startsWith(QLatin1Char(' ')) ? 0 : text.size() - 1, 1);
    return text;
}

// Types each character as its own key press, as an input method delivers text; a line break is
// the Return key. (QTest::keyClicks knows Latin-1 letters only.)
void type(QWidget *box, const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\n')) {
            QTest::keyClick(box, Qt::Key_Return);
            continue;
        }
        const qsizetype length = text.at(i).isHighSurrogate() ? 2 : 1;
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, text.mid(i, length), Qt::NoModifier);
        i += length - 1;
    }
}

QtMessageHandler g_testHandler = nullptr;

// A test machine lacks fonts for most scripts, and the text layout warns once for each font and
// script it tries: hundreds of lines that say nothing about the diary.
void withoutFontWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.contains(QLatin1String("OpenType support missing")))
        return;
    g_testHandler(type, context, message);
}

QStringList schemaOf(const QString &path)
{
    const QString listing = testing::sqlcipherTool(
        path,
        QStringLiteral("SELECT type || ' ' || name || ' ' || coalesce(sql, '') FROM sqlite_master ORDER BY name;"));
    return listing.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun runTool(const QString &tool, const QStringList &arguments, const QByteArray &input = {})
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForStarted())
        return {};
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished();
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}
} // namespace

class SecurityTest : public QObject {
    Q_OBJECT

private slots:
    void init() { m_env.setUp({.newRun = true}); }
    void cleanup() { m_env.tearDown(); }

    void diaryAndBackupsAreTheUsersAlone();
    void hostileTextIsStoredAndShownExactly();
    void keywordThatIsNotUtf8IsEditedAndRemoved_data();
    void keywordThatIsNotUtf8IsEditedAndRemoved();
    void diaryGivesNothingAwayWithoutThePassword();
    void keyOfAPasswordStaysInTheProcess();

private:
    QString working() const { return m_env->workingDiary(); }
    testing::Fixture m_env;
};

void SecurityTest::diaryAndBackupsAreTheUsersAlone()
{
#ifdef Q_OS_WIN
    QSKIP("Windows files have no mode bits: the diary is private by the access list of the user's own "
          "application data folder");
#else
    // Even under a umask that would let everyone read new files.
    const mode_t umask = ::umask(0);
    auto restore = qScopeGuard([umask] { ::umask(umask); });

    SectionWindow *window = reliability::enterSection(0);
    QVERIFY(window);
    QCOMPARE(reliability::modeOf(m_env->dataFolder()), 0700);
    QCOMPARE(reliability::modeOf(working()), 0600);

    QVERIFY(click(testing::control<QPushButton>(window, "Command1")));
    QVERIFY(click(testing::control<QPushButton>(window, "Command2")));
    QTest::keyClicks(testing::control<QLineEdit>(window, "txtKeyword"), QStringLiteral("Sage"));
    QTest::keyClicks(testing::control<QPlainTextEdit>(window, "txtMeaning"), QStringLiteral("Cleansing"));
    QVERIFY(click(testing::control<QPushButton>(window, "Command2")));
    QCOMPARE(listed(window), QStringList{QStringLiteral("Sage")});
    const QStringList backups = store::backupsOf(working());
    QCOMPARE(backups.size(), 1);
    QCOMPARE(reliability::modeOf(store::backupFolder(working())), 0700);
    QCOMPARE(reliability::modeOf(backups[0]), 0600);
    QCOMPARE(reliability::modeOf(working()), 0600);
    QVERIFY(m_env->messages->shown.empty());
#endif
}

void SecurityTest::hostileTextIsStoredAndShownExactly()
{
    g_testHandler = qInstallMessageHandler(withoutFontWarnings);
    auto restoreHandler = qScopeGuard([] { qInstallMessageHandler(g_testHandler); });
    const testing::TestSeed seed(20261207);
    std::mt19937 random(seed.value());
    QString megabyte;
    while (megabyte.size() < (1 << 20))
        megabyte += QStringLiteral("'); DROP TABLE tblspell; -- \"x\" %1 ?2 :a @b $c /* */\n").arg(megabyte.size());
    megabyte.truncate(1 << 20);
    // About a megabyte in UTF-8 as well: three bytes a character.
    QString scripts;
    while (scripts.size() < 350000)
        scripts += QStringLiteral(
            "\u5929\u7167\u5927\u795e \u0540\u0565\u056f\u0561\u057f\u0565 \u0639\u0634\u062a\u0627\u0631\n");
    const std::vector<std::pair<QString, QString>> entries{
        {QStringLiteral("Robert'); DROP TABLE tblspell;--"), QStringLiteral("' OR '1'='1")},
        {QStringLiteral("\"Index\" = 1 OR 1=1"), QStringLiteral("\"; DELETE FROM tblspell WHERE 1; --")},
        {QStringLiteral("?1 ?2 :name @x $y %1 %s %n"), QStringLiteral("x'00' || char(65) /* not closed")},
        {QStringLiteral(
             "\u16a0\u16a2\u16a6 \u1f08\u03c6\u03c1\u03bf\u03b4\u03af\u03c4\u03b7 \u041f\u0435\u0440\u0443\u043d"),
         QStringLiteral("\u200f\u05d0\u05e1\u05d8\u05e8\u05d8\u05d4\u200e \u0639\u0634\u062a\u0627\u0631 e\u0301 "
                        "\U0001F319\U0001F56F\uFE0F\u2728 \U0001F9D9\u200D\u2640\uFE0F")},
        {QStringLiteral("; COMMIT; ATTACH 'evil' AS e; --"),
         QStringLiteral("\\'\\\"\\\\ \t\ttabs\n\nlines\u00a0nbsp\u2028ls")},
        {junk(random, 200), junk(random, 20000)},
        {junk(random, 2000), junk(random, 4000)},
        {QStringLiteral("A megabyte of SQL"), megabyte},
        {QStringLiteral("\u5929\u7167 a megabyte of scripts"), scripts},
    };
    QVERIFY(testing::writeEmptyDiary(working()));
    const QStringList schema = schemaOf(working());

    SectionWindow *window = reliability::enterSection(0);
    QVERIFY(window);
    QVERIFY(click(testing::control<QPushButton>(window, "Command1")));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto &[keyword, meaning] = entries[i];
        QVERIFY(click(testing::control<QPushButton>(window, "Command2")));
        // The first texts are typed key by key; tabs, control characters and the long ones are
        // put in as a paste would.
        if (i < 4) {
            type(testing::control<QLineEdit>(window, "txtKeyword"), keyword);
            type(testing::control<QPlainTextEdit>(window, "txtMeaning"), meaning);
        } else {
            testing::control<QLineEdit>(window, "txtKeyword")->setText(keyword);
            testing::control<QPlainTextEdit>(window, "txtMeaning")->setPlainText(meaning);
        }
        QCOMPARE(testing::control<QLineEdit>(window, "txtKeyword")->text(), keyword);
        QCOMPARE(meaningShown(window), meaning);
        QVERIFY(click(testing::control<QPushButton>(window, "Command2")));
        QCOMPARE(window->mode(), SectionWindow::Mode::Browsing);
    }
    QVERIFY(m_env->messages->shown.empty());

    QStringList keywords;
    for (const auto &entry : entries)
        keywords << entry.first;
    QCOMPARE(listed(window), keywords);
    const auto rows = testing::readRows(working(), QStringLiteral("tblspell"));
    QVERIFY(rows);
    QCOMPARE(rows->size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        QCOMPARE(rows->at(i).keyword, entries[i].first);
        QCOMPARE(rows->at(i).meaning, entries[i].second);
        selectLine(window, int(i));
        QCOMPARE(testing::control<QLineEdit>(window, "txtKeyword")->text(), entries[i].first);
        QCOMPARE(meaningShown(window), entries[i].second);
    }

    // An edit that changes nothing writes every character back as it was; one that changes
    // the text stores the new text just as exactly.
    for (const int line : {4, 5}) {
        selectLine(window, line);
        QVERIFY(click(testing::control<QPushButton>(window, "Command4")));
        QVERIFY(click(testing::control<QPushButton>(window, "Command4")));
    }
    selectLine(window, 0);
    QVERIFY(click(testing::control<QPushButton>(window, "Command4")));
    testing::control<QLineEdit>(window, "txtKeyword")->setText(entries[6].first);
    testing::control<QPlainTextEdit>(window, "txtMeaning")->setPlainText(entries[1].second);
    QVERIFY(click(testing::control<QPushButton>(window, "Command4")));
    const auto edited = testing::readRows(working(), QStringLiteral("tblspell"));
    QVERIFY(edited);
    QCOMPARE(edited->size(), entries.size());
    QCOMPARE(edited->at(4), rows->at(4));
    QCOMPARE(edited->at(5), rows->at(5));
    QCOMPARE(edited->at(0).keyword, entries[6].first);
    QCOMPARE(edited->at(0).meaning, entries[1].second);

    // No text became a statement: the same tables and indexes, the other sections empty.
    if (!schema.isEmpty())
        QCOMPARE(schemaOf(working()), schema);
    for (const char *table : {"tblincense", "tblrecipes", "tblrituals"}) {
        BRIMVALE_UNWRAP(other, testing::readRows(working(), QString::fromLatin1(table)));
        QVERIFY2(other.empty(), table);
    }
    QVERIFY(m_env->messages->shown.empty());
}

void SecurityTest::keywordThatIsNotUtf8IsEditedAndRemoved_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("edit") << QStringLiteral("Command4");
    QTest::newRow("remove") << QStringLiteral("Command3");
}

// A file written by another program may hold any bytes as a keyword; the list shows them as best
// it can, and the entry behind that line is still the user's to change.
void SecurityTest::keywordThatIsNotUtf8IsEditedAndRemoved()
{
    QFETCH(QString, button);
    QVERIFY(testing::writeEmptyDiary(working()));
    QVERIFY(testing::execute(working(),
                             QStringLiteral("INSERT INTO tblspell (keyword, meaning) VALUES "
                                            "(CAST(X'52ff7565' AS TEXT), 'herb'), ('Sage', 'smoke')")));
    SectionWindow *window = reliability::enterSection(0);
    QVERIFY(window);
    QVERIFY(click(testing::control<QPushButton>(window, "Command1")));
    selectLine(window, 0);
    QCOMPARE(testing::control<QLineEdit>(window, "txtKeyword")->text(), QStringLiteral("R\uFFFDue"));

    auto *act = testing::control<QPushButton>(window, qPrintable(button));
    QVERIFY(click(act));
    if (button == u"Command4") {
        testing::control<QPlainTextEdit>(window, "txtMeaning")->setPlainText(QStringLiteral("bitter herb"));
        QVERIFY(click(act));
    }
    QVERIFY(m_env->messages->shown.empty());
    BRIMVALE_UNWRAP(rows, testing::readRows(working(), QStringLiteral("tblspell")));
    const std::vector<testing::DiaryRow> sage{{2, QStringLiteral("Sage"), QStringLiteral("smoke")}};
    if (button == u"Command4")
        QCOMPARE(
            rows,
            (std::vector<testing::DiaryRow>{{1, QStringLiteral("R\uFFFDue"), QStringLiteral("bitter herb")}, sage[0]}));
    else
        QCOMPARE(rows, sage);
}

void SecurityTest::diaryGivesNothingAwayWithoutThePassword()
{
    QVERIFY(testing::writeEmptyDiary(working()));
    const QString keyword = QStringLiteral("Moonwater");
    const QString meaning = QStringLiteral("Leave the bowl out under the full moon; \u263d secret");
    QVERIFY(store::addEntry(working(), Table::Spell, {QStringLiteral("first"), QStringLiteral("entry")}).ok());
    QVERIFY(store::addEntry(working(), Table::Spell, {keyword, meaning}).ok());
    store::probe::startNewRun();
    QVERIFY(store::addEntry(working(), Table::Rituals, {QStringLiteral("Yule"), QStringLiteral("Solstice")}).ok());
    const QStringList backups = store::backupsOf(working());
    QCOMPARE(backups.size(), 2);

    // Neither the diary nor its backups hold any of the text as plain bytes.
    for (const QString &file : QStringList{working()} + backups) {
        const QByteArray bytes = reliability::bytesOf(file);
        QVERIFY(!bytes.isEmpty());
        for (const QString &text : {keyword, meaning, QStringLiteral("tblspell"), QStringLiteral("CREATE TABLE")}) {
            QVERIFY2(!bytes.contains(text.toUtf8()), qPrintable(file + QStringLiteral(": ") + text));
            QVERIFY2(!bytes.contains(QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2)),
                     qPrintable(file + QStringLiteral(": ") + text));
        }
        QVERIFY(!bytes.startsWith("SQLite format 3"));
    }

    const QString plainTool = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    const QString cipherTool = QStandardPaths::findExecutable(QStringLiteral("sqlcipher"));
    if (plainTool.isEmpty() || cipherTool.isEmpty())
        QSKIP("the sqlite3 and sqlcipher command-line tools are needed");
    const QByteArray query = "SELECT keyword, meaning FROM tblspell;\n";
    for (const QString &file : QStringList{working()} + backups) {
        // The plain tool cannot read it at all.
        const ToolRun plain = runTool(plainTool, {file}, query);
        QVERIFY2(plain.exitCode != 0, qPrintable(plain.out));
        QVERIFY2(plain.err.contains(QStringLiteral("not a database")), qPrintable(plain.err));
        QVERIFY(!plain.out.contains(keyword));
        // Nor the encrypting tool without the password, or with a wrong one.
        for (const QByteArray &key : {QByteArray(), QByteArray("PRAGMA key = 'Xq7RbK2mPv9TzL4wNt';\n")}) {
            const ToolRun guessed = runTool(cipherTool, {file}, key + query);
            QVERIFY2(guessed.err.contains(QStringLiteral("not a database")), qPrintable(guessed.err));
            QVERIFY(!guessed.out.contains(keyword));
        }
    }
    // With the password it opens, which shows that the failures above are the encryption's.
    const ToolRun keyed =
        runTool(cipherTool, {working()}, "PRAGMA key = '" + store::kBuiltInPassword.toUtf8() + "';\n" + query);
    QVERIFY2(keyed.out.contains(keyword), qPrintable(keyed.out + keyed.err));
}

// Once a password's key is in memory, no core file and no other process of the user can read it,
// and its text sits in memory that is never swapped out where the system allows locking.
void SecurityTest::keyOfAPasswordStaysInTheProcess()
{
#ifdef Q_OS_LINUX
    store::probe::setPasswordCost(1, 8192);
    const auto key = store::userKey(QStringLiteral("secret"), QByteArray(store::kSaltBytes, 'a'));
    QVERIFY(key);
    QCOMPARE(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
#ifdef __SANITIZE_ADDRESS__
    QSKIP("AddressSanitizer makes locking memory do nothing");
#endif
    rlimit limit{};
    if (::getrlimit(RLIMIT_MEMLOCK, &limit) == 0 && limit.rlim_cur == 0)
        QSKIP("this system allows no memory to be locked");
    QFile status(QStringLiteral("/proc/self/status"));
    QVERIFY(status.open(QIODevice::ReadOnly));
    const QString locked =
        QString::fromLatin1(status.readAll()).section(QStringLiteral("VmLck:"), 1).section(QLatin1Char('\n'), 0, 0);
    QVERIFY2(locked.trimmed().section(QLatin1Char(' '), 0, 0).toLongLong() > 0, qPrintable(locked));
#else
    QSKIP("the settings checked here are Linux's");
#endif
}

BRIMVALE_TEST_MAIN(SecurityTest)

#include "tst_security.moc"
