#include "sections.h"

#include "fixtures.h"

#include "core/datafolder.h"
#include "core/store/password.h"
#include "core/store/store.h"
#include "gui/forms.h"
#include "gui/windows/sectionwindow.h"

#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringListModel>
#include <QTest>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>
#include <optional>

namespace bench {

namespace {

constexpr store::Table kStoreTable = store::Table::Spell;

// The floor's list: a QListView alone, given the window's one optimisation too.
struct BareList {
    BareList()
    {
        view.setModel(&model);
        view.setUniformItemSizes(true);
        view.resize(425, 69);
        view.show();
    }
    void fill(KeywordList &&list)
    {
        indexes = std::move(list.indexes); // the window keeps each line's "Index" too
        model.setStringList(list.keywords);
    }
    QListView view;
    QStringListModel model;
    std::vector<qint64> indexes;
    PaintWatch watch{view.viewport()};
};

struct BareBoxes {
    BareBoxes()
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(&keyword);
        layout->addWidget(&meaning);
        window.resize(425, 120);
        window.show();
    }
    QWidget window;
    QLineEdit keyword{&window};
    QPlainTextEdit meaning{&window};
};

SectionWindow *sectionWindow()
{
    return forms::loaded<SectionWindow>();
}

QPoint lineCentre(SectionWindow *window, int row)
{
    QListView *list = window->findChild<QListView *>(QStringLiteral("lstKeyword"));
    const QModelIndex index = list->model()->index(row, 0);
    list->scrollTo(index);
    return list->visualRect(index).center();
}

void clickLine(SectionWindow *window, int row)
{
    QTest::mouseClick(window->findChild<QListView *>(QStringLiteral("lstKeyword"))->viewport(), Qt::LeftButton, {},
                      lineCentre(window, row));
    QCoreApplication::processEvents();
}

int positionOf(SectionWindow *window, qint64 index)
{
    const auto &indexes = window->lineIndexes();
    const auto found = std::find(indexes.begin(), indexes.end(), index);
    return found == indexes.end() ? -1 : int(found - indexes.begin());
}

int lines(SectionWindow *window)
{
    return window->findChild<QListView *>(QStringLiteral("lstKeyword"))->model()->rowCount();
}

QString listed(SectionWindow *window, int row)
{
    return window->findChild<QListView *>(QStringLiteral("lstKeyword"))->model()->index(row, 0).data().toString();
}

struct Row {
    qint64 index = 0;
    QString keyword; // as listed, which the store checks before it changes the row
};

Row takeLast(std::vector<Row> &rows)
{
    require(!rows.empty(), "a row is left to remove");
    const Row row = rows.back();
    rows.pop_back();
    return row;
}

} // namespace

