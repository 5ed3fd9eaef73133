// The "Refer A Friend" panel, the referral address and the exit window, driven as a user drives
// them.

#include "environment.h"
#include "seed.h"

#include "core/identity.h"
#include "core/links.h"
#include "core/referral.h"
#include "gui/forms.h"
#include "gui/frmFarewell.h"
#include "gui/frmMain.h"
#include "gui/frmResultBOS.h"
#include "gui/frmStartup.h"
#include "platform/QtServices.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDesktopServices>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextLayout>
#include <QUrl>
#include <QtTest>

#include <memory>
#include <random>
#include <set>

using gui::MessageIcon;

Q_DECLARE_METATYPE(modTellAFriend::ReferralValues)

namespace {
const QString kProper = QStringLiteral("Please Enter Proper Email Address");
const QString kDistinct = QStringLiteral("Please Enter Distinct Email Addresses");
const QString kSpace = QStringLiteral("Email Address Cannot Contain Space");
const QString kName = QStringLiteral("Please Enter Your Name");
const QString kMessage = QStringLiteral("Please Enter Your Message");
const QString kInitialMessage = QStringLiteral("Your Message\r\n");

using Query = QList<std::pair<QString, QString>>;

// Decodes the address as a form decoder on the referral page would: split on "&" and the first
// "=", then percent-decode (a raw "+" would be read as a space, so none may appear).
Query decodeQuery(const QString &address, QString *problem)
{
    const QUrl url = QUrl::fromEncoded(address.toUtf8(), QUrl::StrictMode);
    if (!url.isValid()) {
        *problem = QStringLiteral("not a valid URL: ") + url.errorString();
        return {};
    }
    if (url.hasFragment() || url.scheme() != QStringLiteral("https")
        || url.path() != QStringLiteral("/qzpr-refer-a-friend.php")
        || address.section(QLatin1Char('?'), 0, 0) != modHelp::MakerWebSite + QStringLiteral("/qzpr-refer-a-friend.php")) {
        *problem = QStringLiteral("wrong page: ") + address;
        return {};
    }
    const QString query = url.query(QUrl::FullyEncoded);
    if (query.contains(QLatin1Char('+'))) {
        *problem = QStringLiteral("raw '+' in the query");
        return {};
    }
    Query result;
    for (const QString &item : query.split(QLatin1Char('&'))) {
        const qsizetype equals = item.indexOf(QLatin1Char('='));
        if (equals < 0) {
            *problem = QStringLiteral("item without '=': ") + item;
            return {};
        }
        // Every value fully encoded: nothing but unreserved characters and escapes.
        static const QRegularExpression encodedValue(QStringLiteral("^(?:[A-Za-z0-9._~-]|%[0-9A-F]{2})*$"));
        if (!encodedValue.match(item.mid(equals + 1)).hasMatch()) {
            *problem = QStringLiteral("value not fully encoded: ") + item;
            return {};
        }
        result.append({item.left(equals), QUrl::fromPercentEncoding(item.mid(equals + 1).toLatin1())});
    }
    return result;
}

Query expectedQuery(const modTellAFriend::ReferralValues &values)
{
    return {{QStringLiteral("taf1"), values.yourName},
            {QStringLiteral("taf2"), values.yourEmail},
            {QStringLiteral("taf3"), values.yourMessage},
            {QStringLiteral("taf4"), values.friendName},
            {QStringLiteral("taf5"), values.friendEmail},
            {QStringLiteral("taf6"), modHelp::MakerWebSite + QStringLiteral("/brimvale/")}};
}

// Catches what the production launcher hands to the desktop.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void handle(const QUrl &url) { urls << url; }
};
} // namespace

class ReferralTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { app::setApplicationIdentity(); }
    void init()
    {
        m_env = std::make_unique<testing::Environment>();
    }
    void cleanup() { m_env.reset(); }

    // The address on its own.
    void addressKeepsEveryValueIntact_data();
    void addressKeepsEveryValueIntact();
    void addressSurvivesRandomText();
    void productionLauncherAcceptsTheAddress();

    // The panel.
    void panelStartsWithItsPlaceholders();
    void untouchedPanelAsksForProperAddresses();
    void addressChecksComeFirst_data();
    void addressChecksComeFirst();
    void nameChecksFollowTheAddressChecks();
    void refusalNamesTheFirstFailedCheck_data();
    void refusalNamesTheFirstFailedCheck();
    void successfulSubmitOpensTheExactAddressEveryTime();
    void namesAreTrimmedOfSpacesOnly();
    void nonLatinTextSurvives();
    void placeholderRules();
    void windowActivationLeavesFieldsAlone();
    void emptiedFieldIsReadAsItsPlaceholderOnAltN();
    void hiddenMessageFieldUntouchedAndEmptied();
    void spaceFilterOnEmailFields();
    void pastedSpacesPassTheFilter();

    // The exit window.
    void supportMessageFollowsTheDraw_data();
    void supportMessageFollowsTheDraw();
    void everySupportMessageAppearsWithTheRealSource();
    void exitWindowSettingsAndTexts();
    void everyCaptionFitsItsPlace();
    void tabOrderAndInitialFocus();
    void check1IsALinkThatNeverStaysTicked();
    void productFamilyLink();
    void hiddenAndShownAgainKeepsEverything();

    // Ways out.
    void leavingTheExitWindowEndsTheProgram_data();
    void leavingTheExitWindowEndsTheProgram();
    void leavingOtherWindowsKeepsTheProgramRunning();

