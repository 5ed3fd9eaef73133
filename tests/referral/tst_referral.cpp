// The "Refer A Friend" panel, the referral address and the exit window, driven as a user drives
// them.

#include "environment.h"
#include "controls.h"
#include "seed.h"

#include "core/identity.h"
#include "core/links.h"
#include "core/referral.h"
#include "gui/forms.h"
#include "gui/windows/exitwindow.h"
#include "gui/windows/mainwindow.h"
#include "gui/windows/sectionwindow.h"
#include "gui/windows/startupwindow.h"
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

Q_DECLARE_METATYPE(referral::ReferralValues)

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
        || address.section(QLatin1Char('?'), 0, 0) != links::kMakerWebSite + QStringLiteral("/qzpr-refer-a-friend.php")) {
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
        typeInto(w->m_nameEdit, QStringLiteral("Ann"));
        typeInto(w->m_emailEdit, QStringLiteral("ann@example.org"));
        typeInto(w->m_friendNameEdit, QStringLiteral("Bob"));
        typeInto(w->m_friendEmailEdit, QStringLiteral("bob@example.net"));
    }
    void submit(ExitWindow *w) { QTest::mouseClick(w->m_submitButton, Qt::LeftButton); }
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
        const referral::ReferralValues values{randomText(), randomText(), randomText(), randomText(),
                                                    randomText()};
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
    typeInto(w->m_nameEdit, QStringLiteral("Tom & Jerry"));
    submit(w);
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));

    QCOMPARE(catcher.urls.size(), 1);
    const QUrl &url = catcher.urls.front();
    QCOMPARE(url.host(), QUrl(links::kMakerWebSite).host());
    QCOMPARE(QString::fromUtf8(url.toEncoded()), w->referralUrl);
}

// --- The panel ----------------------------------------------------------------------------------

void ReferralTest::panelStartsWithItsPlaceholders()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    QCOMPARE(w->m_nameEdit->text(), QStringLiteral("Your Name"));
    QCOMPARE(w->m_emailEdit->text(), QStringLiteral("Your Email Address"));
    QCOMPARE(w->m_friendNameEdit->text(), QStringLiteral("Friend's Name"));
    QCOMPARE(w->m_friendEmailEdit->text(), QStringLiteral("Friend's Email Address"));
    QCOMPARE(ExitWindow::fieldText(w->m_messageEdit), kInitialMessage);
    for (QLineEdit *field : {w->m_nameEdit, w->m_emailEdit, w->m_friendNameEdit, w->m_friendEmailEdit})
        QCOMPARE(field->maxLength(), std::numeric_limits<int>::max());

    // The message field lies below the panel's edge: never seen, yet not hidden and still usable.
    QVERIFY(w->m_messageEdit->geometry().top() >= w->Frame2->height());
    QVERIFY(w->m_messageEdit->isVisible());
    QVERIFY(w->m_messageEdit->isEnabled());
    QVERIFY(w->m_messageEdit->visibleRegion().isEmpty());
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
    QCOMPARE(w->submitted.yourName, QStringLiteral("Your Name"));
    QCOMPARE(w->submitted.yourMessage, kInitialMessage);
    QCOMPARE(w->m_emailEdit->text(), QStringLiteral("Your Email Address"));
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
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    // The name still holds its placeholder: an address fault must be reported before it.
    w->m_emailEdit->setFocus(Qt::MouseFocusReason);
    w->m_emailEdit->insert(email);
    w->m_friendEmailEdit->setFocus(Qt::MouseFocusReason);
    w->m_friendEmailEdit->insert(friendEmail);
    submit(w);
    QCOMPARE(m_env->messages->texts(), QStringList{expected.isEmpty() ? kName : expected});
    QVERIFY(m_env->web->opened.isEmpty());
}