void measureSection(const Run &run, int entries, Results &results)
{
    closeWindows();
    const QString path = datafolder::workingDiaryPath();
    require(makeDiary(path, kTable, entries), "the diary is made");
    // The floor works on a copy of its own: the window's writes would empty its page cache.
    const QString floorPath = path + QStringLiteral(".floor");
    QFile::remove(floorPath);
    require(QFile::copy(path, floorPath), "the floor's copy is made");
    // The floor keeps the built-in key: once derived, a raw key costs the engine the same.
    if (!run.password.isEmpty())
        require(store::changePassword(path, {}, run.password).ok(), "the password is set");
    OpenDiary floorDb(floorPath, kTable);
    require(floorDb.ok(), "the floor's connection opens");
    const QByteArray rawKey = rawKeyOf(floorPath);
    auto reopen = [&] { require(reopenWithRawKey(floorPath, rawKey), "reopen with the raw key"); };

    // Results are dropped in the untimed setup, as the window drops its list when it closes.
    std::optional<KeywordList> floorKeywords;
    std::optional<store::Result<store::Keywords>> storeKeywords;
    auto dropResults = [&](int) {
        floorKeywords.reset();
        storeKeywords.reset();
    };

    // --- load: the window as Continue shows it, list filled and painted
    Figures &load = results[QStringLiteral("load")][entries];
    std::unique_ptr<BareList> bare;
    measure(
        run,
        {
            {[](int) { closeWindows(); },
             [](int) {
                 forms::show<SectionWindow>(kChoice);
                 PaintWatch watch(sectionWindow()->findChild<QListView *>(QStringLiteral("lstKeyword"))->viewport());
                 settle(watch);
             },
             [&](int) { require(lines(sectionWindow()) == entries, "load fills the list"); }, &load.window},
            {[&](int) {
                 bare.reset();
                 QCoreApplication::processEvents();
             },
             [&](int) {
                 reopen();
                 auto keywords = floorDb.readKeywords();
                 bare = std::make_unique<BareList>();
                 bare->fill(std::move(keywords));
                 settle(bare->watch);
             },
             [&](int) { require(bare->model.rowCount() == entries, "the bare list is filled"); }, &load.floor},
            {dropResults, [&](int) { storeKeywords = store::readKeywords(path, kStoreTable); },
             [&](int) {
                 require(storeKeywords->ok() && int((*storeKeywords)->keywords.size()) == entries, "the store reads");
             },
             &load.store},
            {dropResults,
             [&](int) {
                 reopen();
                 floorKeywords = floorDb.readKeywords();
             },
             {},
             &load.floorSql},
        });

    // From here on the window stays, open for browsing.
    closeWindows();
    forms::show<SectionWindow>(kChoice);
    SectionWindow *window = sectionWindow();
    window->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    require(window->mode() == SectionWindow::Mode::Browsing, "the section opens");
    PaintWatch windowList(window->findChild<QListView *>(QStringLiteral("lstKeyword"))->viewport());
    const std::vector<qint64> originalIndexes = window->lineIndexes();
    bare = std::make_unique<BareList>();
    BareBoxes boxes;
    QCoreApplication::processEvents();

    // --- select: two lines near the end in turn, so that every click selects
    Figures &select = results[QStringLiteral("select")][entries];
    auto nearEnd = [&](int rep) { return entries - 2 - (rep & 1); };
    auto nearEndIndex = [&](int rep) { return originalIndexes[std::size_t(nearEnd(rep))]; };
    QPoint target;
    std::optional<store::Result<std::optional<store::Entry>>> storeEntry;
    QString keyword, meaning;
    measure(run,
            {
                {[&](int rep) {
                     target = lineCentre(window, nearEnd(rep));
                     QCoreApplication::processEvents();
                 },
                 [&](int) {
                     QTest::mouseClick(window->findChild<QListView *>(QStringLiteral("lstKeyword"))->viewport(),
                                       Qt::LeftButton, {}, target);
                 },
                 [&](int rep) {
                     require(window->findChild<QLineEdit *>(QStringLiteral("txtKeyword"))->text()
                                 == keywordFor(nearEnd(rep)),
                             "select shows the keyword");
                     require(window->findChild<QPlainTextEdit *>(QStringLiteral("txtMeaning"))->toPlainText()
                                 == meaningFor(nearEnd(rep)),
                             "select shows the meaning");
                 },
                 &select.window},
                {{},
                 [&](int rep) {
                     reopen();
                     floorDb.readEntry(nearEndIndex(rep), keyword, meaning);
                     boxes.keyword.setText(keyword);
                     boxes.meaning.setPlainText(meaning);
                 },
                 [&](int rep) {
                     require(boxes.keyword.text() == keywordFor(nearEnd(rep)), "the bare box shows the keyword");
                 },
                 &select.floor},
                {[&](int) { storeEntry.reset(); },
                 [&](int rep) { storeEntry = store::readEntry(path, kStoreTable, nearEndIndex(rep)); },
                 [&](int) { require(storeEntry->ok() && (*storeEntry)->has_value(), "the store reads the entry"); },
                 &select.store},
                {{},
                 [&](int rep) {
                     reopen();
                     floorDb.readEntry(nearEndIndex(rep), keyword, meaning);
                 },
                 {},
                 &select.floorSql},
            });

    // --- add: every lane appends rows that its remove lane takes away again
    Figures &add = results[QStringLiteral("add")][entries];
    std::vector<Row> windowAdded, floorAdded, storeAdded, sqlAdded;
    QString newKeyword, newMeaning;
    int made = 0;
    auto newEntry = [&](int) {
        newKeyword = QStringLiteral("Added%1").arg(++made, 7, 10, QLatin1Char('0'));
        newMeaning = meaningFor(entries + made);
    };
    measure(run,
            {
                {[&](int rep) {
                     newEntry(rep);
                     window->findChild<QPushButton *>(QStringLiteral("Command2"))->click();
                     require(window->mode() == SectionWindow::Mode::Adding, "adding");
                     window->findChild<QLineEdit *>(QStringLiteral("txtKeyword"))->setText(newKeyword);
                     window->findChild<QPlainTextEdit *>(QStringLiteral("txtMeaning"))->setPlainText(newMeaning);
                 },
                 [&](int) {
                     window->findChild<QPushButton *>(QStringLiteral("Command2"))->click();
                     settle(windowList);
                 },
                 [&](int) {
                     require(window->mode() == SectionWindow::Mode::Browsing, "add returns to browsing");
                     require(listed(window, lines(window) - 1) == newKeyword, "add lists the new keyword last");
                     windowAdded.push_back({window->lineIndexes().back(), newKeyword});
                 },
                 &add.window},
                {newEntry,
                 [&](int) {
                     reopen();
                     floorAdded.push_back({floorDb.add(newKeyword, newMeaning), newKeyword});
                     bare->fill(floorDb.readKeywords());
                     settle(bare->watch);
                 },
                 [&](int) { require(floorAdded.back().index > 0, "the floor adds"); }, &add.floor},
                {newEntry,
                 [&](int) {
                     const auto added = store::addEntry(path, kStoreTable, {newKeyword, newMeaning});
                     require(added.ok(), "the store adds");
                     storeAdded.push_back({*added, newKeyword});
                 },
                 {},
                 &add.store},
                {newEntry,
                 [&](int) {
                     reopen();
                     sqlAdded.push_back({floorDb.add(newKeyword, newMeaning), newKeyword});
                 },
                 [&](int) { require(sqlAdded.back().index > 0, "the floor adds"); }, &add.floorSql},
            });

    // --- edit: a line near the end, a new keyword and meaning each time. The store's lane edits
    // the line above, so that the window never finds its line changed behind its back (it would
    // rightly refuse to save then); the floor's lanes edit the window's line in their copy.
    Figures &edit = results[QStringLiteral("edit")][entries];
    const int editRow = entries - 2;
    Row storeLine{originalIndexes[std::size_t(editRow - 1)], keywordFor(editRow - 1)};
    Row floorLine{originalIndexes[std::size_t(editRow)], keywordFor(editRow)};
    auto edited = [&](int) {
        newKeyword = QStringLiteral("Edited%1").arg(++made, 6, 10, QLatin1Char('0'));
        newMeaning = meaningFor(made);
    };
    auto floorEdit = [&] {
        require(floorDb.update(floorLine.index, floorLine.keyword, newKeyword, newMeaning), "the floor updates");
        floorLine.keyword = newKeyword;
    };
    measure(run,
            {
                {[&](int rep) {
                     edited(rep);
                     clickLine(window, editRow);
                     window->findChild<QPushButton *>(QStringLiteral("Command4"))->click();
                     require(window->mode() == SectionWindow::Mode::Editing, "editing");
                     window->findChild<QLineEdit *>(QStringLiteral("txtKeyword"))->setText(newKeyword);
                     window->findChild<QPlainTextEdit *>(QStringLiteral("txtMeaning"))->setPlainText(newMeaning);
                 },
                 [&](int) {
                     window->findChild<QPushButton *>(QStringLiteral("Command4"))->click();
                     settle(windowList);
                 },
                 [&](int) {
                     require(window->mode() == SectionWindow::Mode::Browsing, "edit returns to browsing");
                     require(listed(window, editRow) == newKeyword, "edit lists the new keyword");
                 },
                 &edit.window},
                {edited,
                 [&](int) {
                     reopen();
                     floorEdit();
                     bare->fill(floorDb.readKeywords());
                     settle(bare->watch);
                 },
                 {},
                 &edit.floor},
                {edited,
                 [&](int) {
                     const auto updated = store::updateEntry(path, kStoreTable, storeLine.index,
                                                             {newKeyword, newMeaning}, storeLine.keyword);
                     require(updated.ok() && *updated, "the store updates");
                 },
                 [&](int) { storeLine.keyword = newKeyword; }, &edit.store},
                {edited,
                 [&](int) {
                     reopen();
                     floorEdit();
                 },
                 {},
                 &edit.floorSql},
            });

    // --- remove: the rows each add lane appended, newest first
    Figures &remove = results[QStringLiteral("remove")][entries];
    Row victim;
    measure(run,
            {
                {[&](int) {
                     victim = takeLast(windowAdded);
                     const int row = positionOf(window, victim.index);
                     require(row >= 0, "the added line is listed");
                     clickLine(window, row);
                 },
                 [&](int) {
                     window->findChild<QPushButton *>(QStringLiteral("Command3"))->click();
                     settle(windowList);
                 },
                 [&](int) {
                     require(positionOf(window, victim.index) < 0, "remove drops its own line");
                     require(window->findChild<QLineEdit *>(QStringLiteral("txtKeyword"))->text().isEmpty(),
                             "remove empties the boxes");
                 },
                 &remove.window},
                {[&](int) { victim = takeLast(floorAdded); },
                 [&](int) {
                     reopen();
                     require(floorDb.remove(victim.index, victim.keyword), "the floor removes");
                     bare->fill(floorDb.readKeywords());
                     settle(bare->watch);
                 },
                 {},
                 &remove.floor},
                {[&](int) { victim = takeLast(storeAdded); },
                 [&](int) {
                     const auto removed = store::removeEntry(path, kStoreTable, victim.index, victim.keyword);
                     require(removed.ok() && *removed, "the store removes");
                 },
                 {},
                 &remove.store},
                {[&](int) { victim = takeLast(sqlAdded); },
                 [&](int) {
                     reopen();
                     require(floorDb.remove(victim.index, victim.keyword), "the floor removes");
                 },
                 {},
                 &remove.floorSql},
            });

    // --- refresh
    Figures &refresh = results[QStringLiteral("refresh")][entries];
    measure(run,
            {
                {{},
                 [&](int) {
                     window->findChild<QPushButton *>(QStringLiteral("cmdRefresh"))->click();
                     settle(windowList);
                 },
                 [&](int) { require(lines(window) == entries, "refresh lists every entry"); },
                 &refresh.window},
                {{},
                 [&](int) {
                     reopen();
                     bare->fill(floorDb.readKeywords());
                     settle(bare->watch);
                 },
                 [&](int) { require(bare->model.rowCount() == entries, "the bare list is filled"); },
                 &refresh.floor},
                {dropResults, [&](int) { storeKeywords = store::readKeywords(path, kStoreTable); }, {}, &refresh.store},
                {dropResults,
                 [&](int) {
                     reopen();
                     floorKeywords = floorDb.readKeywords();
                 },
                 {},
                 &refresh.floorSql},
            });

    require(window->lineIndexes() == originalIndexes, "the diary holds its rows again");
    closeWindows();
    QFile::remove(floorPath);
}

} // namespace bench