private:
    frmFarewell *openExitWindow()
    {
        forms::show<frmFarewell>();
        auto *window = forms::loaded<frmFarewell>();
        if (!window)
            return nullptr;
        window->activateWindow();
        return QTest::qWaitForWindowActive(window) ? window : nullptr;
    }
    // Types key by key; beyond ASCII each key press carries the character as its text.
    static void typeText(QWidget *widget, const QString &text)
    {
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.at(i).unicode() < 0x80) {
                QTest::keyClick(widget, text.at(i).toLatin1());
                continue;
            }
            const qsizetype length = text.at(i).isHighSurrogate() ? 2 : 1;
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, text.mid(i, length), Qt::NoModifier);
            i += length - 1;
        }
    }
    // Clicks into the field, selects what it holds and types over it, as a user does.
    static void typeInto(QLineEdit *field, const QString &text)
    {
        QTest::mouseClick(field, Qt::LeftButton);
        field->selectAll();
        typeText(field, text);
    }
    void fillProperly(frmFarewell *w)
    {
        typeInto(w->txtName, QStringLiteral("Ann"));
        typeInto(w->txtEmail, QStringLiteral("ann@example.org"));
        typeInto(w->txtFriendName, QStringLiteral("Bob"));
        typeInto(w->txtFriendEmail, QStringLiteral("bob@example.net"));
    }
    void submit(frmFarewell *w) { QTest::mouseClick(w->cmdSubmit, Qt::LeftButton); }
    // The one address opened since the test began, decoded.
    Query openedQuery()
    {
        if (m_env->web->opened.size() != 1)
            return {};
        QString problem;
        const Query query = decodeQuery(m_env->web->opened.front(), &problem);
        if (!problem.isEmpty())
            qWarning() << problem;
        return query;
    }

    std::unique_ptr<testing::Environment> m_env;
};

// --- The address --------------------------------------------------------------------------------

void ReferralTest::addressKeepsEveryValueIntact_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("plain") << "Ann" << "Hello";
    QTest::newRow("query syntax") << "Tom & Jerry = friends?#1" << "a&taf1=evil&taf7=x";
    QTest::newRow("plus and percent") << "C++ 100%" << "%41%2B+";
    QTest::newRow("line breaks and tabs") << "\tAnn" << "Line 1\r\nLine 2\n";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("outside Latin-1") << QStringLiteral("Zoë 李雷 \U0001F600") << QStringLiteral("world\u2019s");
    QTest::newRow("slashes and colons") << "http://x/y" << "../../etc";
}

void ReferralTest::addressKeepsEveryValueIntact()
{
    QFETCH(QString, name);
    QFETCH(QString, message);
    const modTellAFriend::ReferralValues values{name, QStringLiteral("a b@c.d"), message, name + name,
                                                QStringLiteral("x+y@z.w")};
    const QString address = modTellAFriend::referralAddress(modHelp::MakerWebSite, values);
    QString problem;
    const Query query = decodeQuery(address, &problem);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(query, expectedQuery(values));
}

void ReferralTest::addressSurvivesRandomText()
{
    const QStringList pieces{"a", "Z", "0", " ", "&", "=", "#", "?", "%", "+", "/", ":", ";", "\r", "\n",
                             "\t", QString(QChar(0)), "é", "ß", "\u2019", "李", "\U0001F600", "~", ".",
                             "-", "_", "\"", "'", "<", ">", "[", "]", "{", "}", "\\", "^", "`", "|"};
    const testing::TestSeed seed(20261207);
    std::mt19937 engine(seed.value());
    std::uniform_int_distribution<int> length(0, 24);
    std::uniform_int_distribution<qsizetype> piece(0, pieces.size() - 1);
    const auto randomText = [&] {
        QString text;
        for (int i = length(engine); i > 0; --i)
            text += pieces.at(piece(engine));
        return text;
    };
    for (int round = 0; round < 500; ++round) {
        const modTellAFriend::ReferralValues values{randomText(), randomText(), randomText(), randomText(),
                                                    randomText()};
        const QString address = modTellAFriend::referralAddress(modHelp::MakerWebSite, values);
        QString problem;
        const Query query = decodeQuery(address, &problem);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(query, expectedQuery(values));
    }
}

void ReferralTest::productionLauncherAcceptsTheAddress()
{
    platform::installed().web = platform::productionServices().web;
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "handle");

    frmFarewell *w = openExitWindow();
    QVERIFY(w);
    fillProperly(w);
    typeInto(w->txtName, QStringLiteral("Tom & Jerry"));
    submit(w);
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));

    QCOMPARE(catcher.urls.size(), 1);
    const QUrl &url = catcher.urls.front();
    QCOMPARE(url.host(), QUrl(modHelp::MakerWebSite).host());
    QCOMPARE(QString::fromUtf8(url.toEncoded()), w->referralUrl);
}

// --- The panel ----------------------------------------------------------------------------------

