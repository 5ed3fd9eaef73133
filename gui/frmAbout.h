#pragma once

#include "gui/forms.h"
#include "gui/ui.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// The About window: modal, borderless, closed only by OK (Enter and Esc press it).
class frmAbout : public forms::FormWindow<QDialog> {
    Q_OBJECT
public:
    frmAbout();

    // Creates the window, runs it modally over the active window and unloads it afterwards.
    static void ShowModal();

    void cmdOK_Click();

    QLabel *picIcon = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label1 = nullptr;
    ui::LinkLabel *lblHomePage = nullptr;
    QLabel *Label3 = nullptr;
    ui::LinkLabel *lblCoBrand = nullptr;
    QFrame *Line2 = nullptr;
    QPushButton *cmdOK = nullptr;

protected:
    // Esc closes the window the way OK does.
    void reject() override;
};
