#include "gui/windows/exitwindow.h"

#include "core/identity.h"
#include "core/links.h"
#include "core/referral.h"
#include "core/services.h"
#include "core/text.h"
#include "gui/messages.h"
#include "gui/shutdown.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTextDocument>

#include <algorithm>
#include <limits>

namespace {
const QColor kNavy(0, 0, 128);
const QColor kLinkBlue(0, 0, 192);
const QColor kYellow(255, 255, 0);

const QString kProductFamilyText =
    QStringLiteral(
        "If you have enjoyed this software you will surely be interested in our other Tarnwick Softwares. From a "
        "single software, we have now grown to become the world\u2019s largest resource of tarnwick softwares. Be it "
        "astrology, psychic, tarot, numerology or occult, we have programs in all fields thus giving our users a "
        "wide choice depending on their interests.")
    + QString(61, QLatin1Char(' '))
    + QStringLiteral(
        "All the programs in the Tarnwick Softwares suite are simple and easy to use. They are not only fun to "
        "use but also very informative. Try them out today and share your experience with your friends and "
        "family. ");

QFont msSansSerif(qreal points)
{
    return ui::font(QStringLiteral("MS Sans Serif"), points);
}

// A check box drawn as a push button that looks pressed while ticked, and that reacts to a click
// anywhere on its face.
class GraphicalCheckBox final : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    bool hitButton(const QPoint &pos) const override { return rect().contains(pos); }

    void paintEvent(QPaintEvent *) override
    {
        QStylePainter painter(this);
        QStyleOptionButton option;
        option.initFrom(this);
        option.text = text();
        option.state |= (isDown() || isChecked()) ? QStyle::State_Sunken : QStyle::State_Raised;
        painter.drawControl(QStyle::CE_PushButton, option);
    }
};

QGroupBox *navyPanel(QWidget *parent, const QString &name, const QString &title)
{
    auto *panel = new QGroupBox(title, parent);
    panel->setObjectName(name);
    panel->setFont(ui::verdana(9.75, true));
    ui::setBackground(panel, kNavy);
    // Only the caption is white: the fields inside keep their dark text on a light base.
    QPalette palette = panel->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    panel->setPalette(palette);
    return panel;
}

// The stand-in for Verdana runs wider than Verdana does; a slightly condensed face keeps a
// one-line caption within the width it was drawn for.
void condenseToWidth(QLabel *label, int widthPixels)
{
    QFont font = label->font();
    for (int stretch = 99; stretch >= 75 && QFontMetrics(font).horizontalAdvance(label->text()) > widthPixels;
         --stretch)
        font.setStretch(stretch);
    label->setFont(font);
}
} // namespace

