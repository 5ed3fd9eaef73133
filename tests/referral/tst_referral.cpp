// The "Refer A Friend" panel, the referral address and the exit window, driven as a user drives
// them.

#include "controls.h"
#include "environment.h"
#include "seed.h"

#include "core/identity.h"
#include "core/links.h"
#include "core/referral.h"
#include "gui/forms.h"
#include "gui/windows/exitwindow.h"
#include "gui/windows/mainwindow.h"
#include "gui/windows/sectionwindow.h"
#include "gui/windows/startupwindow.h"
#include "platform/qtservices.h"

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

Q_DECLARE_METATYPE(referral::ReferralValues)

namespace {
const QString kProper = QStringLiteral("Please Enter Proper Email Address");
const QString kDistinct = QStringLiteral("Please Enter Distinct Email Addresses");
const QString kSpace = QStringLiteral("Email Address Cannot Contain Space");
const QString kName = QStringLiteral("Please Enter Your Name");
const QString kMessage = QStringLiteral("Please Enter Your Message");
const QString kInitialMessage = QStringLiteral("Your Message\r\n");

// The exit window's controls, found by their object names.
QLineEdit *nameEdit(const QWidget *w)
{
    return testing::control<QLineEdit>(w, QStringLiteral("txtName"));
}
QLineEdit *emailEdit(const QWidget *w)
{
    return testing::control<QLineEdit>(w, QStringLiteral("txtEmail"));
}
QLineEdit *friendNameEdit(const QWidget *w)
{
    return testing::control<QLineEdit>(w, QStringLiteral("txtFriendName"));
}
QLineEdit *friendEmailEdit(const QWidget *w)
{
    return testing::control<QLineEdit>(w, QStringLiteral("txtFriendEmail"));
}
QPlainTextEdit *messageEdit(const QWidget *w)
{
    return testing::control<QPlainTextEdit>(w, QStringLiteral("txtMessage"));
}
QPushButton *submitButton(const QWidget *w)
{
    return testing::control<QPushButton>(w, QStringLiteral("cmdSubmit"));
}
QPushButton *closeButton(const QWidget *w)
{
    return testing::control<QPushButton>(w, QStringLiteral("cmdClose"));
}
QCheckBox *visitCheck(const QWidget *w)
{
    return testing::control<QCheckBox>(w, QStringLiteral("Check1"));
}
QLabel *icon(const QWidget *w)
{
    return testing::control<QLabel>(w, QStringLiteral("Picture1"));
}
QLabel *title(const QWidget *w)
{
    return testing::control<QLabel>(w, QStringLiteral("Label1"));
}
QLabel *supportMessage(const QWidget *w)
{
    return testing::control<QLabel>(w, QStringLiteral("Label2"));
}
QGroupBox *referralPanel(const QWidget *w)
{
    return testing::control<QGroupBox>(w, QStringLiteral("Frame2"));
}
QGroupBox *productFamilyPanel(const QWidget *w)
{
    return testing::control<QGroupBox>(w, QStringLiteral("Frame6"));
}
QLabel *productFamilyText(const QWidget *w)
{
    return testing::control<QLabel>(w, QStringLiteral("Label3"));
}
QLabel *productsLink(const QWidget *w)
{
    return testing::control<QLabel>(w, QStringLiteral("lblGoToHome"));
}

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
        || address.section(QLatin1Char('?'), 0, 0)
            != links::kMakerWebSite + QStringLiteral("/qzpr-refer-a-friend.php")) {
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

Query expectedQuery(const referral::ReferralValues &values)
{
    return {{QStringLiteral("taf1"), values.yourName},
            {QStringLiteral("taf2"), values.yourEmail},
            {QStringLiteral("taf3"), values.yourMessage},
            {QStringLiteral("taf4"), values.friendName},
            {QStringLiteral("taf5"), values.friendEmail},
            {QStringLiteral("taf6"), links::kMakerWebSite + QStringLiteral("/brimvale/")}};
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
    void init() { m_env = std::make_unique<testing::Environment>(); }
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
    void visitButtonIsALinkThatNeverStaysTicked();
    void productFamilyLink();
    void hiddenAndShownAgainKeepsEverything();

    // Ways out.
    void leavingTheExitWindowEndsTheProgram_data();
    void leavingTheExitWindowEndsTheProgram();
    void leavingOtherWindowsKeepsTheProgramRunning();

private:
    ExitWindow *openExitWindow()
    {
        forms::show<ExitWindow>();
        auto *window = forms::loaded<ExitWindow>();
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
    void fillProperly(ExitWindow *w)
    {
        typeInto(nameEdit(w), QStringLiteral("Ann"));
        typeInto(emailEdit(w), QStringLiteral("ann@example.org"));
        typeInto(friendNameEdit(w), QStringLiteral("Bob"));
        typeInto(friendEmailEdit(w), QStringLiteral("bob@example.net"));
    }
    void submit(ExitWindow *w) { QTest::mouseClick(submitButton(w), Qt::LeftButton); }
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
    QTest::newRow("plain") << "Ann"
                           << "Hello";
    QTest::newRow("query syntax") << "Tom & Jerry = friends?#1"
                                  << "a&taf1=evil&taf7=x";
    QTest::newRow("plus and percent") << "C++ 100%"
                                      << "%41%2B+";
    QTest::newRow("line breaks and tabs") << "\tAnn"
                                          << "Line 1\r\nLine 2\n";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("outside Latin-1") << QStringLiteral("Zoë 李雷 \U0001F600") << QStringLiteral("world\u2019s");
    QTest::newRow("slashes and colons") << "http://x/y"
                                        << "../../etc";
}

void ReferralTest::addressKeepsEveryValueIntact()
{
    QFETCH(QString, name);
    QFETCH(QString, message);
    const referral::ReferralValues values{name, QStringLiteral("a b@c.d"), message, name + name,
                                          QStringLiteral("x+y@z.w")};
    const QString address = referral::referralAddress(links::kMakerWebSite, values);
    QString problem;
    const Query query = decodeQuery(address, &problem);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(query, expectedQuery(values));
}

void ReferralTest::addressSurvivesRandomText()
{
    const QStringList pieces{"a",
                             "Z",
                             "0",
                             " ",
                             "&",
                             "=",
                             "#",
                             "?",
                             "%",
                             "+",
                             "/",
                             ":",
                             ";",
                             "\r",
                             "\n",
                             "\t",
                             QString(QChar(0)),
                             "é",
                             "ß",
                             "\u2019",
                             "李",
                             "\U0001F600",
                             "~",
                             ".",
                             "-",
                             "_",
                             "\"",
                             "'",
                             "<",
                             ">",
                             "[",
                             "]",
                             "{",
                             "}",
                             "\\",
                             "^",
                             "`",
                             "|"};
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
        const referral::ReferralValues values{randomText(), randomText(), randomText(), randomText(), randomText()};
        const QString address = referral::referralAddress(links::kMakerWebSite, values);
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

    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    fillProperly(w);
    typeInto(nameEdit(w), QStringLiteral("Tom & Jerry"));
    submit(w);
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));

    QCOMPARE(catcher.urls.size(), 1);
    const QUrl &url = catcher.urls.front();
    QCOMPARE(url.host(), QUrl(links::kMakerWebSite).host());
    QCOMPARE(QString::fromUtf8(url.toEncoded()), w->referralUrl());
}

