#include "gui/chrome.h"

#include "core/identity.h"
#include "core/links.h"
#include "gui/windows/aboutdialog.h"

#include <QAction>
#include <QFrame>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>

#include <vector>

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

// The labels of every promotional frame made, while their window lives.
struct Promos {
    QPointer<ui::LinkLabel> coBrand;
    QPointer<ui::LinkLabel> fullBrand;
};
std::vector<Promos> &promoFrames()
{
    static std::vector<Promos> made;
    return made;
}
} // namespace

QPushButton *addCommandButton(QWidget *parent, const QString &name, const QString &caption, int topTwips)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(true);
    ui::setColor(button, QPalette::Button, QColor(192, 192, 192));
    // The stack leaves no room for a taller button; the text fits the drawn height.
    button->setGeometry(ui::twips(98, topTwips, 6375, 350));
    return button;
}

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
    QObject::connect(label, &ui::LinkLabel::clicked, [] { links::homePage(); });
    return label;
}

PromoFrame addPromoFrame(QWidget *parent, const QRect &frameTwips, const QRect &labelsTwips)
{
    PromoFrame promo;
    promo.frame = new QFrame(parent);
    promo.frame->setObjectName(QStringLiteral("fraFullBrand"));
    promo.frame->setFrameShape(QFrame::Box);
    promo.frame->setGeometry(ui::twips(frameTwips.x(), frameTwips.y(), frameTwips.width(), frameTwips.height()));

    promo.coBrand = linkLabel(QStringLiteral("lblCobrand"), kCoBrandText, promo.frame);
    promo.fullBrand = linkLabel(QStringLiteral("lblFullBrand"), kFullBrandText, promo.frame);
    for (auto *label : {promo.coBrand, promo.fullBrand}) {
        label->setAutoFillBackground(true); // the label in front hides the one behind it
        label->setGeometry(ui::twips(labelsTwips.x(), labelsTwips.y(), labelsTwips.width(), labelsTwips.height()));
    }
    promo.fullBrand->raise();
    QObject::connect(promo.coBrand, &ui::LinkLabel::clicked, [] { links::coBrandPage(); });
    QObject::connect(promo.fullBrand, &ui::LinkLabel::clicked, [] { links::fullBrandPage(); });
    std::erase_if(promoFrames(), [](const Promos &made) { return !made.coBrand || !made.fullBrand; });
    promoFrames().push_back({promo.coBrand, promo.fullBrand});
    return promo;
}

void bringToFront(Promotion promotion)
{
    for (const Promos &made : promoFrames())
        if (ui::LinkLabel *label = promotion == Promotion::CoBrand ? made.coBrand : made.fullBrand)
            label->raise();
}

HelpMenus addHelpMenus(QMainWindow *window, const QString &separator1Name, const QString &separator2Name)
{
    HelpMenus menus;
    QMenuBar *bar = window->menuBar();

    menus.menu = bar->addMenu(QStringLiteral("&Help"));
    menus.menu->setObjectName(QStringLiteral("mnuHelp"));
    menus.online = menus.menu->addAction(QStringLiteral("&Online Help"), [] { links::onlineHelpPage(); });
    menus.online->setObjectName(QStringLiteral("mnuOnline"));
    menus.visit = menus.menu->addAction(QStringLiteral("&Visit Us Online"), [] { links::homePage(); });
    menus.visit->setObjectName(QStringLiteral("mnuVisit"));
    menus.menu->addSeparator()->setObjectName(separator1Name);
    menus.update = menus.menu->addAction(QStringLiteral("Check for Software &Update"), [] { links::downloadPage(); });
    menus.update->setObjectName(QStringLiteral("mnuUpdate"));
    menus.menu->addSeparator()->setObjectName(separator2Name);
    menus.about = menus.menu->addAction(QStringLiteral("&About Software"), [] { AboutDialog::showModal(); });
    menus.about->setObjectName(QStringLiteral("mnuAbout"));

    menus.donate = bar->addAction(QStringLiteral("&Donate"));
    menus.donate->setObjectName(QStringLiteral("mnuDonate"));
    QObject::connect(menus.donate, &QAction::triggered, [] { links::donatePage(); });

    // Switched off from the start and never switched on: hidden rather than shown greyed out.
    // It stays off the menu bar altogether, because a bar answers the access keys of its hidden
    // entries too, and Alt+O belongs to the section window's Open button.
    menus.makeMoney = new QAction(QStringLiteral("Make Money &Online"), window);
    menus.makeMoney->setObjectName(QStringLiteral("mnuMakeMoney"));
    menus.makeMoney->setVisible(false);
    QObject::connect(menus.makeMoney, &QAction::triggered, [] { links::fullBrandPage(); });
    return menus;
}

} // namespace chrome
