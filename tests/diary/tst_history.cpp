// The diary's history: every change taken back and brought back exactly, refusals that change
// nothing, older diaries and crafted history rows.

#include "checks.h"
#include "diaryfiles.h"
#include "fixture.h"
#include "testmain.h"

#include "core/store/history.h"
#include "core/store/historyrecord.h"
#include "core/store/password.h"
#include "core/store/storeprobe.h"

#include <QtTest>

#include <functional>
#include <map>

using store::Table;
namespace history = store::history;

namespace {
using Rows = std::map<QString, std::vector<testing::DiaryRow>>;
using Action = std::function<bool(const QString &path)>;

Rows rowsOf(const QString &path)
{
    Rows rows;
    for (Table table : store::kTables)
        rows[store::tableName(table)] =
            testing::readRows(path, store::tableName(table)).value_or(std::vector<testing::DiaryRow>());
    return rows;
}

QStringList linesOf(const QString &path)
{
    QStringList lines;
    const auto changes = history::readChanges(path);
    for (const history::Change &change : changes.ok() ? *changes : std::vector<history::Change>())
        lines << history::describe(change);
    return lines;
}

qint64 newestChange(const QString &path)
{
    const auto changes = history::readChanges(path);
    return changes.ok() && !changes->empty() ? changes->front().id : 0;
}

bool yes(const store::Result<bool> &result)
{
    return result.ok() && *result;
}

// Spell holds A, B and C; B is the second.
const qint64 kB = 2;
} // namespace

class HistoryTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_env.setUp({.workingDiary = true});
        for (const char *keyword : {"A", "B", "C"})
            QVERIFY(store::addEntry(path(), Table::Spell, {keyword, QStringLiteral("%1 means").arg(keyword)}).ok());
    }
    void cleanup() { m_env.tearDown(); }

    void everyChangeIsTakenBackAndBroughtBackExactly_data();
    void everyChangeIsTakenBackAndBroughtBackExactly();
    void changeThatNoLongerFitsChangesNothingAndSaysWhy_data();
    void changeThatNoLongerFitsChangesNothingAndSaysWhy();
    void repeatedUndoInASectionStepsFurtherBack();
    void eachUndoOfALongChainSaysWhatItDid();
    void olderDiaryIsNotWrittenByReadingAndGetsItsHistoryWithItsFirstChange();
    void craftedHistoryIsRefusedWithoutACrash_data();
    void craftedHistoryIsRefusedWithoutACrash();
    void changeAtAnOffsetNoPlaceHasIsListedInUtc_data();
    void changeAtAnOffsetNoPlaceHasIsListedInUtc();
    void usedUpNumberingIsNamed_data();
    void usedUpNumberingIsNamed();

private:
    QString path() const { return m_env->workingDiary(); }
    testing::Fixture m_env;
};

void HistoryTest::everyChangeIsTakenBackAndBroughtBackExactly_data()
{
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("undone");
    QTest::addColumn<QString>("redone");
    QTest::newRow("add") << Action([](const QString &p) {
        return store::addEntry(p, Table::Rituals, {QStringLiteral("Rue"), QStringLiteral("r")}).ok();
    }) << QStringLiteral("Added \u201cRue\u201d to Rituals")
                         << QStringLiteral("Removed \u201cRue\u201d again from Rituals")
                         << QStringLiteral("Added \u201cRue\u201d again to Rituals");
    QTest::newRow("edit") << Action([](const QString &p) {
        return yes(store::updateEntry(p, Table::Spell, kB, {QStringLiteral("Sage"), QString()}, QStringLiteral("B")));
    }) << QStringLiteral("Changed \u201cSage\u201d in Spell")
                          << QStringLiteral("Changed \u201cSage\u201d back in Spell")
                          << QStringLiteral("Changed \u201cSage\u201d again in Spell");
    QTest::newRow("remove") << Action([](const QString &p) { return yes(store::removeEntry(p, Table::Spell, kB)); })
                            << QStringLiteral("Removed \u201cB\u201d from Spell")
                            << QStringLiteral("Brought back \u201cB\u201d to Spell")
                            << QStringLiteral("Removed \u201cB\u201d again from Spell");
    QTest::newRow("import") << Action([](const QString &p) {
        return yes(
            store::addEntries(p, {{Table::Incense, {{"Myrrh", "m"}, {"B", "b"}}}, {Table::Spell, {{"D", "d"}}}}));
    }) << QStringLiteral("Imported 3 entries")
                            << QStringLiteral("Removed 3 imported entries again")
                            << QStringLiteral("Imported 3 entries again");
}

