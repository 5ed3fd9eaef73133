#include "core/datafolder.h"

#include <QDir>
#include <QFileInfo>

namespace datafolder {

namespace {
constexpr int kWin32Windows = 1;
constexpr int kWin32NT = 2;

QString joined(const QString &folder, const QString &name)
{
    if (folder.isEmpty())
        return {};
    return QDir::toNativeSeparators(folder + QLatin1Char('/') + name);
}
} // namespace

QString osName(const platform::OsVersion &version)
{
    switch (version.platformId) {
    case kWin32Windows:
        switch (version.minor) {
        case 0: return QStringLiteral("Windows 95");
        case 10: return QStringLiteral("Windows 98");
        case 90: return QStringLiteral("Windows Millennium");
        default: return {};
        }
    case kWin32NT:
        switch (version.major) {
        case 3: return QStringLiteral("Windows NT 3.51");
        case 4: return QStringLiteral("Windows NT 4.0");
        case 5:
            switch (version.minor) {
            case 0: return QStringLiteral("Windows 2000");
            case 1: return QStringLiteral("Windows XP");
            case 2: return QStringLiteral("Windows Server 2003");
            default: return {};
            }
        case 6: return QStringLiteral("Windows Vista");
        default: return {};
        }
    default:
        return QStringLiteral("Unknown Windows");
    }
}

QString osName()
{
    return osName(platform::system().osVersion());
}

QString appDataFolder()
{
    folderPath = platform::system().appDataFolder();
    return folderPath;
}

void systemFolder()
{
    folderPath = platform::system().systemFolder();
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
