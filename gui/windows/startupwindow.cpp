#include "gui/windows/startupwindow.h"

#include "core/datafolder.h"
#include "core/diary.h"
#include "core/services.h"
#include "gui/messages.h"
#include "gui/navigation.h"
#include "gui/shutdown.h"
#include "gui/updatereminder.h"

#include <QFrame>

#include <cmath>

namespace {
// The number drawn for the promotional rotation: r * 6 + 1 rounded half to even.
qint16 coBrandNumberOf(float r)
{
    return static_cast<qint16>(std::nearbyint(r * 6.0f + 1.0f));
}
} // namespace

StartupWindow::StartupWindow()
{
    setObjectName(QStringLiteral("frmStartup"));
    m_promo = chrome::addPromoFrame(this, QRect(0, 0, 6550, 825), QRect(120, 165, 6255, 615));
}

void StartupWindow::setVisible(bool visible)
{
    // Other windows hide this one on their way; nothing ever makes it visible.
    if (!visible)
        forms::FormWindow<QWidget>::setVisible(false);
}

void StartupWindow::load()
{
    if (platform::instanceLock().anotherInstanceRunning()) {
        gui::messages().show(nullptr, QStringLiteral("Application is already running"), gui::MessageIcon::Information);
        shutdown::quitAll();
        return;
    }
    platform::random().seed();
    datafolder::setDataFolder();
    Diary::working().prepareFirstOpen();
    reminder::remindOfUpdate();
    navigation::start();
    hide();
    drawPromotion();
}

void StartupWindow::unload()
{
    shutdown::quitAll();
}

void StartupWindow::drawPromotion()
{
    m_coBrandNumber = coBrandNumberOf(platform::random().next());
    switch (m_coBrandNumber) {
    case 1:
    case 3:
    case 5: chrome::bringToFront(chrome::Promotion::CoBrand); break;
    case 2:
    case 4:
    case 6: chrome::bringToFront(chrome::Promotion::FullBrand); break;
    default: break;
    }
}
