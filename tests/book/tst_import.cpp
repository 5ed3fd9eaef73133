// Importing entries from CSV, Markdown and other diary files into a real diary.

#include "checks.h"
#include "diaryfiles.h"
#include "testmain.h"

#include "core/book/bookimport.h"
#include "core/store/backups.h"
#include "core/store/diarykey.h"

#include <sqlcipher/sqlite3.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using book::Format;
using store::Table;
using testing::bytesOf;

namespace {
const std::array<QString, 4> kTableNames{"tblspell", "tblincense", "tblrecipes", "tblrituals"};

// Entries that break naive writers and readers: separators, quotes, every kind of line end,
// outer spaces, markup, fences, headings and other scripts.
std::vector<std::pair<QString, QString>> awkwardEntries(int section)
{
    return {
        {QStringLiteral("Sage %1").arg(section), QStringLiteral("burn, then \"wait\"\r\nsecond line\r\n")},
        {QStringLiteral("  spaced keyword "), QStringLiteral("  outer spaces  ")},
        {QStringLiteral("*not* [a](link) <b>#1</b> \\ & `x`"), QStringLiteral("```\n## not a heading\n````\n\n\n")},
        {QStringLiteral("\u0391\u03b8\u03b7\u03bd\u03ac \u05e9\u05dc\u05d5\u05dd"),
         QStringLiteral("\tline\rold mac\nunix\u2028sep\u00a0")},
        {QStringLiteral("Sage %1").arg(section), QStringLiteral("same keyword again")},
    };
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The message that refuses a loaded file; empty for one that loads.
QString refusalOf(const store::Result<book::Book> &loaded)
{
    return loaded.ok() ? QString() : loaded.failure().detail;
}
} // namespace

class ImportTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_diary = m_dir->filePath(QStringLiteral("updatediary.dll"));
        QVERIFY(testing::writeEmptyDiary(m_diary));
    }

    void exportedBookComesBackExactly_data();
    void exportedBookComesBackExactly();
    void entryListedTwiceIsAddedOnce_data();
    void entryListedTwiceIsAddedOnce();
    void anyCsvWithTheThreeColumnsIsRead();
    void ordinaryMarkdownIsRead_data();
    void ordinaryMarkdownIsRead();
    void badFilesAreRefusedWithTheirLine_data();
    void badFilesAreRefusedWithTheirLine();
    void cancelledImportWritesNothing();
    void diaryFileHoldingMoreThanADiaryIsRefused_data();
    void diaryFileHoldingMoreThanADiaryIsRefused();
    void diaryRowsWithoutKeywordOrMeaningAreLeftOut_data();
    void diaryRowsWithoutKeywordOrMeaningAreLeftOut();
    void diaryFileIsOnlyRead();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_diary;
};

void ImportTest::exportedBookComesBackExactly_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::newRow("csv") << "book.csv";
    QTest::newRow("markdown") << "book.md";
    QTest::newRow("another diary file") << "conflict copy.dll";
}

void ImportTest::exportedBookComesBackExactly()
{
    QFETCH(QString, fileName);
    const QString source = m_dir->filePath(QStringLiteral("source.dll"));
    QVERIFY(testing::writeEmptyDiary(source));
    for (int section = 0; section < 4; ++section)
        if (section != 2) // an empty section stays empty
            QVERIFY(testing::appendRows(source, kTableNames[std::size_t(section)], awkwardEntries(section)));

    const QString file = m_dir->filePath(fileName);
    if (const auto format = book::formatOfFile(file)) {
        BRIMVALE_UNWRAP(whole, book::read(source, {sections::kTables.begin(), sections::kTables.end()}));
        QVERIFY(book::exportText(file, *format, whole, QStringLiteral("today")).done());
    } else {
        QVERIFY(QFile::copy(source, file));
    }

    const auto loaded = book::load(file);
    QCOMPARE(refusalOf(loaded), QString());
    BRIMVALE_UNWRAP(preview, book::preview(m_diary, *loaded));
    QCOMPARE(preview.added, (std::array<qint64, 4>{5, 5, 0, 5}));
    QCOMPARE(preview.skipped, 0);
    QVERIFY(book::import(m_diary, preview).done());
    for (const QString &table : kTableNames) {
        BRIMVALE_UNWRAP(expected, testing::readRows(source, table));
        BRIMVALE_UNWRAP(actual, testing::readRows(m_diary, table));
        QCOMPARE(actual, expected);
    }
    QCOMPARE(store::backupsOf(m_diary).size(), 1);

    // A second import of the same file finds every entry there already.
    BRIMVALE_UNWRAP(again, book::preview(m_diary, *loaded));
    QCOMPARE(again.skipped, 15);
    QVERIFY(again.additions.empty());
}

