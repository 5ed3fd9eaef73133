#include "core/find/liveindex.h"

#include "core/find/findprobe.h"
#include "core/secrets.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace finder {

namespace {
std::atomic<int> g_sectionReads = 0;
std::atomic<long long> g_readingEndedNs = 0;
std::mutex g_holdMutex;
std::condition_variable g_holdChanged;
bool g_hold = false;
bool g_held = false;

std::string foldedEntry(const store::Entry &entry)
{
    std::string folded;
    foldInto(entry.keyword, folded);
    folded += ' ';
    foldInto(entry.meaning, folded);
    return folded;
}

void wipe(Hit &hit)
{
    secrets::wipe(hit.keyword);
    secrets::wipe(hit.meaningStart);
}
} // namespace

// One section as it was read, and what changed in it since: the entries read that changed or
// went, and those added or changed since, in diary order.
struct Section {
    struct Changed {
        qint64 index = 0;
        std::string folded;
        Hit hit;
    };

    Section(store::Table table, std::shared_ptr<const Index> read)
        : table(table), read(std::move(read)), gone((this->read->size() + 63) / 64)
    {
    }
    Section(const Section &) = default;
    Section &operator=(const Section &) = delete;
    // The text is the diary's: zeroed when it goes, as the index's is.
    ~Section()
    {
        for (Changed &entry : changedSince) {
            secrets::wipe(entry.folded);
            wipe(entry.hit);
        }
    }

    bool isGone(std::uint32_t entry) const { return (gone[entry / 64] >> (entry % 64)) & 1; }

    void apply(const DiaryChange::Row &row)
    {
        if (const auto entry = read->entryOf(table, row.index))
            gone[*entry / 64] |= std::uint64_t(1) << (*entry % 64);
        auto at = std::lower_bound(changedSince.begin(), changedSince.end(), row.index,
                                   [](const Changed &entry, qint64 index) { return entry.index < index; });
        if (at != changedSince.end() && at->index == row.index) {
            secrets::wipe(at->folded);
            wipe(at->hit);
            at = changedSince.erase(at);
        }
        if (row.now)
            changedSince.insert(at, {row.index, foldedEntry(*row.now), hitOf(table, row.index, *row.now)});
    }

    store::Table table;
    std::shared_ptr<const Index> read;
    std::vector<std::uint64_t> gone;
    std::vector<Changed> changedSince;
};

// One reading, shared by the window's thread and the reader: what the reader read is taken only
// once the reader has ended.
struct LiveIndex::Job {
    QString path;
    std::array<bool, store::kTables.size()> sections{};
    std::atomic<bool> stop = false;
    std::array<std::optional<store::Result<std::optional<Index>>>, store::kTables.size()> read;
};

Hit Results::hit(std::size_t row) const
{
    const Found &found = m_found[row];
    const Section &section = *m_sections[found.section];
    return found.changedSince ? section.changedSince[found.at].hit : section.read->hit(found.at);
}

LiveIndex::LiveIndex(QObject *parent) : QObject(parent)
{
}

LiveIndex::~LiveIndex()
{
    abandonReading();
}

bool LiveIndex::reading(std::size_t section) const
{
    return m_job && m_job->sections[section];
}

LiveIndex::State LiveIndex::state() const
{
    if (m_job)
        return State::Reading;
    if (std::all_of(m_sections.begin(), m_sections.end(), [](const auto &section) { return section != nullptr; }))
        return State::Ready;
    return m_failure ? State::Failed : State::Unread;
}

std::optional<std::uint32_t> LiveIndex::size() const
{
    if (state() != State::Ready)
        return std::nullopt;
    std::uint32_t entries = 0;
    for (const auto &section : m_sections) {
        entries += section->read->size() + std::uint32_t(section->changedSince.size());
        for (const std::uint64_t bits : section->gone)
            entries -= std::uint32_t(std::popcount(bits));
    }
    return entries;
}

Results LiveIndex::search(QStringView typed) const
{
    Results results;
    if (state() != State::Ready)
        return results;
    results.m_sections = m_sections;
    // Entries changed since the reading are few: each is looked through whole.
    std::optional<std::vector<std::string>> words;
    for (std::size_t s = 0; s < m_sections.size(); ++s) {
        const Section &section = *m_sections[s];
        const std::vector<std::uint32_t> read = section.read->search(typed);
        std::vector<std::uint32_t> changed;
        if (!section.changedSince.empty() && !words)
            words = wordsToLookUp(typed);
        for (std::uint32_t at = 0; at < section.changedSince.size(); ++at) {
            const std::string &folded = section.changedSince[at].folded;
            if (!words->empty() && std::all_of(words->begin(), words->end(), [&](const std::string &word) {
                    return folded.find(word) != std::string::npos;
                }))
                changed.push_back(at);
        }
        // Both in diary order: merged by "Index".
        auto fromRead = read.begin();
        auto fromChanged = changed.begin();
        while (fromRead != read.end() || fromChanged != changed.end()) {
            if (fromRead != read.end() && section.isGone(*fromRead)) {
                ++fromRead;
            } else if (fromChanged == changed.end()
                       || (fromRead != read.end()
                           && section.read->indexOf(*fromRead) < section.changedSince[*fromChanged].index)) {
                results.m_found.push_back({*fromRead++, std::uint8_t(s), false});
            } else {
                results.m_found.push_back({*fromChanged++, std::uint8_t(s), true});
            }
        }
    }
    return results;
}

