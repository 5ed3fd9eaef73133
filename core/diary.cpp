#include "core/diary.h"

#include "core/datafolder.h"
#include "core/find/liveindex.h"
#include "core/store/checkahead.h"
#include "core/store/diarykey.h"
#include "core/worker.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>

#include <algorithm>

namespace {
// An undo of more entries than this (an import taken back) is told as its sections changed: the
// windows read those again, which is quicker than following each entry.
constexpr std::size_t kRowsNamed = 500;

// The file as another program would leave it changed: this run's own writes to other files (a
// backup written anew) are no change of the diary.
store::DiaryVersion lookOf(const QString &path)
{
    store::DiaryVersion look = store::versionOf(path);
    look.writesThisRun = 0;
    return look;
}
} // namespace

bool DiaryChange::touches(store::Table table) const
{
    return wholeSection(table)
        || std::any_of(rows.begin(), rows.end(), [table](const Row &row) { return row.table == table; });
}

const DiaryChange::Row *DiaryChange::row(store::Table table, qint64 index) const
{
    const auto found = std::find_if(rows.begin(), rows.end(),
                                    [&](const Row &row) { return row.table == table && row.index == index; });
    return found == rows.end() ? nullptr : &*found;
}

Diary &Diary::working()
{
    // Lives as long as the process: windows and the lock listen to it until the very end.
    static auto *diary = new Diary;
    return *diary;
}

Diary::Diary() : m_index(new finder::LiveIndex(this)), m_checker(std::make_unique<Worker>())
{
    // First, so that the index has followed a change before any window hears of it.
    connect(this, &Diary::changed, m_index, &finder::LiveIndex::follow);
    // No reader outlives the run, and no copy made ahead of a first write that never came stays.
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] {
            stopReaders();
            store::forgetChecksAhead();
        });
}

QString Diary::path() const
{
    return datafolder::workingDiaryPath();
}

Diary::~Diary()
{
    stopReaders();
}

std::optional<store::Failure> Diary::open()
{
    lookForOutsideChange();
    if (const auto locked = store::unlock(path()))
        return locked;
    startReaders();
    return std::nullopt;
}

store::Result<store::Keywords> Diary::keywords(store::Table table)
{
    lookForOutsideChange();
    auto keywords = store::readKeywords(path(), table);
    if (keywords.ok() && m_readersFor.isEmpty())
        startReaders();
    return keywords;
}

store::Result<std::optional<store::Entry>> Diary::entry(store::Table table, qint64 index)
{
    lookForOutsideChange();
    auto entry = store::readEntry(path(), table, index);
    if (entry.ok() && m_readersFor.isEmpty())
        startReaders();
    return entry;
}

void Diary::prepareFirstOpen()
{
    const QString diary = path();
    if (!diary.isEmpty() && m_readersFor.isEmpty() && QFileInfo::exists(diary))
        m_checker->start([diary] { store::deriveBuiltInKeyAhead(diary); });
}

// Each with a connection of its own, which never asks for a password: the diary has just opened on
// the window's thread, with its key.
void Diary::startReaders()
{
    const QString diary = path();
    if (diary.isEmpty() || m_locked)
        return;
    if (diary != m_readersFor)
        stopReaders();
    m_readersFor = diary;
    // A missing diary is an empty one to Find.
    if (QFileInfo::exists(diary))
        if (auto check = store::claimCheckAhead(diary))
            m_checker->start(std::move(check));
    m_index->read(diary);
}

void Diary::stopReaders()
{
    m_index->drop();
    if (!m_readersFor.isEmpty())
        store::stopCheckAhead(m_readersFor);
    m_checker->wait();
}

void Diary::lock()
{
    m_locked = true;
    stopReaders();
}

void Diary::unlock()
{
    m_locked = false;
    if (!m_readersFor.isEmpty())
        startReaders();
}

store::Result<qint64> Diary::add(store::Table table, const store::Entry &entry)
{
    lookForOutsideChange();
    auto added = store::addEntry(path(), table, entry);
    sawOwnChange();
    if (added.ok())
        tell({.rows = {{table, *added, entry}}, .history = true});
    return added;
}

store::Result<bool> Diary::update(store::Table table, qint64 index, const store::Entry &entry,
                                  const std::optional<QString> &listedKeyword)
{
    lookForOutsideChange();
    auto updated = store::updateEntry(path(), table, index, entry, listedKeyword);
    sawOwnChange();
    if (updated.ok() && *updated)
        tell({.rows = {{table, index, entry}}, .history = true});
    return updated;
}

store::Result<bool> Diary::remove(store::Table table, qint64 index, const std::optional<QString> &listedKeyword)
{
    lookForOutsideChange();
    auto removed = store::removeEntry(path(), table, index, listedKeyword);
    sawOwnChange();
    if (removed.ok() && *removed)
        tell({.rows = {{table, index, std::nullopt}}, .history = true});
    return removed;
}

store::Result<store::history::Undo> Diary::undo(qint64 change)
{
    return takeBack([&] { return store::history::undo(path(), change); });
}

