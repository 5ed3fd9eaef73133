#include "gui/diarypassword.h"

#include "core/modDB.h"
#include "core/password.h"
#include "core/identity.h"
#include "gui/messages.h"
#include "gui/ui.h"

#include <QCheckBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace gui {

namespace {
const QString kWarning = QStringLiteral(
    "Keep this password safe. If you forget it, nobody can open your diary or its backups again, "
    "Brimvale included: there is no way to recover a password, and the diary is then lost.");

QLineEdit *passwordBox(QWidget *parent, const QString &name, const QString &accessibleName)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setAccessibleName(accessibleName);
    box->setEchoMode(QLineEdit::Password);
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

DiaryPasswordDialog::DiaryPasswordDialog(QWidget *parent, const QString &diaryPath, bool ownPassword)
    : QDialog(parent), m_path(diaryPath)
{
    setObjectName(QStringLiteral("dlgDiaryPassword"));
    setWindowTitle(QStringLiteral("Diary Password - ") + app::kApplicationTitle);
    setModal(true);

    auto *intro = new QLabel(ownPassword ? QStringLiteral("Your diary has a password of its own. Type it to change "
                                                          "it, or to remove it so that the diary opens by itself again.")
                                         : QStringLiteral("Give your diary a password of its own. Brimvale asks for it "
                                                          "the first time the diary is needed after each start."),
                             this);
    intro->setObjectName(QStringLiteral("lblIntro"));
    intro->setWordWrap(true);
    lblWarning = new QLabel(kWarning, this);
    lblWarning->setObjectName(QStringLiteral("lblWarning"));
    lblWarning->setWordWrap(true);
    QFont bold = lblWarning->font();
    bold.setBold(true);
    lblWarning->setFont(bold);

    auto *form = new QFormLayout;
    if (ownPassword) {
        txtCurrent = passwordBox(this, QStringLiteral("txtCurrent"), QStringLiteral("Current password"));
        form->addRow(QStringLiteral("C&urrent password:"), txtCurrent);
    }
    txtNew = passwordBox(this, QStringLiteral("txtNew"), QStringLiteral("New password"));
    txtRepeat = passwordBox(this, QStringLiteral("txtRepeat"), QStringLiteral("Repeat new password"));
    form->addRow(QStringLiteral("&New password:"), txtNew);
    form->addRow(QStringLiteral("Re&peat new password:"), txtRepeat);
    form->addRow(QString(), ui::showPasswordToggle(this, QStringLiteral("Sho&w passwords"), {txtCurrent, txtNew, txtRepeat}));

    auto *row = new QHBoxLayout;
    row->addStretch();
    cmdSet = button(this, QStringLiteral("cmdSet"), ownPassword ? QStringLiteral("&Change Password")
                                                                : QStringLiteral("&Set Password"));
    row->addWidget(cmdSet);
    if (ownPassword) {
        cmdRemove = button(this, QStringLiteral("cmdRemove"), QStringLiteral("&Remove Password"));
        row->addWidget(cmdRemove);
        connect(cmdRemove, &QPushButton::clicked, this, &DiaryPasswordDialog::remove);
    }
    cmdCancel = button(this, QStringLiteral("cmdCancel"), QStringLiteral("Cancel"));
    row->addWidget(cmdCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addWidget(lblWarning);
    layout->addLayout(row);
    setMinimumWidth(440);

    connect(cmdSet, &QPushButton::clicked, this, &DiaryPasswordDialog::setOrChange);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    (txtCurrent ? txtCurrent : txtNew)->setFocus();
}

void DiaryPasswordDialog::run(QWidget *parent, const QString &diaryPath)
{
    const auto own = modDB::HasOwnPassword(diaryPath);
    if (!own.ok()) {
        if (own.failure().kind != modDB::FailureKind::Locked)
            messages().show(parent, modDB::message(own.failure()), MessageIcon::Critical);
        return;
    }
    const ui::FocusReturn focusBack(parent);
    DiaryPasswordDialog dialog(parent, diaryPath, *own);
    dialog.exec();
}

void DiaryPasswordDialog::refuse(const QString &text, QLineEdit *focus)
{
    messages().show(this, text, MessageIcon::Critical);
    focus->setFocus();
}

void DiaryPasswordDialog::setOrChange()
{
    if (txtCurrent && txtCurrent->text().isEmpty())
        return refuse(QStringLiteral("Type the current password first."), txtCurrent);
    if (txtNew->text().isEmpty())
        return refuse(QStringLiteral("Type the new password."), txtNew);
    if (txtNew->text() != txtRepeat->text()) {
        txtRepeat->clear();
        return refuse(QStringLiteral("The two new passwords differ. Type the new password again."), txtRepeat);
    }
    change(txtCurrent ? txtCurrent->text() : QString(), txtNew->text(),
           txtCurrent ? QStringLiteral("The diary's password was changed.")
                      : QStringLiteral("The diary now has a password of its own."));
}

void DiaryPasswordDialog::remove()
{
    if (txtCurrent->text().isEmpty())
        return refuse(QStringLiteral("Type the current password first."), txtCurrent);
    if (messages().askYesNo(this, QStringLiteral("Remove the diary's password? Anyone who has Brimvale can then "
                                                 "open the diary and its backups."))
        != Answer::Yes)
        return;
    change(txtCurrent->text(), QString(),
           QStringLiteral("The diary has no password of its own any more: it opens with Brimvale's built-in key."));
}

void DiaryPasswordDialog::change(const QString &current, const QString &next, const QString &done)
{
    const auto changed = [&] {
        // Each key derivation takes about half a second on purpose, and every backup is re-keyed.
        const ui::BusyCursor busy;
        return modDB::ChangePassword(m_path, current, next);
    }();
    if (!changed.ok()) {
        if (changed.failure().kind == modDB::FailureKind::WrongPassword && txtCurrent) {
            txtCurrent->clear();
            return refuse(QStringLiteral("The current password is wrong."), txtCurrent);
        }
        return refuse(modDB::message(changed.failure()), txtCurrent ? txtCurrent : txtNew);
    }
    for (QLineEdit *box : {txtCurrent, txtNew, txtRepeat})
        if (box)
            box->clear();
    QString text = done;
    if (!changed->backupsLeft.isEmpty())
        text += QStringLiteral("\nThese backups could not be given the new key and keep the one they had:\n")
                + QDir::toNativeSeparators(changed->backupsLeft.join(QLatin1Char('\n')));
    messages().show(this, text, MessageIcon::Information);
    accept();
}

} // namespace gui
