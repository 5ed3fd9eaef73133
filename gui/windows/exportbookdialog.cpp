#include "gui/windows/exportbookdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// Access keys that differ from each other and from the dialog's other controls.
constexpr std::array<const char *, 4> kSectionCaptions{"&Spell", "&Incense", "&Recipes", "Ri&tuals"};
constexpr std::array<book::Format, 5> kFormats{book::Format::Pdf, book::Format::Html, book::Format::Markdown,
                                               book::Format::Text, book::Format::Csv};
} // namespace

ExportBookDialog::ExportBookDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmExportBook"));
    setWindowTitle(QStringLiteral("Export Book"));
    auto *layout = new QVBoxLayout(this);

    auto *sectionsBox = new QGroupBox(QStringLiteral("Sections"), this);
    sectionsBox->setObjectName(QStringLiteral("fraSections"));
    auto *sectionsLayout = new QVBoxLayout(sectionsBox);
    for (const sections::Section &section : sections::kSections) {
        const auto index = std::size_t(section.table);
        QCheckBox *box = new QCheckBox(QString::fromUtf8(kSectionCaptions[index]), sectionsBox);
        box->setObjectName(QStringLiteral("chk") + section.name);
        box->setChecked(true);
        connect(box, &QCheckBox::toggled, this, &ExportBookDialog::sectionsChanged);
        sectionsLayout->addWidget(box);
        m_sectionChecks[index] = box;
    }
    layout->addWidget(sectionsBox);

    auto *formatLabel = new QLabel(QStringLiteral("&Format:"), this);
    formatLabel->setObjectName(QStringLiteral("lblFormat"));
    m_formatBox = new QComboBox(this);
    m_formatBox->setObjectName(QStringLiteral("cboFormat"));
    for (book::Format format : kFormats)
        m_formatBox->addItem(book::filterOf(format), QVariant::fromValue(int(format)));
    formatLabel->setBuddy(m_formatBox);
    layout->addWidget(formatLabel);
    layout->addWidget(m_formatBox);

    auto *unprotectedWarning = new QLabel(QStringLiteral("The exported file is not protected by the diary's password: "
                                                         "anyone who can open the file can read it."),
                                          this);
    unprotectedWarning->setObjectName(QStringLiteral("lblUnprotected"));
    unprotectedWarning->setWordWrap(true);
    layout->addWidget(unprotectedWarning);

    auto *buttons = new QDialogButtonBox(this);
    m_exportButton = buttons->addButton(QStringLiteral("&Export\u2026"), QDialogButtonBox::AcceptRole);
    m_exportButton->setObjectName(QStringLiteral("cmdExport"));
    m_exportButton->setDefault(true);
    QPushButton *cancelButton = buttons->addButton(QDialogButtonBox::Cancel);
    cancelButton->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(360);
}

void ExportBookDialog::sectionsChanged()
{
    m_exportButton->setEnabled(!choice().tables.empty());
}

ExportBookDialog::Choice ExportBookDialog::choice() const
{
    Choice choice;
    for (const sections::Section &section : sections::kSections)
        if (m_sectionChecks[std::size_t(section.table)]->isChecked())
            choice.tables.push_back(section.table);
    choice.format = book::Format(m_formatBox->currentData().toInt());
    return choice;
}

std::optional<ExportBookDialog::Choice> ExportBookDialog::choose(QWidget *parent)
{
    ExportBookDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
}
