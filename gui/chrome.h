#pragma once

// The pieces that the main window and the section window share: the forum link at the top,
// the promotional frame with its two stacked link labels, and the Help, Donate and
// "Make Money Online" menus.

#include "gui/ui.h"

#include <QRect>

class QAction;
class QFrame;
class QMainWindow;
class QMenu;
class QPushButton;
class QWidget;

namespace chrome {

inline const QString kForumInvitation =
    QStringLiteral("The Most Popular Online Mystic Discussion Forum. Click Here To Visit Tarnwick Now");
inline const QString kCoBrandText =
    QStringLiteral("Co-brand this software for your site.  Increase loyalty and traffic to your site. Put your "
                   "site's name &  link here. See \"Help\" for details.    Click Here for more info on co-branding.");
inline const QString kFullBrandText =
    QStringLiteral("Home Business Opportunity. Start your own Internet business and make money online. Get this "
                   "software fully branded for your website. Click here for more details.");

// The frame both windows share: object name, caption, icon, no maximise box, Verdana 8.25, and a
// client area of the given twips as the central widget, which it gives back.
QWidget *setUpWindow(QMainWindow *window, const QString &name, int widthTwips, int heightTwips);

// One of the section window's stacked command buttons, its top at `topTwips`.
QPushButton *addCommandButton(QWidget *parent, const QString &name, const QString &caption, int topTwips);

// The forum invitation at the top (object name Label14): opens the home page.
ui::LinkLabel *addForumLink(QWidget *parent, const QRect &twipRect);

struct PromoFrame {
    QFrame *frame = nullptr;
    ui::LinkLabel *coBrand = nullptr;
    ui::LinkLabel *fullBrand = nullptr;
};
// The frame and its two labels on the same rectangle, fullBrand in front.
PromoFrame addPromoFrame(QWidget *parent, const QRect &frameTwips, const QRect &labelsTwips);

enum class Promotion { CoBrand, FullBrand };
// Brings one label to the front in every promotional frame there is now: the start-up draw
// decides the frames of the windows that come up with the program.
void bringToFront(Promotion promotion);

struct HelpMenus {
    QMenu *menu = nullptr;
    QAction *online = nullptr;
    QAction *visit = nullptr;
    QAction *update = nullptr;
    QAction *about = nullptr;
    QAction *donate = nullptr;
    QAction *makeMoney = nullptr;
};
// Adds "&Help", "&Donate" and "Make Money &Online" to the window's menu bar, after its File menu.
// The web entries open their pages, and About Software the About window.
HelpMenus addHelpMenus(QMainWindow *window, const QString &separator1Name, const QString &separator2Name);

} // namespace chrome
