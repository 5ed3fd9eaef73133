// The diary store on real SQLCipher files, read back through a connection of the test's own and
// with the sqlcipher command-line tool.

#include "checks.h"
#include "diaryfiles.h"
#include "mounts.h"
#include "testmain.h"

#include "core/store/diarykey.h"
#include "core/store/statements.h"
#include "core/store/store.h"
#include "core/store/storeprobe.h"

#include <sqlcipher/sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using store::FailureKind;
using store::Table;
using testing::bytesOf;

namespace {
void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Every kind of store call, so that each failure path is tried for reading and writing alike.
std::vector<std::pair<const char *, std::optional<store::Failure>>> tryEveryCall(const QString &path)
{
    std::vector<std::pair<const char *, std::optional<store::Failure>>> results;
    auto record = [&](const char *name, const auto &result) {
        results.emplace_back(name, result.ok() ? std::nullopt : std::optional(result.failure()));
    };
    record("read keywords", store::readKeywords(path, Table::Spell));
    record("read entry", store::readEntry(path, Table::Spell, 1));
    record("add", store::addEntry(path, Table::Spell, {QStringLiteral("k"), QStringLiteral("m")}));
    record("update", store::updateEntry(path, Table::Spell, 1, {QStringLiteral("k"), QStringLiteral("m")}));
    record("remove", store::removeEntry(path, Table::Spell, 1));
    return results;
}
} // namespace

class StoreTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        // A folder name outside ASCII, as many users' names are.
        m_folder = m_dir->filePath(QStringLiteral("D\u00f6rte \u263d"));
        QVERIFY(QDir().mkpath(m_folder));
        m_path = m_folder + QStringLiteral("/updatediary.dll");
    }
    void cleanup()
    {
        QCOMPARE(testing::openFilesUnder(m_dir->path()), 0);
        m_dir.reset();
    }

    void builtStarterHasTheFourEmptyTablesForTheTool();
    void tablesAreReachedOnlyThroughTheirNames();
    void rowsKeepTheirIndexAndOrderAndTextExactly();
    void updateAndRemoveTouchOnlyTheirOwnRow();
    void failuresSayWhatFailed();
    void missingFileIsNeverCreated();
    void shortOrForeignFilesAreDamagedAndNeverWritten_data();
    void shortOrForeignFilesAreDamagedAndNeverWritten();
    void keyIsDerivedOncePerSalt();
    void readOnlyFileFailsOnlyAtTheWrite();
    void fullDiskLosesNothing();
    void missingCoveringIndexIsAddedByAWrite();
    void existingPathIsNeverOverwrittenByCreate();
    void failedBindIsReportedAsTheEnginesFailure();
    void noStatementRunsWithoutEnd_data();
    void noStatementRunsWithoutEnd();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;
    QString m_path;
};

void StoreTest::builtStarterHasTheFourEmptyTablesForTheTool()
{
    const QString starter = QStringLiteral(BRIMVALE_BUILT_STARTER);
    QVERIFY2(QFileInfo::exists(starter), qPrintable(starter));
    const QString listing = testing::sqlcipherTool(
        starter,
        QStringLiteral("SELECT type || ' ' || name FROM sqlite_master WHERE name NOT LIKE 'sqlite%' ORDER BY name;\n"
                       "SELECT count(*) FROM tblspell; SELECT count(*) FROM tblincense;\n"
                       "SELECT count(*) FROM tblrecipes; SELECT count(*) FROM tblrituals;\n"
                       "PRAGMA journal_mode;"));
    if (listing.isEmpty())
        QSKIP("the sqlcipher command-line tool is not installed");
    QCOMPARE(listing.split(QLatin1Char('\n'), Qt::SkipEmptyParts),
             QStringList({"table history_changes", "table history_entries", "index history_entries_by_change",
                          "table tblincense", "index tblincense_keywords", "table tblrecipes",
                          "index tblrecipes_keywords", "table tblrituals", "index tblrituals_keywords",
                          "table tblspell", "index tblspell_keywords", "0", "0", "0", "0", "delete"}));
    // The store opens it with its cached-key path too.
    BRIMVALE_UNWRAP(keywords, store::readKeywords(starter, Table::Rituals));
    QVERIFY(keywords.keywords.isEmpty());
}

