#include "core/book/bookfile.h"

#include "core/book/book.h"
#include "core/datafolder.h"
#include "core/diskfiles.h"
#include "core/identity.h"
#include "core/services.h"
#include "core/store/backups.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <aclapi.h>
#include <io.h>
#include <windows.h>

#include <vector>
#endif

namespace book {

namespace {
// Bytes gathered before they go to the disk: a PDF arrives in many small pieces.
constexpr qsizetype kGathered = 64 * 1024;
// As many links as the save follows before it gives up and replaces the link itself.
constexpr int kLinkHops = 128;

// Each name the path leads through, link by link, to where the rename of the finished book lands:
// the save follows links, even to a file that does not exist yet. After too many links the save
// gives up and replaces the link itself, so that is where it lands.
QStringList hopsOf(const QString &path)
{
    QStringList hops{QFileInfo(path).absoluteFilePath()};
    QFileInfo file(path);
    for (int hop = 0; hop < kLinkHops && file.isSymLink(); ++hop) {
        file.setFile(file.symLinkTarget());
        hops << file.absoluteFilePath();
    }
    if (file.isSymLink())
        hops << hops.constFirst();
    return hops;
}

// A name with every link in its folder resolved; empty when the folder is not there.
QString placeOf(const QString &path)
{
    const QFileInfo file(path);
    const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + file.fileName();
}

// A file or folder as the disk knows it, whatever its name: volume and index.
using Identity = QPair<quint64, quint64>;

std::optional<Identity> identityOf(const QString &path)
{
    const auto disk = files::diskFileOf(path);
    if (!disk.ok() || !(disk->folder || disk->regular))
        return std::nullopt;
    return Identity{disk->volume, disk->index};
}

// Brimvale's own places: the folders it writes into by canonical path, and every folder and file
// in them (the diary, its backups, the kept backups) by identity, so that a link, a hard link or a
// second mount of them is known as well; and the settings file. The starter diary is one of them:
// a new diary begins as its copy.
struct OwnPlaces {
    QStringList folders;
    QSet<Identity> subfolders;
    QSet<Identity> files;
    QString settings; // placeOf the settings file
    std::optional<Identity> settingsFile;

    bool under(const QString &canonicalFolder) const
    {
        for (const QString &folder : folders)
            if (canonicalFolder == folder || canonicalFolder.startsWith(folder + QLatin1Char('/')))
                return true;
        return false;
    }

    bool holds(const QString &canonicalFolder) const
    {
        if (under(canonicalFolder))
            return true;
        const auto identity = identityOf(canonicalFolder);
        return identity && subfolders.contains(*identity);
    }
};

// The folders Brimvale writes into for a data folder: the folder itself, the backups and the
// backups kept from a lost diary, wherever a link of that name takes them.
QStringList writtenFolders(const QString &dataFolder)
{
    const QString backups = store::backupFolder(dataFolder + QLatin1Char('/') + datafolder::kWorkingDiaryName);
    QStringList folders{dataFolder, backups};
    const QStringList kept = QDir(dataFolder)
                                 .entryList({QFileInfo(backups).fileName() + QStringLiteral("-kept-*")},
                                            QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &name : kept)
        folders << dataFolder + QLatin1Char('/') + name;
    return folders;
}

OwnPlaces ownPlaces()
{
    OwnPlaces own;
    QStringList dataFolders{datafolder::folderPath};
    if (platform::installed().system) {
        dataFolders << platform::system().appDataFolder();
        if (const auto starter = identityOf(datafolder::starterDiaryPath()))
            own.files.insert(*starter);
    }
    if (platform::installed().settings) {
        const QString settings = platform::settings().fileOf(app::kSettingsApplication);
        if (!settings.isEmpty()) {
            own.settings = placeOf(hopsOf(settings).constLast());
            own.settingsFile = identityOf(settings);
        }
    }
    QStringList folders;
    for (const QString &dataFolder : dataFolders)
        if (!dataFolder.isEmpty())
            folders << writtenFolders(dataFolder);
    for (const QString &folder : std::as_const(folders)) {
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        if (canonical.isEmpty() || own.under(canonical))
            continue;
        own.folders << canonical;
        if (const auto identity = identityOf(canonical))
            own.subfolders.insert(*identity);
        QDirIterator entries(canonical, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                             QDirIterator::Subdirectories);
        while (entries.hasNext()) {
            const QString entry = entries.next();
            const QFileInfo info = entries.fileInfo();
            // Any other link in these folders to a folder elsewhere does not make that folder Brimvale's.
            if (info.isDir() && info.isSymLink())
                continue;
            if (const auto identity = identityOf(entry))
                (info.isDir() ? own.subfolders : own.files).insert(*identity);
        }
    }
    return own;
}

const QString kSettingsRefused = QStringLiteral("It is Brimvale's settings file: choose another file.");

// A new book is readable by the user alone, as the diary is. On Windows a new file takes its
// folder's access list, which may let others in; it gets one of its own instead, that grants the
// user everything and inherits nothing. Best effort, as the mode bits are elsewhere: a file
// system without access lists keeps none.
void keepToUser(QFileDevice &file)
{
#ifdef Q_OS_WIN
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return;
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<char> user(size);
    const bool known = size > 0 && ::GetTokenInformation(token, TokenUser, user.data(), size, &size);
    ::CloseHandle(token);
    if (!known)
        return;
    const PSID sid = reinterpret_cast<TOKEN_USER *>(user.data())->User.Sid;
    const DWORD listSize = DWORD(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + ::GetLengthSid(sid));
    std::vector<char> list(listSize);
    const auto acl = reinterpret_cast<PACL>(list.data());
    if (!::InitializeAcl(acl, listSize, ACL_REVISION)
        || !::AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid))
        return;
    // The file was opened without the right to change its access list: a second handle has it.
    const auto opened = reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()));
    const HANDLE handle = ::ReOpenFile(opened, WRITE_DAC, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
    if (handle == INVALID_HANDLE_VALUE)
        return;
    ::SetSecurityInfo(handle, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                      nullptr, acl, nullptr);
    ::CloseHandle(handle);
#else
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
#endif
}
} // namespace

