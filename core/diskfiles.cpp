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

namespace {
store::Failure systemFailure(const QString &reason)
{
    return {store::FailureKind::Other, reason};
}
} // namespace

store::Result<QString> linkedFileOf(const QString &path)
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
    return systemFailure(QStringLiteral("%1: too many levels of symbolic links").arg(QDir::toNativeSeparators(path)));
}

#ifndef Q_OS_WIN
store::Result<DiskFile> diskFileOf(const QString &path)
{
    struct stat facts { };
    if (::stat(QFile::encodeName(path).constData(), &facts) != 0) {
        if (errno == ENOENT)
            return store::fileFailure(store::FailureKind::Missing, path);
        return systemFailure(qt_error_string(errno));
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

store::Result<DiskFile> diskFileOf(const QString &path)
{
    // No access asked for, and every sharing allowed: the file may be open elsewhere, the
    // diary in SQLite included. Folders open only with backup semantics.
    const HANDLE handle =
        ::CreateFileW(nativePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return store::fileFailure(store::FailureKind::Missing, path);
        return systemFailure(qt_error_string(int(error)));
    }
    // A device or pipe has no index on a volume: it is no file of ours, and no book goes there.
    store::Result<DiskFile> file = DiskFile{};
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
    } else if (onDisk) {
        file = systemFailure(systemError());
    }
    ::CloseHandle(handle);
    return file;
}

std::optional<store::Failure> flushToDisk(const QFileDevice &file)
{
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()));
    if (handle == INVALID_HANDLE_VALUE || !::FlushFileBuffers(handle))
        return systemFailure(systemError());
    return std::nullopt;
}

std::optional<store::Failure> replaceFile(const QString &from, const QString &to)
{
    if (!::MoveFileExW(nativePath(from).c_str(), nativePath(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return systemFailure(systemError());
    return std::nullopt;
}

#endif

} // namespace files
