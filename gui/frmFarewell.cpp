#include "gui/frmFarewell.h"

#include "core/identity.h"
#include "core/links.h"
#include "core/referral.h"
#include "core/services.h"
#include "core/text.h"
#include "gui/messages.h"
#include "gui/modHelp_shutdown.h"

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

const QString kProductFamilyText = QStringLiteral(
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

frmFarewell::frmFarewell()
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

    Picture1 = ui::plainLabel(this, QStringLiteral("Picture1"), QString());
    Picture1->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    Picture1->setAlignment(Qt::AlignCenter);
    Picture1->setFocusPolicy(Qt::StrongFocus);
    Picture1->setAccessibleName(QStringLiteral("Brimvale icon"));
    Picture1->setGeometry(ui::twips(360, 120, 540, 540));
    Picture1->setPixmap(ui::programIcon().pixmap(32, 32));

    Label1 = ui::plainLabel(this, QStringLiteral("Label1"), app::kWindowCaption);
    Label1->setFont(msSansSerif(18));
    ui::place(Label1, 1080, 240, 3510, 435);

    // The support message is chosen when the window loads.
    Label2 = ui::plainLabel(this, QStringLiteral("Label2"), QString());
    Label2->setFont(ui::verdana(9.75, true));
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Check1 = new GraphicalCheckBox(QStringLiteral("Click Here To Visit Tarnwick Now"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setFont(ui::verdana(14.25));
    ui::setTextColor(Check1, kLinkBlue);
    Check1->setCursor(Qt::PointingHandCursor);
    ui::place(Check1, 30, 2040, 7185, 555);
    connect(Check1, &QCheckBox::clicked, this, &frmFarewell::Check1_Click);

    cmdClose = new QPushButton(QStringLiteral("E&xit"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAutoDefault(true);
    ui::place(cmdClose, 6000, 2760, 1245, 375);
    connect(cmdClose, &QPushButton::clicked, this, &frmFarewell::cmdClose_Click);

    buildReferralPanel();

    Frame6 = navyPanel(this, QStringLiteral("Frame6"), QStringLiteral("Download Tarnwick Softwares"));
    Frame6->setGeometry(ui::twips(7320, 120, 3735, 4575));
    Label3 = ui::plainLabel(Frame6, QStringLiteral("Label3"), kProductFamilyText);
    Label3->setFont(ui::verdana(9));
    Label3->setWordWrap(true);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ui::setTextColor(Label3, Qt::white);
    ui::place(Label3, 120, 360, 3495, 3855);

    lblGoToHome = new ui::LinkLabel(QStringLiteral("Click Here To Visit Tarnwick Softwares"), Frame6);
    lblGoToHome->setObjectName(QStringLiteral("lblGoToHome"));
    lblGoToHome->setTextFormat(Qt::PlainText);
    lblGoToHome->setFont(ui::verdana(9, true, true));
    ui::setTextColor(lblGoToHome, kYellow);
    condenseToWidth(lblGoToHome, ui::px(3585));
    lblGoToHome->move(ui::px(75), ui::px(4250));
    lblGoToHome->adjustSize();
    connect(lblGoToHome, &ui::LinkLabel::clicked, this, &frmFarewell::lblGoToHome_Click);

    setTabOrder(cmdClose, Check1);
    setTabOrder(Check1, Picture1);
    setTabOrder(Picture1, txtName);
    setTabOrder(txtName, cmdSubmit);
    setTabOrder(cmdSubmit, txtEmail);
    setTabOrder(txtEmail, txtFriendEmail);
    setTabOrder(txtFriendEmail, txtFriendName);
    setTabOrder(txtFriendName, txtMessage);
    cmdClose->setFocus();
}

void frmFarewell::buildReferralPanel()
{
    Frame2 = navyPanel(this, QStringLiteral("Frame2"), QStringLiteral("Refer A Friend"));
    Frame2->setGeometry(ui::twips(120, 3240, 7065, 1455));

    const auto field = [this](const QString &name, const QString &initial, int left, int top) {
        auto *edit = new QLineEdit(initial, Frame2);
        edit->setObjectName(name);
        edit->setFont(msSansSerif(8.25));
        edit->setMaxLength(std::numeric_limits<int>::max());
        edit->setAccessibleName(initial);
        ui::place(edit, left, top, 3375, 285);
        edit->installEventFilter(this);
        return edit;
    };
    txtName = field(QStringLiteral("txtName"), modTellAFriend::kYourNamePlaceholder, 85, 360);
    txtEmail = field(QStringLiteral("txtEmail"), modTellAFriend::kYourEmailPlaceholder, 3600, 360);
    txtFriendName = field(QStringLiteral("txtFriendName"), modTellAFriend::kFriendNamePlaceholder, 85, 720);
    txtFriendEmail = field(QStringLiteral("txtFriendEmail"), modTellAFriend::kFriendEmailPlaceholder, 3600, 720);

    cmdSubmit = new QPushButton(QStringLiteral("Refer A Friend &Now"), Frame2);
    cmdSubmit->setObjectName(QStringLiteral("cmdSubmit"));
    cmdSubmit->setFont(ui::verdana(8.25, true));
    cmdSubmit->setAutoDefault(true);
    ui::place(cmdSubmit, 1920, 1080, 3375, 285);
    connect(cmdSubmit, &QPushButton::clicked, this, &frmFarewell::cmdSubmit_Click);

    // Below the panel's bottom edge, so never seen, yet enabled and reached by Tab: never hidden,
    // since a hidden widget would leave the Tab chain.
    txtMessage = new QPlainTextEdit(Frame2);
    txtMessage->setObjectName(QStringLiteral("txtMessage"));
    txtMessage->setFont(msSansSerif(8.25));
    txtMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtMessage->setTabChangesFocus(true);
    txtMessage->setAccessibleName(modTellAFriend::kYourMessagePlaceholder);
    setFieldText(txtMessage, modTellAFriend::kYourMessagePlaceholder + QStringLiteral("\r\n"));
    txtMessage->setGeometry(ui::twips(4800, 3600, 1815, 495));
    txtMessage->installEventFilter(this);
}

void frmFarewell::Form_Load()
{
    platform::random().seed();
    const int index = std::clamp(static_cast<int>(platform::random().next() * 4.0f), 0, 3);
    Label2->setText(SupportMessages[static_cast<std::size_t>(index)]);
    ui::place(Label2, 120, 840, 6975, 1095);

    ui::centerOnScreen(this);
    if (!forms::ending())
        show();
}

void frmFarewell::cmdClose_Click()
{
    modHelp::QuitAll();
}

void frmFarewell::Form_Unload()
{
    modHelp::QuitAll();
}

void frmFarewell::Check1_Click()
{
    // A link, not an option: the box never stays ticked.
    if (!Check1->isChecked())
        return;
    Check1->setChecked(false);
    modHelp::HomePage();
}

void frmFarewell::lblGoToHome_Click()
{
    modHelp::ProductFamilyPage();
}

QString frmFarewell::fieldText(const QWidget *field)
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

void frmFarewell::setFieldText(QWidget *field, const QString &text)
{
    if (auto *line = qobject_cast<QLineEdit *>(field))
        line->setText(text);
    else if (auto *box = qobject_cast<QPlainTextEdit *>(field))
        box->setPlainText(text);
}

QString frmFarewell::placeholderOf(const QWidget *field) const
{
    if (field == txtName)
        return modTellAFriend::kYourNamePlaceholder;
    if (field == txtEmail)
        return modTellAFriend::kYourEmailPlaceholder;
    if (field == txtFriendName)
        return modTellAFriend::kFriendNamePlaceholder;
    if (field == txtFriendEmail)
        return modTellAFriend::kFriendEmailPlaceholder;
    if (field == txtMessage)
        return modTellAFriend::kYourMessagePlaceholder;
    return {};
}

void frmFarewell::field_GotFocus(QWidget *field)
{
    if (text::trimSpaces(fieldText(field)) == placeholderOf(field))
        setFieldText(field, QString());
}

void frmFarewell::field_LostFocus(QWidget *field)
{
    if (text::trimSpaces(fieldText(field)).isEmpty())
        setFieldText(field, placeholderOf(field));
}

void frmFarewell::emailField_KeyPress(QLineEdit *field)
{
    gui::messages().show(this, QStringLiteral("Email Address Cannot Contain Space"),
                         gui::MessageIcon::Critical);
    field->setFocus(Qt::OtherFocusReason);
}

bool frmFarewell::eventFilter(QObject *watched, QEvent *event)
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
            field_GotFocus(field);
        else
            field_LostFocus(field);
        break;
    }
    case QEvent::KeyPress:
        if ((field == txtEmail || field == txtFriendEmail)
            && static_cast<QKeyEvent *>(event)->text() == QStringLiteral(" ")) {
            emailField_KeyPress(static_cast<QLineEdit *>(field));
            return true;
        }
        break;
    default:
        break;
    }
    return forms::FormWindow<QWidget>::eventFilter(watched, event);
}

void frmFarewell::cmdSubmit_Click()
{
    // Alt+N clicks without moving the focus; taking it here lets the field being left apply its
    // focus-out rule first, so an emptied field is read as its placeholder.
    cmdSubmit->setFocus(Qt::OtherFocusReason);

    submitted = {text::trimSpaces(txtName->text()), text::trimSpaces(txtEmail->text()),
                 text::trimSpaces(fieldText(txtMessage)), text::trimSpaces(txtFriendName->text()),
                 text::trimSpaces(txtFriendEmail->text())};
    if (const auto refused = modTellAFriend::refusal(submitted)) {
        gui::messages().show(this, *refused, gui::MessageIcon::Critical);
        return;
    }
    referralUrl = modTellAFriend::referralAddress(modHelp::MakerWebSite, submitted);
    modHelp::OpenWebAddress(referralUrl);
}