// --- The panel ----------------------------------------------------------------------------------

void ReferralTest::panelStartsWithItsPlaceholders()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    QCOMPARE(nameEdit(w)->text(), QStringLiteral("Your Name"));
    QCOMPARE(emailEdit(w)->text(), QStringLiteral("Your Email Address"));
    QCOMPARE(friendNameEdit(w)->text(), QStringLiteral("Friend's Name"));
    QCOMPARE(friendEmailEdit(w)->text(), QStringLiteral("Friend's Email Address"));
    QCOMPARE(ExitWindow::fieldText(messageEdit(w)), kInitialMessage);
    for (QLineEdit *field : {nameEdit(w), emailEdit(w), friendNameEdit(w), friendEmailEdit(w)})
        QCOMPARE(field->maxLength(), std::numeric_limits<int>::max());

    // The message field lies below the panel's edge: never seen, yet not hidden and still usable.
    QVERIFY(messageEdit(w)->geometry().top() >= referralPanel(w)->height());
    QVERIFY(messageEdit(w)->isVisible());
    QVERIFY(messageEdit(w)->isEnabled());
    QVERIFY(messageEdit(w)->visibleRegion().isEmpty());
}

void ReferralTest::untouchedPanelAsksForProperAddresses()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    submit(w);
    QCOMPARE(m_env->messages->texts(), QStringList{kProper});
    QCOMPARE(m_env->messages->shown.front().icon, MessageIcon::Critical);
    QCOMPARE(m_env->messages->shown.front().parent, w);
    QVERIFY(m_env->web->opened.isEmpty());
    // The values were stored before the checks, and nothing was reset.
    QCOMPARE(w->submitted().yourName, QStringLiteral("Your Name"));
    QCOMPARE(w->submitted().yourMessage, kInitialMessage);
    QCOMPARE(emailEdit(w)->text(), QStringLiteral("Your Email Address"));
}