void ReferralTest::panelStartsWithItsPlaceholders()
{
    frmFarewell *w = openExitWindow();
    QVERIFY(w);
    QCOMPARE(w->txtName->text(), QStringLiteral("Your Name"));
    QCOMPARE(w->txtEmail->text(), QStringLiteral("Your Email Address"));
    QCOMPARE(w->txtFriendName->text(), QStringLiteral("Friend's Name"));
    QCOMPARE(w->txtFriendEmail->text(), QStringLiteral("Friend's Email Address"));
    QCOMPARE(frmFarewell::fieldText(w->txtMessage), kInitialMessage);
    for (QLineEdit *field : {w->txtName, w->txtEmail, w->txtFriendName, w->txtFriendEmail})
        QCOMPARE(field->maxLength(), std::numeric_limits<int>::max());

    // The message field lies below the panel's edge: never seen, yet not hidden and still usable.
    QVERIFY(w->txtMessage->geometry().top() >= w->Frame2->height());
    QVERIFY(w->txtMessage->isVisible());
    QVERIFY(w->txtMessage->isEnabled());
    QVERIFY(w->txtMessage->visibleRegion().isEmpty());
}

void ReferralTest::untouchedPanelAsksForProperAddresses()
{
    frmFarewell *w = openExitWindow();
    QVERIFY(w);
    submit(w);
    QCOMPARE(m_env->messages->texts(), QStringList{kProper});
    QCOMPARE(m_env->messages->shown.front().icon, MessageIcon::Critical);
    QCOMPARE(m_env->messages->shown.front().parent, w);
    QVERIFY(m_env->web->opened.isEmpty());
    // The values were stored before the checks, and nothing was reset.
    QCOMPARE(w->submitted.yourName, QStringLiteral("Your Name"));
    QCOMPARE(w->submitted.yourMessage, kInitialMessage);
    QCOMPARE(w->txtEmail->text(), QStringLiteral("Your Email Address"));
}

void ReferralTest::addressChecksComeFirst_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("friendEmail");
    QTest::addColumn<QString>("expected"); // empty: the checks pass
    QTest::newRow("equal") << "ann@example.org" << "ann@example.org" << kDistinct;
    QTest::newRow("equal after trimming") << "  ann@example.org" << "ann@example.org  " << kDistinct;
    QTest::newRow("equal but improper") << "nothing" << "nothing" << kDistinct;
    QTest::newRow("case differs") << "Ann@example.org" << "ann@example.org" << "";
    QTest::newRow("at without dot") << "ann@example" << "bob@example.net" << kProper;
    QTest::newRow("friend's at without dot") << "ann@example.org" << "bob@example" << kProper;
    QTest::newRow("dot without at") << "ann.example.org" << "bob@example.net" << kProper;
    QTest::newRow("friend's dot without at") << "ann@example.org" << "bob.example.net" << kProper;
    QTest::newRow("lone dot and at") << ".@" << "bob@example.net" << "";
    QTest::newRow("at before dot anywhere") << "@." << ".@" << "";
    QTest::newRow("several ats") << "a@@b.c" << "@@.." << "";
}

void ReferralTest::addressChecksComeFirst()
{
    QFETCH(QString, email);
    QFETCH(QString, friendEmail);
    QFETCH(QString, expected);
    frmFarewell *w = openExitWindow();
    QVERIFY(w);
    // The name still holds its placeholder: an address fault must be reported before it.
    w->txtEmail->setFocus(Qt::MouseFocusReason);
    w->txtEmail->insert(email);
    w->txtFriendEmail->setFocus(Qt::MouseFocusReason);
    w->txtFriendEmail->insert(friendEmail);
    submit(w);
    QCOMPARE(m_env->messages->texts(), QStringList{expected.isEmpty() ? kName : expected});
    QVERIFY(m_env->web->opened.isEmpty());
}

void ReferralTest::nameChecksFollowTheAddressChecks()
{
    frmFarewell *w = openExitWindow();
    QVERIFY(w);
    fillProperly(w);

    typeInto(w->txtName, QStringLiteral("Your Name"));
    submit(w);
    QCOMPARE(m_env->messages->last(), kName);

    typeInto(w->txtName, QStringLiteral("  Your Name  "));
    submit(w);
    QCOMPARE(m_env->messages->last(), kName);

    typeInto(w->txtFriendName, QStringLiteral("Friend's Name"));
    typeInto(w->txtName, QStringLiteral("your name"));
    submit(w);
    QCOMPARE(m_env->messages->last(), QStringLiteral("Please Enter Your Friend's Name"));
    QCOMPARE(m_env->messages->shown.size(), 3u);

    // The placeholder in other letter case is a name like any other.
    typeInto(w->txtFriendName, QStringLiteral("friend's name"));
    submit(w);
    QCOMPARE(m_env->messages->shown.size(), 3u);
    const Query query = openedQuery();
    QCOMPARE(query.value(0).second, QStringLiteral("your name"));
    QCOMPARE(query.value(3).second, QStringLiteral("friend's name"));
}

