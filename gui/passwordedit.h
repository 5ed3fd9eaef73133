#pragma once

// A password box that leaves no copy of the password behind: what was typed is taken out whole,
// and the box's own memory of it is zeroed when it is emptied and when it goes.

#include <QLineEdit>

// A password on its way to the key derivation: zeroed when it goes.
class TypedPassword {
public:
    explicit TypedPassword(QString text) : m_text(std::move(text)) { }
    ~TypedPassword();
    TypedPassword(const TypedPassword &) = delete;
    TypedPassword &operator=(const TypedPassword &) = delete;

    const QString &text() const { return m_text; }

private:
    QString m_text;
};

class PasswordEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit PasswordEdit(QWidget *parent);
    ~PasswordEdit() override;

    // What was typed; the box is empty afterwards.
    TypedPassword take();
    // Empties the box.
    void wipe();
};
