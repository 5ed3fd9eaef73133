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

    void closeDialog();

    QLabel *m_icon = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label1 = nullptr;
    ui::LinkLabel *m_homePageLink = nullptr;
    QLabel *Label3 = nullptr;
    ui::LinkLabel *m_coBrandLink = nullptr;
    QFrame *Line2 = nullptr;
    QPushButton *m_okButton = nullptr;

protected:
    // Esc closes the window the way OK does.
    void reject() override;
};