void StoreTest::tablesAreReachedOnlyThroughTheirNames()
{
    QCOMPARE(store::tableNamed(u"tblspell"), Table::Spell);
    QCOMPARE(store::tableNamed(u"tblSpell"), Table::Spell);
    QCOMPARE(store::tableNamed(u"TBLINCENSE"), Table::Incense);
    QCOMPARE(store::tableNamed(u"tblRecipes"), Table::Recipes);
    QCOMPARE(store::tableNamed(u"tblRituals"), Table::Rituals);
    for (const char *other :
         {"", "tbl", "spell", "tblspells", "tblspell ", "tblspell; DROP TABLE tblspell", "sqlite_master"})
        QVERIFY2(!store::tableNamed(QString::fromLatin1(other)), other);
}

void StoreTest::rowsKeepTheirIndexAndOrderAndTextExactly()
{
    QVERIFY(testing::writeEmptyDiary(m_path));
    const QString awkward = QStringLiteral("  two  spaces\r\nnext\tline\u00a0nbsp \u2028 \u00e9\u6f22 ");
    const std::vector<store::Entry> entries{{QStringLiteral("Sage"), QStringLiteral("first")},
                                            {QStringLiteral("Sage"), QStringLiteral("second")},
                                            {QString(), QString()},
                                            {QStringLiteral("Myrrh"), awkward}};
    std::vector<qint64> indexes;
    for (const auto &entry : entries) {
        BRIMVALE_UNWRAP(added, store::addEntry(m_path, Table::Incense, entry));
        indexes.push_back(added);
    }
    QVERIFY(std::is_sorted(indexes.begin(), indexes.end()));

    BRIMVALE_UNWRAP(keywords, store::readKeywords(m_path, Table::Incense));
    QCOMPARE(keywords.indexes, indexes);
    QCOMPARE(keywords.keywords, QStringList({"Sage", "Sage", "", "Myrrh"}));
    BRIMVALE_UNWRAP(myrrh, store::readEntry(m_path, Table::Incense, indexes[3]));
    QVERIFY(myrrh);
    QCOMPARE(myrrh->meaning, awkward);
    BRIMVALE_UNWRAP(nothing, store::readEntry(m_path, Table::Incense, indexes[3] + 1));
    QVERIFY(!nothing);

    // Another connection sees the same rows, and the other tables are untouched.
    const auto rows = testing::readRows(m_path, QStringLiteral("tblincense"));
    QVERIFY(rows);
    QCOMPARE(rows->size(), entries.size());
    QCOMPARE(rows->at(1), (testing::DiaryRow{indexes[1], QStringLiteral("Sage"), QStringLiteral("second")}));
    QCOMPARE(rows->at(3).meaning, awkward);
    BRIMVALE_UNWRAP(spells, testing::readRows(m_path, QStringLiteral("tblspell")));
    QCOMPARE(spells.size(), std::size_t(0));
    // Nothing is left beside the file once a write has returned.
    QCOMPARE(QDir(m_folder).entryList(QDir::Files), QStringList{QStringLiteral("updatediary.dll")});
}

