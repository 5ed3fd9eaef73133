#include "core/store/newfile.h"

#include "core/diskfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <filesystem>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace files {

namespace {
store::Failure failure(const QString &reason)
{
    return {store::FailureKind::Other, reason};
}

#ifdef Q_OS_UNIX
store::Failure systemFailure()
{
    return failure(qt_error_string(errno));
}
#endif
} // namespace

NewFile::NewFile(const QString &folder, const QString &pattern)
    : m_folder(folder), m_temporary(QDir(folder).filePath(pattern))
{
}

NewFile::~NewFile()
{
    if (!m_committed)
        discard();
}

std::optional<store::Failure> NewFile::open()
{
    // A file of its own rather than the temporary file's: a QTemporaryFile keeps its handle open
    // even when closed, and Windows moves no file that is open.
    if (pathToFill().isEmpty())
        return failure(m_temporary.errorString());
    m_file.setFileName(m_filledPath);
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner))
        return failure(m_file.errorString());
    return std::nullopt;
}

QString NewFile::pathToFill()
{
    // The temporary file claims a unique name; the writer creates the file there itself.
    if (!m_temporary.open())
        return {};
    m_filledPath = m_temporary.fileName();
    m_temporary.close();
    m_temporary.remove();
    return m_filledPath;
}

std::optional<store::Failure> NewFile::seal()
{
    if (m_sealed)
        return std::nullopt;
    if (m_file.isOpen()) {
        if (!m_file.flush())
            return failure(m_file.errorString());
#ifdef Q_OS_UNIX
        if (::fsync(m_file.handle()) != 0)
            return systemFailure();
#elif defined(Q_OS_WIN)
        if (auto failed = files::flushToDisk(m_file))
            return failed;
#endif
        m_file.close();
    } else {
        QFile filled(m_filledPath);
        if (!filled.open(QIODevice::ReadOnly))
            return failure(filled.errorString());
        filled.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
#ifdef Q_OS_UNIX
        if (::fsync(filled.handle()) != 0)
            return systemFailure();
#elif defined(Q_OS_WIN)
        // Only a handle that may write flushes on Windows.
        filled.close();
        if (!filled.open(QIODevice::ReadWrite))
            return failure(filled.errorString());
        if (auto failed = files::flushToDisk(filled))
            return failed;
#endif
    }
    m_sealed = true;
    return std::nullopt;
}

std::optional<store::Failure> NewFile::commit(const QString &name)
{
    return moveTo(name, false);
}

std::optional<store::Failure> NewFile::replace(const QString &name)
{
    return moveTo(name, true);
}

std::optional<store::Failure> NewFile::moveTo(const QString &name, bool replacing)
{
    if (auto failed = seal()) {
        discard();
        return failed;
    }
    const QString made = m_filledPath;
    QString target = QDir(m_folder).filePath(name);
    if (replacing) {
        const auto linked = files::linkedFileOf(target);
        if (!linked.ok()) {
            discard();
            return linked.failure();
        }
        target = *linked;
#ifdef Q_OS_WIN
        if (auto failed = files::replaceFile(made, target)) {
            discard();
            return failed;
        }
#else
        std::error_code error;
        std::filesystem::rename(QFile::encodeName(made).toStdString(), QFile::encodeName(target).toStdString(), error);
        if (error) {
            discard();
            return failure(QString::fromLocal8Bit(error.message()));
        }
#endif
    } else {
        // QFile::rename refuses an existing target: nothing there is ever replaced.
        QFile moved(made);
        if (!moved.rename(target)) {
            const QString reason = moved.errorString();
            discard();
            return failure(reason);
        }
    }
    m_committed = true;
    const QString targetFolder = QFileInfo(target).absolutePath();
    syncFolder(targetFolder);
    if (targetFolder != QFileInfo(m_folder).absoluteFilePath())
        syncFolder(m_folder);
    return std::nullopt;
}

void NewFile::discard()
{
    m_file.close();
    if (!m_filledPath.isEmpty())
        QFile::remove(m_filledPath);
}

void syncFolder(const QString &folder)
{
#ifdef Q_OS_UNIX
    const int descriptor = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
#else
    Q_UNUSED(folder);
#endif
}

} // namespace files
