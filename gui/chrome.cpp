#include "gui/chrome.h"

#include "core/identity.h"
#include "core/links.h"

#include <QAction>
#include <QFrame>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace chrome {

namespace {
ui::LinkLabel *linkLabel(const QString &objectName, const QString &text, QWidget *parent)
{
    auto *label = new ui::LinkLabel(text, parent);
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

void placeAt(QWidget *control, const QRect &twipRect)
{
    ui::place(control, twipRect.x(), twipRect.y(), twipRect.width(), twipRect.height());
}
} // namespace

QWidget *setUpWindow(QMainWindow *window, const QString &name, int widthTwips, int heightTwips)
{
    window->setObjectName(name);
    window->setWindowTitle(app::kWindowCaption);
    window->setWindowIcon(ui::programIcon());
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    window->setFont(ui::verdana(8.25));

    auto *client = new QWidget(window);
    client->setObjectName(QStringLiteral("client"));
    ui::fixClientArea(client, widthTwips, heightTwips);
    window->setCentralWidget(client);
    return client;
}

ui::LinkLabel *addForumLink(QWidget *parent, const QRect &twipRect)
{
    auto *label = linkLabel(QStringLiteral("Label14"), kForumInvitation, parent);
    label->setAlignment(Qt::AlignCenter);
    placeAt(label, twipRect);
    QObject::connect(label, &ui::LinkLabel::clicked, [] { modHelp::HomePage(); });
    return label;
}

PromoFrame addPromoFrame(QWidget *parent, const QRect &frameTwips, const QRect &labelsTwips)
{
    PromoFrame promo;
    promo.fraFullBrand = new QFrame(parent);
    promo.fraFullBrand->setObjectName(QStringLiteral("fraFullBrand"));
    promo.fraFullBrand->setFrameShape(QFrame::Box);
    promo.fraFullBrand->setGeometry(ui::twips(frameTwips.x(), frameTwips.y(), frameTwips.width(),
                                              frameTwips.height()));

    promo.lblCobrand = linkLabel(QStringLiteral("lblCobrand"), kCoBrandText, promo.fraFullBrand);
    promo.lblFullBrand = linkLabel(QStringLiteral("lblFullBrand"), kFullBrandText, promo.fraFullBrand);
    for (auto *label : {promo.lblCobrand, promo.lblFullBrand}) {
        label->setAutoFillBackground(true); // the label in front hides the one behind it
        label->setGeometry(ui::twips(labelsTwips.x(), labelsTwips.y(), labelsTwips.width(),
                                     labelsTwips.height()));
    }
    promo.lblFullBrand->raise();
    QObject::connect(promo.lblCobrand, &ui::LinkLabel::clicked, [] { modHelp::CoBrandPage(); });
    QObject::connect(promo.lblFullBrand, &ui::LinkLabel::clicked, [] { modHelp::FullBrandPage(); });
    return promo;
}

HelpMenus addHelpMenus(QMainWindow *window, const QString &separator1Name, const QString &separator2Name)
{
    HelpMenus menus;
    QMenuBar *bar = window->menuBar();

    menus.mnuHelp = bar->addMenu(QStringLiteral("&Help"));
    menus.mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    menus.mnuOnline = menus.mnuHelp->addAction(QStringLiteral("&Online Help"), [] { modHelp::OnlineHelpPage(); });
    menus.mnuOnline->setObjectName(QStringLiteral("mnuOnline"));
    menus.mnuVisit = menus.mnuHelp->addAction(QStringLiteral("&Visit Us Online"), [] { modHelp::HomePage(); });
    menus.mnuVisit->setObjectName(QStringLiteral("mnuVisit"));
    menus.mnuHelp->addSeparator()->setObjectName(separator1Name);
    menus.mnuUpdate = menus.mnuHelp->addAction(QStringLiteral("Check for Software &Update"),
                                               [] { modHelp::DownloadPage(); });
    menus.mnuUpdate->setObjectName(QStringLiteral("mnuUpdate"));
    menus.mnuHelp->addSeparator()->setObjectName(separator2Name);
    menus.mnuAbout = menus.mnuHelp->addAction(QStringLiteral("&About Software"));
    menus.mnuAbout->setObjectName(QStringLiteral("mnuAbout"));

    menus.mnuDonate = bar->addAction(QStringLiteral("&Donate"));
    menus.mnuDonate->setObjectName(QStringLiteral("mnuDonate"));
    QObject::connect(menus.mnuDonate, &QAction::triggered, [] { modHelp::DonatePage(); });

    // Switched off from the start and never switched on: hidden rather than shown greyed out.
    // It stays off the menu bar altogether, because a bar answers the access keys of its hidden
    // entries too, and Alt+O belongs to the section window's Open button.
    menus.mnuMakeMoney = new QAction(QStringLiteral("Make Money &Online"), window);
    menus.mnuMakeMoney->setObjectName(QStringLiteral("mnuMakeMoney"));
    menus.mnuMakeMoney->setVisible(false);
    QObject::connect(menus.mnuMakeMoney, &QAction::triggered, [] { modHelp::FullBrandPage(); });
    return menus;
}

} // namespace chrome