void ReferralTest::refusalNamesTheFirstFailedCheck_data()
{
    QTest::addColumn<modTellAFriend::ReferralValues>("values");
    QTest::addColumn<QString>("refusal");
    const QString ok = QString();
    QTest::newRow("all filled") << modTellAFriend::ReferralValues{"Ann", "a@b.c", "Hi", "Bob", "d@e.f"} << ok;
    QTest::newRow("same addresses first")
        << modTellAFriend::ReferralValues{"", "a@b.c", "", "", "a@b.c"} << kDistinct;
    QTest::newRow("no @") << modTellAFriend::ReferralValues{"", "ab.c", "", "", "d@e.f"} << kProper;
    QTest::newRow("no dot") << modTellAFriend::ReferralValues{"", "a@b.c", "", "", "d@ef"} << kProper;
    QTest::newRow("name") << modTellAFriend::ReferralValues{"", "a@b.c", "", "", "d@e.f"} << kName;
    QTest::newRow("name placeholder")
        << modTellAFriend::ReferralValues{"Your Name", "a@b.c", "Hi", "Bob", "d@e.f"} << kName;
    QTest::newRow("message placeholder")
        << modTellAFriend::ReferralValues{"Ann", "a@b.c", "Your Message", "", "d@e.f"} << kMessage;
    QTest::newRow("friend's name")
        << modTellAFriend::ReferralValues{"Ann", "a@b.c", "Hi", "", "d@e.f"} << QStringLiteral("Please Enter Your Friend's Name");
    QTest::newRow("friend's name placeholder")
        << modTellAFriend::ReferralValues{"Ann", "a@b.c", "Hi", "Friend's Name", "d@e.f"}
        << QStringLiteral("Please Enter Your Friend's Name");
}

void ReferralTest::refusalNamesTheFirstFailedCheck()
{
    QFETCH(modTellAFriend::ReferralValues, values);
    QFETCH(QString, refusal);
    QCOMPARE(modTellAFriend::refusal(values).value_or(QString()), refusal);
}

void ReferralTest::successfulSubmitOpensTheExactAddressEveryTime()
{
    frmFarewell *w = openExitWindow();
    QVERIFY(w);
    fillProperly(w);
    typeInto(w->txtName, QStringLiteral("Tom & Jerry = Friends"));
    submit(w);

    QVERIFY(m_env->messages->shown.empty());
    QCOMPARE(m_env->web->opened.size(), 1);
    QCOMPARE(m_env->web->opened.front(), w->referralUrl);
    QCOMPARE(openedQuery(), expectedQuery({QStringLiteral("Tom & Jerry = Friends"), QStringLiteral("ann@example.org"),
                                           kInitialMessage, QStringLiteral("Bob"),
                                           QStringLiteral("bob@example.net")}));

    // Nothing is reset, and the next press (Enter on the focused button) opens the page again.
    QCOMPARE(w->txtName->text(), QStringLiteral("Tom & Jerry = Friends"));
    QCOMPARE(frmFarewell::fieldText(w->txtMessage), kInitialMessage);
    QCOMPARE(QApplication::focusWidget(), w->cmdSubmit);
    QTest::keyClick(w->cmdSubmit, Qt::Key_Return);
    QCOMPARE(m_env->web->opened.size(), 2);
    QCOMPARE(m_env->web->opened.back(), m_env->web->opened.front());
    QVERIFY(m_env->messages->shown.empty());
}

void ReferralTest::namesAreTrimmedOfSpacesOnly()
{
    frmFarewell *w = openExitWindow();
    QVERIFY(w);
    fillProperly(w);
    typeInto(w->txtName, QStringLiteral("   Ann  Lee   "));
    typeInto(w->txtFriendName, QStringLiteral("Bob "));
    w->txtFriendName->insert(QStringLiteral("\t")); // a pasted tab is not trimmed
    typeInto(w->txtEmail, QStringLiteral("ann@example.org"));
    submit(w);
    const Query query = openedQuery();
    QCOMPARE(query.value(0).second, QStringLiteral("Ann  Lee"));
    QCOMPARE(query.value(3).second, QStringLiteral("Bob \t"));
    QCOMPARE(w->submitted.yourName, QStringLiteral("Ann  Lee"));
    QCOMPARE(w->txtName->text(), QStringLiteral("   Ann  Lee   "));
}

void ReferralTest::nonLatinTextSurvives()
{
    frmFarewell *w = openExitWindow();
    QVERIFY(w);
    fillProperly(w);
    typeInto(w->txtName, QStringLiteral("Zoë Ångström"));
    typeInto(w->txtFriendName, QStringLiteral("李雷 \U0001F600 Ελένη"));
    typeInto(w->txtFriendEmail, QStringLiteral("lǐ@例子.中国"));
    submit(w);
    const Query query = openedQuery();
    QCOMPARE(query.value(0).second, QStringLiteral("Zoë Ångström"));
    QCOMPARE(query.value(3).second, QStringLiteral("李雷 \U0001F600 Ελένη"));
    QCOMPARE(query.value(4).second, QStringLiteral("lǐ@例子.中国"));
}

