#pragma once

#include "app/forms.h"

#include <QWidget>

class QPushButton;

// The exit window: the last window the user sees; every way of closing it ends the program.
class frmFarewell : public forms::FormWindow<QWidget> {
    Q_OBJECT
public:
    frmFarewell();

    void Form_Load() override;
    void Form_Unload() override;

    void cmdClose_Click();

    QPushButton *cmdClose = nullptr;
};