ExitWindow::ExitWindow()
{
    setObjectName(QStringLiteral("frmFarewell"));
    setWindowTitle(app::kWindowCaption);
    setWindowIcon(ui::programIcon());
    // A fixed size leaves nothing to maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFont(msSansSerif(8.25));
    ui::setBackground(this, Qt::white);
    ui::fixClientArea(this, 11115, 4725);

    m_icon = ui::plainLabel(this, QStringLiteral("Picture1"), QString());
    m_icon->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    m_icon->setAlignment(Qt::AlignCenter);
    m_icon->setFocusPolicy(Qt::StrongFocus);
    m_icon->setAccessibleName(QStringLiteral("Brimvale icon"));
    m_icon->setGeometry(ui::twips(360, 120, 540, 540));
    m_icon->setPixmap(ui::programIcon().pixmap(32, 32));

    m_titleLabel = ui::plainLabel(this, QStringLiteral("Label1"), app::kWindowCaption);
    m_titleLabel->setFont(msSansSerif(18));
    ui::place(m_titleLabel, 1080, 240, 3510, 435);

    // The support message is chosen when the window loads.
    m_supportMessageLabel = ui::plainLabel(this, QStringLiteral("Label2"), QString());
    m_supportMessageLabel->setFont(ui::verdana(9.75, true));
    m_supportMessageLabel->setWordWrap(true);
    m_supportMessageLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_visitCheck = new GraphicalCheckBox(QStringLiteral("Click Here To Visit Tarnwick Now"), this);
    m_visitCheck->setObjectName(QStringLiteral("Check1"));
    m_visitCheck->setFont(ui::verdana(14.25));
    ui::setTextColor(m_visitCheck, kLinkBlue);
    m_visitCheck->setCursor(Qt::PointingHandCursor);
    ui::place(m_visitCheck, 30, 2040, 7185, 555);
    connect(m_visitCheck, &QCheckBox::clicked, this, &ExitWindow::visitHomePage);

    m_closeButton = new QPushButton(QStringLiteral("E&xit"), this);
    m_closeButton->setObjectName(QStringLiteral("cmdClose"));
    m_closeButton->setAutoDefault(true);
    ui::place(m_closeButton, 6000, 2760, 1245, 375);
    connect(m_closeButton, &QPushButton::clicked, this, &ExitWindow::quitProgram);

    buildReferralPanel();

    m_productFamilyPanel = navyPanel(this, QStringLiteral("Frame6"), QStringLiteral("Download Tarnwick Softwares"));
    m_productFamilyPanel->setGeometry(ui::twips(7320, 120, 3735, 4575));
    m_productFamilyLabel = ui::plainLabel(m_productFamilyPanel, QStringLiteral("Label3"), kProductFamilyText);
    m_productFamilyLabel->setFont(ui::verdana(9));
    m_productFamilyLabel->setWordWrap(true);
    m_productFamilyLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ui::setTextColor(m_productFamilyLabel, Qt::white);
    ui::place(m_productFamilyLabel, 120, 360, 3495, 3855);

    m_productFamilyLink =
        new ui::LinkLabel(QStringLiteral("Click Here To Visit Tarnwick Softwares"), m_productFamilyPanel);
    m_productFamilyLink->setObjectName(QStringLiteral("lblGoToHome"));
    m_productFamilyLink->setTextFormat(Qt::PlainText);
    m_productFamilyLink->setFont(ui::verdana(9, true, true));
    ui::setTextColor(m_productFamilyLink, kYellow);
    condenseToWidth(m_productFamilyLink, ui::px(3585));
    m_productFamilyLink->move(ui::px(75), ui::px(4250));
    m_productFamilyLink->adjustSize();
    connect(m_productFamilyLink, &ui::LinkLabel::clicked, this, &ExitWindow::visitProductFamilyPage);

    setTabOrder(m_closeButton, m_visitCheck);
    setTabOrder(m_visitCheck, m_icon);
    setTabOrder(m_icon, m_nameEdit);
    setTabOrder(m_nameEdit, m_submitButton);
    setTabOrder(m_submitButton, m_emailEdit);
    setTabOrder(m_emailEdit, m_friendEmailEdit);
    setTabOrder(m_friendEmailEdit, m_friendNameEdit);
    setTabOrder(m_friendNameEdit, m_messageEdit);
    m_closeButton->setFocus();
}

void ExitWindow::buildReferralPanel()
{
    m_referralPanel = navyPanel(this, QStringLiteral("Frame2"), QStringLiteral("Refer A Friend"));
    m_referralPanel->setGeometry(ui::twips(120, 3240, 7065, 1455));

    const auto field = [this](const QString &name, const QString &initial, int left, int top) {
        auto *edit = new QLineEdit(initial, m_referralPanel);
        edit->setObjectName(name);
        edit->setFont(msSansSerif(8.25));
        edit->setMaxLength(std::numeric_limits<int>::max());
        edit->setAccessibleName(initial);
        ui::place(edit, left, top, 3375, 285);
        edit->installEventFilter(this);
        return edit;
    };
    m_nameEdit = field(QStringLiteral("txtName"), referral::kYourNamePlaceholder, 85, 360);
    m_emailEdit = field(QStringLiteral("txtEmail"), referral::kYourEmailPlaceholder, 3600, 360);
    m_friendNameEdit = field(QStringLiteral("txtFriendName"), referral::kFriendNamePlaceholder, 85, 720);
    m_friendEmailEdit = field(QStringLiteral("txtFriendEmail"), referral::kFriendEmailPlaceholder, 3600, 720);

    m_submitButton = new QPushButton(QStringLiteral("Refer A Friend &Now"), m_referralPanel);
    m_submitButton->setObjectName(QStringLiteral("cmdSubmit"));
    m_submitButton->setFont(ui::verdana(8.25, true));
    m_submitButton->setAutoDefault(true);
    ui::place(m_submitButton, 1920, 1080, 3375, 285);
    connect(m_submitButton, &QPushButton::clicked, this, &ExitWindow::submitReferral);

    // Below the panel's bottom edge, so never seen, yet enabled and reached by Tab: never hidden,
    // since a hidden widget would leave the Tab chain.
    m_messageEdit = new QPlainTextEdit(m_referralPanel);
    m_messageEdit->setObjectName(QStringLiteral("txtMessage"));
    m_messageEdit->setFont(msSansSerif(8.25));
    m_messageEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_messageEdit->setTabChangesFocus(true);
    m_messageEdit->setAccessibleName(referral::kYourMessagePlaceholder);
    setFieldText(m_messageEdit, referral::kYourMessagePlaceholder + QStringLiteral("\r\n"));
    m_messageEdit->setGeometry(ui::twips(4800, 3600, 1815, 495));
    m_messageEdit->installEventFilter(this);
}