void ReferralTest::placeholderRules()
{
    frmFarewell *w = openExitWindow();
    QVERIFY(w);

    // Entering a field that holds its placeholder empties it, by mouse or by Tab.
    QTest::mouseClick(w->txtEmail, Qt::LeftButton);
    QCOMPARE(w->txtEmail->text(), QString());
    QTest::keyClick(w->txtEmail, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w->txtFriendEmail);
    QCOMPARE(w->txtFriendEmail->text(), QString());
    // Leaving it empty brings the placeholder back.
    QCOMPARE(w->txtEmail->text(), QStringLiteral("Your Email Address"));

    // Only spaces count as empty; the placeholder typed with spaces around counts as the placeholder.
    QTest::keyClicks(w->txtFriendEmail, QStringLiteral("   "));
    QCOMPARE(m_env->messages->shown.size(), 3u); // the e-mail filter refused each space
    QTest::mouseClick(w->txtName, Qt::LeftButton);
    QTest::keyClicks(w->txtName, QStringLiteral("   "));
    QTest::mouseClick(w->txtFriendName, Qt::LeftButton);
    QCOMPARE(w->txtName->text(), QStringLiteral("Your Name"));
    QCOMPARE(w->txtFriendName->text(), QString());
    QTest::keyClicks(w->txtFriendName, QStringLiteral(" Friend's Name  "));
    QTest::mouseClick(w->txtName, Qt::LeftButton);
    QCOMPARE(w->txtFriendName->text(), QStringLiteral(" Friend's Name  "));
    QTest::mouseClick(w->txtFriendName, Qt::LeftButton);
    QCOMPARE(w->txtFriendName->text(), QString());

    // A field holding something else is left as it is, both ways.
    QTest::keyClicks(w->txtFriendName, QStringLiteral("Bob"));
    QTest::mouseClick(w->txtName, Qt::LeftButton);
    QTest::mouseClick(w->txtFriendName, Qt::LeftButton);
    QCOMPARE(w->txtFriendName->text(), QStringLiteral("Bob"));
}

void ReferralTest::windowActivationLeavesFieldsAlone()
{
    frmFarewell *w = openExitWindow();
    QVERIFY(w);
    for (const Qt::FocusReason reason : {Qt::ActiveWindowFocusReason, Qt::PopupFocusReason}) {
        QFocusEvent in(QEvent::FocusIn, reason);
        QApplication::sendEvent(w->txtName, &in);
        QCOMPARE(w->txtName->text(), QStringLiteral("Your Name"));
    }
    w->txtName->clear();
    for (const Qt::FocusReason reason : {Qt::ActiveWindowFocusReason, Qt::PopupFocusReason}) {
        QFocusEvent out(QEvent::FocusOut, reason);
        QApplication::sendEvent(w->txtName, &out);
        QCOMPARE(w->txtName->text(), QString());
    }
}

void ReferralTest::emptiedFieldIsReadAsItsPlaceholderOnAltN()
{
    frmFarewell *w = openExitWindow();
    QVERIFY(w);
    fillProperly(w);
    QTest::mouseClick(w->txtName, Qt::LeftButton);
    w->txtName->selectAll();
    QTest::keyClick(w->txtName, Qt::Key_Delete);
    QTest::keyClick(w->txtName, Qt::Key_N, Qt::AltModifier);
    QTRY_COMPARE(m_env->messages->texts(), QStringList{kName});
    QCOMPARE(w->txtName->text(), QStringLiteral("Your Name"));
    QCOMPARE(w->submitted.yourName, QStringLiteral("Your Name"));
}

void ReferralTest::hiddenMessageFieldUntouchedAndEmptied()
{
    frmFarewell *w = openExitWindow();
    QVERIFY(w);
    fillProperly(w);

    // Tabbing into the hidden field leaves its initial text alone: it is not the placeholder.
    QTest::mouseClick(w->txtFriendName, Qt::LeftButton);
    QTest::keyClick(w->txtFriendName, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w->txtMessage);
    QCOMPARE(frmFarewell::fieldText(w->txtMessage), kInitialMessage);
    QTest::keyClick(w->txtMessage, Qt::Key_Tab);
    QCOMPARE(frmFarewell::fieldText(w->txtMessage), kInitialMessage);
    submit(w);
    QCOMPARE(openedQuery().value(2).second, kInitialMessage);

    // Emptied there, it gets the placeholder back and blocks every later submit.
    w->txtMessage->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w->txtMessage, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(w->txtMessage, Qt::Key_Delete);
    QCOMPARE(frmFarewell::fieldText(w->txtMessage), QString());
    QTest::keyClick(w->txtMessage, Qt::Key_Tab);
    QCOMPARE(frmFarewell::fieldText(w->txtMessage), QStringLiteral("Your Message"));
    submit(w);
    submit(w);
    QCOMPARE(m_env->messages->texts(), (QStringList{kMessage, kMessage}));
    QCOMPARE(m_env->web->opened.size(), 1);

    // Tabbing in now empties it; a typed message with its line breaks goes out as CR LF.
    w->txtMessage->setFocus(Qt::TabFocusReason);
    QCOMPARE(frmFarewell::fieldText(w->txtMessage), QString());
    QTest::keyClicks(w->txtMessage, QStringLiteral("Hi"));
    QTest::keyClick(w->txtMessage, Qt::Key_Return);
    QTest::keyClicks(w->txtMessage, QStringLiteral("there "));
    submit(w);
    QCOMPARE(m_env->web->opened.size(), 2);
    QString problem;
    QCOMPARE(decodeQuery(m_env->web->opened.back(), &problem).value(2).second, QStringLiteral("Hi\r\nthere"));
}

