#pragma once

#include "core/store/bringback.h"

#include <QDialog>

#include <optional>
#include <vector>

class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// Bring Back Entries: section by section, the entries of a backup that the diary no longer holds
// (ticked: they come back) and the older versions of entries it still holds, beside the diary's
// text (unticked: the diary's stays). Created for each opening, never kept.
class BringBackDialog : public QDialog {
    Q_OBJECT
public:
    // Runs the dialog modally; the ticked entries, or nothing when the user cancels.
    static std::optional<std::vector<store::FromBackup>> choose(QWidget *parent, const QString &made,
                                                                std::vector<store::FromBackup> entries);

private:
    BringBackDialog(QWidget *parent, const QString &made, std::vector<store::FromBackup> entries);
    std::vector<store::FromBackup> ticked() const;
    void enableBringBack();
    void showWhole(const QTreeWidgetItem *item);

    QTreeWidget *m_list = nullptr;
    QPlainTextEdit *m_wholeText = nullptr;
    QPushButton *m_bringBackButton = nullptr;
    std::vector<store::FromBackup> m_entries;
    bool m_enablePending = false;
};