void ReferralTest::addressChecksComeFirst_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("friendEmail");
    QTest::addColumn<QString>("expected"); // empty: the checks pass
    QTest::newRow("equal") << "ann@example.org"
                           << "ann@example.org" << kDistinct;
    QTest::newRow("equal after trimming") << "  ann@example.org"
                                          << "ann@example.org  " << kDistinct;
    QTest::newRow("equal but improper") << "nothing"
                                        << "nothing" << kDistinct;
    QTest::newRow("case differs") << "Ann@example.org"
                                  << "ann@example.org"
                                  << "";
    QTest::newRow("at without dot") << "ann@example"
                                    << "bob@example.net" << kProper;
    QTest::newRow("friend's at without dot") << "ann@example.org"
                                             << "bob@example" << kProper;
    QTest::newRow("dot without at") << "ann.example.org"
                                    << "bob@example.net" << kProper;
    QTest::newRow("friend's dot without at") << "ann@example.org"
                                             << "bob.example.net" << kProper;
    QTest::newRow("lone dot and at") << ".@"
                                     << "bob@example.net"
                                     << "";
    QTest::newRow("at before dot anywhere") << "@."
                                            << ".@"
                                            << "";
    QTest::newRow("several ats") << "a@@b.c"
                                 << "@@.."
                                 << "";
}

void ReferralTest::addressChecksComeFirst()
{
    QFETCH(QString, email);
    QFETCH(QString, friendEmail);
    QFETCH(QString, expected);
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    // The name still holds its placeholder: an address fault must be reported before it.
    emailEdit(w)->setFocus(Qt::MouseFocusReason);
    emailEdit(w)->insert(email);
    friendEmailEdit(w)->setFocus(Qt::MouseFocusReason);
    friendEmailEdit(w)->insert(friendEmail);
    submit(w);
    QCOMPARE(m_env->messages->texts(), QStringList{expected.isEmpty() ? kName : expected});
    QVERIFY(m_env->web->opened.isEmpty());
}

void ReferralTest::nameChecksFollowTheAddressChecks()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    fillProperly(w);

    typeInto(nameEdit(w), QStringLiteral("Your Name"));
    submit(w);
    QCOMPARE(m_env->messages->last(), kName);

    typeInto(nameEdit(w), QStringLiteral("  Your Name  "));
    submit(w);
    QCOMPARE(m_env->messages->last(), kName);

    typeInto(friendNameEdit(w), QStringLiteral("Friend's Name"));
    typeInto(nameEdit(w), QStringLiteral("your name"));
    submit(w);
    QCOMPARE(m_env->messages->last(), QStringLiteral("Please Enter Your Friend's Name"));
    QCOMPARE(m_env->messages->shown.size(), 3u);

    // The placeholder in other letter case is a name like any other.
    typeInto(friendNameEdit(w), QStringLiteral("friend's name"));
    submit(w);
    QCOMPARE(m_env->messages->shown.size(), 3u);
    const Query query = openedQuery();
    QCOMPARE(query.value(0).second, QStringLiteral("your name"));
    QCOMPARE(query.value(3).second, QStringLiteral("friend's name"));
}