void ReferralTest::spaceFilterOnEmailFields()
{
    frmFarewell *w = openExitWindow();
    QVERIFY(w);
    for (QLineEdit *field : {w->txtEmail, w->txtFriendEmail}) {
        m_env->messages->shown.clear();
        m_env->messages->whileShown = [&](const fakes::Message &) {
            // The window behind the box goes inactive and back: that focus traffic must not count.
            QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
            QApplication::sendEvent(field, &out);
            QApplication::focusWidget()->clearFocus();
        };
        typeInto(field, QStringLiteral("a b"));
        QCOMPARE(m_env->messages->texts(), QStringList{kSpace});
        QCOMPARE(m_env->messages->shown.front().icon, MessageIcon::Critical);
        QCOMPARE(field->text(), QStringLiteral("ab"));
        QCOMPARE(QApplication::focusWidget(), field);
        // A shifted space is a space too.
        QTest::keyClick(field, Qt::Key_Space, Qt::ShiftModifier);
        QCOMPARE(m_env->messages->shown.size(), 2u);
        QCOMPARE(field->text(), QStringLiteral("ab"));
    }
    m_env->messages->whileShown = nullptr;
    m_env->messages->shown.clear();

    // The other fields take spaces.
    typeInto(w->txtName, QStringLiteral("Ann Lee"));
    typeInto(w->txtFriendName, QStringLiteral("Bob Roe"));
    QCOMPARE(w->txtName->text(), QStringLiteral("Ann Lee"));
    QCOMPARE(w->txtFriendName->text(), QStringLiteral("Bob Roe"));
    QVERIFY(m_env->messages->shown.empty());
}

void ReferralTest::pastedSpacesPassTheFilter()
{
    frmFarewell *w = openExitWindow();
    QVERIFY(w);
    fillProperly(w);

    QTest::mouseClick(w->txtEmail, Qt::LeftButton);
    w->txtEmail->selectAll();
    QGuiApplication::clipboard()->setText(QStringLiteral("ann lee@example.org"));
    QTest::keyClick(w->txtEmail, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(w->txtEmail->text(), QStringLiteral("ann lee@example.org"));

    // Text from an input method is not a key press either.
    QTest::mouseClick(w->txtFriendEmail, Qt::LeftButton);
    w->txtFriendEmail->selectAll();
    QInputMethodEvent composed;
    composed.setCommitString(QStringLiteral("bob roe@example.net"));
    QApplication::sendEvent(w->txtFriendEmail, &composed);
    QCOMPARE(w->txtFriendEmail->text(), QStringLiteral("bob roe@example.net"));

    submit(w);
    QVERIFY(m_env->messages->shown.empty());
    const Query query = openedQuery();
    QCOMPARE(query.value(1).second, QStringLiteral("ann lee@example.org"));
    QCOMPARE(query.value(4).second, QStringLiteral("bob roe@example.net"));
}

// --- The exit window ----------------------------------------------------------------------------

void ReferralTest::supportMessageFollowsTheDraw_data()
{
    QTest::addColumn<float>("draw");
    QTest::addColumn<int>("index");
    QTest::newRow("0") << 0.0f << 0;
    QTest::newRow("just below a quarter") << 0.2499999f << 0;
    QTest::newRow("a quarter") << 0.25f << 1;
    QTest::newRow("a half") << 0.5f << 2;
    QTest::newRow("three quarters") << 0.75f << 3;
    QTest::newRow("largest below 1") << std::nextafter(1.0f, 0.0f) << 3;
}

void ReferralTest::supportMessageFollowsTheDraw()
{
    QFETCH(float, draw);
    QFETCH(int, index);
    m_env->random->values = {draw};
    forms::show<frmFarewell>();
    QCOMPARE(m_env->random->seeds, 1);
    QVERIFY(forms::loaded<frmFarewell>());
    QCOMPARE(forms::loaded<frmFarewell>()->Label2->text(), frmFarewell::SupportMessages[index]);
}

void ReferralTest::everySupportMessageAppearsWithTheRealSource()
{
    platform::installed().random = platform::productionServices().random;
    std::set<QString> seen;
    for (int run = 0; run < 200; ++run) {
        forms::hide<frmFarewell>();
        QVERIFY(forms::loaded<frmFarewell>());
        const QString text = forms::loaded<frmFarewell>()->Label2->text();
        QVERIFY(std::find(frmFarewell::SupportMessages.begin(), frmFarewell::SupportMessages.end(), text)
                != frmFarewell::SupportMessages.end());
        seen.insert(text);
        forms::startAfresh();
        testing::flushDeletions();
    }
    QCOMPARE(seen.size(), 4u);
}

void ReferralTest::exitWindowSettingsAndTexts()
{
    forms::show<frmFarewell>();
    auto *w = forms::loaded<frmFarewell>();
    QVERIFY(w && w->isVisible());
    QVERIFY(w->testAttribute(Qt::WA_ShowWithoutActivating));
    QVERIFY(w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(w->windowType(), Qt::Window); // neither a tool window, a popup nor a splash screen
    QCOMPARE(w->size(), QSize(741, 315));
    QCOMPARE(w->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(w->Frame2->palette().color(QPalette::Window), QColor(0, 0, 128));
    QCOMPARE(w->Frame6->palette().color(QPalette::Window), QColor(0, 0, 128));

    // The product family text: the typographic apostrophe, and the run of spaces that puts the
    // second paragraph on a line of its own.
    const QString text = w->Label3->text();
    QVERIFY(text.contains(QStringLiteral("world\u2019s largest")));
    const QString paragraphBreak = QStringLiteral("interests.") + QString(61, QLatin1Char(' ')) + QStringLiteral("All");
    QVERIFY(text.contains(paragraphBreak));
    QVERIFY(text.endsWith(QStringLiteral("friends and family. ")));
    QTextLayout layout(text, w->Label3->font());
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    std::set<int> lineStarts;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(w->Label3->width());
        lineStarts.insert(line.textStart());
    }
    layout.endLayout();
    QVERIFY(lineStarts.count(static_cast<int>(text.indexOf(QStringLiteral("All the programs")))));
}

void ReferralTest::everyCaptionFitsItsPlace()
{
    forms::show<frmFarewell>();
    auto *w = forms::loaded<frmFarewell>();
    QVERIFY(w);
    const auto inside = [](QWidget *control) {
        return QRect(QPoint(0, 0), control->parentWidget()->size()).contains(control->geometry());
    };
    for (QWidget *control : std::initializer_list<QWidget *>{w->Picture1, w->Label1, w->Label2, w->Check1,
                                                              w->cmdClose, w->Frame2, w->Frame6, w->Label3,
                                                              w->lblGoToHome, w->txtName, w->txtEmail,
                                                              w->txtFriendName, w->txtFriendEmail, w->cmdSubmit})
        QVERIFY2(inside(control), qPrintable(control->objectName()));
    for (QLabel *label : std::initializer_list<QLabel *>{w->Label1, w->lblGoToHome})
        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                 qPrintable(label->objectName()));
    for (QLabel *label : {w->Label2, w->Label3})
        QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(label->objectName()));
    QVERIFY(w->Check1->fontMetrics().horizontalAdvance(w->Check1->text()) < w->Check1->width());
    // The link stays wholly above the panel's bottom edge and clear of the text above it.
    QVERIFY(w->lblGoToHome->geometry().top() >= w->Label3->geometry().top() + w->Label3->heightForWidth(w->Label3->width()));
    // The support message leaves room for the link below it.
    for (const QString &message : frmFarewell::SupportMessages) {
        w->Label2->setText(message);
        QVERIFY(w->Label2->heightForWidth(w->Label2->width()) <= w->Check1->geometry().top() - w->Label2->geometry().top());
    }
}

