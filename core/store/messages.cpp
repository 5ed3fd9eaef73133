// The words for a failure of the diary, as the windows and the command line show them.

#include "core/store/store.h"

namespace store {

namespace {
QString notDone(Task task)
{
    switch (task) {
    case Task::SaveEntry: break;
    case Task::ClearHistory: return QStringLiteral("The history could not be cleared");
    case Task::Undo: return QStringLiteral("The change could not be undone");
    case Task::Restore: return QStringLiteral("The backup could not be restored");
    case Task::Import: return QStringLiteral("The entries could not be imported");
    case Task::BringBack: return QStringLiteral("The entries could not be brought back");
    }
    return QStringLiteral("The entry could not be saved");
}
} // namespace

bool namesTask(const Failure &failure)
{
    return failure.kind == FailureKind::DiskFull || failure.kind == FailureKind::SectionFull
        || failure.kind == FailureKind::HistoryFull
        || (failure.kind == FailureKind::Other && failure.task != Task::SaveEntry);
}

QString message(const Failure &failure)
{
    QString what;
    switch (failure.kind) {
    case FailureKind::Missing: what = QStringLiteral("The diary file is missing."); break;
    case FailureKind::Damaged: what = QStringLiteral("The diary file is damaged or the password is wrong."); break;
    case FailureKind::ReadOnly: what = QStringLiteral("The diary file is read-only."); break;
    case FailureKind::DiskFull: what = notDone(failure.task) + QStringLiteral(": the disk is full."); break;
    case FailureKind::SectionFull:
        // The section's name takes the place of the detail.
        return notDone(failure.task) + QStringLiteral(": %1 can take no more entries.").arg(failure.detail);
    case FailureKind::HistoryFull:
        what =
            notDone(failure.task) + QStringLiteral(": the history can take no more changes; Clear History makes room.");
        break;
    case FailureKind::Other:
        what = failure.task == Task::SaveEntry ? QStringLiteral("The diary could not be read or saved.")
                                               : notDone(failure.task) + QLatin1Char('.');
        break;
    case FailureKind::Locked: what = QStringLiteral("The diary stays locked: its password was not given."); break;
    case FailureKind::WrongPassword: what = QStringLiteral("The password is wrong."); break;
    case FailureKind::Foreign: what = QStringLiteral("The file is not a Brimvale diary."); break;
    }
    if (!failure.detail.isEmpty())
        what += QLatin1Char('\n') + failure.detail;
    if (!failure.newestBackup.isEmpty())
        what += QStringLiteral("\nNewest backup: ") + failure.newestBackup;
    return what;
}

} // namespace store