void ReferralTest::nameChecksFollowTheAddressChecks()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    fillProperly(w);

    typeInto(w->m_nameEdit, QStringLiteral("Your Name"));
    submit(w);
    QCOMPARE(m_env->messages->last(), kName);

    typeInto(w->m_nameEdit, QStringLiteral("  Your Name  "));
    submit(w);
    QCOMPARE(m_env->messages->last(), kName);

    typeInto(w->m_friendNameEdit, QStringLiteral("Friend's Name"));
    typeInto(w->m_nameEdit, QStringLiteral("your name"));
    submit(w);
    QCOMPARE(m_env->messages->last(), QStringLiteral("Please Enter Your Friend's Name"));
    QCOMPARE(m_env->messages->shown.size(), 3u);

    // The placeholder in other letter case is a name like any other.
    typeInto(w->m_friendNameEdit, QStringLiteral("friend's name"));
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
    QTest::newRow("same addresses first")
        << referral::ReferralValues{"", "a@b.c", "", "", "a@b.c"} << kDistinct;
    QTest::newRow("no @") << referral::ReferralValues{"", "ab.c", "", "", "d@e.f"} << kProper;
    QTest::newRow("no dot") << referral::ReferralValues{"", "a@b.c", "", "", "d@ef"} << kProper;
    QTest::newRow("name") << referral::ReferralValues{"", "a@b.c", "", "", "d@e.f"} << kName;
    QTest::newRow("name placeholder")
        << referral::ReferralValues{"Your Name", "a@b.c", "Hi", "Bob", "d@e.f"} << kName;
    QTest::newRow("message placeholder")
        << referral::ReferralValues{"Ann", "a@b.c", "Your Message", "", "d@e.f"} << kMessage;
    QTest::newRow("friend's name")
        << referral::ReferralValues{"Ann", "a@b.c", "Hi", "", "d@e.f"} << QStringLiteral("Please Enter Your Friend's Name");
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
    typeInto(w->m_nameEdit, QStringLiteral("Tom & Jerry = Friends"));
    submit(w);

    QVERIFY(m_env->messages->shown.empty());
    QCOMPARE(m_env->web->opened.size(), 1);
    QCOMPARE(m_env->web->opened.front(), w->referralUrl);
    QCOMPARE(openedQuery(), expectedQuery({QStringLiteral("Tom & Jerry = Friends"), QStringLiteral("ann@example.org"),
                                           kInitialMessage, QStringLiteral("Bob"),
                                           QStringLiteral("bob@example.net")}));

    // Nothing is reset, and the next press (Enter on the focused button) opens the page again.
    QCOMPARE(w->m_nameEdit->text(), QStringLiteral("Tom & Jerry = Friends"));
    QCOMPARE(ExitWindow::fieldText(w->m_messageEdit), kInitialMessage);
    QCOMPARE(QApplication::focusWidget(), w->m_submitButton);
    QTest::keyClick(w->m_submitButton, Qt::Key_Return);
    QCOMPARE(m_env->web->opened.size(), 2);
    QCOMPARE(m_env->web->opened.back(), m_env->web->opened.front());
    QVERIFY(m_env->messages->shown.empty());
}

void ReferralTest::namesAreTrimmedOfSpacesOnly()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    fillProperly(w);
    typeInto(w->m_nameEdit, QStringLiteral("   Ann  Lee   "));
    typeInto(w->m_friendNameEdit, QStringLiteral("Bob "));
    w->m_friendNameEdit->insert(QStringLiteral("\t")); // a pasted tab is not trimmed
    typeInto(w->m_emailEdit, QStringLiteral("ann@example.org"));
    submit(w);
    const Query query = openedQuery();
    QCOMPARE(query.value(0).second, QStringLiteral("Ann  Lee"));
    QCOMPARE(query.value(3).second, QStringLiteral("Bob \t"));
    QCOMPARE(w->submitted.yourName, QStringLiteral("Ann  Lee"));
    QCOMPARE(w->m_nameEdit->text(), QStringLiteral("   Ann  Lee   "));
}

