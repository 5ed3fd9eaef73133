#include "gui/passwordprompt.h"

#include "core/identity.h"
#include "core/password.h"
#include "gui/ui.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace gui {

namespace {
const QString kAsk = QStringLiteral(" Type it to open the diary.");
const QString kWrong = QStringLiteral("\nThe password is wrong, or the diary file is damaged. Type it again.");

class DialogPrompt final : public platform::PasswordPrompt {
public:
    bool ask(const QString &diaryPath, const std::function<bool(const QString &)> &tryPassword) override
    {
        const ui::FocusReturn focusBack(QApplication::activeWindow());
        PasswordPromptDialog dialog(QApplication::activeWindow(), diaryPath, tryPassword);
        return dialog.exec() == QDialog::Accepted;
    }
};
} // namespace

PasswordPromptDialog::PasswordPromptDialog(QWidget *parent, const QString &diaryPath,
                                           const std::function<bool(const QString &)> &tryPassword)
    : QDialog(parent), m_question(modDB::passwordQuestion(diaryPath)), m_tryPassword(tryPassword)
{
    setObjectName(QStringLiteral("dlgPasswordPrompt"));
    setWindowTitle(app::kApplicationTitle);
    setModal(true);

    lblMessage = new QLabel(m_question + kAsk, this);
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    lblMessage->setTextFormat(Qt::PlainText);
    lblMessage->setWordWrap(true);
    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setAccessibleName(QStringLiteral("Password"));
    txtPassword->setEchoMode(QLineEdit::Password);
    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblMessage);
    layout->addWidget(txtPassword);
    layout->addWidget(ui::showPasswordToggle(this, QStringLiteral("Sho&w password"), {txtPassword}));
    layout->addWidget(buttons);
    setMinimumWidth(360);

    connect(buttons, &QDialogButtonBox::accepted, this, &PasswordPromptDialog::tryTyped);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    txtPassword->setFocus();
}

void PasswordPromptDialog::tryTyped()
{
    if (txtPassword->text().isEmpty())
        return;
    const bool opened = [&] {
        // The key derivation takes about half a second on purpose.
        const ui::BusyCursor busy;
        return m_tryPassword(txtPassword->text());
    }();
    txtPassword->clear();
    if (opened) {
        accept();
        return;
    }
    lblMessage->setText(m_question + kWrong);
    txtPassword->setFocus();
}

std::unique_ptr<platform::PasswordPrompt> dialogPasswordPrompt()
{
    return std::make_unique<DialogPrompt>();
}

} // namespace gui