void ImportTest::entryListedTwiceIsAddedOnce_data()
{
    exportedBookComesBackExactly_data();
}

void ImportTest::entryListedTwiceIsAddedOnce()
{
    QFETCH(QString, fileName);
    const QString source = m_dir->filePath(QStringLiteral("source.dll"));
    QVERIFY(testing::writeEmptyDiary(source));
    QVERIFY(testing::appendRows(source, kTableNames[0], {{"Rue", "herb"}, {"Sage", "smoke"}, {"Rue", "herb"}}));
    QVERIFY(testing::appendRows(m_diary, kTableNames[0], {{"Sage", "smoke"}}));
    const QString file = m_dir->filePath(fileName);
    if (const auto format = book::formatOfFile(file)) {
        BRIMVALE_UNWRAP(whole, book::read(source, {Table::Spell}));
        QVERIFY(book::exportText(file, *format, whole, QStringLiteral("today")).done());
    } else {
        QVERIFY(QFile::copy(source, file));
    }

    const auto loaded = book::load(file);
    QCOMPARE(refusalOf(loaded), QString());
    BRIMVALE_UNWRAP(preview, book::preview(m_diary, *loaded));
    QCOMPARE(preview.added, (std::array<qint64, 4>{1, 0, 0, 0}));
    QCOMPARE(preview.skipped, 2);
    QVERIFY(book::import(m_diary, preview).done());
    QCOMPARE(testing::readKeywords(m_diary, kTableNames[0]), (QStringList{"Sage", "Rue"}));
}

void ImportTest::anyCsvWithTheThreeColumnsIsRead()
{
    const QString file = m_dir->filePath(QStringLiteral("from a spreadsheet.csv"));
    QVERIFY(writeBytes(file,
                       "\xEF\xBB\xBF"
                       "Meaning,SECTION,Keyword\n"
                       "\"a, b \"\"c\"\"\nd\",rituals,Moon\n"
                       "\n"
                       "plain,Spell,Rue\n"));
    QVERIFY(testing::appendRows(m_diary, QStringLiteral("tblspell"), {{"Rue", "plain"}}));
    const auto loaded = book::load(file);
    QCOMPARE(refusalOf(loaded), QString());
    BRIMVALE_UNWRAP(preview, book::preview(m_diary, *loaded));
    QCOMPARE(preview.added, (std::array<qint64, 4>{0, 0, 0, 1}));
    QCOMPARE(preview.skipped, 1);
    QVERIFY(book::import(m_diary, preview).done());
    BRIMVALE_UNWRAP(rituals, testing::readRows(m_diary, QStringLiteral("tblrituals")));
    QCOMPARE(rituals.size(), std::size_t(1));
    QCOMPARE(rituals[0].keyword, QStringLiteral("Moon"));
    QCOMPARE(rituals[0].meaning, QStringLiteral("a, b \"c\"\nd"));
}

void ImportTest::ordinaryMarkdownIsRead_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<sections::Table>("table");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("meaning");
    QTest::newRow("a paragraph") << QByteArray("# Spell\n\n## Protection Jar\n\nFill a jar with salt.\n")
                                 << sections::Table::Spell << "Protection Jar"
                                 << "Fill a jar with salt.";
    QTest::newRow("plural, any case and level, after a title and its words")
        << QByteArray("# My Book\n\nWritten in spring.\n\n### SPELLS\n\n#### Jar\n\nsalt\n") << sections::Table::Spell
        << "Jar"
        << "salt";
    QTest::newRow("singular, paragraphs up to the next heading")
        << QByteArray("Ritual\n======\n## Moon\nOne.\n\nTwo\nthree.\n\n\n## Sun\nx\n") << sections::Table::Rituals
        << "Moon"
        << "One.\n\nTwo\nthree.";
    QTest::newRow("fenced, with an info string")
        << QByteArray("## Incense\n### Kyphi\n~~~text\nresin\n~~~\n") << sections::Table::Incense << "Kyphi"
        << "resin";
    QTest::newRow("emphasis nested deeper than a stack")
        << QByteArray("## Spell\n### ") + QByteArray(200000, '*') + "x" + QByteArray(200000, '*') + "\ny\n"
        << sections::Table::Spell << "x"
        << "y";
    QTest::newRow("indented code that starts as a fence")
        << QByteArray("## Spell\n### Jar\n\n    ```\n    salt\n") << sections::Table::Spell << "Jar"
        << "```\nsalt";
    QTest::newRow("a keyword named as a section")
        << QByteArray("## Recipe\n### Spell\nstir\n") << sections::Table::Recipes << "Spell"
        << "stir";
    QTest::newRow("CR LF, a NUL byte, no line end at the end")
        << QByteArray("## Spell\r\n### Jar\r\none\r\ntwo\0", 28) << sections::Table::Spell << "Jar"
        << QStringLiteral("one\r\ntwo") + QChar(0);
}

