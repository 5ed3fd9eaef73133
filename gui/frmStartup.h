#pragma once

#include "gui/chrome.h"
#include "gui/forms.h"

#include <QWidget>

// The start window: loaded first, never shown. Its load runs the start-up sequence; unloading
// it ends the program.
class frmStartup : public forms::FormWindow<QWidget> {
    Q_OBJECT
public:
    frmStartup();

    void Form_Load() override;
    void Form_Unload() override;

    // Brings one of the two promotional labels to the front, at random, here and on the main window.
    void CoBrand_Randomize();
    qint16 intCoBrandRandomNumber = 0;

    chrome::PromoFrame promo;

protected:
    void setVisible(bool visible) override;
};

// The number drawn for the promotional rotation: r * 6 + 1 rounded half to even.
qint16 coBrandNumber(float r);
