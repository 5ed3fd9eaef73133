#pragma once

#include "gui/chrome.h"
#include "gui/forms.h"

#include <QWidget>

// The start window: loaded first, never shown. Its load runs the start-up sequence; unloading
// it ends the program.
class StartupWindow : public forms::FormWindow<QWidget> {
    Q_OBJECT
public:
    StartupWindow();

    void load() override;
    void unload() override;

    // Brings one of the two promotional labels to the front, at random, here and on the main window.
    void randomizeCoBrand();
    qint16 m_coBrandNumber = 0;

    chrome::PromoFrame promo;

protected:
    void setVisible(bool visible) override;
};

// The number drawn for the promotional rotation: r * 6 + 1 rounded half to even.
qint16 coBrandNumber(float r);
