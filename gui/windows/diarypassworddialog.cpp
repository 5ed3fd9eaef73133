#include "gui/windows/diarypassworddialog.h"

#include "core/autolock.h"
#include "core/diary.h"
#include "core/identity.h"
#include "core/store/password.h"
#include "core/store/store.h"
#include "gui/messages.h"
#include "gui/passwordedit.h"
#include "gui/ui.h"

#include <QCheckBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace gui {

namespace {
const QString kWarning =
    QStringLiteral("Keep this password safe. If you forget it, nobody can open your diary or its backups again, "
                   "Brimvale included: there is no way to recover a password, and the diary is then lost.");

PasswordEdit *passwordBox(QWidget *parent, const QString &name, const QString &accessibleName)
{
    auto *box = new PasswordEdit(parent);
    box->setObjectName(name);
    box->setAccessibleName(accessibleName);
    return box;
}

QPushButton *button(QWidget *parent, const QString &name, const QString &caption)
{
    auto *made = new QPushButton(caption, parent);
    made->setObjectName(name);
    made->setAutoDefault(true);
    return made;
}
} // namespace

DiaryPasswordDialog::DiaryPasswordDialog(QWidget *parent, bool ownPassword) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgDiaryPassword"));
    setWindowTitle(QStringLiteral("Diary Password - ") + app::kApplicationTitle);
    setModal(true);

    auto *intro =
        new QLabel(ownPassword ? QStringLiteral("Your diary has a password of its own. Type it to change "
                                                "it, or to remove it so that the diary opens by itself again.")
                               : QStringLiteral("Give your diary a password of its own. Brimvale asks for it "
                                                "the first time the diary is needed after each start."),
                   this);
    intro->setObjectName(QStringLiteral("lblIntro"));
    intro->setWordWrap(true);
    auto *warning = new QLabel(kWarning, this);
    warning->setObjectName(QStringLiteral("lblWarning"));
    warning->setWordWrap(true);
    QFont bold = warning->font();
    bold.setBold(true);
    warning->setFont(bold);

    auto *form = new QFormLayout;
    if (ownPassword) {
        m_currentEdit = passwordBox(this, QStringLiteral("txtCurrent"), QStringLiteral("Current password"));
        form->addRow(QStringLiteral("C&urrent password:"), m_currentEdit);
    }
    m_newEdit = passwordBox(this, QStringLiteral("txtNew"), QStringLiteral("New password"));
    m_repeatEdit = passwordBox(this, QStringLiteral("txtRepeat"), QStringLiteral("Repeat new password"));
    form->addRow(QStringLiteral("&New password:"), m_newEdit);
    form->addRow(QStringLiteral("Re&peat new password:"), m_repeatEdit);
    form->addRow(
        QString(),
        ui::showPasswordToggle(this, QStringLiteral("Sho&w passwords"), {m_currentEdit, m_newEdit, m_repeatEdit}));
    const autolock::Choice lock = autolock::readChoice();
    m_lockMinutes = new QSpinBox(this);
    m_lockMinutes->setObjectName(QStringLiteral("spnLockMinutes"));
    m_lockMinutes->setAccessibleName(QStringLiteral("Lock after minutes without use"));
    m_lockMinutes->setRange(0, autolock::kMostIdleMinutes);
    m_lockMinutes->setSpecialValueText(QStringLiteral("Never"));
    const auto suffixFor = [this](int minutes) {
        m_lockMinutes->setSuffix(minutes == 1 ? QStringLiteral(" minute without use")
                                              : QStringLiteral(" minutes without use"));
    };
    connect(m_lockMinutes, &QSpinBox::valueChanged, this, suffixFor);
    m_lockMinutes->setValue(lock.idleMinutes);
    suffixFor(m_lockMinutes->value());
    form->addRow(QStringLiteral("&Lock after:"), m_lockMinutes);
    m_lockWithScreen = new QCheckBox(QStringLiteral("Lock when the screen loc&ks"), this);
    m_lockWithScreen->setObjectName(QStringLiteral("chkLockWithScreen"));
    m_lockWithScreen->setChecked(lock.withScreen);
    form->addRow(QString(), m_lockWithScreen);

    auto *row = new QHBoxLayout;
    row->addStretch();
    QPushButton *setButton = button(this, QStringLiteral("cmdSet"),
                                    ownPassword ? QStringLiteral("&Change Password") : QStringLiteral("&Set Password"));
    row->addWidget(setButton);
    if (ownPassword) {
        QPushButton *removeButton = button(this, QStringLiteral("cmdRemove"), QStringLiteral("&Remove Password"));
        row->addWidget(removeButton);
        connect(removeButton, &QPushButton::clicked, this, &DiaryPasswordDialog::remove);
    }
    row->addSpacing(12);
    QPushButton *okButton = button(this, QStringLiteral("cmdOK"), QStringLiteral("OK"));
    row->addWidget(okButton);
    QPushButton *cancelButton = button(this, QStringLiteral("cmdCancel"), QStringLiteral("Cancel"));
    row->addWidget(cancelButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addWidget(warning);
    layout->addLayout(row);
    setMinimumWidth(440);

    connect(setButton, &QPushButton::clicked, this, &DiaryPasswordDialog::setOrChange);
    connect(okButton, &QPushButton::clicked, this, &DiaryPasswordDialog::confirm);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    (m_currentEdit ? m_currentEdit : m_newEdit)->setFocus();
}