void ReferralTest::refusalNamesTheFirstFailedCheck_data()
{
    QTest::addColumn<referral::ReferralValues>("values");
    QTest::addColumn<QString>("refusal");
    const QString ok = QString();
    QTest::newRow("all filled") << referral::ReferralValues{"Ann", "a@b.c", "Hi", "Bob", "d@e.f"} << ok;
    QTest::newRow("same addresses first") << referral::ReferralValues{"", "a@b.c", "", "", "a@b.c"} << kDistinct;
    QTest::newRow("no @") << referral::ReferralValues{"", "ab.c", "", "", "d@e.f"} << kProper;
    QTest::newRow("no dot") << referral::ReferralValues{"", "a@b.c", "", "", "d@ef"} << kProper;
    QTest::newRow("name") << referral::ReferralValues{"", "a@b.c", "", "", "d@e.f"} << kName;
    QTest::newRow("name placeholder") << referral::ReferralValues{"Your Name", "a@b.c", "Hi", "Bob", "d@e.f"} << kName;
    QTest::newRow("message placeholder") << referral::ReferralValues{"Ann", "a@b.c", "Your Message", "", "d@e.f"}
                                         << kMessage;
    QTest::newRow("friend's name") << referral::ReferralValues{"Ann", "a@b.c", "Hi", "", "d@e.f"}
                                   << QStringLiteral("Please Enter Your Friend's Name");
    QTest::newRow("friend's name placeholder")
        << referral::ReferralValues{"Ann", "a@b.c", "Hi", "Friend's Name", "d@e.f"}
        << QStringLiteral("Please Enter Your Friend's Name");
}

void ReferralTest::refusalNamesTheFirstFailedCheck()
{
    QFETCH(referral::ReferralValues, values);
    QFETCH(QString, refusal);
    QCOMPARE(referral::refusal(values).value_or(QString()), refusal);
}

void ReferralTest::successfulSubmitOpensTheExactAddressEveryTime()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    fillProperly(w);
    typeInto(nameEdit(w), QStringLiteral("Tom & Jerry = Friends"));
    submit(w);

    QVERIFY(m_env->messages->shown.empty());
    QCOMPARE(m_env->web->opened.size(), 1);
    QCOMPARE(m_env->web->opened.front(), w->referralUrl());
    QCOMPARE(openedQuery(),
             expectedQuery({QStringLiteral("Tom & Jerry = Friends"), QStringLiteral("ann@example.org"), kInitialMessage,
                            QStringLiteral("Bob"), QStringLiteral("bob@example.net")}));

    // Nothing is reset, and the next press (Enter on the focused button) opens the page again.
    QCOMPARE(nameEdit(w)->text(), QStringLiteral("Tom & Jerry = Friends"));
    QCOMPARE(ExitWindow::fieldText(messageEdit(w)), kInitialMessage);
    QCOMPARE(QApplication::focusWidget(), submitButton(w));
    QTest::keyClick(submitButton(w), Qt::Key_Return);
    QCOMPARE(m_env->web->opened.size(), 2);
    QCOMPARE(m_env->web->opened.back(), m_env->web->opened.front());
    QVERIFY(m_env->messages->shown.empty());
}

void ReferralTest::namesAreTrimmedOfSpacesOnly()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    fillProperly(w);
    typeInto(nameEdit(w), QStringLiteral("   Ann  Lee   "));
    typeInto(friendNameEdit(w), QStringLiteral("Bob "));
    friendNameEdit(w)->insert(QStringLiteral("\t")); // a pasted tab is not trimmed
    typeInto(emailEdit(w), QStringLiteral("ann@example.org"));
    submit(w);
    const Query query = openedQuery();
    QCOMPARE(query.value(0).second, QStringLiteral("Ann  Lee"));
    QCOMPARE(query.value(3).second, QStringLiteral("Bob \t"));
    QCOMPARE(w->submitted().yourName, QStringLiteral("Ann  Lee"));
    QCOMPARE(nameEdit(w)->text(), QStringLiteral("   Ann  Lee   "));
}

void ReferralTest::nonLatinTextSurvives()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    fillProperly(w);
    typeInto(nameEdit(w), QStringLiteral("Zoë Ångström"));
    typeInto(friendNameEdit(w), QStringLiteral("李雷 \U0001F600 Ελένη"));
    typeInto(friendEmailEdit(w), QStringLiteral("lǐ@例子.中国"));
    submit(w);
    const Query query = openedQuery();
    QCOMPARE(query.value(0).second, QStringLiteral("Zoë Ångström"));
    QCOMPARE(query.value(3).second, QStringLiteral("李雷 \U0001F600 Ελένη"));
    QCOMPARE(query.value(4).second, QStringLiteral("lǐ@例子.中国"));
}

