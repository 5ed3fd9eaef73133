#include "gui/windows/passwordpromptdialog.h"

#include "core/identity.h"
#include "core/store/password.h"
#include "gui/diarylock.h"
#include "gui/passwordedit.h"
#include "gui/ui.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
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
        if (DiaryLock::instance().endingCutShortFlows())
            return false;
        const ui::FocusReturn focusBack(QApplication::activeWindow());
        return PasswordPromptDialog::ask(QApplication::activeWindow(), diaryPath, tryPassword);
    }
};
} // namespace

PasswordPromptDialog::PasswordPromptDialog(QWidget *parent, const QString &diaryPath,
                                           const std::function<bool(const QString &)> &tryPassword)
    : QDialog(parent), m_question(store::passwordQuestion(diaryPath)), m_tryPassword(tryPassword)
{
    setObjectName(QStringLiteral("dlgPasswordPrompt"));
    setWindowTitle(app::kApplicationTitle);
    setModal(true);

    m_message = new QLabel(m_question + kAsk, this);
    m_message->setObjectName(QStringLiteral("lblMessage"));
    m_message->setTextFormat(Qt::PlainText);
    m_message->setWordWrap(true);
    m_passwordEdit = new PasswordEdit(this);
    m_passwordEdit->setObjectName(QStringLiteral("txtPassword"));
    m_passwordEdit->setAccessibleName(QStringLiteral("Password"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_message);
    layout->addWidget(m_passwordEdit);
    layout->addWidget(ui::showPasswordToggle(this, QStringLiteral("Sho&w password"), {m_passwordEdit}));
    layout->addWidget(buttons);
    setMinimumWidth(360);

    connect(buttons, &QDialogButtonBox::accepted, this, &PasswordPromptDialog::tryTyped);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_passwordEdit->setFocus();
}

bool PasswordPromptDialog::ask(QWidget *parent, const QString &diaryPath,
                               const std::function<bool(const QString &)> &tryPassword)
{
    PasswordPromptDialog dialog(parent, diaryPath, tryPassword);
    return dialog.exec() == QDialog::Accepted;
}

void PasswordPromptDialog::tryTyped()
{
    if (m_passwordEdit->text().isEmpty())
        return;
    const bool opened = [&] {
        const TypedPassword typed = m_passwordEdit->take();
        // The key derivation takes about half a second on purpose.
        const ui::BusyCursor busy;
        return m_tryPassword(typed.text());
    }();
    if (opened) {
        accept();
        return;
    }
    m_message->setText(m_question + kWrong);
    m_passwordEdit->setFocus();
}

std::unique_ptr<platform::PasswordPrompt> dialogPasswordPrompt()
{
    return std::make_unique<DialogPrompt>();
}

} // namespace gui
