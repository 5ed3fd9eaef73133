#pragma once

#include "app/forms.h"

#include <QDialog>

class QPushButton;

// The About window: modal, borderless, closed only by OK (Enter and Esc press it).
class frmAbout : public forms::FormWindow<QDialog> {
    Q_OBJECT
public:
    frmAbout();

    // Creates the window, runs it modally over the active window and unloads it afterwards.
    static void ShowModal();

    QPushButton *cmdOK = nullptr;
};