void ReferralTest::tabOrderAndInitialFocus()
{
    frmFarewell *w = openExitWindow();
    QVERIFY(w);
    QCOMPARE(QApplication::focusWidget(), w->cmdClose);
    const QList<QWidget *> order{w->Check1, w->Picture1, w->txtName, w->cmdSubmit, w->txtEmail,
                                 w->txtFriendEmail, w->txtFriendName, w->txtMessage, w->cmdClose};
    for (QWidget *expected : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), expected);
    }
    // Passing through the fields left each with its own content.
    QCOMPARE(w->txtName->text(), QStringLiteral("Your Name"));
    QCOMPARE(frmFarewell::fieldText(w->txtMessage), kInitialMessage);
    QVERIFY(m_env->messages->shown.empty());
}

void ReferralTest::check1IsALinkThatNeverStaysTicked()
{
    frmFarewell *w = openExitWindow();
    QVERIFY(w);
    QVERIFY(w->Check1->isCheckable());
    QCOMPARE(w->Check1->cursor().shape(), Qt::PointingHandCursor);
    const QString home = modHelp::HomePageAddress();

    QTest::mouseClick(w->Check1, Qt::LeftButton, {}, QPoint(5, 5)); // anywhere on the face
    QCOMPARE(m_env->web->opened, QStringList{home});
    QVERIFY(!w->Check1->isChecked());
    QTest::mouseClick(w->Check1, Qt::LeftButton);
    QCOMPARE(m_env->web->opened, (QStringList{home, home}));
    QVERIFY(!w->Check1->isChecked());

    w->Check1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w->Check1, Qt::Key_Space);
    QCOMPARE(m_env->web->opened, (QStringList{home, home, home}));
    QVERIFY(!w->Check1->isChecked());
    QCOMPARE(m_env->processEnd->calls, 0);
}