void ReferralTest::placeholderRules()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);

    // Entering a field that holds its placeholder empties it, by mouse or by Tab.
    QTest::mouseClick(emailEdit(w), Qt::LeftButton);
    QCOMPARE(emailEdit(w)->text(), QString());
    QTest::keyClick(emailEdit(w), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), friendEmailEdit(w));
    QCOMPARE(friendEmailEdit(w)->text(), QString());
    // Leaving it empty brings the placeholder back.
    QCOMPARE(emailEdit(w)->text(), QStringLiteral("Your Email Address"));

    // Only spaces count as empty; the placeholder typed with spaces around counts as the placeholder.
    QTest::keyClicks(friendEmailEdit(w), QStringLiteral("   "));
    QCOMPARE(m_env->messages->shown.size(), 3u); // the e-mail filter refused each space
    QTest::mouseClick(nameEdit(w), Qt::LeftButton);
    QTest::keyClicks(nameEdit(w), QStringLiteral("   "));
    QTest::mouseClick(friendNameEdit(w), Qt::LeftButton);
    QCOMPARE(nameEdit(w)->text(), QStringLiteral("Your Name"));
    QCOMPARE(friendNameEdit(w)->text(), QString());
    QTest::keyClicks(friendNameEdit(w), QStringLiteral(" Friend's Name  "));
    QTest::mouseClick(nameEdit(w), Qt::LeftButton);
    QCOMPARE(friendNameEdit(w)->text(), QStringLiteral(" Friend's Name  "));
    QTest::mouseClick(friendNameEdit(w), Qt::LeftButton);
    QCOMPARE(friendNameEdit(w)->text(), QString());

    // A field holding something else is left as it is, both ways.
    QTest::keyClicks(friendNameEdit(w), QStringLiteral("Bob"));
    QTest::mouseClick(nameEdit(w), Qt::LeftButton);
    QTest::mouseClick(friendNameEdit(w), Qt::LeftButton);
    QCOMPARE(friendNameEdit(w)->text(), QStringLiteral("Bob"));
}

void ReferralTest::windowActivationLeavesFieldsAlone()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    for (const Qt::FocusReason reason : {Qt::ActiveWindowFocusReason, Qt::PopupFocusReason}) {
        QFocusEvent in(QEvent::FocusIn, reason);
        QApplication::sendEvent(nameEdit(w), &in);
        QCOMPARE(nameEdit(w)->text(), QStringLiteral("Your Name"));
    }
    nameEdit(w)->clear();
    for (const Qt::FocusReason reason : {Qt::ActiveWindowFocusReason, Qt::PopupFocusReason}) {
        QFocusEvent out(QEvent::FocusOut, reason);
        QApplication::sendEvent(nameEdit(w), &out);
        QCOMPARE(nameEdit(w)->text(), QString());
    }
}

void ReferralTest::emptiedFieldIsReadAsItsPlaceholderOnAltN()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    fillProperly(w);
    QTest::mouseClick(nameEdit(w), Qt::LeftButton);
    nameEdit(w)->selectAll();
    QTest::keyClick(nameEdit(w), Qt::Key_Delete);
    QTest::keyClick(nameEdit(w), Qt::Key_N, Qt::AltModifier);
    QTRY_COMPARE(m_env->messages->texts(), QStringList{kName});
    QCOMPARE(nameEdit(w)->text(), QStringLiteral("Your Name"));
    QCOMPARE(w->submitted().yourName, QStringLiteral("Your Name"));
}

void ReferralTest::hiddenMessageFieldUntouchedAndEmptied()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    fillProperly(w);

    // Tabbing into the hidden field leaves its initial text alone: it is not the placeholder.
    QTest::mouseClick(friendNameEdit(w), Qt::LeftButton);
    QTest::keyClick(friendNameEdit(w), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), messageEdit(w));
    QCOMPARE(ExitWindow::fieldText(messageEdit(w)), kInitialMessage);
    QTest::keyClick(messageEdit(w), Qt::Key_Tab);
    QCOMPARE(ExitWindow::fieldText(messageEdit(w)), kInitialMessage);
    submit(w);
    QCOMPARE(openedQuery().value(2).second, kInitialMessage);

    // Emptied there, it gets the placeholder back and blocks every later submit.
    messageEdit(w)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(messageEdit(w), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(messageEdit(w), Qt::Key_Delete);
    QCOMPARE(ExitWindow::fieldText(messageEdit(w)), QString());
    QTest::keyClick(messageEdit(w), Qt::Key_Tab);
    QCOMPARE(ExitWindow::fieldText(messageEdit(w)), QStringLiteral("Your Message"));
    submit(w);
    submit(w);
    QCOMPARE(m_env->messages->texts(), (QStringList{kMessage, kMessage}));
    QCOMPARE(m_env->web->opened.size(), 1);

    // Tabbing in now empties it; a typed message with its line breaks goes out as CR LF.
    messageEdit(w)->setFocus(Qt::TabFocusReason);
    QCOMPARE(ExitWindow::fieldText(messageEdit(w)), QString());
    QTest::keyClicks(messageEdit(w), QStringLiteral("Hi"));
    QTest::keyClick(messageEdit(w), Qt::Key_Return);
    QTest::keyClicks(messageEdit(w), QStringLiteral("there "));
    submit(w);
    QCOMPARE(m_env->web->opened.size(), 2);
    QString problem;
    QCOMPARE(decodeQuery(m_env->web->opened.back(), &problem).value(2).second, QStringLiteral("Hi\r\nthere"));
}

