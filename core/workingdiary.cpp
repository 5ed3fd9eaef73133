#include "core/workingdiary.h"

#include "core/datafolder.h"
#include "core/diary.h"
#include "core/starterdiary.h"
#include "core/store/backups.h"
#include "core/store/password.h"
#include "core/store/store.h"

#include <QDir>
#include <QFileInfo>

namespace workingdiary {

// The failures of ready() carry the whole message as their detail.
std::optional<store::Failure> ready(bool folderReady, const std::function<void(const QString &kept)> &keptIn)
{
    if (!folderReady)
        return store::Failure{store::FailureKind::Missing,
                              QStringLiteral("The data folder could not be created.\n")
                                  + QDir::toNativeSeparators(datafolder::folderPath)};
    const QString working = Diary::working().path();
    if (!QFileInfo::exists(working)) {
        if (const auto notCopied = starterdiary::copyStarterDiary())
            return store::Failure{store::FailureKind::Other,
                                  QStringLiteral("The diary could not be copied into the data folder.\n") + working
                                      + QLatin1Char('\n') + notCopied->detail};
        if (const auto kept = store::keepBackupsOfLostDiary(working))
            keptIn(*kept);
    }
    // A diary with a password of its own asks for it here, so that giving up leaves the window
    // that asked.
    if (const auto locked = Diary::working().open())
        return store::Failure{locked->kind, store::message(*locked)};
    return std::nullopt;
}

std::optional<QString> message(const store::Failure &failure)
{
    if (failure.kind == store::FailureKind::Locked)
        return std::nullopt;
    return failure.detail;
}

} // namespace workingdiary