void ReferralTest::productFamilyLink()
{
    frmFarewell *w = openExitWindow();
    QVERIFY(w);
    QCOMPARE(w->lblGoToHome->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(w->lblGoToHome->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    QTest::mouseClick(w->lblGoToHome, Qt::LeftButton);
    QCOMPARE(m_env->web->opened, QStringList{modHelp::ProductFamilyPageAddress()});
}

void ReferralTest::hiddenAndShownAgainKeepsEverything()
{
    m_env->random->values = {0.6f};
    frmFarewell *w = openExitWindow();
    QVERIFY(w);
    typeInto(w->txtName, QStringLiteral("Ann"));
    typeInto(w->txtFriendEmail, QStringLiteral("bob@example.net"));
    forms::hide<frmFarewell>();
    QVERIFY(!w->isVisible());
    m_env->random->values = {0.1f};
    forms::show<frmFarewell>();
    QCOMPARE(forms::loaded<frmFarewell>(), w);
    QVERIFY(w->isVisible());
    QCOMPARE(m_env->random->seeds, 1);
    QCOMPARE(w->Label2->text(), frmFarewell::SupportMessages[2]);
    QCOMPARE(w->txtName->text(), QStringLiteral("Ann"));
    QCOMPARE(w->txtFriendEmail->text(), QStringLiteral("bob@example.net"));
    QVERIFY(w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

// --- Ways out -----------------------------------------------------------------------------------

void ReferralTest::leavingTheExitWindowEndsTheProgram_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("Exit button") << "click";
    QTest::newRow("Alt+X") << "alt+x";
    QTest::newRow("Enter on the focused button") << "enter";
    QTest::newRow("Space on the focused button") << "space";
    QTest::newRow("close box") << "close";
}

void ReferralTest::leavingTheExitWindowEndsTheProgram()
{
    QFETCH(QString, way);
    forms::ref<frmStartup>();
    QVERIFY(forms::loaded<frmMain>());
    forms::loaded<frmMain>()->close();
    testing::flushDeletions();
    frmFarewell *w = openExitWindow();
    QVERIFY(w);
    typeInto(w->txtName, QStringLiteral("Ann"));
    w->cmdClose->setFocus(Qt::TabFocusReason);
    QCOMPARE(m_env->processEnd->calls, 0);
    const QPointer<frmFarewell> window(w);

    if (way == QStringLiteral("click"))
        QTest::mouseClick(w->cmdClose, Qt::LeftButton);
    else if (way == QStringLiteral("alt+x"))
        QTest::keyClick(w, Qt::Key_X, Qt::AltModifier);
    else if (way == QStringLiteral("enter"))
        QTest::keyClick(w->cmdClose, Qt::Key_Return);
    else if (way == QStringLiteral("space"))
        QTest::keyClick(w->cmdClose, Qt::Key_Space);
    else
        w->close();

    QTRY_COMPARE(m_env->processEnd->calls, 1);
    QVERIFY(forms::loadOrder().empty());
    QVERIFY(!window || !window->isVisible());
    testing::flushDeletions();
    QVERIFY(!window); // and the referral fields with it
    QVERIFY(m_env->web->opened.isEmpty());
    QVERIFY(m_env->messages->shown.empty());
    // Everything that would have been shown on the way out is refused.
    forms::show<frmFarewell>();
    QVERIFY(forms::loadOrder().empty());
}

void ReferralTest::leavingOtherWindowsKeepsTheProgramRunning()
{
    const auto exitWindowVisible = [] {
        auto *w = forms::loaded<frmFarewell>();
        return w && w->isVisible();
    };

    // Main window: close box, then File "E&xit" on a fresh run.
    forms::ref<frmStartup>();
    QVERIFY(forms::loaded<frmMain>());
    forms::loaded<frmMain>()->close();
    QVERIFY(!forms::loaded<frmMain>());
    QVERIFY(exitWindowVisible());
    QCOMPARE(m_env->processEnd->calls, 0);
    forms::startAfresh();
    testing::flushDeletions();

    forms::ref<frmStartup>();
    QVERIFY(forms::loaded<frmMain>());
    forms::loaded<frmMain>()->mnuExit->trigger();
    QVERIFY(exitWindowVisible());
    QCOMPARE(m_env->processEnd->calls, 0);
    const int seeds = m_env->random->seeds;

    // Back from a section window: the main window again, the exit window hidden and unchanged.
    auto *farewell = forms::loaded<frmFarewell>();
    const QString message = farewell->Label2->text();
    farewell->txtName->setText(QStringLiteral("Ann"));
    forms::show<frmResultBOS>();
    QVERIFY(forms::loaded<frmResultBOS>());
    forms::loaded<frmResultBOS>()->mnuBack->trigger();
    testing::flushDeletions();
    QVERIFY(forms::loaded<frmMain>() && forms::loaded<frmMain>()->isVisible());
    QVERIFY(!exitWindowVisible());
    QCOMPARE(m_env->processEnd->calls, 0);

    // Section window: File "E&xit" and the close box show the same exit window again.
    forms::show<frmResultBOS>();
    forms::unload(forms::loaded<frmMain>());
    forms::hide<frmFarewell>();
    QVERIFY(forms::loaded<frmResultBOS>());
    forms::loaded<frmResultBOS>()->mnuExit->trigger();
    QVERIFY(exitWindowVisible());
    QCOMPARE(forms::loaded<frmFarewell>(), farewell);
    QCOMPARE(farewell->Label2->text(), message);
    QCOMPARE(farewell->txtName->text(), QStringLiteral("Ann"));
    QCOMPARE(m_env->random->seeds, seeds); // the exit window was not loaded again
    forms::hide<frmFarewell>();
    forms::show<frmResultBOS>();
    QVERIFY(forms::loaded<frmResultBOS>());
    forms::loaded<frmResultBOS>()->close();
    QVERIFY(exitWindowVisible());
    QCOMPARE(m_env->processEnd->calls, 0);
    QVERIFY(m_env->web->opened.isEmpty());
}

QTEST_MAIN(ReferralTest)
#include "tst_referral.moc"