void ReferralTest::spaceFilterOnEmailFields()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    for (QLineEdit *field : {emailEdit(w), friendEmailEdit(w)}) {
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
    typeInto(nameEdit(w), QStringLiteral("Ann Lee"));
    typeInto(friendNameEdit(w), QStringLiteral("Bob Roe"));
    QCOMPARE(nameEdit(w)->text(), QStringLiteral("Ann Lee"));
    QCOMPARE(friendNameEdit(w)->text(), QStringLiteral("Bob Roe"));
    QVERIFY(m_env->messages->shown.empty());
}

void ReferralTest::pastedSpacesPassTheFilter()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    fillProperly(w);

    QTest::mouseClick(emailEdit(w), Qt::LeftButton);
    emailEdit(w)->selectAll();
    QGuiApplication::clipboard()->setText(QStringLiteral("ann lee@example.org"));
    QTest::keyClick(emailEdit(w), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(emailEdit(w)->text(), QStringLiteral("ann lee@example.org"));

    // Text from an input method is not a key press either.
    QTest::mouseClick(friendEmailEdit(w), Qt::LeftButton);
    friendEmailEdit(w)->selectAll();
    QInputMethodEvent composed;
    composed.setCommitString(QStringLiteral("bob roe@example.net"));
    QApplication::sendEvent(friendEmailEdit(w), &composed);
    QCOMPARE(friendEmailEdit(w)->text(), QStringLiteral("bob roe@example.net"));

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
    forms::show<ExitWindow>();
    QCOMPARE(m_env->random->seeds, 1);
    QVERIFY(forms::loaded<ExitWindow>());
    QCOMPARE(supportMessage(forms::loaded<ExitWindow>())->text(), ExitWindow::kSupportMessages[index]);
}

void ReferralTest::everySupportMessageAppearsWithTheRealSource()
{
    platform::installed().random = platform::productionServices().random;
    std::set<QString> seen;
    for (int run = 0; run < 200; ++run) {
        forms::hide<ExitWindow>();
        QVERIFY(forms::loaded<ExitWindow>());
        const QString text = supportMessage(forms::loaded<ExitWindow>())->text();
        QVERIFY(std::find(ExitWindow::kSupportMessages.begin(), ExitWindow::kSupportMessages.end(), text)
                != ExitWindow::kSupportMessages.end());
        seen.insert(text);
        forms::startAfresh();
        testing::flushDeletions();
    }
    QCOMPARE(seen.size(), 4u);
}