std::optional<store::Failure> refusalOf(const QString &path)
{
    const auto refused = [](const QString &reason) { return store::Failure{store::FailureKind::Other, reason}; };
    const QStringList hops = hopsOf(path);
    const QString landing = hops.constLast();
    const OwnPlaces own = ownPlaces();
    // Every name on the way counts: a link through a folder of Brimvale's is refused even when it
    // leads out again, or to nothing yet.
    for (const QString &hop : hops) {
        const QString folder = QFileInfo(QFileInfo(hop).absolutePath()).canonicalFilePath();
        if (!folder.isEmpty() && own.holds(folder))
            return refused(QStringLiteral(
                "It is in Brimvale's data folder, which holds the diary and its backups: choose another folder."));
        if (!own.settings.isEmpty() && placeOf(hop) == own.settings)
            return refused(kSettingsRefused);
    }
    const auto disk = files::diskFileOf(landing);
    if (!disk.ok()) {
        // A new file; a folder that is missing is the save's to report.
        if (disk.failure().kind == store::FailureKind::Missing)
            return std::nullopt;
        return disk.failure();
    }
    if (disk->regular && own.files.contains(Identity{disk->volume, disk->index}))
        return refused(
            QStringLiteral("It is Brimvale's diary or one of its backups under another name: choose another file."));
    if (disk->regular && own.settingsFile == Identity{disk->volume, disk->index})
        return refused(kSettingsRefused);
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

std::optional<store::Failure> BookFile::start()
{
    if (auto refused = refusalOf(m_path))
        return refused;
    const bool replacing = QFileInfo::exists(m_path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return store::Failure{store::FailureKind::Other, m_file.errorString()};
    if (!replacing)
        keepToUser(m_file);
    QIODevice::open(QIODevice::WriteOnly);
    return std::nullopt;
}

QString BookFile::reason() const
{
    return m_reason.isEmpty() ? QStringLiteral("The file could not be written.") : m_reason;
}

QString BookFile::failure() const
{
    return exportFailure(m_path, reason());
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

std::optional<store::Failure> BookFile::commit()
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
            m_reason = unflushed->detail;
#endif
    if (failed()) {
        cancel();
        return store::Failure{store::FailureKind::Other, reason()};
    }
    // The place may have become something else while the book was written.
    if (auto refused = refusalOf(m_path)) {
        cancel();
        return refused;
    }
    QIODevice::close();
    if (!m_file.commit())
        return store::Failure{store::FailureKind::Other, m_file.errorString()};
    return std::nullopt;
}

void BookFile::cancel()
{
    m_pending.clear();
    m_file.cancelWriting();
    QIODevice::close();
}

} // namespace book
