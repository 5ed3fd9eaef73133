#include "core/filefolders.h"

#include "core/identity.h"
#include "core/services.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace filefolders {

namespace {
const QString kSection = QStringLiteral("Files");
const QString kKey = QStringLiteral("LastFolder");
} // namespace

QString startFolder()
{
    const QString last = platform::settings().read(app::kSettingsApplication, kSection, kKey);
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QDir().mkpath(documents))
        return documents;
    return QDir::homePath();
}

void rememberFolderOf(const QString &file)
{
    // Only a convenience: a value that cannot be stored costs the user a few clicks next time.
    platform::settings().write(app::kSettingsApplication, kSection, kKey, QFileInfo(file).absolutePath());
}

} // namespace filefolders
