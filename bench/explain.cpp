#include "explain.h"

#include "fixtures.h"
#include "sections.h"

#include "core/datafolder.h"
#include "core/store/backups.h"
#include "core/store/store.h"
#include "core/store/storeprobe.h"
#include "gui/forms.h"
#include "gui/windows/sectionwindow.h"

#include <sqlcipher/sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QListView>
#include <QStringListModel>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

namespace bench {

namespace {

enum class Keep { Strings, Block, Nothing };

// The store's keyword read through the C API, with the knobs the store could turn.
int coldKeywords(const QString &path, const QByteArray &rawKey, int flags, int pageSize, Keep keep)
{
    sqlite3 *db = openWithRawKey(path, rawKey, flags, pageSize);
    require(db, "the diary opens");
    sqlite3_stmt *statement = nullptr;
    const QByteArray sql = QStringLiteral("SELECT \"Index\", keyword FROM %1 ORDER BY \"Index\"").arg(kTable).toUtf8();
    require(sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr) == SQLITE_OK, "the keywords are read");
    std::vector<qint64> indexes;
    QStringList strings;
    QByteArray block;
    std::vector<int> starts;
    int rows = 0;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        ++rows;
        if (keep == Keep::Nothing)
            continue;
        indexes.push_back(sqlite3_column_int64(statement, 0));
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, 1));
        const int bytes = sqlite3_column_bytes(statement, 1);
        if (keep == Keep::Strings) {
            strings << QString::fromUtf8(text, bytes);
        } else {
            starts.push_back(int(block.size()));
            block.append(text, bytes);
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close_v2(db);
    return rows;
}

int flushOnce(const QString &folder)
{
    const QByteArray name = QFile::encodeName(folder + QStringLiteral("/flush.probe"));
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    require(fd >= 0, "a file to flush");
    char page[4096] = {};
    require(::write(fd, page, sizeof page) == ssize_t(sizeof page), "a page written");
    const int flushed = ::fdatasync(fd);
    ::close(fd);
    return flushed;
}

} // namespace

std::vector<Part> explainSection(const Run &run, int entries)
{
    const QString folder = datafolder::folderPath;
    const QString small = folder + QStringLiteral("/explain-1k.dll");
    const QString large = folder + QStringLiteral("/explain-4k.dll");
    require(makeDiary(small, kTable, entries), "the diary is made");
    require(makeDiary(large, kTable, entries, 4096), "the diary with 4 KiB pages is made");
    const QByteArray smallKey = rawKeyOf(small);
    const QByteArray largeKey = rawKeyOf(large);
    OpenDiary open(small, kTable);
    require(open.ok(), "the open connection");

    std::vector<Part> parts{
        {QStringLiteral("keywords, reopened: as the store reads them (1 KiB pages, a QString per line)")},
        {QStringLiteral("keywords, reopened: the same with SQLITE_OPEN_NOMUTEX")},
        {QStringLiteral("keywords, reopened: NOMUTEX, one UTF-8 block instead of a QString per line")},
        {QStringLiteral("keywords, reopened: 4 KiB pages, a QString per line")},
        {QStringLiteral("keywords, reopened: 4 KiB pages, NOMUTEX, one UTF-8 block")},
        {QStringLiteral("keywords, reopened: the engine alone (rows stepped, nothing read out)")},
        {QStringLiteral("keywords on the open connection, a QString per line")},
        {QStringLiteral("fdatasync of one 4 KiB write in the data folder (the disk's flush)")},
        {QStringLiteral("section window built, shown and painted, no list (Load Book profile)")},
        {QStringLiteral("bare list: setStringList with every keyword and paint")},
        {QStringLiteral("first write of a run: the store's add with its whole-diary check and backup")},
        {QStringLiteral("a later write: the store's add")},
    };
    auto readLane = [&](std::size_t part, const QString &path, const QByteArray &key, int flags, int pageSize,
                        Keep keep) {
        return Lane{{},
                    [=](int) { require(coldKeywords(path, key, flags, pageSize, keep) == entries, "every keyword"); },
                    {},
                    &parts[part].ms};
    };
    std::optional<KeywordList> kept;
    QStringList keywords = open.readKeywords().keywords;
    QListView view;
    QStringListModel model;
    view.setModel(&model);
    view.setUniformItemSizes(true);
    view.resize(425, 69);
    view.show();
    PaintWatch watch(view.viewport());

    measure(
        run,
        {
            readLane(0, small, smallKey, 0, 0, Keep::Strings),
            readLane(1, small, smallKey, SQLITE_OPEN_NOMUTEX, 0, Keep::Strings),
            readLane(2, small, smallKey, SQLITE_OPEN_NOMUTEX, 0, Keep::Block),
            readLane(3, large, largeKey, 0, 4096, Keep::Strings),
            readLane(4, large, largeKey, SQLITE_OPEN_NOMUTEX, 4096, Keep::Block),
            readLane(5, small, smallKey, 0, 0, Keep::Nothing),
            {[&](int) { kept.reset(); }, [&](int) { kept = open.readKeywords(); }, {}, &parts[6].ms},
            {{}, [&](int) { require(flushOnce(folder) == 0, "the flush"); }, {}, &parts[7].ms},
            {[&](int) {
                 forms::startAfresh();
                 QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
             },
             [&](int) {
                 forms::show<SectionWindow>(
                     SectionChoice{sections::kLoadBookOption, kSectionName, sections::Table::Spell});
                 PaintWatch shown(
                     forms::loaded<SectionWindow>()->findChild<QListView *>(QStringLiteral("lstKeyword"))->viewport());
                 settle(shown);
             },
             {},
             &parts[8].ms},
            {[&](int) {
                 model.setStringList({});
                 QCoreApplication::processEvents();
             },
             [&](int) {
                 model.setStringList(keywords);
                 settle(watch);
             },
             {},
             &parts[9].ms},
        });

    // Once per run and diary the store checks every page and copies the file before it writes;
    // fewer runs, since each leaves a backup of the whole diary.
    Run fewer = run;
    fewer.reps = std::min(run.reps, 7);
    qint64 added = 0;
    auto addOne = [&] {
        const auto made = store::addEntry(small, store::Table::Spell, {QStringLiteral("Added"), meaningFor(0)});
        require(made.ok(), "the store adds");
        added = *made;
    };
    auto removeAdded = [&](int) {
        require(store::removeEntry(small, store::Table::Spell, added).ok(), "the store removes");
    };
    measure(fewer,
            {
                {[](int) { store::probe::startNewRun(); }, [&](int) { addOne(); }, removeAdded, &parts[10].ms},
                {{}, [&](int) { addOne(); }, removeAdded, &parts[11].ms},
            });

    forms::startAfresh();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QDir(store::backupFolder(small)).removeRecursively();
    for (const QString &path : {small, large, folder + QStringLiteral("/flush.probe")})
        QFile::remove(path);
    return parts;
}

} // namespace bench