void StoreTest::updateAndRemoveTouchOnlyTheirOwnRow()
{
    QVERIFY(testing::writeEmptyDiary(m_path));
    QVERIFY(
        testing::appendRows(m_path, QStringLiteral("tblspell"), {{"Sage", "one"}, {"Sage", "two"}, {"Rue", "three"}}));
    BRIMVALE_UNWRAP(before, testing::readRows(m_path, QStringLiteral("tblspell")));
    QCOMPARE(before.size(), std::size_t(3));

    BRIMVALE_UNWRAP(updated,
                    store::updateEntry(m_path, Table::Spell, before[1].index, {QStringLiteral("Sage 2"), QString()}));
    QVERIFY(updated);
    BRIMVALE_UNWRAP(after, testing::readRows(m_path, QStringLiteral("tblspell")));
    QCOMPARE(after.size(), std::size_t(3));
    QCOMPARE(after[0], before[0]);
    QCOMPARE(after[1], (testing::DiaryRow{before[1].index, QStringLiteral("Sage 2"), QString()}));
    QCOMPARE(after[2], before[2]);

    BRIMVALE_UNWRAP(removed, store::removeEntry(m_path, Table::Spell, before[1].index));
    QVERIFY(removed);
    BRIMVALE_UNWRAP(remaining, testing::readRows(m_path, QStringLiteral("tblspell")));
    QCOMPARE(remaining, (std::vector<testing::DiaryRow>{before[0], before[2]}));

    // A row under another keyword than the caller listed is another entry: left alone.
    const QByteArray listed = bytesOf(m_path);
    BRIMVALE_UNWRAP(mismatched,
                    store::updateEntry(m_path, Table::Spell, before[0].index,
                                       {QStringLiteral("x"), QStringLiteral("y")}, QStringLiteral("Rue")));
    QVERIFY(!mismatched);
    BRIMVALE_UNWRAP(notRemoved, store::removeEntry(m_path, Table::Spell, before[2].index, QStringLiteral("Sage")));
    QVERIFY(!notRemoved);
    QCOMPARE(bytesOf(m_path), listed);
    BRIMVALE_UNWRAP(matched,
                    store::updateEntry(m_path, Table::Spell, before[0].index,
                                       {QStringLiteral("Sage"), QStringLiteral("uno")}, QStringLiteral("Sage")));
    QVERIFY(matched);
    remaining[0].meaning = QStringLiteral("uno");
    BRIMVALE_UNWRAP(rematched, testing::readRows(m_path, QStringLiteral("tblspell")));
    QCOMPARE(rematched, remaining);

    // A row that is gone: nothing happens, and the caller learns it.
    const QByteArray file = bytesOf(m_path);
    BRIMVALE_UNWRAP(again, store::removeEntry(m_path, Table::Spell, before[1].index));
    QVERIFY(!again);
    BRIMVALE_UNWRAP(
        edit, store::updateEntry(m_path, Table::Spell, before[1].index, {QStringLiteral("x"), QStringLiteral("y")}));
    QVERIFY(!edit);
    BRIMVALE_UNWRAP(unchanged, testing::readRows(m_path, QStringLiteral("tblspell")));
    QCOMPARE(unchanged, remaining);
    QCOMPARE(bytesOf(m_path), file);
}

void StoreTest::failuresSayWhatFailed()
{
    using store::Failure;
    QCOMPARE(store::message(Failure{FailureKind::Missing, QStringLiteral("/d/updatediary.dll")}),
             QStringLiteral("The diary file is missing.\n/d/updatediary.dll"));
    QCOMPARE(store::message(Failure{FailureKind::Damaged, QStringLiteral("/d/x")}),
             QStringLiteral("The diary file is damaged or the password is wrong.\n/d/x"));
    QCOMPARE(store::message(Failure{FailureKind::ReadOnly, QStringLiteral("/d/x")}),
             QStringLiteral("The diary file is read-only.\n/d/x"));
    QCOMPARE(store::message(Failure{FailureKind::DiskFull, QStringLiteral("/d/x")}),
             QStringLiteral("The entry could not be saved: the disk is full.\n/d/x"));
    QCOMPARE(store::message(Failure{FailureKind::Other, QStringLiteral("database is locked")}),
             QStringLiteral("The diary could not be read or saved.\ndatabase is locked"));
    QCOMPARE(store::message(Failure{FailureKind::Damaged, QStringLiteral("/d/x.dll"),
                                    QStringLiteral("/d/backups/x-20261207-211500.dll")}),
             QStringLiteral("The diary file is damaged or the password is wrong.\n/d/x.dll\n"
                            "Newest backup: /d/backups/x-20261207-211500.dll"));
}

void StoreTest::missingFileIsNeverCreated()
{
    for (const auto &[call, failure] : tryEveryCall(m_path)) {
        QVERIFY2(failure, call);
        QCOMPARE(failure->kind, FailureKind::Missing);
        QCOMPARE(failure->detail, QDir::toNativeSeparators(m_path));
    }
    QVERIFY(!QFileInfo::exists(m_path));
    QVERIFY(QDir(m_folder).isEmpty());
}

void StoreTest::shortOrForeignFilesAreDamagedAndNeverWritten_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("zero-length") << "zero";
    QTest::newRow("shorter than a salt") << "short";
    QTest::newRow("random bytes") << "random";
    QTest::newRow("diary with a page overwritten") << "corrupt";
    QTest::newRow("unencrypted database") << "plain";
    QTest::newRow("other password") << "password";
    QTest::newRow("encrypted, tables missing") << "tables";
}