void LiveIndex::read(const QString &path)
{
    if (path != m_path) {
        drop();
        m_path = path;
    }
    const State before = state();
    m_failure.reset();
    for (std::size_t s = 0; s < m_sections.size(); ++s)
        m_wanted[s] = m_wanted[s] || (!m_sections[s] && !reading(s));
    startReading();
    if (state() != before)
        emit changed();
}

void LiveIndex::startReading()
{
    if (m_job || m_path.isEmpty() || std::none_of(m_wanted.begin(), m_wanted.end(), [](bool wanted) { return wanted; }))
        return;
    auto job = std::make_shared<Job>();
    job->path = m_path;
    job->sections = std::exchange(m_wanted, {});
    for (std::size_t s = 0; s < job->sections.size(); ++s)
        if (job->sections[s]) {
            m_stale[s] = false;
            m_toldMeanwhile[s].clear();
        }
    m_job = job;
    m_worker.start([this, job] {
        bool first = true;
        const auto goOn = [&] {
            if (std::exchange(first, false)) {
                std::unique_lock lock(g_holdMutex);
                g_held = g_hold;
                g_holdChanged.wait(lock, [&] { return !g_hold || job->stop; });
                g_held = false;
            }
            return !job->stop;
        };
        for (std::size_t s = 0; s < job->sections.size() && !job->stop; ++s) {
            if (!job->sections[s])
                continue;
            job->read[s] = Index::readSection(job->path, store::kTables[s], goOn);
            if (!job->read[s]->ok())
                break;
            if (job->read[s]->value())
                ++g_sectionReads;
        }
        g_readingEndedNs =
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
                .count();
        QMetaObject::invokeMethod(
            this, [this, job] { takeReading(job); }, Qt::QueuedConnection);
    });
}

void LiveIndex::takeReading(const std::shared_ptr<Job> &job)
{
    if (job != m_job)
        return;
    m_worker.wait();
    m_job.reset();
    for (std::size_t s = 0; s < job->sections.size(); ++s) {
        auto &read = job->read[s];
        if (!job->sections[s] || !read)
            continue;
        if (!read->ok()) {
            m_failure = read->failure();
        } else if (read->value() && !m_stale[s]) {
            auto section =
                std::make_shared<Section>(store::kTables[s], std::make_shared<const Index>(std::move(*read->value())));
            for (const DiaryChange::Row &row : m_toldMeanwhile[s])
                section->apply(row);
            m_sections[s] = std::move(section);
        }
        m_toldMeanwhile[s].clear();
        m_stale[s] = false;
    }
    job->read = {};
    if (!m_failure)
        startReading();
    emit changed();
}

void LiveIndex::finishReading()
{
    while (m_job) {
        m_worker.wait();
        takeReading(std::shared_ptr<Job>(m_job));
    }
}

void LiveIndex::follow(const DiaryChange &change)
{
    if (m_path.isEmpty())
        return;
    bool followed = false;
    bool readAgain = false;
    for (std::size_t s = 0; s < m_sections.size(); ++s) {
        const store::Table table = store::kTables[s];
        if (change.wholeSection(table)) {
            m_sections[s].reset();
            m_toldMeanwhile[s].clear();
            m_stale[s] = reading(s);
            m_wanted[s] = true;
            followed = readAgain = true;
            continue;
        }
        std::shared_ptr<Section> next;
        for (const DiaryChange::Row &row : change.rows) {
            if (row.table != table)
                continue;
            if (reading(s) && !m_stale[s])
                m_toldMeanwhile[s].push_back(row);
            if (m_sections[s]) {
                if (!next)
                    next = std::make_shared<Section>(*m_sections[s]);
                next->apply(row);
            }
            followed = true;
        }
        if (next)
            m_sections[s] = std::move(next);
    }
    if (readAgain) {
        m_failure.reset();
        startReading();
    }
    if (followed)
        emit changed();
}

void LiveIndex::readFound(store::Table table, const std::vector<qint64> &indexes,
                          const store::EntryVisitor &visit) const
{
    // A failure leaves those results as the index holds them; the index tells of a diary it cannot
    // read.
    if (!m_path.isEmpty())
        (void)store::readEntriesAt(m_path, table, indexes, visit);
}

void LiveIndex::abandonReading()
{
    if (!m_job)
        return;
    m_job->stop = true;
    {
        // A reader held by the probe sees the stop before it waits, or is woken.
        const std::lock_guard lock(g_holdMutex);
    }
    g_holdChanged.notify_all();
    m_worker.wait();
    m_job->read = {};
    m_job.reset();
}

void LiveIndex::drop()
{
    abandonReading();
    m_path.clear();
    m_sections = {};
    m_wanted = {};
    m_stale = {};
    m_toldMeanwhile = {};
    m_failure.reset();
    emit changed();
}

int probe::sectionReads()
{
    return g_sectionReads;
}

long long probe::readingEndedNs()
{
    return g_readingEndedNs;
}

bool probe::readingHeld()
{
    const std::lock_guard lock(g_holdMutex);
    return g_held;
}

void probe::holdReading(bool held)
{
    {
        const std::lock_guard lock(g_holdMutex);
        g_hold = held;
    }
    g_holdChanged.notify_all();
}

} // namespace finder
