#include "gui/passwordedit.h"

#include "core/secrets.h"

#include <QSignalBlocker>

TypedPassword::~TypedPassword()
{
    secrets::wipe(m_text);
}

PasswordEdit::PasswordEdit(QWidget *parent) : QLineEdit(parent)
{
    setEchoMode(QLineEdit::Password);
}

PasswordEdit::~PasswordEdit()
{
    // Those who listen may be gone already.
    const QSignalBlocker quiet(this);
    wipe();
}

// The box hands out its own buffer, shared; once the box has let go of it (and of its undo
// steps with it), the taker is its last holder and zeroes it.
TypedPassword PasswordEdit::take()
{
    QString typed = text();
    setText(QString());
    return TypedPassword(std::move(typed));
}

void PasswordEdit::wipe()
{
    QString typed = text();
    setText(QString());
    secrets::wipe(typed);
}
