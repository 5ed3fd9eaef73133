#include "gui/frmStartup.h"

#include "core/modAppdata.h"
#include "core/services.h"
#include "gui/messages.h"
#include "gui/modHelp_reminder.h"
#include "gui/modHelp_shutdown.h"
#include "gui/navigation.h"

#include <QFrame>

#include <cmath>

frmStartup::frmStartup()
{
    setObjectName(QStringLiteral("frmStartup"));
    promo = chrome::addPromoFrame(this, QRect(0, 0, 6550, 825), QRect(120, 165, 6255, 615));
}

void frmStartup::setVisible(bool visible)
{
    // Other windows hide this one on their way; nothing ever makes it visible.
    if (!visible)
        forms::FormWindow<QWidget>::setVisible(false);
}

void frmStartup::Form_Load()
{
    if (platform::instanceLock().anotherInstanceRunning()) {
        gui::messages().show(nullptr, QStringLiteral("Application is already running"),
                             gui::MessageIcon::Information);
        modHelp::QuitAll();
        return;
    }
    platform::random().seed();
    modAppdata::SetDataFolder();
    modHelp::RemindOfUpdate();
    navigation::start();
    hide();
    CoBrand_Randomize();
}

void frmStartup::Form_Unload()
{
    modHelp::QuitAll();
}

qint16 coBrandNumber(float r)
{
    return static_cast<qint16>(std::nearbyint(r * 6.0f + 1.0f));
}

void frmStartup::CoBrand_Randomize()
{
    intCoBrandRandomNumber = coBrandNumber(platform::random().next());
    chrome::PromoFrame *main = navigation::mainWindowPromo();
    switch (intCoBrandRandomNumber) {
    case 1:
    case 3:
    case 5:
        promo.lblCobrand->raise();
        if (main)
            main->lblCobrand->raise();
        break;
    case 2:
    case 4:
    case 6:
        promo.lblFullBrand->raise();
        if (main)
            main->lblFullBrand->raise();
        break;
    default:
        break;
    }
}
