#include "core/store/runwrites.h"

#include "core/diskfiles.h"
#include "core/store/checkahead.h"
#include "core/store/storeprobe.h"

#include <QFileInfo>
#include <QHash>

#include <atomic>
#include <mutex>

namespace store {

namespace {

struct FileStamp {
    qint64 size = 0;
    qint64 modifiedNs = 0;
    quint64 inode = 0;
    bool operator==(const FileStamp &) const = default;
};

std::optional<FileStamp> fileStamp(const QString &path)
{
    const auto disk = files::diskFileOf(path);
    if (!disk.ok())
        return std::nullopt;
    // A file put in the diary's place has an index of its own even with the same size and time.
    return FileStamp{disk->size, disk->modifiedNs, disk->index};
}

// Diaries this run has checked whole and backed up, by absolute path, with the stamp of the
// run's last write to each (none while no write has ended since the check).
QHash<QString, std::optional<FileStamp>> g_checked;
std::mutex g_checkedMutex;
std::atomic<quint64> g_writes = 0;

QString keyOf(const QString &path)
{
    return QFileInfo(path).absoluteFilePath();
}

} // namespace

void rememberWrite(const QString &path)
{
    const auto stamp = fileStamp(path);
    {
        const std::lock_guard lock(g_checkedMutex);
        g_checked.insert(keyOf(path), stamp);
    }
    ++g_writes;
}

void rememberReplaced(const QString &path)
{
    rememberWrite(path);
    const std::lock_guard lock(g_checkedMutex);
    g_checked.remove(keyOf(path));
}

void rememberOwnWrite(const QString &path)
{
    const auto stamp = fileStamp(path);
    const std::lock_guard lock(g_checkedMutex);
    if (const auto checked = g_checked.find(keyOf(path)); checked != g_checked.end() && checked->has_value())
        *checked = stamp;
}

bool checkedThisRun(const QString &path)
{
    const std::lock_guard lock(g_checkedMutex);
    return g_checked.contains(keyOf(path));
}

std::optional<bool> asLastWritten(const QString &path)
{
    std::optional<FileStamp> written;
    {
        const std::lock_guard lock(g_checkedMutex);
        const auto checked = g_checked.constFind(keyOf(path));
        if (checked == g_checked.cend())
            return std::nullopt;
        written = *checked;
    }
    return written.has_value() && fileStamp(path) == written;
}

void markChecked(const QString &path)
{
    const std::lock_guard lock(g_checkedMutex);
    g_checked.insert(keyOf(path), std::nullopt);
}

DiaryVersion versionOf(const QString &path)
{
    const auto stamp = fileStamp(path);
    return stamp ? DiaryVersion{true, stamp->size, stamp->modifiedNs, stamp->inode, g_writes}
                 : DiaryVersion{false, 0, 0, 0, g_writes};
}

void probe::startNewRun()
{
    {
        const std::lock_guard lock(g_checkedMutex);
        g_checked.clear();
    }
    forgetChecksAhead();
}

} // namespace store
