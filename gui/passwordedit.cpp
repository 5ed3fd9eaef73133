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
    wipe();
    return TypedPassword(std::move(typed));
}

// While "Show password" is ticked the box draws from a copy of its own, which it gives out too.
void PasswordEdit::wipe()
{
    QString typed = text();
    QString shown = displayText();
    setText(QString());
    secrets::wipe(typed);
    secrets::wipe(shown);
}
