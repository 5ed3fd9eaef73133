#pragma once

#include "core/book/book.h"

#include <QDialog>

#include <array>
#include <optional>

class QCheckBox;
class QComboBox;
class QPushButton;

// Export Book: which sections and which format; the file is chosen next, in the platform's
// file dialog. Created for each opening, never kept.
class ExportBookDialog : public QDialog {
    Q_OBJECT
public:
    struct Choice {
        std::vector<sections::Table> tables;
        book::Format format = book::Format::Pdf;
    };

    // Runs the dialog modally; nothing when the user cancels.
    static std::optional<Choice> choose(QWidget *parent);

private:
    explicit ExportBookDialog(QWidget *parent);
    Choice choice() const;
    void sectionsChanged();

    std::array<QCheckBox *, sections::kTables.size()> m_sectionChecks{};
    QComboBox *m_formatBox = nullptr;
    QPushButton *m_exportButton = nullptr;
};