void ReferralTest::nonLatinTextSurvives()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    fillProperly(w);
    typeInto(w->m_nameEdit, QStringLiteral("Zoë Ångström"));
    typeInto(w->m_friendNameEdit, QStringLiteral("李雷 \U0001F600 Ελένη"));
    typeInto(w->m_friendEmailEdit, QStringLiteral("lǐ@例子.中国"));
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
    QTest::mouseClick(w->m_emailEdit, Qt::LeftButton);
    QCOMPARE(w->m_emailEdit->text(), QString());
    QTest::keyClick(w->m_emailEdit, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w->m_friendEmailEdit);
    QCOMPARE(w->m_friendEmailEdit->text(), QString());
    // Leaving it empty brings the placeholder back.
    QCOMPARE(w->m_emailEdit->text(), QStringLiteral("Your Email Address"));

    // Only spaces count as empty; the placeholder typed with spaces around counts as the placeholder.
    QTest::keyClicks(w->m_friendEmailEdit, QStringLiteral("   "));
    QCOMPARE(m_env->messages->shown.size(), 3u); // the e-mail filter refused each space
    QTest::mouseClick(w->m_nameEdit, Qt::LeftButton);
    QTest::keyClicks(w->m_nameEdit, QStringLiteral("   "));
    QTest::mouseClick(w->m_friendNameEdit, Qt::LeftButton);
    QCOMPARE(w->m_nameEdit->text(), QStringLiteral("Your Name"));
    QCOMPARE(w->m_friendNameEdit->text(), QString());
    QTest::keyClicks(w->m_friendNameEdit, QStringLiteral(" Friend's Name  "));
    QTest::mouseClick(w->m_nameEdit, Qt::LeftButton);
    QCOMPARE(w->m_friendNameEdit->text(), QStringLiteral(" Friend's Name  "));
    QTest::mouseClick(w->m_friendNameEdit, Qt::LeftButton);
    QCOMPARE(w->m_friendNameEdit->text(), QString());

    // A field holding something else is left as it is, both ways.
    QTest::keyClicks(w->m_friendNameEdit, QStringLiteral("Bob"));
    QTest::mouseClick(w->m_nameEdit, Qt::LeftButton);
    QTest::mouseClick(w->m_friendNameEdit, Qt::LeftButton);
    QCOMPARE(w->m_friendNameEdit->text(), QStringLiteral("Bob"));
}

void ReferralTest::windowActivationLeavesFieldsAlone()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    for (const Qt::FocusReason reason : {Qt::ActiveWindowFocusReason, Qt::PopupFocusReason}) {
        QFocusEvent in(QEvent::FocusIn, reason);
        QApplication::sendEvent(w->m_nameEdit, &in);
        QCOMPARE(w->m_nameEdit->text(), QStringLiteral("Your Name"));
    }
    w->m_nameEdit->clear();
    for (const Qt::FocusReason reason : {Qt::ActiveWindowFocusReason, Qt::PopupFocusReason}) {
        QFocusEvent out(QEvent::FocusOut, reason);
        QApplication::sendEvent(w->m_nameEdit, &out);
        QCOMPARE(w->m_nameEdit->text(), QString());
    }
}

void ReferralTest::emptiedFieldIsReadAsItsPlaceholderOnAltN()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    fillProperly(w);
    QTest::mouseClick(w->m_nameEdit, Qt::LeftButton);
    w->m_nameEdit->selectAll();
    QTest::keyClick(w->m_nameEdit, Qt::Key_Delete);
    QTest::keyClick(w->m_nameEdit, Qt::Key_N, Qt::AltModifier);
    QTRY_COMPARE(m_env->messages->texts(), QStringList{kName});
    QCOMPARE(w->m_nameEdit->text(), QStringLiteral("Your Name"));
    QCOMPARE(w->submitted.yourName, QStringLiteral("Your Name"));
}

