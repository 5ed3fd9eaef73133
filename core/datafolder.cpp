#include "core/datafolder.h"

#include "core/services.h"

#include <QDir>
#include <QFileInfo>

namespace datafolder {

namespace {
QString joined(const QString &folder, const QString &name)
{
    if (folder.isEmpty())
        return {};
    return QDir::toNativeSeparators(folder + QLatin1Char('/') + name);
}
} // namespace

QString appDataFolder()
{
    folderPath = platform::system().appDataFolder();
    return folderPath;
}

bool setDataFolder()
{
    // The system directory is shared by every user and often not writable: the diary always
    // goes to the user's own folder, whatever the version of the system.
    appDataFolder();
    if (folderPath.isEmpty())
        return false;
    const QFileInfo folder(folderPath);
    if (folder.isDir())
        return true;
    if (folder.exists())
        return false;
    QDir().mkpath(folder.absolutePath() + QStringLiteral("/.."));
    return QDir().mkdir(folderPath, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)
        || QFileInfo(folderPath).isDir();
}

QString workingDiaryPath()
{
    return joined(folderPath, kWorkingDiaryName);
}

QString starterDiaryPath()
{
    return joined(platform::system().programFolder(), kStarterDiaryName);
}

bool fileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.isFile() && !info.isHidden();
}

} // namespace datafolder
