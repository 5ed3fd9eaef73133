#include "core/store/checkahead.h"

#include "core/store/backups.h"
#include "core/store/newfile.h"
#include "core/store/opening.h"
#include "core/store/storeprobe.h"

#include <sqlcipher/sqlite3.h>

#include <QFile>
#include <QFileInfo>
#include <QHash>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace store {

namespace {

// The longest a held check (probe::holdCheckAhead) waits for a write: a test that never writes
// does not hang on it.
constexpr auto kLongestHold = std::chrono::seconds(10);

struct Ahead {
    std::mutex mutex;
    std::condition_variable changed;
    bool running = true;
    std::atomic<bool> stop = false;
    int writesWaiting = 0;
    // The engine's handle while the check reads, for a stop to interrupt.
    sqlite3 *db = nullptr;
    // Once run: the file as it was checked, and what was found.
    std::optional<DiaryVersion> look;
    CheckedAhead found;
};

std::mutex g_mutex;
std::atomic<bool> g_hold = false;

// By the diary's absolute path. Never destroyed: a copy still held when the program ends is one
// of the next run's leftovers (removeLeftovers).
QHash<QString, std::shared_ptr<Ahead>> &checks()
{
    static auto *all = new QHash<QString, std::shared_ptr<Ahead>>;
    return *all;
}

QString keyOf(const QString &path)
{
    return QFileInfo(path).absoluteFilePath();
}

std::shared_ptr<Ahead> claimed(const QString &key)
{
    const std::lock_guard lock(g_mutex);
    return checks().value(key);
}

void forget(const QString &key, const std::shared_ptr<Ahead> &ahead)
{
    const std::lock_guard lock(g_mutex);
    if (checks().value(key) == ahead)
        checks().remove(key);
}

// This run's own writes to other files are no change of this one.
DiaryVersion lookOf(const QString &path)
{
    DiaryVersion look = versionOf(path);
    look.writesThisRun = 0;
    return look;
}

// Inside one read transaction: its shared lock, taken by the first read and held to the end, keeps
// every writer from changing the file between the check, the copy and the look taken of it.
void checkAndCopy(const Connection &connection, Ahead &ahead)
{
    if (connection.exec(QStringLiteral("BEGIN")) != SQLITE_OK)
        return;
    const auto damaged = checkWhole(connection);
    // A stop interrupts the engine, which reads as damage; what a stopped check found is dropped.
    if (!damaged) {
        ahead.found.copy = HeldCopy::make(connection, ahead.stop);
        ahead.look = lookOf(connection.path());
    } else if (damaged->kind == FailureKind::Damaged && !ahead.stop) {
        ahead.found.damage = damaged;
        ahead.look = lookOf(connection.path());
    }
    // Anything else (the file busy with another program) is left for the write.
    connection.exec(QStringLiteral("ROLLBACK"));
}

} // namespace

std::unique_ptr<HeldCopy> HeldCopy::make(const Connection &connection, const std::atomic<bool> &stop)
{
#ifdef Q_OS_LINUX
    const QByteArray folder = QFile::encodeName(QFileInfo(connection.path()).absolutePath());
    const int descriptor = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (descriptor < 0)
        return nullptr;
    std::unique_ptr<HeldCopy> copy(new HeldCopy(descriptor));
    QFile target;
    if (!target.open(descriptor, QIODevice::WriteOnly, QFileDevice::DontCloseHandle)
        || copyDiaryInto(connection, target, stop) || !target.flush() || ::fsync(descriptor) != 0)
        return nullptr;
    return copy;
#else
    Q_UNUSED(connection);
    Q_UNUSED(stop);
    return nullptr;
#endif
}

HeldCopy::~HeldCopy()
{
#ifdef Q_OS_LINUX
    ::close(m_descriptor);
#endif
}

std::optional<Failure> HeldCopy::name(const QString &target)
{
#ifdef Q_OS_LINUX
    // Linked by its descriptor's name in /proc, as a process without privileges may.
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_descriptor);
    if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, QFile::encodeName(target).constData(), AT_SYMLINK_FOLLOW) != 0)
        return Failure{FailureKind::Other, qt_error_string(errno)};
    files::syncFolder(QFileInfo(target).absolutePath());
    return std::nullopt;
#else
    Q_UNUSED(target);
    return Failure{FailureKind::Other, QStringLiteral("no copy without a name is kept here")};
#endif
}

namespace {
// The claimed check and copy, on the calling thread. It has the claim itself, not its key: a write
// may have taken the claim from the list before this thread starts.
void checkAhead(const QString &path, const std::shared_ptr<Ahead> &ahead)
{
    if (!ahead->stop) {
        auto opened = openDiary(path, nullptr, Opening{.mayAsk = false});
        if (opened.ok()) {
            {
                const std::lock_guard lock(ahead->mutex);
                ahead->db = opened->get();
            }
            if (!ahead->stop)
                checkAndCopy(*opened, *ahead);
            const std::lock_guard lock(ahead->mutex);
            ahead->db = nullptr;
        }
    }
    std::unique_lock lock(ahead->mutex);
    if (g_hold)
        ahead->changed.wait_for(lock, kLongestHold, [&] { return ahead->writesWaiting > 0 || ahead->stop; });
    ahead->running = false;
    lock.unlock();
    ahead->changed.notify_all();
    if (ahead->stop)
        forget(keyOf(path), ahead);
}

} // namespace

std::function<void()> claimCheckAhead(const QString &path)
{
    const QString key = keyOf(path);
    if (checkedThisRun(key))
        return {};
    const std::lock_guard lock(g_mutex);
    if (checks().contains(key))
        return {};
    auto ahead = std::make_shared<Ahead>();
    checks().insert(key, ahead);
    return [path, ahead] { checkAhead(path, ahead); };
}

void stopCheckAhead(const QString &path)
{
    const std::shared_ptr<Ahead> ahead = claimed(keyOf(path));
    if (!ahead)
        return;
    {
        const std::lock_guard lock(ahead->mutex);
        if (!ahead->running)
            return;
        ahead->stop = true;
        if (ahead->db)
            sqlite3_interrupt(ahead->db);
    }
    ahead->changed.notify_all();
}

std::optional<CheckedAhead> takeCheckAhead(const QString &path)
{
    std::shared_ptr<Ahead> ahead;
    {
        const std::lock_guard lock(g_mutex);
        ahead = checks().take(keyOf(path));
    }
    if (!ahead)
        return std::nullopt;
    std::unique_lock lock(ahead->mutex);
    ++ahead->writesWaiting;
    ahead->changed.notify_all();
    ahead->changed.wait(lock, [&] { return !ahead->running; });
    --ahead->writesWaiting;
    if (ahead->stop || !ahead->look || *ahead->look != lookOf(path))
        return std::nullopt;
    return std::move(ahead->found);
}

void forgetChecksAhead()
{
    const std::lock_guard lock(g_mutex);
    for (const std::shared_ptr<Ahead> &ahead : std::as_const(checks())) {
        const std::lock_guard stopping(ahead->mutex);
        ahead->stop = true;
        if (ahead->db)
            sqlite3_interrupt(ahead->db);
        ahead->changed.notify_all();
    }
    checks().clear();
}

void probe::holdCheckAhead(bool held)
{
    g_hold = held;
}

} // namespace store