store::Result<store::history::Undo> Diary::undoLastIn(store::Table table)
{
    return takeBack([&] { return store::history::undoLastIn(path(), table); });
}

store::Result<store::history::Undo> Diary::redoLastIn(store::Table table)
{
    return takeBack([&] { return store::history::redoLastIn(path(), table); });
}

store::Result<store::history::Undo> Diary::takeBack(const std::function<store::Result<store::history::Undo>()> &undo)
{
    lookForOutsideChange();
    auto undone = undo();
    sawOwnChange();
    if (undone.ok() && undone->change)
        tell(rowsOf(*undone->change));
    return undone;
}

std::optional<store::Failure> Diary::clearHistory()
{
    lookForOutsideChange();
    auto failed = store::history::clear(path());
    sawOwnChange();
    if (!failed)
        tell({.history = true});
    return failed;
}

book::Outcome Diary::import(const book::Preview &preview, const book::Progress &progress)
{
    lookForOutsideChange();
    book::Outcome outcome = book::import(path(), preview, progress);
    sawOwnChange();
    if (outcome.done()) {
        DiaryChange change{.history = true};
        for (std::size_t i = 0; i < preview.added.size(); ++i)
            change.sections[i] = preview.added[i] > 0;
        tell(change);
    }
    return outcome;
}

store::Result<store::history::Undo> Diary::bringBack(const std::vector<store::FromBackup> &chosen,
                                                     const QDateTime &madeAt)
{
    lookForOutsideChange();
    auto brought = store::bringBack(path(), chosen, madeAt);
    sawOwnChange();
    if (brought.ok() && brought->change)
        tell(rowsOf(*brought->change));
    return brought;
}

store::Result<store::Restored> Diary::restore(const QString &backup, store::PasswordChoice choice)
{
    lookForOutsideChange();
    auto restored = store::restoreBackup(path(), backup, choice);
    sawOwnChange();
    if (restored.ok())
        tell({.history = true, .replaced = true});
    return restored;
}

store::Result<store::PasswordChange> Diary::changePassword(const QString &current, const QString &next)
{
    lookForOutsideChange();
    auto changed = store::changePassword(path(), current, next);
    sawOwnChange();
    return changed;
}

DiaryChange Diary::rowsOf(qint64 change)
{
    DiaryChange told{.history = true};
    const auto entries = store::history::readEntryChanges(path(), change);
    if (!entries.ok() || entries->size() > kRowsNamed) {
        // Every section, when the entries cannot be told: reading them again is always right.
        if (!entries.ok())
            told.sections.fill(true);
        else
            for (const store::history::EntryChange &entry : *entries)
                told.sections[std::size_t(entry.table)] = true;
        return told;
    }
    for (const store::history::EntryChange &entry : *entries)
        told.rows.push_back({entry.table, entry.index, entry.after});
    return told;
}

void Diary::lookForOutsideChange()
{
    const QString diary = path();
    if (diary.isEmpty())
        return;
    watch();
    const store::DiaryVersion look = lookOf(diary);
    if (!m_seen) {
        m_seen = look;
        return;
    }
    if (look == *m_seen)
        return;
    m_seen = look;
    // Told before the call that noticed it goes on, so that a write lands in a window that shows
    // the diary as it is; a window that reads while it follows the change does not tell it again.
    if (m_telling)
        return;
    m_telling = true;
    tell({.history = true, .replaced = true});
    m_telling = false;
}

void Diary::sawOwnChange()
{
    const QString diary = path();
    if (!diary.isEmpty())
        m_seen = lookOf(diary);
}

void Diary::tell(const DiaryChange &change)
{
    emit changed(change);
}

// While Brimvale waits, a change from outside is told as it happens: the file itself, and its
// folder, where a replaced file appears under the diary's name.
void Diary::watch()
{
    const QString diary = path();
    if (diary == m_watched && m_watcher && m_watcher->files().contains(diary))
        return;
    if (!m_watcher) {
        m_watcher = new QFileSystemWatcher(this);
        connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &Diary::lookForOutsideChange);
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &Diary::lookForOutsideChange);
    }
    if (diary != m_watched) {
        if (!m_watcher->files().isEmpty())
            m_watcher->removePaths(m_watcher->files());
        if (!m_watcher->directories().isEmpty())
            m_watcher->removePaths(m_watcher->directories());
        m_watched = diary;
        if (const QString folder = QFileInfo(diary).absolutePath(); QFileInfo(folder).isDir())
            m_watcher->addPath(folder);
    }
    if (QFileInfo::exists(diary))
        m_watcher->addPath(diary);
}

void Diary::waitForReaders()
{
    m_index->finishReading();
    m_checker->wait();
}

void Diary::startAfresh()
{
    stopReaders();
    store::forgetChecksAhead();
    m_readersFor.clear();
    m_locked = false;
    m_seen.reset();
    if (m_watcher) {
        delete m_watcher;
        m_watcher = nullptr;
    }
    m_watched.clear();
}
