#pragma once

// Diary Password: sets a password of the user's own (typed twice), changes it (the current one
// first) or removes it, going back to the built-in key.

#include <QDialog>

class PasswordEdit;
class QCheckBox;
class QLineEdit;
class QSpinBox;

namespace gui {

class DiaryPasswordDialog : public QDialog {
    Q_OBJECT
public:
    // Opens the dialog for the working diary over `parent` and returns when it is closed.
    // Over parent, for the working diary.
    static void run(QWidget *parent);

private:
    // ownPassword: the diary has a password of its own now, so the current one is asked for.
    DiaryPasswordDialog(QWidget *parent, bool ownPassword);
    void setOrChange();
    void remove();
    // OK: sets the password typed, if any, and keeps the lock settings.
    void confirm();
    // Re-keys the diary and its backups; closes the dialog when that was done.
    void change(const QString &current, const QString &next, const QString &done);
    void refuse(const QString &text, QLineEdit *focus);
    // The lock settings as changed are kept only when the dialog is accepted: OK, or a password
    // set, changed or removed. Cancel, Escape, closing it and the lock keep them as they were.
    void done(int result) override;

    PasswordEdit *m_currentEdit = nullptr; // only with a password of its own
    PasswordEdit *m_newEdit = nullptr;
    PasswordEdit *m_repeatEdit = nullptr;
    QSpinBox *m_lockMinutes = nullptr;
    QCheckBox *m_lockWithScreen = nullptr;
};

} // namespace gui
