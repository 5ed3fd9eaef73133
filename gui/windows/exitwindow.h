#pragma once

#include "core/referral.h"
#include "gui/forms.h"
#include "gui/ui.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The exit window: the last window the user sees, with a support message, the forum and
// product family links and the "Refer A Friend" panel. Every way of closing it ends the program.
class ExitWindow : public forms::FormWindow<QWidget> {
    Q_OBJECT
public:
    static inline const std::array<QString, 4> kSupportMessages{
        QStringLiteral("Tarnwick Softwares, such as this can be created and maintained only with your support. "
                       "The best way to support Tarnwick is to visit Tarnwick regularly and take part in the "
                       "discussions and other activities on the board."),
        QStringLiteral("Visit Tarnwick regularly. Support Tarnwick by taking part in the discussions and other "
                       "activities. These softwares cannot be supported and maintained, without you regularly "
                       "visiting Tarnwick"),
        QStringLiteral("Tarnwick is a FREE online discussion forum for all things mystic. To help Tarnwick develop "
                       "and maintain this software visit Tarnwick regularly."),
        QStringLiteral("Tarnwick needs your help. All you need to do is visit Tarnwick regularly and take part in "
                       "the various discussions and activites to help us maintain and develop more Tarnwick "
                       "Softwares."),
    };

    ExitWindow();

    void load() override;
    void unload() override;

    void quit();
    void visitFromCheckBox();
    void visitProductFamily();
    void submitReferral();

    // The placeholder rules of the five referral fields and the key filter of the two e-mail fields.
    void fieldGotFocus(QWidget *field);
    void fieldLostFocus(QWidget *field);
    void emailFieldKeyPress(QLineEdit *field);

    // The field's content as the program sees it: m_messageEdit's line breaks are CR LF.
    static QString fieldText(const QWidget *field);
    static void setFieldText(QWidget *field, const QString &text);

    QLabel *Picture1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QCheckBox *Check1 = nullptr;
    QPushButton *m_closeButton = nullptr;

    QGroupBox *Frame2 = nullptr;
    QLineEdit *m_nameEdit = nullptr;
    QLineEdit *m_emailEdit = nullptr;
    QLineEdit *m_friendNameEdit = nullptr;
    QLineEdit *m_friendEmailEdit = nullptr;
    QPushButton *m_submitButton = nullptr;
    QPlainTextEdit *m_messageEdit = nullptr;

    QGroupBox *Frame6 = nullptr;
    QLabel *Label3 = nullptr;
    ui::LinkLabel *m_homeLink = nullptr;

    // The trimmed field contents at the last submit, taken before any check.
    referral::ReferralValues submitted;
    // The referral address last opened.
    QString referralUrl;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildReferralPanel();
    QString placeholderOf(const QWidget *field) const;
};