void ReferralTest::exitWindowSettingsAndTexts()
{
    forms::show<ExitWindow>();
    auto *w = forms::loaded<ExitWindow>();
    QVERIFY(w && w->isVisible());
    QVERIFY(w->testAttribute(Qt::WA_ShowWithoutActivating));
    QVERIFY(w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(w->windowType(), Qt::Window); // neither a tool window, a popup nor a splash screen
    QCOMPARE(w->size(), QSize(741, 315));
    QCOMPARE(w->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(referralPanel(w)->palette().color(QPalette::Window), QColor(0, 0, 128));
    QCOMPARE(productFamilyPanel(w)->palette().color(QPalette::Window), QColor(0, 0, 128));

    // The product family text: the typographic apostrophe, and the run of spaces that puts the
    // second paragraph on a line of its own.
    const QString text = productFamilyText(w)->text();
    QVERIFY(text.contains(QStringLiteral("world\u2019s largest")));
    const QString paragraphBreak = QStringLiteral("interests.") + QString(61, QLatin1Char(' ')) + QStringLiteral("All");
    QVERIFY(text.contains(paragraphBreak));
    QVERIFY(text.endsWith(QStringLiteral("friends and family. ")));
    QTextLayout layout(text, productFamilyText(w)->font());
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    std::set<int> lineStarts;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(productFamilyText(w)->width());
        lineStarts.insert(line.textStart());
    }
    layout.endLayout();
    QVERIFY(lineStarts.count(static_cast<int>(text.indexOf(QStringLiteral("All the programs")))));
}

void ReferralTest::everyCaptionFitsItsPlace()
{
    forms::show<ExitWindow>();
    auto *w = forms::loaded<ExitWindow>();
    QVERIFY(w);
    const auto inside = [](QWidget *control) {
        return QRect(QPoint(0, 0), control->parentWidget()->size()).contains(control->geometry());
    };
    for (QWidget *control : std::initializer_list<QWidget *>{
             icon(w), title(w), supportMessage(w), visitCheck(w), closeButton(w), referralPanel(w),
             productFamilyPanel(w), productFamilyText(w), productsLink(w), nameEdit(w), emailEdit(w), friendNameEdit(w),
             friendEmailEdit(w), submitButton(w)})
        QVERIFY2(inside(control), qPrintable(control->objectName()));
    for (QLabel *label : std::initializer_list<QLabel *>{title(w), productsLink(w)})
        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                 qPrintable(label->objectName()));
    for (QLabel *label : {supportMessage(w), productFamilyText(w)})
        QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(label->objectName()));
    QVERIFY(visitCheck(w)->fontMetrics().horizontalAdvance(visitCheck(w)->text()) < visitCheck(w)->width());
    // The link stays wholly above the panel's bottom edge and clear of the text above it.
    QVERIFY(productsLink(w)->geometry().top() >= productFamilyText(w)->geometry().top()
                + productFamilyText(w)->heightForWidth(productFamilyText(w)->width()));
    // The support message leaves room for the link below it.
    for (const QString &message : ExitWindow::kSupportMessages) {
        supportMessage(w)->setText(message);
        QVERIFY(supportMessage(w)->heightForWidth(supportMessage(w)->width())
                <= visitCheck(w)->geometry().top() - supportMessage(w)->geometry().top());
    }
}

void ReferralTest::tabOrderAndInitialFocus()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    QCOMPARE(QApplication::focusWidget(), closeButton(w));
    const QList<QWidget *> order{visitCheck(w),      icon(w),           nameEdit(w),    submitButton(w), emailEdit(w),
                                 friendEmailEdit(w), friendNameEdit(w), messageEdit(w), closeButton(w)};
    for (QWidget *expected : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), expected);
    }
    // Passing through the fields left each with its own content.
    QCOMPARE(nameEdit(w)->text(), QStringLiteral("Your Name"));
    QCOMPARE(ExitWindow::fieldText(messageEdit(w)), kInitialMessage);
    QVERIFY(m_env->messages->shown.empty());
}

void ReferralTest::visitButtonIsALinkThatNeverStaysTicked()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    QVERIFY(visitCheck(w)->isCheckable());
    QCOMPARE(visitCheck(w)->cursor().shape(), Qt::PointingHandCursor);
    const QString home = links::homePageAddress();

    QTest::mouseClick(visitCheck(w), Qt::LeftButton, {}, QPoint(5, 5)); // anywhere on the face
    QCOMPARE(m_env->web->opened, QStringList{home});
    QVERIFY(!visitCheck(w)->isChecked());
    QTest::mouseClick(visitCheck(w), Qt::LeftButton);
    QCOMPARE(m_env->web->opened, (QStringList{home, home}));
    QVERIFY(!visitCheck(w)->isChecked());

    visitCheck(w)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(visitCheck(w), Qt::Key_Space);
    QCOMPARE(m_env->web->opened, (QStringList{home, home, home}));
    QVERIFY(!visitCheck(w)->isChecked());
    QCOMPARE(m_env->processEnd->calls, 0);
}

