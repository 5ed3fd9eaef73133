#pragma once

// What a window shows while the diary is locked: over all of it, a password box and Unlock.

#include <QWidget>

class QLabel;
class PasswordEdit;

class LockPanel : public QWidget {
    Q_OBJECT
public:
    // Covers `window` and follows its size.
    explicit LockPanel(QWidget *window);

    // The password was not taken: says why, and the box is empty for another try.
    void refuse(const QString &why);
    void takeFocus();

signals:
    void unlockAsked(const QString &password);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ask();

    PasswordEdit *m_passwordEdit = nullptr;
    QLabel *m_refusal = nullptr;
};
