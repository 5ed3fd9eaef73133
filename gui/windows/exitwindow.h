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

    // The field's content as the program sees it: the message box's line breaks are CR LF.
    static QString fieldText(const QWidget *field);

    // The trimmed field contents at the last submit, taken before any check.
    const referral::ReferralValues &submitted() const { return m_submitted; }
    // The referral address last opened.
    const QString &referralUrl() const { return m_referralUrl; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildReferralPanel();
    void quitProgram();
    void visitHomePage();
    void visitProductFamilyPage();
    void submitReferral();

    // The placeholder rules of the five referral fields and the key filter of the two e-mail fields.
    QString placeholderOf(const QWidget *field) const;
    void clearPlaceholder(QWidget *field);
    void restorePlaceholder(QWidget *field);
    void refuseSpace(QLineEdit *field);
    static void setFieldText(QWidget *field, const QString &text);

    QLabel *m_icon = nullptr;
    QLabel *m_titleLabel = nullptr;
    QLabel *m_supportMessageLabel = nullptr;
    QCheckBox *m_visitCheck = nullptr;
    QPushButton *m_closeButton = nullptr;

    QGroupBox *m_referralPanel = nullptr;
    QLineEdit *m_nameEdit = nullptr;
    QLineEdit *m_emailEdit = nullptr;
    QLineEdit *m_friendNameEdit = nullptr;
    QLineEdit *m_friendEmailEdit = nullptr;
    QPushButton *m_submitButton = nullptr;
    QPlainTextEdit *m_messageEdit = nullptr;

    QGroupBox *m_productFamilyPanel = nullptr;
    QLabel *m_productFamilyLabel = nullptr;
    ui::LinkLabel *m_productFamilyLink = nullptr;

    referral::ReferralValues m_submitted;
    QString m_referralUrl;
};