void HistoryTest::everyChangeIsTakenBackAndBroughtBackExactly()
{
    QFETCH(Action, action);
    QFETCH(QString, line);
    QFETCH(QString, undone);
    QFETCH(QString, redone);
    const Rows before = rowsOf(path());
    QVERIFY(action(path()));
    const Rows after = rowsOf(path());
    QCOMPARE(linesOf(path()).value(0), line);

    BRIMVALE_UNWRAP(undo, history::undo(path(), newestChange(path())));
    QVERIFY2(undo.change, qPrintable(undo.refusal));
    QCOMPARE(rowsOf(path()), before);
    BRIMVALE_UNWRAP(redo, history::undo(path(), *undo.change));
    QVERIFY2(redo.change, qPrintable(redo.refusal));
    QCOMPARE(rowsOf(path()), after);
    const QStringList lines{redone, undone, line};
    QCOMPARE(linesOf(path()).mid(0, 3), lines);
    BRIMVALE_UNWRAP(entries, history::readEntryChanges(path(), *redo.change));

    // The history goes with the diary when its file is written anew under another key.
    QVERIFY(store::changePassword(path(), QString(), QString()).ok());
    store::probe::forgetKeys();
    QCOMPARE(linesOf(path()).mid(0, 3), lines);
    BRIMVALE_UNWRAP(entriesAgain, history::readEntryChanges(path(), *redo.change));
    QCOMPARE(entriesAgain.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        QCOMPARE(entriesAgain[i].index, entries[i].index);
        QCOMPARE(entriesAgain[i].after.has_value(), entries[i].after.has_value());
        QCOMPARE(entriesAgain[i].before.has_value(), entries[i].before.has_value());
    }
}

void HistoryTest::changeThatNoLongerFitsChangesNothingAndSaysWhy_data()
{
    QTest::addColumn<Action>("since");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("edited again")
        << Action([](const QString &p) {
               return yes(store::updateEntry(p, Table::Spell, kB, {QStringLiteral("Sage"), QStringLiteral("again")}));
           })
        << QStringLiteral(
               "\u201cSage\u201d in Spell was changed again since, so this change can no longer be taken back.");
    QTest::newRow("removed") << Action([](const QString &p) {
        return yes(store::removeEntry(p, Table::Spell, kB));
    }) << QStringLiteral("\u201cSage\u201d in Spell was removed since, so this change can no longer be taken back.");
}

void HistoryTest::changeThatNoLongerFitsChangesNothingAndSaysWhy()
{
    QFETCH(Action, since);
    QFETCH(QString, refusal);
    QVERIFY(yes(store::updateEntry(path(), Table::Spell, kB, {QStringLiteral("Sage"), QStringLiteral("s")})));
    const qint64 edit = newestChange(path());
    QVERIFY(since(path()));
    const QByteArray file = testing::bytesOf(path());
    const QStringList lines = linesOf(path());

    BRIMVALE_UNWRAP(undone, history::undo(path(), edit));
    QVERIFY(!undone.change);
    QCOMPARE(undone.refusal, refusal);
    QCOMPARE(testing::bytesOf(path()), file);
    QCOMPARE(linesOf(path()), lines);
}

