#include "core/book/bookfile.h"

#include "core/book/book.h"
#include "core/datafolder.h"
#include "core/diskfiles.h"
#include "core/services.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QSet>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace book {

namespace {
// Bytes gathered before they go to the disk: a PDF arrives in many small pieces.
constexpr qsizetype kGathered = 64 * 1024;
// As many links as the save follows before it gives up and replaces the link itself.
constexpr int kLinkHops = 128;

// Where the rename of the finished book lands: the save follows links, even to a file that does
// not exist yet.
QString landingOf(const QString &path)
{
    QFileInfo file(path);
    for (int hops = 0; hops < kLinkHops && file.isSymLink(); ++hops)
        file.setFile(file.symLinkTarget());
    return file.isSymLink() ? QFileInfo(path).absoluteFilePath() : file.absoluteFilePath();
}

// A file or folder as the disk knows it, whatever its name: volume and index.
using Identity = QPair<quint64, quint64>;

std::optional<Identity> identityOf(const QString &path)
{
    const auto disk = files::diskFileOf(path);
    if (!disk || !(disk->folder || disk->regular))
        return std::nullopt;
    return Identity{disk->volume, disk->index};
}

// Brimvale's own places: the data folders by canonical path, and every folder and file in them
// (the diary, its backups, the kept backups) by identity, so that a link, a hard link or a second
// mount of them is known as well. The starter diary is one of them: a new diary begins as its copy.
struct OwnPlaces {
    QStringList folders;
    QSet<Identity> subfolders;
    QSet<Identity> files;

    bool holds(const QString &canonicalFolder) const
    {
        for (const QString &folder : folders)
            if (canonicalFolder == folder || canonicalFolder.startsWith(folder + QLatin1Char('/')))
                return true;
        const auto identity = identityOf(canonicalFolder);
        return identity && subfolders.contains(*identity);
    }
};

OwnPlaces ownPlaces()
{
    OwnPlaces own;
    QStringList dataFolders{datafolder::folderPath};
    if (platform::installed().system) {
        dataFolders << platform::system().appDataFolder();
        if (const auto starter = identityOf(datafolder::starterDiaryPath()))
            own.files.insert(*starter);
    }
    for (const QString &dataFolder : dataFolders) {
        const QString canonical = dataFolder.isEmpty() ? QString() : QFileInfo(dataFolder).canonicalFilePath();
        if (canonical.isEmpty() || own.folders.contains(canonical))
            continue;
        own.folders << canonical;
        if (const auto identity = identityOf(canonical))
            own.subfolders.insert(*identity);
        QDirIterator entries(canonical, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                             QDirIterator::Subdirectories);
        while (entries.hasNext()) {
            const QString entry = entries.next();
            const QFileInfo info = entries.fileInfo();
            // A link in the data folder to a folder elsewhere does not make that folder Brimvale's.
            if (info.isDir() && info.isSymLink())
                continue;
            if (const auto identity = identityOf(entry))
                (info.isDir() ? own.subfolders : own.files).insert(*identity);
        }
    }
    return own;
}
} // namespace

std::optional<QString> refusalOf(const QString &path)
{
    const auto refused = [&](const QString &reason) { return std::optional<QString>(exportFailure(path, reason)); };
    const QString landing = landingOf(path);
    const OwnPlaces own = ownPlaces();
    const QString folder = QFileInfo(QFileInfo(landing).absolutePath()).canonicalFilePath();
    if (!folder.isEmpty() && own.holds(folder))
        return refused(QStringLiteral(
            "It is in Brimvale's data folder, which holds the diary and its backups: choose another folder."));
    QString reason;
    const auto disk = files::diskFileOf(landing, &reason);
    if (!disk) {
        // A new file; a folder that is missing is the save's to report.
        if (reason.isEmpty())
            return std::nullopt;
        return refused(reason);
    }
    if (disk->regular && own.files.contains(Identity{disk->volume, disk->index}))
        return refused(
            QStringLiteral("It is Brimvale's diary or one of its backups under another name: choose another file."));
    if (disk->folder)
        return refused(QStringLiteral("It is a folder, not a file."));
    if (!disk->regular)
        return refused(QStringLiteral("It is not a regular file but a pipe, socket or device."));
    return std::nullopt;
}

BookFile::BookFile(const QString &path) : m_path(path), m_file(path)
{
}

BookFile::~BookFile() = default;

std::optional<QString> BookFile::start()
{
    if (auto refused = refusalOf(m_path))
        return refused;
    const bool replacing = QFileInfo::exists(m_path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return exportFailure(m_path, m_file.errorString());
    if (!replacing)
        m_file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QIODevice::open(QIODevice::WriteOnly);
    return std::nullopt;
}

QString BookFile::failure() const
{
    return exportFailure(m_path, m_reason.isEmpty() ? QStringLiteral("The file could not be written.") : m_reason);
}

qint64 BookFile::writeData(const char *data, qint64 length)
{
    if (failed())
        return -1;
    m_pending.append(data, length);
    if (m_pending.size() < kGathered)
        return length;
    const bool written = writeThrough(m_pending.constData(), m_pending.size());
    m_pending.clear();
    return written ? length : -1;
}

// Straight to the descriptor: Qt's own file writes lose the system's reason ("Unknown error"),
// and a failure in its last flush does not even fail the commit.
bool BookFile::writeThrough(const char *data, qint64 length)
{
    qint64 done = 0;
    while (done < length && !failed()) {
#ifdef Q_OS_UNIX
        const ssize_t written = ::write(m_file.handle(), data + done, size_t(length - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            m_reason = qt_error_string(written < 0 ? errno : EIO);
#else
        const qint64 written = m_file.write(data + done, length - done);
        if (written <= 0)
            m_reason = m_file.errorString();
#endif
        else
            done += written;
    }
    return !failed();
}

std::optional<QString> BookFile::commit()
{
    if (!failed())
        writeThrough(m_pending.constData(), m_pending.size());
    m_pending.clear();
#ifdef Q_OS_UNIX
    // Some file systems (over a network, with quotas) tell of a full disk only here.
    if (!failed() && ::fsync(m_file.handle()) != 0)
        m_reason = qt_error_string(errno);
#elif defined(Q_OS_WIN)
    if (!failed() && !m_file.flush())
        m_reason = m_file.errorString();
    if (!failed())
        if (auto unflushed = files::flushToDisk(m_file))
            m_reason = *unflushed;
#endif
    if (failed()) {
        cancel();
        return failure();
    }
    // The place may have become something else while the book was written.
    if (auto refused = refusalOf(m_path)) {
        cancel();
        return refused;
    }
    QIODevice::close();
    if (!m_file.commit())
        return exportFailure(m_path, m_file.errorString());
    return std::nullopt;
}

void BookFile::cancel()
{
    m_pending.clear();
    m_file.cancelWriting();
    QIODevice::close();
}

} // namespace book