// Markdown written by hand or by another program: a section's heading, a keyword's heading
// below it, and the meaning up to the next heading.
void ImportTest::ordinaryMarkdownIsRead()
{
    QFETCH(QByteArray, content);
    QFETCH(sections::Table, table);
    QFETCH(QString, keyword);
    QFETCH(QString, meaning);
    const QString file = m_dir->filePath(QStringLiteral("a.md"));
    QVERIFY(writeBytes(file, content));
    const auto loaded = book::load(file);
    QCOMPARE(refusalOf(loaded), QString());
    QCOMPARE(loaded->size(), std::size_t(1));
    QCOMPARE(loaded->front().table, table);
    QVERIFY(!loaded->front().entries.empty());
    QCOMPARE(loaded->front().entries.front().keyword, keyword);
    QCOMPARE(loaded->front().entries.front().meaning, meaning);
}

void ImportTest::badFilesAreRefusedWithTheirLine_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("said");
    const QByteArray header = "section,keyword,meaning\r\n";
    const QByteArray md = "# Book of Shadows\n\n## Spell\n\n";
    QTest::newRow("csv not UTF-8") << "a.csv" << header + "Spell,Rue,\xff\xfe\r\n"
                                   << "line 2 is not UTF-8 text";
    QTest::newRow("csv not a table") << "a.csv" << QByteArray("name;value\nx;y\n")
                                     << "line 1 is not a table with the columns";
    QTest::newRow("csv empty") << "a.csv" << QByteArray() << "line 1 is not a table with the columns";
    QTest::newRow("csv unknown section after a field of three lines")
        << "a.csv" << header + "Spell,Rue,\"one\r\ntwo\rthree\"\r\nRitual,Moon,full\r\n"
        << "line 5 names an unknown section, \u201cRitual\u201d";
    QTest::newRow("csv empty keyword") << "a.csv" << header + "Spell,Rue,x\r\nSpell,  ,x\r\n"
                                       << "line 3 has an empty keyword";
    QTest::newRow("csv empty meaning") << "a.csv" << header + "Spell,Rue,\r\n"
                                       << "line 2 has an empty meaning";
    QTest::newRow("csv too few fields") << "a.csv" << header + "Spell,Rue\r\n"
                                        << "line 2 has 2 fields instead of 3";
    QTest::newRow("csv too many fields") << "a.csv" << header + "\r\nSpell,Rue,x,y"
                                         << "line 3 has 4 fields instead of 3";
    QTest::newRow("csv quote never closed") << "a.csv" << header + "Spell,Rue,\"x\r\n"
                                            << "line 2 is not valid CSV";
    QTest::newRow("csv stray quote") << "a.csv" << header + "Spell,R\"ue,x\r\n"
                                     << "line 2 is not valid CSV";
    QTest::newRow("markdown not UTF-8") << "a.md" << md + "### Rue\n\n```\n\xc3\n```\n"
                                        << "line 8 is not UTF-8 text";
    QTest::newRow("markdown unknown section") << "a.md" << md + "### Rue\n\nx\n\n## Potions\n"
                                              << "line 9 names an unknown section, \u201cPotions\u201d";
    QTest::newRow("markdown keyword without meaning") << "a.md" << md + "### Rue\n\n### Sage\n\nx\n"
                                                      << "line 5 has a keyword without its meaning";
    QTest::newRow("markdown meaning never closed") << "a.md" << md + "### Rue\n\n````\nx\n```\n"
                                                   << "line 5 has a keyword without its meaning";
    QTest::newRow("markdown empty meaning") << "a.md" << md + "### Rue\n\n```\n \n```\n"
                                            << "line 5 has an empty meaning";
    QTest::newRow("markdown other text") << "a.md" << QByteArray("Dear diary,\n") << "line 1 is not part of a book";
    QTest::newRow("markdown words under a section's heading")
        << "a.md" << QByteArray("# Spells\n\nMine.\n") << "line 3 is not part of a book: a heading naming a section (";
    QTest::newRow("markdown heading below a meaning")
        << "a.md" << QByteArray("# Spell\n## Jar\nsalt\n### Steps\nstir\n")
        << "line 4 is a heading that names no section and is not at its keywords' level";
    QTest::newRow("not a diary") << "a.dll" << QByteArray(4096, 'x') << "The diary file is damaged";
}

