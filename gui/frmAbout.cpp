#include "gui/frmAbout.h"

#include "core/identity.h"
#include "core/links.h"

#include <QApplication>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace {
const QColor kLightGrey(224, 224, 224);

QLabel *textLabel(QLabel *label, const QString &name, const QFont &font)
{
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFont(font);
    ui::setTextColor(label, kLightGrey);
    return label;
}
} // namespace

frmAbout::frmAbout()
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(app::kWindowCaption);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setModal(true);
    setFont(ui::verdana(8.25));
    ui::setBackground(this, Qt::black);
    ui::fixClientArea(this, 7110, 3195);

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setGeometry(ui::twips(120, 45, 480, 480));
    picIcon->setPixmap(ui::programIcon().pixmap(32, 32));
    picIcon->setAccessibleName(QStringLiteral("Program icon"));

    Label2 = textLabel(new QLabel(app::kWindowCaption, this), QStringLiteral("Label2"), ui::verdana(14.25, true));
    ui::place(Label2, 840, 45, 3570, 345);

    Label1 = textLabel(new QLabel(QStringLiteral(
        "Brimvale is a tool which helps you to keep a record of your personal notes; it is a diary which "
        "enables you to keep a track of your spiritual or magikal experiences. The program also allows you to "
        "record your dreams, interpretations, aspirations and affirmations."), this),
        QStringLiteral("Label1"), ui::verdana(8.25));
    ui::place(Label1, 840, 510, 6165, 975);

    lblHomePage = new ui::LinkLabel(QStringLiteral("Click here to visit Tarnwick"), this);
    textLabel(lblHomePage, QStringLiteral("lblHomePage"), ui::verdana(8.25, false, true));
    ui::place(lblHomePage, 2955, 1485, 4050, 195);

    Label3 = textLabel(new QLabel(QStringLiteral(
        "Home Business Opportunity. Start your own Internet business and make money online. Get this software "
        "fully branded for your website."), this),
        QStringLiteral("Label3"), ui::verdana(8.25, true));
    ui::place(Label3, 120, 1800, 6885, 435);

    lblCoBrand = new ui::LinkLabel(QStringLiteral("Click here for more details"), this);
    textLabel(lblCoBrand, QStringLiteral("lblCoBrand"), ui::verdana(8.25, false, true));
    ui::place(lblCoBrand, 4710, 2235, 2295, 195);

    // Drawn from the left edge to beyond the right one; the window clips it.
    Line2 = new QFrame(this);
    Line2->setObjectName(QStringLiteral("Line2"));
    Line2->setFrameShape(QFrame::NoFrame);
    ui::setBackground(Line2, Qt::white);
    Line2->setGeometry(0, ui::px(2640) - 1, ui::px(7680), 2);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    ui::place(cmdOK, 5745, 2760, 1260, 345);
    cmdOK->setFocus();

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(lblHomePage, &ui::LinkLabel::clicked, this, [] { modHelp::HomePage(); });
    connect(lblCoBrand, &ui::LinkLabel::clicked, this, [] { modHelp::FullBrandPage(); });
}

void frmAbout::cmdOK_Click()
{
    // Ends exec(); ShowModal unloads the window, so the next opening builds it anew.
    accept();
}

void frmAbout::reject()
{
    cmdOK_Click();
}

void frmAbout::ShowModal()
{
    QWidget *owner = QApplication::activeWindow();
    frmAbout *about = forms::ref<frmAbout>();
    // Over its owner and kept in front of it; the owner blocks while the window is open.
    if (owner && owner != about)
        about->setParent(owner, about->windowFlags());
    about->exec();
    forms::unload(about);
}
