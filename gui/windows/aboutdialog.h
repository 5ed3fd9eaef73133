#pragma once

#include "gui/forms.h"
#include "gui/ui.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// The About window: modal, borderless, closed only by OK (Enter and Esc press it).
class AboutDialog : public forms::FormWindow<QDialog> {
    Q_OBJECT
public:
    AboutDialog();

    // Creates the window, runs it modally over the active window and unloads it afterwards.
    static void showModal();

protected:
    // Esc closes the window the way OK does.
    void reject() override;

private:
    QLabel *m_icon = nullptr;
    QLabel *m_titleLabel = nullptr;
    QLabel *m_descriptionLabel = nullptr;
    ui::LinkLabel *m_homePageLink = nullptr;
    QLabel *m_fullBrandLabel = nullptr;
    ui::LinkLabel *m_coBrandLink = nullptr;
    QFrame *m_separatorLine = nullptr;
    QPushButton *m_okButton = nullptr;
};