void ImportTest::badFilesAreRefusedWithTheirLine()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    QFETCH(QString, said);
    const QString file = m_dir->filePath(fileName);
    QVERIFY(writeBytes(file, content));
    const auto loaded = book::load(file);
    const QString refusal = refusalOf(loaded);
    QVERIFY2(refusal.startsWith(QStringLiteral("Nothing was imported")), qPrintable(refusal));
    QVERIFY2(refusal.contains(said), qPrintable(refusal));
}

void ImportTest::cancelledImportWritesNothing()
{
    std::vector<std::pair<QString, QString>> many;
    for (int i = 0; i < 5000; ++i)
        many.emplace_back(QString::number(i), QStringLiteral("m"));
    const QString source = m_dir->filePath(QStringLiteral("source.dll"));
    QVERIFY(testing::writeEmptyDiary(source));
    QVERIFY(testing::appendRows(source, QStringLiteral("tblincense"), many));
    const QByteArray before = bytesOf(m_diary);

    const auto loaded = book::load(source);
    QCOMPARE(refusalOf(loaded), QString());
    BRIMVALE_UNWRAP(preview, book::preview(m_diary, *loaded));
    qint64 heard = 0;
    qint64 whole = 0;
    const book::Outcome outcome = book::import(m_diary, preview, [&](qint64 done, qint64 total) {
        heard = done;
        whole = total;
        return done < 3000;
    });
    QCOMPARE(whole, 5000);
    QCOMPARE(outcome.kind, book::Outcome::Kind::Cancelled);
    QVERIFY(heard >= 3000);
    BRIMVALE_UNWRAP(incense, testing::readRows(m_diary, QStringLiteral("tblincense")));
    QVERIFY(incense.empty());
    QCOMPARE(bytesOf(m_diary), before);
}

// Files made by someone else with the built-in key. Before any query on a table, a view chain
// overflowed the stack, an endless view froze the window and a view of big rows filled memory.
void ImportTest::diaryFileHoldingMoreThanADiaryIsRefused_data()
{
    QTest::addColumn<QString>("sql");
    // The engine takes the statement, not the type column, for what an object is.
    const QString viewAsTable =
        QStringLiteral("PRAGMA writable_schema = ON; DELETE FROM sqlite_master WHERE name = 'tblspell_keywords';"
                       "UPDATE sqlite_master SET sql = 'CREATE VIEW tblspell AS %1' WHERE name = 'tblspell';");
    const QString endless = QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT x "
                                           "AS \"Index\", %1 AS keyword, ''m'' AS meaning FROM c");
    QTest::newRow("20,000 nested views as a table")
        << viewAsTable.arg(QStringLiteral("SELECT * FROM v20000"))
            + QStringLiteral(
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
                "INSERT INTO sqlite_master (type, name, tbl_name, rootpage, sql) SELECT 'view', 'v' || i, 'v' || i, 0, "
                "'CREATE VIEW v' || i || ' AS SELECT * FROM ' || CASE i WHEN 1 THEN 'tblincense' ELSE 'v' || (i - 1) "
                "END FROM n;");
    QTest::newRow("endless view as a table") << viewAsTable.arg(endless.arg(QStringLiteral("''k''")));
    QTest::newRow("view of big rows as a table")
        << viewAsTable.arg(endless.arg(QStringLiteral("printf(''%.*c'', 10000000, ''k'')")));
    QTest::newRow("trigger") << "CREATE TRIGGER wipe AFTER INSERT ON tblspell BEGIN DELETE FROM tblincense; END;";
    QTest::newRow("extra table") << "CREATE TABLE notes (x)";
    QTest::newRow("extra index") << "CREATE INDEX tblspell_meanings ON tblspell (meaning)";
    QTest::newRow("virtual table") << "CREATE VIRTUAL TABLE notes USING fts4(x)";
}

