#include "core/starterdiary.h"

#include "core/datafolder.h"
#include "core/diary.h"
#include "core/store/newfile.h"

#include <QFile>
#include <QFileInfo>

namespace starterdiary {

namespace {
store::Failure failed(const QString &reason)
{
    return {store::FailureKind::Other, reason};
}
} // namespace

std::optional<store::Failure> copyStarterDiary()
{
    const QString target = Diary::working().path();
    if (target.isEmpty())
        return failed(QStringLiteral("The data folder is not known."));
    if (QFileInfo::exists(target))
        return failed(QStringLiteral("Something already exists at that path."));

    QFile source(datafolder::starterDiaryPath());
    if (!source.open(QIODevice::ReadOnly))
        return failed(source.errorString());

    const QFileInfo working(target);
    files::NewFile copy(working.absolutePath(), QStringLiteral("updatediary.XXXXXX"));
    if (auto notOpened = copy.open())
        return notOpened;
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(1 << 16);
        if (chunk.isEmpty() && source.error() != QFile::NoError)
            return failed(source.errorString());
        if (copy.file().write(chunk) != chunk.size())
            return failed(copy.file().errorString());
    }
    // A diary that appeared meanwhile survives: the copy never replaces anything.
    return copy.commit(working.fileName());
}

} // namespace starterdiary
