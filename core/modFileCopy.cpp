#include "core/modFileCopy.h"

#include "core/modAppdata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace modFileCopy {

namespace {
CopyResult failed(const QString &reason)
{
    return {false, reason};
}
} // namespace

CopyResult CopyStarterDiary()
{
    const QString target = modAppdata::WorkingDiaryPath();
    if (target.isEmpty())
        return failed(QStringLiteral("The data folder is not known."));
    if (QFileInfo::exists(target))
        return failed(QStringLiteral("Something already exists at that path."));

    QFile source(modAppdata::StarterDiaryPath());
    if (!source.open(QIODevice::ReadOnly))
        return failed(source.errorString());

    QTemporaryFile temporary(QDir(modAppdata::strDataFolder).filePath(QStringLiteral("updatediary.XXXXXX")));
    if (!temporary.open())
        return failed(temporary.errorString());
    temporary.setPermissions(QFile::ReadOwner | QFile::WriteOwner);

    while (!source.atEnd()) {
        const QByteArray chunk = source.read(1 << 16);
        if (chunk.isEmpty() && source.error() != QFile::NoError)
            return failed(source.errorString());
        if (temporary.write(chunk) != chunk.size())
            return failed(temporary.errorString());
    }
    if (!temporary.flush())
        return failed(temporary.errorString());
#ifdef Q_OS_UNIX
    if (::fsync(temporary.handle()) != 0)
        return failed(QStringLiteral("The copy could not be written to the disk."));
#endif
    temporary.close();

    // QFile::rename refuses an existing target, so a diary that appeared meanwhile survives.
    if (!QFile::rename(temporary.fileName(), target))
        return failed(QStringLiteral("The copy could not be moved into place."));
    temporary.setAutoRemove(false);
    return {true, {}};
}

} // namespace modFileCopy
