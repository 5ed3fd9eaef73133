#include "gui/lockpanel.h"

#include "gui/passwordedit.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

LockPanel::LockPanel(QWidget *window) : QWidget(window)
{
    setObjectName(QStringLiteral("LockPanel"));
    setAutoFillBackground(true);

    auto *title = new QLabel(QStringLiteral("Your diary is locked."), this);
    title->setObjectName(QStringLiteral("lblLocked"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto *prompt = new QLabel(QStringLiteral("&Password:"), this);
    m_passwordEdit = new PasswordEdit(this);
    m_passwordEdit->setObjectName(QStringLiteral("txtUnlockPassword"));
    m_passwordEdit->setAccessibleName(QStringLiteral("Password"));
    prompt->setBuddy(m_passwordEdit);
    auto *unlockButton = new QPushButton(QStringLiteral("&Unlock"), this);
    unlockButton->setObjectName(QStringLiteral("cmdUnlock"));
    m_refusal = new QLabel(this);
    m_refusal->setObjectName(QStringLiteral("lblUnlockRefused"));
    m_refusal->setTextFormat(Qt::PlainText);
    m_refusal->setWordWrap(true);

    auto *row = new QHBoxLayout;
    row->addWidget(prompt);
    row->addWidget(m_passwordEdit, 1);
    row->addWidget(unlockButton);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->addStretch();
    layout->addWidget(title);
    layout->addLayout(row);
    layout->addWidget(m_refusal);
    layout->addStretch();

    connect(unlockButton, &QPushButton::clicked, this, &LockPanel::ask);
    connect(m_passwordEdit, &QLineEdit::returnPressed, this, &LockPanel::ask);
    setGeometry(window->rect());
    window->installEventFilter(this);
    raise();
    show();
}

void LockPanel::refuse(const QString &why)
{
    m_refusal->setText(why);
    m_passwordEdit->wipe();
    m_passwordEdit->setFocus();
}

void LockPanel::takeFocus()
{
    m_passwordEdit->setFocus();
}

bool LockPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parent() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void LockPanel::ask()
{
    const TypedPassword password = m_passwordEdit->take();
    emit unlockAsked(password.text());
}