void ExitWindow::load()
{
    platform::random().seed();
    const int index = std::clamp(static_cast<int>(platform::random().next() * 4.0f), 0, 3);
    m_supportMessageLabel->setText(kSupportMessages[static_cast<std::size_t>(index)]);
    ui::place(m_supportMessageLabel, 120, 840, 6975, 1095);

    ui::centerOnScreen(this);
    if (!forms::ending())
        show();
}

void ExitWindow::quitProgram()
{
    shutdown::quitAll();
}

void ExitWindow::unload()
{
    shutdown::quitAll();
}

void ExitWindow::visitHomePage()
{
    // A link, not an option: the box never stays ticked.
    if (!m_visitCheck->isChecked())
        return;
    m_visitCheck->setChecked(false);
    links::homePage();
}

void ExitWindow::visitProductFamilyPage()
{
    links::productFamilyPage();
}

QString ExitWindow::fieldText(const QWidget *field)
{
    if (const auto *line = qobject_cast<const QLineEdit *>(field))
        return line->text();
    if (const auto *box = qobject_cast<const QPlainTextEdit *>(field)) {
        QString text = box->document()->toRawText();
        text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
        text.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
        return text;
    }
    return {};
}

void ExitWindow::setFieldText(QWidget *field, const QString &text)
{
    if (auto *line = qobject_cast<QLineEdit *>(field))
        line->setText(text);
    else if (auto *box = qobject_cast<QPlainTextEdit *>(field))
        box->setPlainText(text);
}

QString ExitWindow::placeholderOf(const QWidget *field) const
{
    if (field == m_nameEdit)
        return referral::kYourNamePlaceholder;
    if (field == m_emailEdit)
        return referral::kYourEmailPlaceholder;
    if (field == m_friendNameEdit)
        return referral::kFriendNamePlaceholder;
    if (field == m_friendEmailEdit)
        return referral::kFriendEmailPlaceholder;
    if (field == m_messageEdit)
        return referral::kYourMessagePlaceholder;
    return {};
}

void ExitWindow::clearPlaceholder(QWidget *field)
{
    if (text::trimSpaces(fieldText(field)) == placeholderOf(field))
        setFieldText(field, QString());
}

void ExitWindow::restorePlaceholder(QWidget *field)
{
    if (text::trimSpaces(fieldText(field)).isEmpty())
        setFieldText(field, placeholderOf(field));
}

void ExitWindow::refuseSpace(QLineEdit *field)
{
    gui::messages().show(this, QStringLiteral("Email Address Cannot Contain Space"), gui::MessageIcon::Critical);
    field->setFocus(Qt::OtherFocusReason);
}

bool ExitWindow::eventFilter(QObject *watched, QEvent *event)
{
    auto *field = qobject_cast<QWidget *>(watched);
    if (!field || placeholderOf(field).isEmpty())
        return forms::FormWindow<QWidget>::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::FocusIn:
    case QEvent::FocusOut: {
        // Focus that only follows the window being activated or a menu or box opening is not the
        // user moving between fields.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
            break;
        if (event->type() == QEvent::FocusIn)
            clearPlaceholder(field);
        else
            restorePlaceholder(field);
        break;
    }
    case QEvent::KeyPress:
        if ((field == m_emailEdit || field == m_friendEmailEdit)
            && static_cast<QKeyEvent *>(event)->text() == QStringLiteral(" ")) {
            refuseSpace(static_cast<QLineEdit *>(field));
            return true;
        }
        break;
    default: break;
    }
    return forms::FormWindow<QWidget>::eventFilter(watched, event);
}

void ExitWindow::submitReferral()
{
    // Alt+N clicks without moving the focus; taking it here lets the field being left apply its
    // focus-out rule first, so an emptied field is read as its placeholder.
    m_submitButton->setFocus(Qt::OtherFocusReason);

    m_submitted = {text::trimSpaces(m_nameEdit->text()), text::trimSpaces(m_emailEdit->text()),
                   text::trimSpaces(fieldText(m_messageEdit)), text::trimSpaces(m_friendNameEdit->text()),
                   text::trimSpaces(m_friendEmailEdit->text())};
    if (const auto refused = referral::refusal(m_submitted)) {
        gui::messages().show(this, *refused, gui::MessageIcon::Critical);
        return;
    }
    m_referralUrl = referral::referralAddress(links::kMakerWebSite, m_submitted);
    links::openWebAddress(m_referralUrl);
}
