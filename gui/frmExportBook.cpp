#include "gui/frmExportBook.h"

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
constexpr std::array<book::Format, 5> kFormats{book::Format::Pdf, book::Format::Html, book::Format::Markdown, book::Format::Text,
                                               book::Format::Csv};
} // namespace

frmExportBook::frmExportBook(QWidget *parent) : QDialog(parent)
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
        connect(box, &QCheckBox::toggled, this, &frmExportBook::sectionsChanged);
        sectionsLayout->addWidget(box);
        chkSection[index] = box;
    }
    layout->addWidget(sectionsBox);

    lblFormat = new QLabel(QStringLiteral("&Format:"), this);
    lblFormat->setObjectName(QStringLiteral("lblFormat"));
    cboFormat = new QComboBox(this);
    cboFormat->setObjectName(QStringLiteral("cboFormat"));
    for (book::Format format : kFormats)
        cboFormat->addItem(book::filterOf(format), QVariant::fromValue(int(format)));
    lblFormat->setBuddy(cboFormat);
    layout->addWidget(lblFormat);
    layout->addWidget(cboFormat);

    lblUnprotected = new QLabel(QStringLiteral("The exported file is not protected by the diary's password: "
                                               "anyone who can open the file can read it."),
                                this);
    lblUnprotected->setObjectName(QStringLiteral("lblUnprotected"));
    lblUnprotected->setWordWrap(true);
    layout->addWidget(lblUnprotected);

    auto *buttons = new QDialogButtonBox(this);
    cmdExport = buttons->addButton(QStringLiteral("&Export\u2026"), QDialogButtonBox::AcceptRole);
    cmdExport->setObjectName(QStringLiteral("cmdExport"));
    cmdExport->setDefault(true);
    cmdCancel = buttons->addButton(QDialogButtonBox::Cancel);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(360);
}

void frmExportBook::sectionsChanged()
{
    cmdExport->setEnabled(!choice().tables.empty());
}

frmExportBook::Choice frmExportBook::choice() const
{
    Choice choice;
    for (const sections::Section &section : sections::kSections)
        if (chkSection[std::size_t(section.table)]->isChecked())
            choice.tables.push_back(section.table);
    choice.format = book::Format(cboFormat->currentData().toInt());
    return choice;
}

std::optional<frmExportBook::Choice> frmExportBook::choose(QWidget *parent)
{
    frmExportBook dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
}
