#pragma once

// The find index of the working diary (find.h), read off the window's thread after the diary's
// first open and then kept up to date from the diary's own change notices: an entry added,
// changed or removed goes in or out at once, and only a section changed whole (an import) or a
// file replaced (a restore, another program) is read again, in the background too. Each section
// is an index of its own, with the entries changed since it was read beside it; a search goes
// through them in section order and then in diary order. All but the reading runs on the
// window's thread.

#include "core/diary.h"
#include "core/find/find.h"
#include "core/worker.h"

#include <QObject>

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace finder {

struct Section;

// What one search found, in section order and then in diary order. It holds the parts of the
// index it came from, so that it can be shown while the index goes on following the diary.
class Results {
public:
    std::size_t size() const { return m_found.size(); }
    Hit hit(std::size_t row) const;

private:
    friend class LiveIndex;
    struct Found {
        std::uint32_t at; // the entry as read, or its place among those changed since
        std::uint8_t section;
        bool changedSince;
    };
    std::array<std::shared_ptr<const Section>, store::kTables.size()> m_sections;
    std::vector<Found> m_found;
};

class LiveIndex : public QObject {
    Q_OBJECT
public:
    explicit LiveIndex(QObject *parent = nullptr);
    ~LiveIndex() override;

    enum class State { Unread, Reading, Ready, Failed };
    State state() const;
    // Why the last reading failed (State::Failed).
    const store::Failure &failure() const { return *m_failure; }
    // How many entries it holds, once ready.
    std::optional<std::uint32_t> size() const;
    // Nothing while it is not ready.
    Results search(QStringView typed) const;

    // Reads in the background what it lacks of the diary at path. The diary must have been opened
    // on the window's thread already (its password given): the reader never asks for one.
    void read(const QString &path);
    // Waits for the reading under way, and takes what it read.
    void finishReading();
    void follow(const DiaryChange &change);
    // Reads these entries of a section from the diary the index follows, for results about to be
    // shown: nobody is asked for a password, and nothing is read once the index was dropped.
    void readFound(store::Table table, const std::vector<qint64> &indexes, const store::EntryVisitor &visit) const;
    // Forgets every entry until the next read(): a reading under way is abandoned, and what it
    // held is wiped with the rest before this returns.
    void drop();

signals:
    // Read, failed, dropped or changed: a search may find other entries now.
    void changed();

private:
    struct Job;
    void startReading();
    void takeReading(const std::shared_ptr<Job> &job);
    void abandonReading();
    bool reading(std::size_t section) const;

    QString m_path;
    std::array<std::shared_ptr<const Section>, store::kTables.size()> m_sections;
    // Sections to read (again) once the reading under way ends.
    std::array<bool, store::kTables.size()> m_wanted{};
    // Sections being read that changed whole meanwhile: what is read of them is read again.
    std::array<bool, store::kTables.size()> m_stale{};
    // Entries told changed while their section is read, to be applied to what is read.
    std::array<std::vector<DiaryChange::Row>, store::kTables.size()> m_toldMeanwhile;
    std::optional<store::Failure> m_failure;
    std::shared_ptr<Job> m_job;
    Worker m_worker;
};

} // namespace finder