void ReferralTest::hiddenMessageFieldUntouchedAndEmptied()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    fillProperly(w);

    // Tabbing into the hidden field leaves its initial text alone: it is not the placeholder.
    QTest::mouseClick(w->m_friendNameEdit, Qt::LeftButton);
    QTest::keyClick(w->m_friendNameEdit, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w->m_messageEdit);
    QCOMPARE(ExitWindow::fieldText(w->m_messageEdit), kInitialMessage);
    QTest::keyClick(w->m_messageEdit, Qt::Key_Tab);
    QCOMPARE(ExitWindow::fieldText(w->m_messageEdit), kInitialMessage);
    submit(w);
    QCOMPARE(openedQuery().value(2).second, kInitialMessage);

    // Emptied there, it gets the placeholder back and blocks every later submit.
    w->m_messageEdit->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w->m_messageEdit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(w->m_messageEdit, Qt::Key_Delete);
    QCOMPARE(ExitWindow::fieldText(w->m_messageEdit), QString());
    QTest::keyClick(w->m_messageEdit, Qt::Key_Tab);
    QCOMPARE(ExitWindow::fieldText(w->m_messageEdit), QStringLiteral("Your Message"));
    submit(w);
    submit(w);
    QCOMPARE(m_env->messages->texts(), (QStringList{kMessage, kMessage}));
    QCOMPARE(m_env->web->opened.size(), 1);

    // Tabbing in now empties it; a typed message with its line breaks goes out as CR LF.
    w->m_messageEdit->setFocus(Qt::TabFocusReason);
    QCOMPARE(ExitWindow::fieldText(w->m_messageEdit), QString());
    QTest::keyClicks(w->m_messageEdit, QStringLiteral("Hi"));
    QTest::keyClick(w->m_messageEdit, Qt::Key_Return);
    QTest::keyClicks(w->m_messageEdit, QStringLiteral("there "));
    submit(w);
    QCOMPARE(m_env->web->opened.size(), 2);
    QString problem;
    QCOMPARE(decodeQuery(m_env->web->opened.back(), &problem).value(2).second, QStringLiteral("Hi\r\nthere"));
}

void ReferralTest::spaceFilterOnEmailFields()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    for (QLineEdit *field : {w->m_emailEdit, w->m_friendEmailEdit}) {
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
    typeInto(w->m_nameEdit, QStringLiteral("Ann Lee"));
    typeInto(w->m_friendNameEdit, QStringLiteral("Bob Roe"));
    QCOMPARE(w->m_nameEdit->text(), QStringLiteral("Ann Lee"));
    QCOMPARE(w->m_friendNameEdit->text(), QStringLiteral("Bob Roe"));
    QVERIFY(m_env->messages->shown.empty());
}

void ReferralTest::pastedSpacesPassTheFilter()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    fillProperly(w);

    QTest::mouseClick(w->m_emailEdit, Qt::LeftButton);
    w->m_emailEdit->selectAll();
    QGuiApplication::clipboard()->setText(QStringLiteral("ann lee@example.org"));
    QTest::keyClick(w->m_emailEdit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(w->m_emailEdit->text(), QStringLiteral("ann lee@example.org"));

    // Text from an input method is not a key press either.
    QTest::mouseClick(w->m_friendEmailEdit, Qt::LeftButton);
    w->m_friendEmailEdit->selectAll();
    QInputMethodEvent composed;
    composed.setCommitString(QStringLiteral("bob roe@example.net"));
    QApplication::sendEvent(w->m_friendEmailEdit, &composed);
    QCOMPARE(w->m_friendEmailEdit->text(), QStringLiteral("bob roe@example.net"));

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
    QCOMPARE(forms::loaded<ExitWindow>()->Label2->text(), ExitWindow::kSupportMessages[index]);
}

void ReferralTest::everySupportMessageAppearsWithTheRealSource()
{
    platform::installed().random = platform::productionServices().random;
    std::set<QString> seen;
    for (int run = 0; run < 200; ++run) {
        forms::hide<ExitWindow>();
        QVERIFY(forms::loaded<ExitWindow>());
        const QString text = forms::loaded<ExitWindow>()->Label2->text();
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
    forms::show<ExitWindow>();
    auto *w = forms::loaded<ExitWindow>();
    QVERIFY(w);
    const auto inside = [](QWidget *control) {
        return QRect(QPoint(0, 0), control->parentWidget()->size()).contains(control->geometry());
    };
    for (QWidget *control : std::initializer_list<QWidget *>{w->Picture1, w->Label1, w->Label2, w->Check1,
                                                              w->m_closeButton, w->Frame2, w->Frame6, w->Label3,
                                                              w->m_homeLink, w->m_nameEdit, w->m_emailEdit,
                                                              w->m_friendNameEdit, w->m_friendEmailEdit, w->m_submitButton})
        QVERIFY2(inside(control), qPrintable(control->objectName()));
    for (QLabel *label : std::initializer_list<QLabel *>{w->Label1, w->m_homeLink})
        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                 qPrintable(label->objectName()));
    for (QLabel *label : {w->Label2, w->Label3})
        QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(label->objectName()));
    QVERIFY(w->Check1->fontMetrics().horizontalAdvance(w->Check1->text()) < w->Check1->width());
    // The link stays wholly above the panel's bottom edge and clear of the text above it.
    QVERIFY(w->m_homeLink->geometry().top() >= w->Label3->geometry().top() + w->Label3->heightForWidth(w->Label3->width()));
    // The support message leaves room for the link below it.
    for (const QString &message : ExitWindow::kSupportMessages) {
        w->Label2->setText(message);
        QVERIFY(w->Label2->heightForWidth(w->Label2->width()) <= w->Check1->geometry().top() - w->Label2->geometry().top());
    }
}