void ImportTest::diaryFileHoldingMoreThanADiaryIsRefused()
{
    QFETCH(QString, sql);
    const QString file = m_dir->filePath(QStringLiteral("crafted.dll"));
    QVERIFY(testing::writeEmptyDiary(file));
    QVERIFY(testing::appendRows(file, QStringLiteral("tblincense"), {{"Myrrh", "resin"}}));
    QVERIFY(testing::execute(file, sql));
    const QByteArray before = bytesOf(m_diary);
    const QString refusal = QStringLiteral("The file is not a Brimvale diary.\n");

    const auto loaded = book::load(file);
    QCOMPARE(refusalOf(loaded), QStringLiteral("Nothing was imported.\n") + refusal + QDir::toNativeSeparators(file));
    QCOMPARE(bytesOf(m_diary), before);

    // Restored by hand as the working diary: neither read nor written.
    QVERIFY(QFile::remove(m_diary) && QFile::copy(file, m_diary));
    const QByteArray crafted = bytesOf(m_diary);
    const auto read = store::readKeywords(m_diary, Table::Incense);
    QVERIFY(!read.ok());
    QCOMPARE(store::message(read.failure()), refusal + QDir::toNativeSeparators(m_diary));
    const auto added = store::addEntry(m_diary, Table::Incense, {QStringLiteral("Rue"), QStringLiteral("herb")});
    QVERIFY(!added.ok());
    QCOMPARE(added.failure().kind, store::FailureKind::Foreign);
    QCOMPARE(bytesOf(m_diary), crafted);
    QVERIFY(store::backupsOf(m_diary).isEmpty());
}

// A diary file's rows never passed the checks a new entry passes: those that fail are left out
// and counted, not the whole file refused.
void ImportTest::diaryRowsWithoutKeywordOrMeaningAreLeftOut_data()
{
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QString>("said");
    QTest::newRow("one") << "('   ', 'm')"
                         << "1 entry without a keyword or meaning is left out";
    QTest::newRow("empty, NULL and spaces")
        << "('', 'm'), (NULL, 'm'), ('  ', 'm'), ('k', ''), ('k', NULL), ('k', ' '), (NULL, NULL)"
        << "7 entries without a keyword or meaning are left out";
}

void ImportTest::diaryRowsWithoutKeywordOrMeaningAreLeftOut()
{
    QFETCH(QString, rows);
    QFETCH(QString, said);
    const QString file = m_dir->filePath(QStringLiteral("older.dll"));
    QVERIFY(testing::writeEmptyDiary(file));
    QVERIFY(testing::execute(
        file, QStringLiteral("INSERT INTO tblrecipes (keyword, meaning) VALUES ('Bread', ' flour '), %1").arg(rows)));

    const auto loaded = book::load(file);
    QCOMPARE(refusalOf(loaded), QString());
    BRIMVALE_UNWRAP(preview, book::preview(m_diary, *loaded));
    QCOMPARE(preview.added, (std::array<qint64, 4>{0, 0, 1, 0}));
    QVERIFY2(book::describe(preview).endsWith(QLatin1Char('\n') + said), qPrintable(book::describe(preview)));
    QVERIFY(book::import(m_diary, preview).done());
    BRIMVALE_UNWRAP(recipes, testing::readRows(m_diary, QStringLiteral("tblrecipes")));
    QCOMPARE(recipes, (std::vector<testing::DiaryRow>{{1, QStringLiteral("Bread"), QStringLiteral(" flour ")}}));
}

// A diary file sent with the journal of a write that never finished: reading it must not roll the
// journal back into a file that is not the user's diary.
void ImportTest::diaryFileIsOnlyRead()
{
    const QString source = m_dir->filePath(QStringLiteral("source.dll"));
    QVERIFY(testing::writeEmptyDiary(source));
    std::vector<std::pair<QString, QString>> rows;
    for (int i = 0; i < 200; ++i)
        rows.push_back({QStringLiteral("Herb %1").arg(i), QString(300, QLatin1Char('m'))});
    QVERIFY(testing::appendRows(source, QStringLiteral("tblspell"), rows));

    // The write caught half-way: changed pages already in the file, the old ones in the journal.
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open_v2(source.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    const auto close = qScopeGuard([db] { sqlite3_close_v2(db); });
    const QByteArray password = store::kBuiltInPassword.toUtf8();
    QCOMPARE(sqlite3_key(db, password.constData(), int(password.size())), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, "PRAGMA cache_size = 2; BEGIN; UPDATE tblspell SET meaning = 'changed'", nullptr, nullptr,
                          nullptr),
             SQLITE_OK);
    const QString file = m_dir->filePath(QStringLiteral("sent.dll"));
    QVERIFY(QFile::copy(source, file)
            && QFile::copy(source + QStringLiteral("-journal"), file + QStringLiteral("-journal")));
    QCOMPARE(sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    const QByteArray sent = bytesOf(file);
    QVERIFY(sent != bytesOf(source));

    book::load(file);
    QCOMPARE(bytesOf(file), sent);
    QVERIFY(QFile::exists(file + QStringLiteral("-journal")));
}

BRIMVALE_TEST_MAIN(ImportTest)
#include "tst_import.moc"
