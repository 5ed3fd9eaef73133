#pragma once

#include "core/store/history.h"
#include "core/store/restore.h"
#include "gui/forms.h"

#include <QWidget>

#include <optional>

struct DiaryChange;
class QLabel;
class QListView;
class QPlainTextEdit;
class QPushButton;

namespace historyview {
class ChangesModel;
class BackupsModel;
} // namespace historyview

// The diary's history and its backups: every change, newest first, with what each entry held
// before and after it, to take back; and the backups, to bring entries back from or to restore
// whole. Belongs to the window it was opened from and closes with it.
class HistoryWindow : public QWidget, public forms::Form {
    Q_OBJECT
public:
    explicit HistoryWindow(forms::Form *opener);

    // Reads the changes and the backups again after any change of the diary; the selection stays
    // on the same change unless the diary was replaced whole. Nothing while the diary is locked:
    // its unlock reads them.
    void follow(const DiaryChange &change);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    // Outside the registry, but locked with the others: what it lists goes, and comes back with
    // the same change chosen.
    void forget() override;
    void recall() override;

private:
    // Reads the lists, with this change chosen when it is still there.
    void readLists(std::optional<qint64> change);
    void showChange();
    void undoChange();
    void clearHistory();
    void bringBackEntries();
    void restoreBackup();
    void enableButtons();
    std::optional<store::history::Change> selectedChange() const;
    std::optional<store::BackupSummary> selectedBackup() const;
    void complain(const store::Failure &failure);
    void complainNotRestored(const store::Failure &failure);

    QListView *m_changeList = nullptr;
    QPlainTextEdit *m_changeText = nullptr;
    QPushButton *m_undoButton = nullptr;
    QPushButton *m_clearButton = nullptr;
    QListView *m_backupList = nullptr;
    QLabel *m_backupsLabel = nullptr;
    QPushButton *m_bringBackButton = nullptr;
    QPushButton *m_restoreButton = nullptr;
    historyview::ChangesModel *m_changes = nullptr;
    historyview::BackupsModel *m_backups = nullptr;
    std::optional<qint64> m_keptChange;
};