void DiaryPasswordDialog::run(QWidget *parent)
{
    const auto own = store::hasOwnPassword(Diary::working().path());
    if (!own.ok()) {
        if (own.failure().kind != store::FailureKind::Locked)
            messages().show(parent, store::message(own.failure()), MessageIcon::Critical);
        return;
    }
    const ui::FocusReturn focusBack(parent);
    DiaryPasswordDialog dialog(parent, *own);
    dialog.exec();
}

void DiaryPasswordDialog::confirm()
{
    // A new password typed and then OK pressed is meant to be set, not dropped.
    if (!m_newEdit->text().isEmpty() || !m_repeatEdit->text().isEmpty())
        return setOrChange();
    accept();
}

void DiaryPasswordDialog::done(int result)
{
    const autolock::Choice chosen{m_lockMinutes->value(), m_lockWithScreen->isChecked()};
    const autolock::Choice stored = autolock::readChoice();
    if (result == Accepted && (chosen.idleMinutes != stored.idleMinutes || chosen.withScreen != stored.withScreen)
        && !autolock::writeChoice(chosen))
        messages().show(this, QStringLiteral("The lock settings could not be saved."), MessageIcon::Critical);
    QDialog::done(result);
}

void DiaryPasswordDialog::refuse(const QString &text, QLineEdit *focus)
{
    messages().show(this, text, MessageIcon::Critical);
    focus->setFocus();
}

void DiaryPasswordDialog::setOrChange()
{
    if (m_currentEdit && m_currentEdit->text().isEmpty())
        return refuse(QStringLiteral("Type the current password first."), m_currentEdit);
    if (m_newEdit->text().isEmpty())
        return refuse(QStringLiteral("Type the new password."), m_newEdit);
    if (m_newEdit->text() != m_repeatEdit->text()) {
        m_repeatEdit->wipe();
        return refuse(QStringLiteral("The two new passwords differ. Type the new password again."), m_repeatEdit);
    }
    // Held until the change is over, after the boxes have let go of them, and then wiped.
    const TypedPassword current(m_currentEdit ? m_currentEdit->text() : QString());
    const TypedPassword next(m_newEdit->text());
    change(current.text(), next.text(),
           m_currentEdit ? QStringLiteral("The diary's password was changed.")
                         : QStringLiteral("The diary now has a password of its own."));
}

void DiaryPasswordDialog::remove()
{
    if (m_currentEdit->text().isEmpty())
        return refuse(QStringLiteral("Type the current password first."), m_currentEdit);
    if (messages().askYesNo(this,
                            QStringLiteral("Remove the diary's password? Anyone who has Brimvale can then "
                                           "open the diary and its backups."))
        != Answer::Yes)
        return;
    const TypedPassword current(m_currentEdit->text());
    change(current.text(), QString(),
           QStringLiteral("The diary has no password of its own any more: it opens with Brimvale's built-in key."));
}

void DiaryPasswordDialog::change(const QString &current, const QString &next, const QString &done)
{
    const auto changed = [&] {
        // Each key derivation takes about half a second on purpose, and every backup is re-keyed.
        const ui::BusyCursor busy;
        return Diary::working().changePassword(current, next);
    }();
    if (!changed.ok()) {
        if (changed.failure().kind == store::FailureKind::WrongPassword && m_currentEdit) {
            m_currentEdit->wipe();
            return refuse(QStringLiteral("The current password is wrong."), m_currentEdit);
        }
        return refuse(store::message(changed.failure()), m_currentEdit ? m_currentEdit : m_newEdit);
    }
    for (PasswordEdit *box : {m_currentEdit, m_newEdit, m_repeatEdit})
        if (box)
            box->wipe();
    QString text = done;
    if (!changed->backupsLeft.isEmpty())
        text += QStringLiteral("\nThese backups could not be given the new key and keep the one they had:\n")
            + QDir::toNativeSeparators(changed->backupsLeft.join(QLatin1Char('\n')));
    messages().show(this, text, MessageIcon::Information);
    accept();
}

} // namespace gui
