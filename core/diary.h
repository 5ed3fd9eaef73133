#pragma once

// The working diary of this run: the one object every window reads the diary through and writes
// it through, and that tells every window what changed, so that no window keeps its own idea of
// the diary. A change made here is told as it returns, with each entry it touched as it is now;
// a change made by another program (a sync tool replacing the file, an editor) is noticed by the
// file's identity, size and time, at the next read or by watching the file while Brimvale waits,
// and told as the whole diary replaced. Every call still opens the file, works and closes it: no
// handle stays open while the program waits. Right after the run's first open, two readers start
// off the window's thread, each with a connection of its own: the first write's check and backup
// copy (core/store/checkahead.h) and the find index (core/find/liveindex.h), which then follows
// the diary's change notices.

#include "core/book/bookimport.h"
#include "core/store/backups.h"
#include "core/store/bringback.h"
#include "core/store/history.h"
#include "core/store/password.h"
#include "core/store/restore.h"
#include "core/store/store.h"

#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QFileSystemWatcher;
class Worker;

namespace finder {
class LiveIndex;
}

// What one change did to the diary, for a window that shows some of it.
struct DiaryChange {
    // An entry added, changed or removed, with what it holds now (nothing once removed).
    struct Row {
        store::Table table = store::Table::Spell;
        qint64 index = 0;
        std::optional<store::Entry> now;
    };
    std::vector<Row> rows;
    // Sections whose entries changed too many to name (an import): read them again.
    std::array<bool, store::kTables.size()> sections{};
    // The list of changes grew or went.
    bool history = false;
    // The file was replaced whole (a restore, or another program): anything may differ.
    bool replaced = false;

    // Whether anything of this section may differ.
    bool touches(store::Table table) const;
    // Whether the section must be read again whole rather than row by row.
    bool wholeSection(store::Table table) const { return replaced || sections[std::size_t(table)]; }
    // The row of this entry, when the change names it.
    const Row *row(store::Table table, qint64 index) const;
};

class Diary : public QObject {
    Q_OBJECT
public:
    // This run's diary, in the data folder (core/datafolder.h); empty while that is unknown.
    static Diary &working();
    ~Diary() override;
    QString path() const;

    // Opens the diary on this thread, asking for its password where it has one that this run does
    // not know yet (store::unlock), and starts the readers off the window's thread where they are
    // not under way or done; a first read of the run starts them too.
    std::optional<store::Failure> open();
    // Before the first open, as the program starts: the key that open needs is derived off the
    // window's thread, where a diary without a password of its own has one.
    void prepareFirstOpen();
    // The find index of this diary.
    finder::LiveIndex &findIndex() { return *m_index; }
    // While the diary is locked (gui/diarylock.h) the find index goes, and the readers stop, each
    // with what it held wiped; unlock() starts them again.
    void lock();
    void unlock();

    // Reads. Each first looks whether the file changed behind Brimvale's back, and tells such a
    // change before it reads.
    store::Result<store::Keywords> keywords(store::Table table);
    store::Result<std::optional<store::Entry>> entry(store::Table table, qint64 index);

    // Writes, each told (changed()) before it returns, when it changed anything.
    store::Result<qint64> add(store::Table table, const store::Entry &entry);
    store::Result<bool> update(store::Table table, qint64 index, const store::Entry &entry,
                               const std::optional<QString> &listedKeyword = std::nullopt);
    store::Result<bool> remove(store::Table table, qint64 index,
                               const std::optional<QString> &listedKeyword = std::nullopt);
    store::Result<store::history::Undo> undo(qint64 change);
    store::Result<store::history::Undo> undoLastIn(store::Table table);
    store::Result<store::history::Undo> redoLastIn(store::Table table);
    std::optional<store::Failure> clearHistory();
    book::Outcome import(const book::Preview &preview, const book::Progress &progress = {});
    store::Result<store::history::Undo> bringBack(const std::vector<store::FromBackup> &chosen,
                                                  const QDateTime &madeAt);
    store::Result<store::Restored> restore(const QString &backup, store::PasswordChoice choice);
    // Another key, the same entries: nothing to tell.
    store::Result<store::PasswordChange> changePassword(const QString &current, const QString &next);

    // Looks now whether the file changed other than through this object, and tells it as above.
    void lookForOutsideChange();
    // Forgets what it saw of the file and what its readers read, as at the start of a run: between
    // tests and benchmark runs.
    void startAfresh();
    // Waits until the readers have read what they were started for: for tests and the benchmark,
    // which look at the files while nothing else does.
    void waitForReaders();

signals:
    void changed(const DiaryChange &change);

private:
    Diary();
    // What the file looks like after a change of its own, which is then no change from outside.
    void sawOwnChange();
    void tell(const DiaryChange &change);
    // One undo or redo of the history, told as the entries it touched.
    store::Result<store::history::Undo> takeBack(const std::function<store::Result<store::history::Undo>()> &undo);
    // The rows one change of the history touched, as they are after it.
    DiaryChange rowsOf(qint64 change);
    void watch();
    void startReaders();
    void stopReaders();

    std::optional<store::DiaryVersion> m_seen;
    bool m_telling = false;
    QFileSystemWatcher *m_watcher = nullptr;
    QString m_watched;
    finder::LiveIndex *m_index;
    std::unique_ptr<Worker> m_checker;
    // The diary the readers were started for (empty until the first open), and whether it is locked.
    QString m_readersFor;
    bool m_locked = false;
};