void HistoryTest::repeatedUndoInASectionStepsFurtherBack()
{
    QVERIFY(store::addEntry(path(), Table::Rituals, {QStringLiteral("Rue"), QStringLiteral("r")}).ok());
    QVERIFY(yes(store::removeEntry(path(), Table::Spell, kB)));
    QVERIFY(history::canUndoIn(path(), Table::Spell));
    QVERIFY(history::canUndoIn(path(), Table::Rituals));
    QVERIFY(!history::canUndoIn(path(), Table::Incense));

    // B comes back, then C, B and A, the adds of this run, go one by one; Rituals keeps its Rue.
    for (const QStringList &left :
         {QStringList{"A", "B", "C"}, QStringList{"A", "B"}, QStringList{"A"}, QStringList()}) {
        BRIMVALE_UNWRAP(undone, history::undoLastIn(path(), Table::Spell));
        QVERIFY2(undone.change, qPrintable(undone.refusal));
        QCOMPARE(undone.tables, std::vector<Table>{Table::Spell});
        QCOMPARE(testing::readKeywords(path(), QStringLiteral("tblspell")), left);
    }
    QVERIFY(!history::canUndoIn(path(), Table::Spell));
    BRIMVALE_UNWRAP(nothing, history::undoLastIn(path(), Table::Spell));
    QVERIFY(!nothing.change);
    QVERIFY(!nothing.refusal.isEmpty());
    QCOMPARE(testing::readKeywords(path(), QStringLiteral("tblrituals")), QStringList{"Rue"});
}

// Past the depth the history keeps, each undo of the one before still takes the add back or
// makes it again, and says which.
void HistoryTest::eachUndoOfALongChainSaysWhatItDid()
{
    QVERIFY(store::addEntry(path(), Table::Rituals, {QStringLiteral("Rue"), QStringLiteral("r")}).ok());
    for (qint64 depth = 1; depth <= history::kDeepestChain + 2; ++depth) {
        BRIMVALE_UNWRAP(undone, history::undo(path(), newestChange(path())));
        QVERIFY2(undone.change, qPrintable(undone.refusal));
        const bool again = depth % 2 == 0;
        QCOMPARE(linesOf(path()).value(0),
                 again ? QStringLiteral("Added \u201cRue\u201d again to Rituals")
                       : QStringLiteral("Removed \u201cRue\u201d again from Rituals"));
        QCOMPARE(testing::readKeywords(path(), QStringLiteral("tblrituals")),
                 again ? QStringList{QStringLiteral("Rue")} : QStringList());
    }
}

void HistoryTest::olderDiaryIsNotWrittenByReadingAndGetsItsHistoryWithItsFirstChange()
{
    QVERIFY(testing::execute(path(), QStringLiteral("DROP TABLE history_entries; DROP TABLE history_changes;")));
    const QByteArray file = testing::bytesOf(path());
    BRIMVALE_UNWRAP(none, history::readChanges(path()));
    QVERIFY(none.empty());
    BRIMVALE_UNWRAP(noEntries, history::readEntryChanges(path(), 1));
    QVERIFY(noEntries.empty());
    BRIMVALE_UNWRAP(gone, history::undo(path(), 1));
    QVERIFY(!gone.change);
    QCOMPARE(testing::bytesOf(path()), file);

    QVERIFY(yes(store::removeEntry(path(), Table::Spell, kB)));
    QCOMPARE(linesOf(path()), QStringList{QStringLiteral("Removed \u201cB\u201d from Spell")});
    BRIMVALE_UNWRAP(undone, history::undo(path(), newestChange(path())));
    QVERIFY2(undone.change, qPrintable(undone.refusal));
    QCOMPARE(testing::readKeywords(path(), QStringLiteral("tblspell")), QStringList({"A", "B", "C"}));
}

void HistoryTest::craftedHistoryIsRefusedWithoutACrash_data()
{
    QTest::addColumn<QString>("sql");
    QTest::newRow("unknown section") << QStringLiteral("UPDATE history_entries SET section = 9");
    QTest::newRow("unknown kind") << QStringLiteral("UPDATE history_changes SET kind = -3");
    QTest::newRow("no entries") << QStringLiteral("DELETE FROM history_entries");
    QTest::newRow("the entry twice") << QStringLiteral(
        "INSERT INTO history_entries SELECT * FROM history_entries WHERE change_id = 4");
    QTest::newRow("an Index never given") << QStringLiteral("UPDATE history_entries SET \"Index\" = 9000000000000");
    QTest::newRow("no text where the entry was") << QStringLiteral("UPDATE history_entries SET keyword_before = NULL");
    QTest::newRow("an undo of a restore")
        << QStringLiteral("UPDATE history_changes SET kind = 5, undid = 1, undid_kind = 6, first_kind = 6, depth = 1");
    QTest::newRow("an undo of itself, endlessly deep")
        << QStringLiteral("UPDATE history_changes SET kind = 5, undid = id, undid_kind = 5, first_kind = 5, "
                          "depth = 9000000000000000000, entries = -1, section = 77");
}