void StoreTest::shortOrForeignFilesAreDamagedAndNeverWritten()
{
    QFETCH(QString, kind);
    if (kind == u"zero") {
        writeBytes(m_path, {});
    } else if (kind == u"short") {
        writeBytes(m_path, "0123456789");
    } else if (kind == u"random") {
        QByteArray noise(8192, '\0');
        for (qsizetype i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 7919 + 13) % 251);
        writeBytes(m_path, noise);
    } else if (kind == u"corrupt") {
        QVERIFY(testing::writeEmptyDiary(m_path));
        QByteArray bytes = bytesOf(m_path);
        for (qsizetype i = 100; i < 1024; ++i)
            bytes[i] = char(~bytes[i]);
        writeBytes(m_path, bytes);
    } else {
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open_v2(m_path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
                 SQLITE_OK);
        if (kind != u"plain") {
            const QByteArray password =
                kind == u"password" ? QByteArrayLiteral("another password") : store::kBuiltInPassword.toUtf8();
            QCOMPARE(sqlite3_key(db, password.constData(), int(password.size())), SQLITE_OK);
        }
        const char *schema = kind == u"tables"
            ? "CREATE TABLE tblspell (\"Index\" INTEGER PRIMARY KEY, keyword TEXT, meaning TEXT);"
            : "CREATE TABLE tblspell (k); CREATE TABLE tblincense (k); CREATE TABLE tblrecipes (k); CREATE TABLE "
              "tblrituals (k);";
        QCOMPARE(sqlite3_exec(db, schema, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close_v2(db);
    }
    const QByteArray before = bytesOf(m_path);

    for (const auto &[call, failure] : tryEveryCall(m_path)) {
        QVERIFY2(failure, call);
        QCOMPARE(failure->kind, FailureKind::Damaged);
        QCOMPARE(failure->detail, QDir::toNativeSeparators(m_path));
    }
    QCOMPARE(bytesOf(m_path), before);
    QCOMPARE(QDir(m_folder).entryList(QDir::Files), QStringList{QStringLiteral("updatediary.dll")});
}

void StoreTest::keyIsDerivedOncePerSalt()
{
    const QString other = m_folder + QStringLiteral("/other.dll");
    QVERIFY(testing::writeEmptyDiary(m_path));
    QVERIFY(testing::writeEmptyDiary(other));

    const int start = store::probe::keyDerivations();
    for (int i = 0; i < 5; ++i) {
        QVERIFY(store::addEntry(m_path, Table::Rituals, {QString::number(i), QStringLiteral("m")}).ok());
        QVERIFY(store::readKeywords(m_path, Table::Rituals).ok());
        QCOMPARE(testing::openFilesUnder(m_folder), 0);
    }
    QCOMPARE(store::probe::keyDerivations(), start + 1);

    // A file with another salt (e.g. replaced by another program) gets its own key.
    QVERIFY(store::readKeywords(other, Table::Rituals).ok());
    QCOMPARE(store::probe::keyDerivations(), start + 2);
    QVERIFY(QFile::remove(m_path));
    QVERIFY(QFile::copy(other, m_path));
    BRIMVALE_UNWRAP(copied, store::readKeywords(m_path, Table::Rituals));
    QVERIFY(copied.keywords.isEmpty());
    QCOMPARE(store::probe::keyDerivations(), start + 2);
}

void StoreTest::readOnlyFileFailsOnlyAtTheWrite()
{
    QVERIFY(testing::writeEmptyDiary(m_path));
    QVERIFY(testing::appendRows(m_path, QStringLiteral("tblspell"), {{"Sage", "kept"}}));
    const QByteArray before = bytesOf(m_path);
    const testing::Mount mount = testing::Mount::readOnly(m_folder);
    if (!mount.ok())
        QSKIP(qPrintable(QStringLiteral("no read-only mount: ") + mount.error()));

    BRIMVALE_UNWRAP(keywords, store::readKeywords(m_path, Table::Spell));
    QCOMPARE(keywords.keywords, QStringList{QStringLiteral("Sage")});
    QCOMPARE(keywords.indexes.size(), std::size_t(1));
    QVERIFY(store::readEntry(m_path, Table::Spell, keywords.indexes[0]).ok());
    for (const auto &[call, failure] : tryEveryCall(m_path)) {
        if (QByteArray(call).startsWith("read"))
            continue;
        QVERIFY2(failure, call);
        QCOMPARE(failure->kind, FailureKind::ReadOnly);
    }
    QCOMPARE(bytesOf(m_path), before);
}

void StoreTest::fullDiskLosesNothing()
{
    const QString folder = m_dir->filePath(QStringLiteral("small"));
    QVERIFY(QDir().mkpath(folder));
    const testing::Mount mount = testing::Mount::small(folder, 256);
    if (!mount.ok())
        QSKIP(qPrintable(QStringLiteral("no small file system: ") + mount.error()));
    const QString path = folder + QStringLiteral("/updatediary.dll");
    QVERIFY(testing::writeEmptyDiary(path));
    QVERIFY(testing::appendRows(path, QStringLiteral("tblspell"), {{"Sage", "kept"}}));
    {
        QFile filler(folder + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) { }
    }

    const auto added = store::addEntry(path, Table::Spell, {QStringLiteral("Rue"), QString(100000, QLatin1Char('m'))});
    QVERIFY(!added.ok());
    QCOMPARE(added.failure().kind, FailureKind::DiskFull);
    QCOMPARE(store::message(added.failure()),
             QStringLiteral("The entry could not be saved: the disk is full.\n") + path);
    QCOMPARE(testing::readKeywords(path, QStringLiteral("tblspell")), QStringList{QStringLiteral("Sage")});
    QVERIFY(!QFileInfo::exists(path + QStringLiteral("-journal")));
}

void StoreTest::missingCoveringIndexIsAddedByAWrite()
{
    if (QStandardPaths::findExecutable(QStringLiteral("sqlcipher")).isEmpty())
        QSKIP("the sqlcipher command-line tool is not installed");
    QVERIFY(testing::writeEmptyDiary(m_path));
    QVERIFY(testing::execute(m_path, QStringLiteral("DROP INDEX tblrecipes_keywords")));
    QVERIFY(testing::appendRows(m_path, QStringLiteral("tblrecipes"), {{"Bread", "flour"}}));
    const QString query =
        QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND name = 'tblrecipes_keywords';");

    BRIMVALE_UNWRAP(recipes, store::readKeywords(m_path, Table::Recipes));
    QCOMPARE(recipes.keywords, QStringList{QStringLiteral("Bread")});
    QCOMPARE(testing::sqlcipherTool(m_path, query).trimmed(), QString());
    QVERIFY(store::addEntry(m_path, Table::Spell, {QStringLiteral("Sage"), QStringLiteral("m")}).ok());
    QCOMPARE(testing::sqlcipherTool(m_path, query).trimmed(), QStringLiteral("tblrecipes_keywords"));
}

void StoreTest::existingPathIsNeverOverwrittenByCreate()
{
    writeBytes(m_path, "the user's own file");
    QVERIFY(store::createDiary(m_path));
    QCOMPARE(bytesOf(m_path), QByteArray("the user's own file"));
}

void StoreTest::failedBindIsReportedAsTheEnginesFailure()
{
    const auto opened = store::Connection::open(QStringLiteral(":memory:"), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    QVERIFY(opened.ok());
    // A statement run with a parameter left unbound would read NULL and carry on.
    const auto statement = store::Statement::prepare(*opened, QStringLiteral("SELECT ?1"), {{2, qint64(1)}});
    QVERIFY(!statement.ok());
    QCOMPARE(statement.failure().kind, FailureKind::Other);
    QCOMPARE(statement.failure().detail, QString::fromUtf8(sqlite3_errstr(SQLITE_RANGE)));
}

// However a damaged or crafted file made a statement run, it would end within a budget in
// proportion to the file's size (here none), handing over no more text than the file could hold.
void StoreTest::noStatementRunsWithoutEnd_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("code");
    const QString endless =
        QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT %1 FROM c");
    QTest::newRow("endless") << endless.arg(QStringLiteral("count(*)")) << SQLITE_INTERRUPT;
    QTest::newRow("ever more text") << endless.arg(QStringLiteral("printf('%.*c', 1000000, 'x')")) << SQLITE_INTERRUPT;
    QTest::newRow("one value longer than a diary holds")
        << QStringLiteral("SELECT zeroblob(20000000)") << SQLITE_TOOBIG;
}

void StoreTest::noStatementRunsWithoutEnd()
{
    QFETCH(QString, sql);
    QFETCH(int, code);
    const auto opened = store::Connection::open(QStringLiteral(":memory:"), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    QVERIFY(opened.ok());
    auto statement = store::Statement::prepare(*opened, sql);
    QVERIFY(statement.ok());
    int rc = SQLITE_ROW;
    for (int rows = 0; rc == SQLITE_ROW && rows < 1000; ++rows)
        if ((rc = statement->step()) == SQLITE_ROW)
            statement->text(0);
    QCOMPARE(rc, code);
}

BRIMVALE_TEST_MAIN(StoreTest)

#include "tst_store.moc"