void ReferralTest::tabOrderAndInitialFocus()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    QCOMPARE(QApplication::focusWidget(), w->m_closeButton);
    const QList<QWidget *> order{w->Check1, w->Picture1, w->m_nameEdit, w->m_submitButton, w->m_emailEdit,
                                 w->m_friendEmailEdit, w->m_friendNameEdit, w->m_messageEdit, w->m_closeButton};
    for (QWidget *expected : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), expected);
    }
    // Passing through the fields left each with its own content.
    QCOMPARE(w->m_nameEdit->text(), QStringLiteral("Your Name"));
    QCOMPARE(ExitWindow::fieldText(w->m_messageEdit), kInitialMessage);
    QVERIFY(m_env->messages->shown.empty());
}

void ReferralTest::check1IsALinkThatNeverStaysTicked()
{
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    QVERIFY(w->Check1->isCheckable());
    QCOMPARE(w->Check1->cursor().shape(), Qt::PointingHandCursor);
    const QString home = links::homePageAddress();

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
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    QCOMPARE(w->m_homeLink->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(w->m_homeLink->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    QTest::mouseClick(w->m_homeLink, Qt::LeftButton);
    QCOMPARE(m_env->web->opened, QStringList{links::productFamilyPageAddress()});
}

void ReferralTest::hiddenAndShownAgainKeepsEverything()
{
    m_env->random->values = {0.6f};
    ExitWindow *w = openExitWindow();
    QVERIFY(w);
    typeInto(w->m_nameEdit, QStringLiteral("Ann"));
    typeInto(w->m_friendEmailEdit, QStringLiteral("bob@example.net"));
    forms::hide<ExitWindow>();
    QVERIFY(!w->isVisible());
    m_env->random->values = {0.1f};
    forms::show<ExitWindow>();
    QCOMPARE(forms::loaded<ExitWindow>(), w);
    QVERIFY(w->isVisible());
    QCOMPARE(m_env->random->seeds, 1);
    QCOMPARE(w->Label2->text(), ExitWindow::kSupportMessages[2]);
    QCOMPARE(w->m_nameEdit->text(), QStringLiteral("Ann"));
    QCOMPARE(w->m_friendEmailEdit->text(), QStringLiteral("bob@example.net"));
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
    typeInto(w->m_nameEdit, QStringLiteral("Ann"));
    w->m_closeButton->setFocus(Qt::TabFocusReason);
    QCOMPARE(m_env->processEnd->calls, 0);
    const QPointer<ExitWindow> window(w);

    if (way == QStringLiteral("click"))
        QTest::mouseClick(w->m_closeButton, Qt::LeftButton);
    else if (way == QStringLiteral("alt+x"))
        QTest::keyClick(w, Qt::Key_X, Qt::AltModifier);
    else if (way == QStringLiteral("enter"))
        QTest::keyClick(w->m_closeButton, Qt::Key_Return);
    else if (way == QStringLiteral("space"))
        QTest::keyClick(w->m_closeButton, Qt::Key_Space);
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
    const QString message = farewell->Label2->text();
    farewell->m_nameEdit->setText(QStringLiteral("Ann"));
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
    QCOMPARE(farewell->Label2->text(), message);
    QCOMPARE(farewell->m_nameEdit->text(), QStringLiteral("Ann"));
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