void HistoryTest::craftedHistoryIsRefusedWithoutACrash()
{
    QFETCH(QString, sql);
    QVERIFY(yes(store::removeEntry(path(), Table::Spell, kB)));
    const qint64 removal = newestChange(path());
    QVERIFY(testing::execute(path(), sql));
    const Rows rows = rowsOf(path());

    const auto changes = history::readChanges(path());
    QVERIFY(changes.ok());
    for (const history::Change &change : *changes)
        QVERIFY(!history::describe(change).isEmpty());
    history::readEntryChanges(path(), removal);
    BRIMVALE_UNWRAP(undone, history::undo(path(), removal));
    QVERIFY(!undone.change);
    QVERIFY(!undone.refusal.isEmpty());
    QCOMPARE(rowsOf(path()), rows);
}

void HistoryTest::changeAtAnOffsetNoPlaceHasIsListedInUtc_data()
{
    QTest::addColumn<QString>("offset"); // as SQL
    QTest::addColumn<int>("listed");
    QTest::newRow("Kiribati") << QStringLiteral("50400") << 50400;
    QTest::newRow("a day west") << QStringLiteral("-86400") << 0;
    QTest::newRow("the most negative number") << QStringLiteral("-9223372036854775807 - 1") << 0;
    QTest::newRow("the largest number") << QStringLiteral("9223372036854775807") << 0;
}

void HistoryTest::changeAtAnOffsetNoPlaceHasIsListedInUtc()
{
    QFETCH(QString, offset);
    QFETCH(int, listed);
    QVERIFY(testing::execute(path(), QStringLiteral("UPDATE history_changes SET at_offset = %1").arg(offset)));
    BRIMVALE_UNWRAP(changes, history::readChanges(path()));
    QCOMPARE(changes.size(), std::size_t(3));
    for (const history::Change &change : changes)
        QCOMPARE(change.at.offsetFromUtc(), listed);
}

void HistoryTest::usedUpNumberingIsNamed_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("said");
    const QString usedUp = QStringLiteral("UPDATE sqlite_sequence SET seq = 9223372036854775807 WHERE name = '%1'");
    const QString history = QStringLiteral(
        "The entry could not be saved: the history can take no more changes; Clear History makes room.\n");
    QTest::newRow("a section's") << usedUp.arg("tblspell")
                                 << "The entry could not be saved: Spell can take no more entries.";
    QTest::newRow("the history's") << usedUp.arg("history_changes") << history;
    // The first change makes the tables again, and the engine's rollback of that failure takes them.
    QTest::newRow("the history's, without its tables")
        << "DROP TABLE history_entries; DROP TABLE history_changes; "
           "INSERT INTO sqlite_sequence VALUES ('history_changes', 9223372036854775807)"
        << history;
}

// Only a crafted file, or one restored from such a backup, has a counter at the largest number.
// No room freed on the disk would help, so the message says what does.
void HistoryTest::usedUpNumberingIsNamed()
{
    QFETCH(QString, sql);
    QFETCH(QString, said);
    QVERIFY(testing::execute(path(), sql));
    const QByteArray file = testing::bytesOf(path());
    const store::Entry rue{QStringLiteral("Rue"), QStringLiteral("herb")};
    const auto added = store::addEntry(path(), Table::Spell, rue);
    QVERIFY(!added.ok());
    QCOMPARE(store::message(added.failure()), said.endsWith(QLatin1Char('\n')) ? said + path() : said);
    QCOMPARE(testing::bytesOf(path()), file);
    // Clearing the history numbers its changes from the start again; a section's entries keep theirs.
    QVERIFY(!history::clear(path()));
    QCOMPARE(store::addEntry(path(), Table::Spell, rue).ok(), said.endsWith(QLatin1Char('\n')));
}

BRIMVALE_TEST_MAIN(HistoryTest)

#include "tst_history.moc"
