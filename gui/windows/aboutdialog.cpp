#include "gui/windows/aboutdialog.h"

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

AboutDialog::AboutDialog()
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(app::kWindowCaption);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setModal(true);
    setFont(ui::verdana(8.25));
    ui::setBackground(this, Qt::black);
    ui::fixClientArea(this, 7110, 3195);

    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("picIcon"));
    m_icon->setGeometry(ui::twips(120, 45, 480, 480));
    m_icon->setPixmap(ui::programIcon().pixmap(32, 32));
    m_icon->setAccessibleName(QStringLiteral("Program icon"));

    m_titleLabel = textLabel(new QLabel(app::kWindowCaption, this), QStringLiteral("Label2"), ui::verdana(14.25, true));
    ui::place(m_titleLabel, 840, 45, 3570, 345);

    m_descriptionLabel = textLabel(
        new QLabel(
            QStringLiteral(
                "Brimvale is a tool which helps you to keep a record of your personal notes; it is a diary which "
                "enables you to keep a track of your spiritual or magikal experiences. The program also allows you to "
                "record your dreams, interpretations, aspirations and affirmations."),
            this),
        QStringLiteral("Label1"), ui::verdana(8.25));
    ui::place(m_descriptionLabel, 840, 510, 6165, 975);

    m_homePageLink = new ui::LinkLabel(QStringLiteral("Click here to visit Tarnwick"), this);
    textLabel(m_homePageLink, QStringLiteral("lblHomePage"), ui::verdana(8.25, false, true));
    ui::place(m_homePageLink, 2955, 1485, 4050, 195);

    m_fullBrandLabel = textLabel(
        new QLabel(
            QStringLiteral(
                "Home Business Opportunity. Start your own Internet business and make money online. Get this software "
                "fully branded for your website."),
            this),
        QStringLiteral("Label3"), ui::verdana(8.25, true));
    ui::place(m_fullBrandLabel, 120, 1800, 6885, 435);

    m_coBrandLink = new ui::LinkLabel(QStringLiteral("Click here for more details"), this);
    textLabel(m_coBrandLink, QStringLiteral("lblCoBrand"), ui::verdana(8.25, false, true));
    ui::place(m_coBrandLink, 4710, 2235, 2295, 195);

    // Drawn from the left edge to beyond the right one; the window clips it.
    m_separatorLine = new QFrame(this);
    m_separatorLine->setObjectName(QStringLiteral("Line2"));
    m_separatorLine->setFrameShape(QFrame::NoFrame);
    ui::setBackground(m_separatorLine, Qt::white);
    m_separatorLine->setGeometry(0, ui::px(2640) - 1, ui::px(7680), 2);

    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("cmdOK"));
    m_okButton->setDefault(true);
    ui::place(m_okButton, 5745, 2760, 1260, 345);
    m_okButton->setFocus();

    // Ends exec(); showModal unloads the window, so the next opening builds it anew.
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_homePageLink, &ui::LinkLabel::clicked, this, [] { links::homePage(); });
    connect(m_coBrandLink, &ui::LinkLabel::clicked, this, [] { links::fullBrandPage(); });
}

void AboutDialog::reject()
{
    accept();
}

void AboutDialog::showModal()
{
    QWidget *owner = QApplication::activeWindow();
    AboutDialog *about = forms::ref<AboutDialog>();
    // Over its owner and kept in front of it; the owner blocks while the window is open.
    if (owner && owner != about)
        about->setParent(owner, about->windowFlags());
    about->exec();
    forms::unload(about);
}
