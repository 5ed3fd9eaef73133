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

    // The number the promotional draw gave at start-up.
    qint16 coBrandNumber() const { return m_coBrandNumber; }

protected:
    void setVisible(bool visible) override;

private:
    // Brings one of the two promotional labels to the front, at random, here and on the main window
    // that came up with it.
    void drawPromotion();

    qint16 m_coBrandNumber = 0;
    chrome::PromoFrame m_promo;
};
