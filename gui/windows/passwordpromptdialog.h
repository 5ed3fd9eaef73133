#pragma once

// The small dialog that asks for a diary's password the first time the diary is needed in a run,
// when the built-in key does not open it; it names any diary file other than the working one.

#include "core/services.h"

#include <QDialog>

#include <functional>
#include <memory>

class PasswordEdit;
class QLabel;

namespace gui {

class PasswordPromptDialog : public QDialog {
    Q_OBJECT
public:
    // Runs the dialog modally over `parent`; each password typed goes to tryPassword, and the
    // dialog closes when it takes one. False when the user gave up.
    static bool ask(QWidget *parent, const QString &diaryPath, const std::function<bool(const QString &)> &tryPassword);

private:
    PasswordPromptDialog(QWidget *parent, const QString &diaryPath,
                         const std::function<bool(const QString &)> &tryPassword);
    void tryTyped();

    QLabel *m_message = nullptr;
    PasswordEdit *m_passwordEdit = nullptr;

    QString m_question;
    std::function<bool(const QString &)> m_tryPassword;
};

// The prompt seam as this dialog, over the active window.
std::unique_ptr<platform::PasswordPrompt> dialogPasswordPrompt();

} // namespace gui