void ReferralTest::productFamilyLink()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    QCOMPARE(productsLink(w)->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(productsLink(w)->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    QTest::mouseClick(productsLink(w), Qt::LeftButton);
    QCOMPARE(m_env->web->opened, QStringList{links::productFamilyPageAddress()});
}

void ReferralTest::hiddenAndShownAgainKeepsEverything()
{
    m_env->random->values = {0.6f};
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    typeInto(nameEdit(w), QStringLiteral("Ann"));
    typeInto(friendEmailEdit(w), QStringLiteral("bob@example.net"));
    forms::hide<ExitWindow>();
    QVERIFY(!w->isVisible());
    m_env->random->values = {0.1f};
    forms::show<ExitWindow>();
    QCOMPARE(forms::loaded<ExitWindow>(), w);
    QVERIFY(w->isVisible());
    QCOMPARE(m_env->random->seeds, 1);
    QCOMPARE(supportMessage(w)->text(), ExitWindow::kSupportMessages[2]);
    QCOMPARE(nameEdit(w)->text(), QStringLiteral("Ann"));
    QCOMPARE(friendEmailEdit(w)->text(), QStringLiteral("bob@example.net"));
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
    forms::ref<StartupWindow>();
    QVERIFY(forms::loaded<MainWindow>());
    forms::loaded<MainWindow>()->close();
    testing::flushDeletions();
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    typeInto(nameEdit(w), QStringLiteral("Ann"));
    closeButton(w)->setFocus(Qt::TabFocusReason);
    QCOMPARE(m_env->processEnd->calls, 0);
    const QPointer<ExitWindow> window(w);

    if (way == QStringLiteral("click"))
        QTest::mouseClick(closeButton(w), Qt::LeftButton);
    else if (way == QStringLiteral("alt+x"))
        QTest::keyClick(w, Qt::Key_X, Qt::AltModifier);
    else if (way == QStringLiteral("enter"))
        QTest::keyClick(closeButton(w), Qt::Key_Return);
    else if (way == QStringLiteral("space"))
        QTest::keyClick(closeButton(w), Qt::Key_Space);
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
    forms::show<ExitWindow>();
    QVERIFY(forms::loadOrder().empty());
}

void ReferralTest::leavingOtherWindowsKeepsTheProgramRunning()
{
    const auto exitWindowVisible = [] {
        auto *w = forms::loaded<ExitWindow>();
        return w && w->isVisible();
    };

    // Main window: close box, then File "E&xit" on a fresh run.
    forms::ref<StartupWindow>();
    QVERIFY(forms::loaded<MainWindow>());
    forms::loaded<MainWindow>()->close();
    QVERIFY(!forms::loaded<MainWindow>());
    QVERIFY(exitWindowVisible());
    QCOMPARE(m_env->processEnd->calls, 0);
    forms::startAfresh();
    testing::flushDeletions();

    forms::ref<StartupWindow>();
    QVERIFY(forms::loaded<MainWindow>());
    testing::control<QAction>(forms::loaded<MainWindow>(), "mnuExit")->trigger();
    QVERIFY(exitWindowVisible());
    QCOMPARE(m_env->processEnd->calls, 0);
    const int seeds = m_env->random->seeds;

    // Back from a section window: the main window again, the exit window hidden and unchanged.
    auto *farewell = forms::loaded<ExitWindow>();
    const QString message = supportMessage(farewell)->text();
    nameEdit(farewell)->setText(QStringLiteral("Ann"));
    forms::show<SectionWindow>();
    QVERIFY(forms::loaded<SectionWindow>());
    testing::control<QAction>(forms::loaded<SectionWindow>(), "mnuBack")->trigger();
    testing::flushDeletions();
    QVERIFY(forms::loaded<MainWindow>() && forms::loaded<MainWindow>()->isVisible());
    QVERIFY(!exitWindowVisible());
    QCOMPARE(m_env->processEnd->calls, 0);

    // Section window: File "E&xit" and the close box show the same exit window again.
    forms::show<SectionWindow>();
    forms::unload(forms::loaded<MainWindow>());
    forms::hide<ExitWindow>();
    QVERIFY(forms::loaded<SectionWindow>());
    testing::control<QAction>(forms::loaded<SectionWindow>(), "mnuExit")->trigger();
    QVERIFY(exitWindowVisible());
    QCOMPARE(forms::loaded<ExitWindow>(), farewell);
    QCOMPARE(supportMessage(farewell)->text(), message);
    QCOMPARE(nameEdit(farewell)->text(), QStringLiteral("Ann"));
    QCOMPARE(m_env->random->seeds, seeds); // the exit window was not loaded again
    forms::hide<ExitWindow>();
    forms::show<SectionWindow>();
    QVERIFY(forms::loaded<SectionWindow>());
    forms::loaded<SectionWindow>()->close();
    QVERIFY(exitWindowVisible());
    QCOMPARE(m_env->processEnd->calls, 0);
    QVERIFY(m_env->web->opened.isEmpty());
}

QTEST_MAIN(ReferralTest)
#include "tst_referral.moc"
