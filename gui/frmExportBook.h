#pragma once

#include "core/book.h"

#include <QDialog>

#include <array>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

// Export Book: which sections and which format; the file is chosen next, in the platform's
// file dialog. Created for each opening, never kept.
class frmExportBook : public QDialog {
    Q_OBJECT
public:
    struct Choice {
        std::vector<sections::Table> tables;
        book::Format format = book::Format::Pdf;
    };

    explicit frmExportBook(QWidget *parent = nullptr);

    // Runs the dialog modally; nothing when the user cancels.
    static std::optional<Choice> choose(QWidget *parent);
    Choice choice() const;

    std::array<QCheckBox *, sections::kTables.size()> chkSection{};
    QLabel *lblFormat = nullptr;
    QComboBox *cboFormat = nullptr;
    QLabel *lblUnprotected = nullptr;
    QPushButton *cmdExport = nullptr;
    QPushButton *cmdCancel = nullptr;

private:
    void sectionsChanged();
};
