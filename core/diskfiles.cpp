#include "core/diskfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <QFileDevice>

#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <sys/stat.h>
#endif

namespace files {

std::optional<QString> linkedFileOf(const QString &path, QString *reason)
{
    // As many links as the system itself follows before it gives up on a loop.
    constexpr int kMostLinks = 40;
    QString at = QFileInfo(path).absoluteFilePath();
    for (int links = 0; links <= kMostLinks; ++links) {
        const QFileInfo info(at);
        if (!info.isSymbolicLink())
            return at;
        at = info.symLinkTarget();
    }
    if (reason)
        *reason = QStringLiteral("%1: too many levels of symbolic links").arg(QDir::toNativeSeparators(path));
    return std::nullopt;
}

#ifndef Q_OS_WIN
std::optional<DiskFile> diskFileOf(const QString &path, QString *reason)
{
    struct stat facts { };
    if (::stat(QFile::encodeName(path).constData(), &facts) != 0) {
        if (reason && errno != ENOENT)
            *reason = qt_error_string(errno);
        return std::nullopt;
    }
#ifdef Q_OS_MACOS
    const qint64 modifiedNs = qint64(facts.st_mtimespec.tv_sec) * 1000000000 + facts.st_mtimespec.tv_nsec;
#else
    const qint64 modifiedNs = qint64(facts.st_mtim.tv_sec) * 1000000000 + facts.st_mtim.tv_nsec;
#endif
    return DiskFile{quint64(facts.st_dev),  quint64(facts.st_ino), S_ISDIR(facts.st_mode),
                    S_ISREG(facts.st_mode), qint64(facts.st_size), modifiedNs};
}
#else

namespace {
QString systemError()
{
    return qt_error_string(int(::GetLastError()));
}

std::wstring nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}
} // namespace

std::optional<DiskFile> diskFileOf(const QString &path, QString *reason)
{
    // No access asked for, and every sharing allowed: the file may be open elsewhere, the
    // diary in SQLite included. Folders open only with backup semantics.
    const HANDLE handle =
        ::CreateFileW(nativePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (reason && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            *reason = qt_error_string(int(error));
        return std::nullopt;
    }
    std::optional<DiskFile> file;
    BY_HANDLE_FILE_INFORMATION facts{};
    const bool onDisk = ::GetFileType(handle) == FILE_TYPE_DISK;
    if (onDisk && ::GetFileInformationByHandle(handle, &facts)) {
        const bool folder = facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        // FILETIME counts 100 ns steps from 1601.
        const qint64 written =
            qint64((quint64(facts.ftLastWriteTime.dwHighDateTime) << 32) | facts.ftLastWriteTime.dwLowDateTime);
        constexpr qint64 kFrom1601To1970 = 116444736000000000;
        file = DiskFile{facts.dwVolumeSerialNumber,
                        (quint64(facts.nFileIndexHigh) << 32) | facts.nFileIndexLow,
                        folder,
                        !folder,
                        qint64((quint64(facts.nFileSizeHigh) << 32) | facts.nFileSizeLow),
                        (written - kFrom1601To1970) * 100};
    } else if (!onDisk) {
        // A device or pipe has no index on a volume: it is no file of ours, and no book goes there.
        file = DiskFile{};
    } else if (reason) {
        *reason = systemError();
    }
    ::CloseHandle(handle);
    return file;
}

std::optional<QString> flushToDisk(const QFileDevice &file)
{
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()));
    if (handle == INVALID_HANDLE_VALUE || !::FlushFileBuffers(handle))
        return systemError();
    return std::nullopt;
}

std::optional<QString> replaceFile(const QString &from, const QString &to)
{
    if (!::MoveFileExW(nativePath(from).c_str(), nativePath(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return systemError();
    return std::nullopt;
}

#endif

} // namespace files
