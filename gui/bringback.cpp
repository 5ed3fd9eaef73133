#include "gui/bringback.h"

#include "core/diary.h"
#include "gui/messages.h"
#include "gui/rowsmodel.h"
#include "gui/ui.h"
#include "gui/windows/bringbackdialog.h"

namespace bringback {

bool fromBackup(QWidget *parent, const store::BackupSummary &backup)
{
    const QString made = historyview::when(backup.madeAt);
    auto found = [&] {
        const ui::BusyCursor busy;
        return store::differencesFrom(Diary::working().path(), backup.path);
    }();
    if (!found.ok()) {
        // The user gave up on the backup's password.
        if (found.failure().kind != store::FailureKind::Locked)
            gui::messages().show(parent,
                                 QStringLiteral("Nothing was brought back from the backup of %1.\n%2")
                                     .arg(made, store::message(found.failure())),
                                 gui::MessageIcon::Critical);
        return false;
    }
    if (found->empty()) {
        gui::messages().show(parent,
                             QStringLiteral("There is nothing to bring back: every entry of the backup of %1 is in "
                                            "the diary as it is.")
                                 .arg(made),
                             gui::MessageIcon::Information);
        return false;
    }
    const auto chosen = BringBackDialog::choose(parent, made, std::move(found.value()));
    if (!chosen || chosen->empty())
        return false;
    const auto brought = Diary::working().bringBack(*chosen, backup.madeAt);
    if (!brought.ok()) {
        gui::messages().show(parent, store::message(brought.failure()), gui::MessageIcon::Critical);
        return false;
    }
    if (!brought->change) {
        gui::messages().show(parent, brought->refusal, gui::MessageIcon::Information);
        return false;
    }
    return true;
}

} // namespace bringback
