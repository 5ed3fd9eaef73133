// The maker's links, the update reminder with its scrambler, the About window and the rotation of
// the promotional labels, driven through the real windows where a user would meet them.

#include "controls.h"
#include "environment.h"
#include "sectionwindow.h"

#include "core/identity.h"
#include "core/links.h"
#include "core/reminder.h"
#include "gui/forms.h"
#include "gui/updatereminder.h"
#include "gui/windows/aboutdialog.h"
#include "gui/windows/mainwindow.h"
#include "gui/windows/startupwindow.h"
#include "platform/qtservices.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <functional>
#include <memory>

using gui::Answer;

namespace {

const QString kHome = QStringLiteral("https://www.brimvale.example");
const QString kOnlineHelp = QStringLiteral("https://www.brimvale.example/brimvale/brimvale-help.html");
const QString kDownload = QStringLiteral("https://www.brimvale.example/brimvale/download-brimvale.html");
const QString kDonate = QStringLiteral("https://help.brimvale.example/donate.html");
const QString kFullBrand = QStringLiteral("https://help.brimvale.example/fully-branded.html");
const QString kCoBrand = QStringLiteral("https://help.brimvale.example/co-brand.html");
const QString kProductFamily = QStringLiteral("https://www.brimvale.example/tarnwicksoftwares");

const QString kQuestion =
    QStringLiteral("There maybe an update to this software available\rDo you want to check for an update?");
// "Duration" moved up by the scrambling offset.
const QString kScrambledKey = QStringLiteral("Izwfynts");
const QString kStoredPath = QStringLiteral("brimvale/Settings/") + kScrambledKey;

const QDate kToday(2026, 12, 7);

// A launcher that lets a test look at the world at the moment a page is opened.
class ObservingLauncher final : public platform::WebLauncher {
public:
    std::function<void(const QString &)> onOpen;
    void open(const QString &address) override { onOpen(address); }
};

// The point where the desktop would start the browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

// The promotional frame of a window and its two labels, found by their object names.
chrome::PromoFrame promoOf(const QWidget *window)
{
    return {testing::control<QFrame>(window, QStringLiteral("fraFullBrand")),
            testing::control<ui::LinkLabel>(window, QStringLiteral("lblCobrand")),
            testing::control<ui::LinkLabel>(window, QStringLiteral("lblFullBrand"))};
}

QWidget *frontLabel(const chrome::PromoFrame &promo)
{
    const QObjectList children = promo.frame->children();
    return children.indexOf(promo.coBrand) > children.indexOf(promo.fullBrand)
        ? static_cast<QWidget *>(promo.coBrand)
        : static_cast<QWidget *>(promo.fullBrand);
}

// The label a user's pointer meets in the middle of the shared rectangle.
QWidget *labelUnderPointer(const chrome::PromoFrame &promo)
{
    return promo.frame->childAt(promo.fullBrand->geometry().center());
}

QStringList actionTexts(const QList<QAction *> &actions)
{
    QStringList texts;
    for (const QAction *action : actions)
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

// Clicks through the window system, where a modal window blocks the others.
void clickThroughWindow(QWidget *control)
{
    QWidget *window = control->window();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      control->mapTo(window, control->rect().center()));
}

} // namespace

class WebTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { app::setApplicationIdentity(); }
    void init()
    {
        m_env = std::make_unique<testing::Environment>();
        m_env->clock->setToday(kToday);
    }
    void cleanup()
    {
        m_env.reset();
        QLocale::setDefault(m_systemLocale);
    }

    void linkTableIsExact();
    void mainWindowMenusOpenTheirPageAndNothingElse_data();
    void mainWindowMenusOpenTheirPageAndNothingElse();
    void menuBarReadsAsDesignedWithMakeMoneyHidden();
    void donateIsReachableFromTheKeyboard();
    void mainWindowLinkLabelsOpenTheirPageAndNothingElse();
    void realLauncherHandsTheAddressToTheDesktop();

    void scramblerRoundTripsAndDropsWhatItCannotKeep();
    void firstRunRecordsTodayWithoutAsking();
    void reminderAsksOnlyOutsideTwoWeeks_data();
    void reminderAsksOnlyOutsideTwoWeeks();
    void yesRecordsTodayBeforeOpeningTheDownloadPage();
    void failedWriteOpensNoPage();
    void unreadableDateCountsAsAFirstRun();
    void localeChangeBetweenRunsReadsTheOldTextUnderTheNewRules();
    void twoDigitYearsResolveToTheNearestCentury_data();
    void twoDigitYearsResolveToTheNearestCentury();
    void everyLocaleReadsBackWhatItWrote();
    void realSettingsFileHoldsOnlyScrambledText();

    void startupRemindsBeforeTheMainWindowExists();
    void rotationBringsTheDrawnLabelToTheFront_data();
    void rotationBringsTheDrawnLabelToTheFront();

    void aboutWindowLooksAsDesigned();
    void aboutOpensModallyAndClosesLikeOk_data();
    void aboutOpensModallyAndClosesLikeOk();
    void aboutReopensAfresh();

private:
    void storeDateText(const QString &text) { m_env->settings->values[kStoredPath] = reminder::scrambleText(text); }
    QString storedDateText() const { return reminder::unscrambleText(m_env->settings->values.value(kStoredPath)); }
    int questions() const
    {
        int count = 0;
        for (const fakes::Message &message : m_env->messages->shown)
            count += message.question ? 1 : 0;
        return count;
    }
    // Opens the About window from the main window's Help menu; `inside` runs while it is modal and
    // must close it. A window left open is closed here, so that a failing test cannot hang.
    bool runAbout(MainWindow *main, const std::function<void(AboutDialog *)> &inside)
    {
        bool reached = false;
        QTimer::singleShot(0, this, [&] {
            auto *about = qobject_cast<AboutDialog *>(QApplication::activeModalWidget());
            reached = about != nullptr;
            if (reached)
                inside(about);
            else
                about = forms::loaded<AboutDialog>();
            if (!about)
                return;
            if (about->isVisible()) {
                m_aboutLeftOpen = true;
                about->done(QDialog::Rejected);
            }
        });
        testing::control<QAction>(main, "mnuAbout")->trigger();
        return reached;
    }

    std::unique_ptr<testing::Environment> m_env;
    QLocale m_systemLocale;
    bool m_aboutLeftOpen = false;
};

// ---------------------------------------------------------------------------------------------
// Links

void WebTest::linkTableIsExact()
{
    QCOMPARE(links::kMakerWebSite, kHome);
    QCOMPARE(links::kMakerHelpSite, QStringLiteral("https://help.brimvale.example"));

    const std::vector<std::pair<void (*)(), QString>> links{
        {links::homePage, kHome},
        {links::onlineHelpPage, kOnlineHelp},
        {links::downloadPage, kDownload},
        {links::donatePage, kDonate},
        {links::fullBrandPage, kFullBrand},
        {links::coBrandPage, kCoBrand},
        {links::productFamilyPage, kProductFamily},
    };
    QStringList expected;
    for (const auto &[open, address] : links) {
        QVERIFY2(address.startsWith(QStringLiteral("https://")), qPrintable(address));
        open();
        expected << address;
    }
    QCOMPARE(m_env->web->opened, expected);
    QVERIFY(!links::homePageAddress().endsWith(QLatin1Char('/')));
    QVERIFY(m_env->messages->shown.empty());
}

void WebTest::mainWindowMenusOpenTheirPageAndNothingElse_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("address");
    QTest::newRow("Online Help") << "mnuOnline" << kOnlineHelp;
    QTest::newRow("Visit Us Online") << "mnuVisit" << kHome;
    QTest::newRow("Check for Software Update") << "mnuUpdate" << kDownload;
    QTest::newRow("Donate") << "mnuDonate" << kDonate;
    // Hidden, but its action stays the one it would have if it were switched on.
    QTest::newRow("Make Money Online") << "mnuMakeMoney" << kFullBrand;
}

void WebTest::mainWindowMenusOpenTheirPageAndNothingElse()
{
    QFETCH(QString, entry);
    QFETCH(QString, address);
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    const auto loadedBefore = forms::loadOrder();
    const QString stored = m_env->settings->values.value(kStoredPath);

    auto *action = main->findChild<QAction *>(entry);
    QVERIFY(action);
    action->trigger();

    QCOMPARE(m_env->web->opened, QStringList{address});
    QVERIFY(m_env->messages->shown.empty());
    QCOMPARE(forms::loadOrder(), loadedBefore);
    QVERIFY(main->isVisible());
    QCOMPARE(m_env->settings->values.value(kStoredPath), stored);
}

void WebTest::menuBarReadsAsDesignedWithMakeMoneyHidden()
{
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    // "Make Money &Online" is switched off: it exists but stays off the bar, so that its access
    // key cannot be taken by a hidden entry.
    QCOMPARE(actionTexts(main->menuBar()->actions()), (QStringList{"&File", "&Help", "&Donate"}));
    QCOMPARE(
        actionTexts(testing::control<QMenu>(main, "mnuHelp")->actions()),
        (QStringList{"&Online Help", "&Visit Us Online", "-", "Check for Software &Update", "-", "&About Software"}));
    const QList<QAction *> help = testing::control<QMenu>(main, "mnuHelp")->actions();
    QCOMPARE(help.at(2)->objectName(), QStringLiteral("mnuFileSep1"));
    QCOMPARE(help.at(4)->objectName(), QStringLiteral("mnuFileSep2"));
    QVERIFY(testing::control<QAction>(main, "mnuDonate")->menu() == nullptr);

    QVERIFY(!testing::control<QAction>(main, "mnuMakeMoney")->isVisible());
    QCOMPARE(testing::control<QAction>(main, "mnuMakeMoney")->text(), QStringLiteral("Make Money &Online"));
    QVERIFY(!main->menuBar()->actionGeometry(testing::control<QAction>(main, "mnuDonate")).isEmpty());
}

void WebTest::donateIsReachableFromTheKeyboard()
{
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main));
    QTest::keyClick(main, Qt::Key_D, Qt::AltModifier);
    QTRY_COMPARE(m_env->web->opened, QStringList{kDonate});
}

void WebTest::mainWindowLinkLabelsOpenTheirPageAndNothingElse()
{
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    const struct {
        ui::LinkLabel *label;
        QString address;
        QString caption;
    } labels[] = {
        {testing::control<ui::LinkLabel>(main, "Label14"), kHome,
         QStringLiteral("The Most Popular Online Mystic Discussion Forum. Click Here To Visit Tarnwick Now")},
        {main->promo()->coBrand, kCoBrand,
         QStringLiteral("Co-brand this software for your site.  Increase loyalty and traffic to your site. Put "
                        "your site's name &  link here. See \"Help\" for details.    Click Here for more info "
                        "on co-branding.")},
        {main->promo()->fullBrand, kFullBrand,
         QStringLiteral("Home Business Opportunity. Start your own Internet business and make money online. Get "
                        "this software fully branded for your website. Click here for more details.")},
    };
    const auto loadedBefore = forms::loadOrder();
    for (const auto &link : labels) {
        m_env->web->opened.clear();
        QCOMPARE(link.label->text(), link.caption);
        QCOMPARE(link.label->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(link.label, Qt::LeftButton);
        QCOMPARE(m_env->web->opened, QStringList{link.address});
        QCOMPARE(link.label->text(), link.caption);
    }
    // A press that is dragged off the label before release is no click.
    m_env->web->opened.clear();
    QTest::mousePress(testing::control<ui::LinkLabel>(main, "Label14"), Qt::LeftButton);
    QTest::mouseRelease(testing::control<ui::LinkLabel>(main, "Label14"), Qt::LeftButton, Qt::NoModifier,
                        QPoint(-5, -5));
    QVERIFY(m_env->web->opened.isEmpty());

    QVERIFY(m_env->messages->shown.empty());
    QCOMPARE(forms::loadOrder(), loadedBefore);
    QVERIFY(main->isVisible());
}

void WebTest::realLauncherHandsTheAddressToTheDesktop()
{
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    platform::installed().web = platform::productionServices().web;

    // Offscreen there is no browser: a click changes nothing and reports nothing.
    QTest::mouseClick(testing::control<ui::LinkLabel>(main, "Label14"), Qt::LeftButton);
    QVERIFY(m_env->messages->shown.empty());
    QVERIFY(main->isVisible());

    UrlCatcher desktop;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &desktop, "open");
    QTest::mouseClick(testing::control<ui::LinkLabel>(main, "Label14"), Qt::LeftButton);
    testing::control<QAction>(main, "mnuUpdate")->trigger();
    links::productFamilyPage();
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));

    QCOMPARE(desktop.urls, (QList<QUrl>{QUrl(kHome), QUrl(kDownload), QUrl(kProductFamily)}));
    // Handed over as written: no slash appended to the bare host.
    QCOMPARE(desktop.urls.front().toString(QUrl::FullyEncoded), kHome);
}

// ---------------------------------------------------------------------------------------------
// Scrambler and update reminder

void WebTest::scramblerRoundTripsAndDropsWhatItCannotKeep()
{
    using reminder::scrambleText;
    using reminder::unscrambleText;
    const int offset = reminder::kScrambleOffset;

    QCOMPARE(scrambleText(QStringLiteral("Duration")), kScrambledKey);
    QVERIFY(!kScrambledKey.contains(QLatin1Char('/')) && !kScrambledKey.contains(QLatin1Char('\\')));
    QCOMPARE(unscrambleText(kScrambledKey), QStringLiteral("Duration"));
    QCOMPARE(scrambleText(QString()), QString());
    QCOMPARE(unscrambleText(QString()), QString());

    QString keepable;
    for (int code = 0; code <= 255 - offset; ++code)
        keepable.append(QChar(code));
    const QString scrambled = scrambleText(keepable);
    QCOMPARE(scrambled.size(), keepable.size());
    QCOMPARE(scrambled.front().unicode(), char16_t(offset));
    QCOMPARE(unscrambleText(scrambled), keepable);

    // Codes that would leave 0 to 255 are left out, and the rest goes on.
    QCOMPARE(scrambleText(QStringLiteral("a\u00ffb\u00fb")), QStringLiteral("fg"));
    QCOMPARE(unscrambleText(QString::fromLatin1("f\x04g\x00", 4)), QStringLiteral("ab"));
    // So are characters that Latin-1 has no code for, including both halves of a surrogate pair.
    QCOMPARE(scrambleText(QStringLiteral("a\u20acb\U0001F319")), QStringLiteral("fg"));
    QCOMPARE(unscrambleText(QStringLiteral("f\u0101g")), QStringLiteral("ab"));
}

void WebTest::firstRunRecordsTodayWithoutAsking()
{
    reminder::remindOfUpdate(QLocale(QStringLiteral("en_US")), kToday);
    QVERIFY(m_env->messages->shown.empty());
    QVERIFY(m_env->web->opened.isEmpty());
    QCOMPARE(reminder::durationKey, kScrambledKey);
    QCOMPARE(m_env->settings->values.keys(), QStringList{kStoredPath});
    QCOMPARE(m_env->settings->values.value(kStoredPath), reminder::scrambleText(QStringLiteral("12/7/26")));

    // The next start the same day is quiet and writes nothing.
    reminder::remindOfUpdate(QLocale(QStringLiteral("en_US")), kToday);
    QVERIFY(m_env->messages->shown.empty());
    QCOMPARE(m_env->settings->writes, 1);
}

void WebTest::reminderAsksOnlyOutsideTwoWeeks_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("recordedDaysFromToday");
    QTest::addColumn<bool>("asks");
    for (const char *locale : {"en_US", "de_DE", "en_GB"}) {
        const QByteArray name(locale);
        QTest::addRow("%s 14 days ago", locale) << QString::fromLatin1(name) << -14 << false;
        QTest::addRow("%s 15 days ago", locale) << QString::fromLatin1(name) << -15 << true;
        QTest::addRow("%s 14 days ahead", locale) << QString::fromLatin1(name) << 14 << false;
        QTest::addRow("%s 15 days ahead", locale) << QString::fromLatin1(name) << 15 << true;
    }
    QTest::newRow("a year ago") << "en_US" << -365 << true;
    QTest::newRow("today") << "en_US" << 0 << false;
}

void WebTest::reminderAsksOnlyOutsideTwoWeeks()
{
    QFETCH(QString, locale);
    QFETCH(int, recordedDaysFromToday);
    QFETCH(bool, asks);
    const QLocale regional(locale);
    const QString recorded = regional.toString(kToday.addDays(recordedDaysFromToday), QLocale::ShortFormat);
    storeDateText(recorded);
    m_env->messages->answers = {Answer::No};

    reminder::remindOfUpdate(regional, kToday);

    QVERIFY(m_env->web->opened.isEmpty());
    if (!asks) {
        QVERIFY(m_env->messages->shown.empty());
        QCOMPARE(m_env->settings->writes, 0);
        QCOMPARE(storedDateText(), recorded);
        return;
    }
    QCOMPARE(m_env->messages->texts(), QStringList{kQuestion});
    const fakes::Message &asked = m_env->messages->shown.front();
    QVERIFY(asked.question);
    QCOMPARE(asked.icon, gui::MessageIcon::Information);
    QVERIFY(asked.parent == nullptr);
    QCOMPARE(m_env->settings->writes, 1);
    QCOMPARE(storedDateText(), regional.toString(kToday, QLocale::ShortFormat));

    // Answered once: quiet again until two more weeks have passed.
    reminder::remindOfUpdate(regional, kToday.addDays(14));
    QCOMPARE(questions(), 1);
    reminder::remindOfUpdate(regional, kToday.addDays(15));
    QCOMPARE(questions(), 2);
}

void WebTest::yesRecordsTodayBeforeOpeningTheDownloadPage()
{
    storeDateText(QStringLiteral("11/22/26"));
    m_env->messages->answers = {Answer::Yes};
    QStringList opened;
    QString recordedWhenOpened;
    auto *launcher = new ObservingLauncher;
    launcher->onOpen = [&](const QString &address) {
        opened << address;
        recordedWhenOpened = storedDateText();
    };
    platform::installed().web.reset(launcher);

    reminder::remindOfUpdate(QLocale(QStringLiteral("en_US")), kToday);

    QCOMPARE(questions(), 1);
    QCOMPARE(opened, QStringList{kDownload});
    QCOMPARE(recordedWhenOpened, QStringLiteral("12/7/26"));
}

void WebTest::failedWriteOpensNoPage()
{
    const QLocale us(QStringLiteral("en_US"));
    storeDateText(QStringLiteral("11/22/26"));
    m_env->settings->failWrites = true;
    m_env->messages->answers = {Answer::Yes};
    reminder::remindOfUpdate(us, kToday);
    QCOMPARE(questions(), 1);
    QCOMPARE(m_env->settings->writes, 1);
    QVERIFY(m_env->web->opened.isEmpty());
    // Nothing was recorded, so the next start asks again.
    QCOMPARE(storedDateText(), QStringLiteral("11/22/26"));

    // A first run whose write fails stays a first run, and asks nothing.
    m_env->settings->values.clear();
    m_env->messages->shown.clear();
    reminder::remindOfUpdate(us, kToday);
    QVERIFY(m_env->messages->shown.empty());
    QVERIFY(m_env->settings->values.isEmpty());
    QVERIFY(m_env->web->opened.isEmpty());
}

void WebTest::unreadableDateCountsAsAFirstRun()
{
    const QLocale us(QStringLiteral("en_US"));
    // Garbage that unscrambles to text, and a value that unscrambles to nothing at all.
    for (const QString &stored :
         {reminder::scrambleText(QStringLiteral("not a date")), QString::fromLatin1("\x01\x02", 2)}) {
        m_env->settings->values[kStoredPath] = stored;
        m_env->settings->writes = 0;
        reminder::remindOfUpdate(us, kToday);
        QVERIFY(m_env->messages->shown.empty());
        QCOMPARE(m_env->settings->writes, 1);
        QCOMPARE(storedDateText(), QStringLiteral("12/7/26"));
    }
    // From then on the reminder works again: fifteen days later it asks.
    reminder::remindOfUpdate(us, kToday.addDays(15));
    QCOMPARE(questions(), 1);
}

void WebTest::localeChangeBetweenRunsReadsTheOldTextUnderTheNewRules()
{
    const QLocale us(QStringLiteral("en_US"));
    reminder::remindOfUpdate(us, kToday);
    QCOMPARE(storedDateText(), QStringLiteral("12/7/26"));

    // Day first: "12/7/26" now reads as 12 July, 148 days before the next day.
    const QLocale australia(QStringLiteral("en_AU"));
    QCOMPARE(reminder::readReminderDate(australia, storedDateText(), kToday.addDays(1)), QDate(2026, 7, 12));
    reminder::remindOfUpdate(australia, kToday.addDays(1));
    QCOMPARE(questions(), 1);
    QCOMPARE(storedDateText(), QStringLiteral("8/12/26"));

    // Dots instead of slashes: the old text does not read at all, so it counts as a first run.
    const QLocale german(QStringLiteral("de_DE"));
    reminder::remindOfUpdate(german, kToday.addDays(20));
    QCOMPARE(questions(), 1);
    QCOMPARE(storedDateText(), QStringLiteral("27.12.26"));
    reminder::remindOfUpdate(german, kToday.addDays(35));
    QCOMPARE(questions(), 2);
}

void WebTest::twoDigitYearsResolveToTheNearestCentury_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QDate>("read");
    QTest::newRow("en_US") << "en_US"
                           << "12/7/26" << kToday << QDate(2026, 12, 7);
    QTest::newRow("de_DE") << "de_DE"
                           << "07.12.26" << kToday << QDate(2026, 12, 7);
    QTest::newRow("en_GB four digits") << "en_GB"
                                       << "07/12/2026" << kToday << QDate(2026, 12, 7);
    QTest::newRow("en_GB early year") << "en_GB"
                                      << "07/12/0026" << kToday << QDate(26, 12, 7);
    QTest::newRow("last century") << "en_US"
                                  << "1/5/77" << kToday << QDate(1977, 1, 5);
    QTest::newRow("next century") << "de_DE"
                                  << "03.01.00" << QDate(2099, 12, 28) << QDate(2100, 1, 3);
    QTest::newRow("across the turn") << "en_US"
                                     << "12/25/99" << QDate(2100, 1, 5) << QDate(2099, 12, 25);
    QTest::newRow("ISO fallback") << "en_US"
                                  << "2026-11-22" << kToday << QDate(2026, 11, 22);
    QTest::newRow("ISO fallback, de_DE") << "de_DE"
                                         << "2026-11-22" << kToday << QDate(2026, 11, 22);
    QTest::newRow("unreadable") << "en_US"
                                << "13/45/26" << kToday << QDate();
    QTest::newRow("other locale's text") << "en_GB"
                                         << "12/7/26" << kToday << QDate();
}

void WebTest::twoDigitYearsResolveToTheNearestCentury()
{
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(QDate, today);
    QFETCH(QDate, read);
    const std::optional<QDate> date = reminder::readReminderDate(QLocale(locale), text, today);
    QCOMPARE(date.value_or(QDate()), read);
}

void WebTest::everyLocaleReadsBackWhatItWrote()
{
    const QList<QLocale> locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    int isoFallbacks = 0;
    for (const QLocale &locale : locales) {
        for (QDate day(2026, 1, 31); day.year() == 2026; day = day.addMonths(1)) {
            const QString text = reminder::reminderDateText(locale, day);
            QVERIFY2(reminder::unscrambleText(reminder::scrambleText(text)) == text,
                     qPrintable(locale.name() + QLatin1Char(' ') + text));
            const std::optional<QDate> read = reminder::readReminderDate(locale, text, day);
            QVERIFY2(read == day, qPrintable(locale.name() + QLatin1Char(' ') + text));
            isoFallbacks += text == day.toString(Qt::ISODate)
                && locale.dateFormat(QLocale::ShortFormat) != QStringLiteral("yyyy-MM-dd");
        }
    }
    // Locales whose short date leaves Latin-1 (native digits, right-to-left marks, Cyrillic) fall back.
    QVERIFY(isoFallbacks > 0);
    QCOMPARE(reminder::reminderDateText(QLocale(QStringLiteral("bg_BG")), kToday), QStringLiteral("2026-12-07"));
    QCOMPARE(reminder::reminderDateText(QLocale(QStringLiteral("ar_EG")), kToday), QStringLiteral("2026-12-07"));
}

void WebTest::realSettingsFileHoldsOnlyScrambledText()
{
    m_env->useRealSettings();
    const QLocale us(QStringLiteral("en_US"));
    const QString file = m_env->settingsFile();

    reminder::remindOfUpdate(us, kToday);
    QVERIFY(QFile::exists(file));
    {
        QSettings ini(file, QSettings::IniFormat);
        QCOMPARE(ini.childGroups(), QStringList{QStringLiteral("Settings")});
        QCOMPARE(ini.value(QStringLiteral("Settings/") + kScrambledKey).toString(),
                 reminder::scrambleText(QStringLiteral("12/7/26")));
    }
    QFile raw(file);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    const QByteArray content = raw.readAll();
    QVERIFY(!content.contains("Duration"));
    QVERIFY(!content.contains("12/7/26"));
    raw.close();

    // A fresh store reads it back: quiet within two weeks, a question after.
    reminder::remindOfUpdate(us, kToday.addDays(14));
    QVERIFY(m_env->messages->shown.empty());
    m_env->messages->answers = {Answer::Yes};
    reminder::remindOfUpdate(us, kToday.addDays(15));
    QCOMPARE(questions(), 1);
    QCOMPARE(m_env->web->opened, QStringList{kDownload});
    QCOMPARE(QSettings(file, QSettings::IniFormat).value(QStringLiteral("Settings/") + kScrambledKey).toString(),
             reminder::scrambleText(QStringLiteral("12/22/26")));

    // A folder where the file belongs: the store reports the failed write, and the reminder, finding
    // nothing to read, asks nothing and opens nothing.
    QVERIFY(QFile::remove(file));
    QVERIFY(QDir().mkpath(file));
    QVERIFY(!platform::settings().write(app::kSettingsApplication, QStringLiteral("Settings"), kScrambledKey,
                                        QStringLiteral("x")));
    reminder::remindOfUpdate(us, kToday.addDays(40));
    QCOMPARE(questions(), 1);
    QCOMPARE(m_env->web->opened, QStringList{kDownload});
}

// ---------------------------------------------------------------------------------------------
// Start-up: reminder and rotation

void WebTest::startupRemindsBeforeTheMainWindowExists()
{
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    storeDateText(QStringLiteral("22.11.26"));
    m_env->messages->answers = {Answer::Yes};
    bool mainLoadedDuringQuestion = true;
    std::vector<forms::Form *> loadedDuringQuestion;
    m_env->messages->whileShown = [&](const fakes::Message &) {
        mainLoadedDuringQuestion = forms::loaded<MainWindow>() != nullptr;
        loadedDuringQuestion = forms::loadOrder();
    };
    bool mainLoadedWhenPageOpened = true;
    auto *launcher = new ObservingLauncher;
    launcher->onOpen = [&](const QString &) { mainLoadedWhenPageOpened = forms::loaded<MainWindow>() != nullptr; };
    platform::installed().web.reset(launcher);

    MainWindow *main = testing::startProgram();
    QVERIFY(main);

    QCOMPARE(questions(), 1);
    QVERIFY(!mainLoadedDuringQuestion);
    QCOMPARE(loadedDuringQuestion.size(), size_t(1));
    QVERIFY(dynamic_cast<StartupWindow *>(loadedDuringQuestion.front()));
    QVERIFY(!mainLoadedWhenPageOpened);
    QCOMPARE(storedDateText(), QStringLiteral("07.12.26"));
    QVERIFY(main->isVisible());
}

void WebTest::rotationBringsTheDrawnLabelToTheFront_data()
{
    QTest::addColumn<float>("r");
    QTest::addColumn<int>("drawn");
    QTest::addColumn<bool>("coBrandInFront");
    QTest::newRow("0.0 gives 1") << 0.0f << 1 << true;
    QTest::newRow("0.2 gives 2") << 0.2f << 2 << false;
    QTest::newRow("0.25: 2.5 rounds to even 2") << 0.25f << 2 << false;
    QTest::newRow("0.4 gives 3") << 0.4f << 3 << true;
    QTest::newRow("0.75: 5.5 rounds to even 6") << 0.75f << 6 << false;
    QTest::newRow("0.95 gives 7, nothing moves") << 0.95f << 7 << false;
}

void WebTest::rotationBringsTheDrawnLabelToTheFront()
{
    QFETCH(float, r);
    QFETCH(int, drawn);
    QFETCH(bool, coBrandInFront);
    m_env->random->values = {r};
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    auto *startup = forms::loaded<StartupWindow>();
    QVERIFY(startup);

    QCOMPARE(startup->coBrandNumber(), qint16(drawn));
    QWidget *expected = coBrandInFront ? static_cast<QWidget *>(promoOf(main).coBrand)
                                       : static_cast<QWidget *>(promoOf(main).fullBrand);
    QCOMPARE(frontLabel(promoOf(main)), expected);
    QCOMPARE(labelUnderPointer(promoOf(main)), expected);
    QCOMPARE(frontLabel(promoOf(startup)),
             coBrandInFront ? static_cast<QWidget *>(promoOf(startup).coBrand)
                            : static_cast<QWidget *>(promoOf(startup).fullBrand));

    // Where the user clicks, the label in front answers.
    QTest::mouseClick(labelUnderPointer(promoOf(main)), Qt::LeftButton);
    QCOMPARE(m_env->web->opened, QStringList{coBrandInFront ? kCoBrand : kFullBrand});
}

// ---------------------------------------------------------------------------------------------
// About window

void WebTest::aboutWindowLooksAsDesigned()
{
    auto *about = forms::ref<AboutDialog>();
    about->show();
    QVERIFY(about->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(about->isModal());
    QCOMPARE(about->windowTitle(), QStringLiteral("Brimvale v2.05"));
    QCOMPARE(about->size(), QSize(474, 213)); // 7110 x 3195 twips
    QCOMPARE(about->palette().color(QPalette::Window), QColor(Qt::black));
    QVERIFY(about->autoFillBackground());

    QLabel *title = testing::control<QLabel>(about, QStringLiteral("Label2"));
    QLabel *description = testing::control<QLabel>(about, QStringLiteral("Label1"));
    QLabel *homePageLink = testing::control<QLabel>(about, QStringLiteral("lblHomePage"));
    QLabel *fullBrand = testing::control<QLabel>(about, QStringLiteral("Label3"));
    QLabel *coBrandLink = testing::control<QLabel>(about, QStringLiteral("lblCoBrand"));
    QLabel *icon = testing::control<QLabel>(about, QStringLiteral("picIcon"));
    QFrame *line = testing::control<QFrame>(about, QStringLiteral("Line2"));
    QPushButton *ok = testing::control<QPushButton>(about, QStringLiteral("cmdOK"));

    const struct {
        QLabel *label;
        QRect twips;
        QString text;
        qreal points;
        bool bold;
        bool link;
    } labels[] = {
        {title, {840, 45, 3570, 345}, QStringLiteral("Brimvale v2.05"), 14.25, true, false},
        {description,
         {840, 510, 6165, 975},
         QStringLiteral("Brimvale is a tool which helps you to keep a record of your personal notes; it is a diary "
                        "which enables you to keep a track of your spiritual or magikal experiences. The program "
                        "also allows you to record your dreams, interpretations, aspirations and affirmations."),
         8.25,
         false,
         false},
        {homePageLink, {2955, 1485, 4050, 195}, QStringLiteral("Click here to visit Tarnwick"), 8.25, false, true},
        {fullBrand,
         {120, 1800, 6885, 435},
         QStringLiteral("Home Business Opportunity. Start your own Internet business and make money online. Get "
                        "this software fully branded for your website."),
         8.25,
         true,
         false},
        {coBrandLink, {4710, 2235, 2295, 195}, QStringLiteral("Click here for more details"), 8.25, false, true},
    };
    for (const auto &expected : labels) {
        QLabel *label = expected.label;
        const QRect drawn =
            ui::twips(expected.twips.x(), expected.twips.y(), expected.twips.width(), expected.twips.height());
        QCOMPARE(label->text(), expected.text);
        QCOMPARE(label->pos(), drawn.topLeft());
        QCOMPARE(label->width(), drawn.width());
        QCOMPARE(label->font().family(), QStringLiteral("Verdana"));
        QCOMPARE(label->font().pointSizeF(), expected.points);
        QCOMPARE(label->font().bold(), expected.bold);
        QCOMPARE(label->font().underline(), expected.link);
        QCOMPARE(label->cursor().shape(), expected.link ? Qt::PointingHandCursor : Qt::ArrowCursor);
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(224, 224, 224));
        QVERIFY(!label->autoFillBackground());
        // Whole captions: the wrapped text fits the label, and the label fits the window.
        QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(label->objectName()));
        QVERIFY(about->rect().contains(label->geometry()));
    }
    // The texts do not run into each other.
    QVERIFY(description->geometry().bottom() < homePageLink->y());
    QVERIFY(homePageLink->geometry().bottom() < fullBrand->y());
    QVERIFY(fullBrand->geometry().bottom() < coBrandLink->y());
    QVERIFY(coBrandLink->geometry().bottom() < line->y());

    QCOMPARE(icon->geometry(), QRect(8, 3, 32, 32));
    QCOMPARE(icon->pixmap().deviceIndependentSize().toSize(), QSize(32, 32));
    QCOMPARE(line->geometry().top(), 175);
    QCOMPARE(line->height(), 2);
    QCOMPARE(line->x(), 0);
    QVERIFY(line->geometry().right() >= about->width() - 1);
    QCOMPARE(line->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QCOMPARE(ok->geometry(), QRect(383, 184, 84, 23));
    QVERIFY(ok->isDefault());
}

void WebTest::aboutOpensModallyAndClosesLikeOk_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("OK") << "OK";
    QTest::newRow("Enter") << "Enter";
    QTest::newRow("keypad Enter") << "keypad Enter";
    QTest::newRow("Esc") << "Esc";
}

void WebTest::aboutOpensModallyAndClosesLikeOk()
{
    QFETCH(QString, how);
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main));
    m_aboutLeftOpen = false;

    bool modal = false, registered = false, blockedOwner = false, openAfterLinks = false, focusOnOk = false;
    QStringList openedInside;
    const bool reached = runAbout(main, [&](AboutDialog *about) {
        modal = about->isVisible() && about->windowModality() == Qt::ApplicationModal;
        registered = forms::loaded<AboutDialog>() == about;
        focusOnOk = about->focusWidget() == testing::control<QPushButton>(about, QStringLiteral("cmdOK"));

        // The main window takes no clicks while the About window is open.
        clickThroughWindow(testing::control<ui::LinkLabel>(main, "Label14"));
        clickThroughWindow(testing::control<QPushButton>(main, "cmdContinue"));
        blockedOwner = m_env->web->opened.isEmpty() && m_env->messages->shown.empty();

        QTest::mouseClick(testing::control<QLabel>(about, QStringLiteral("lblHomePage")), Qt::LeftButton);
        QTest::mouseClick(testing::control<QLabel>(about, QStringLiteral("lblCoBrand")), Qt::LeftButton);
        openedInside = m_env->web->opened;
        openAfterLinks = about->isVisible() && forms::loaded<AboutDialog>() == about;

        if (how == QLatin1String("OK"))
            QTest::mouseClick(testing::control<QPushButton>(about, QStringLiteral("cmdOK")), Qt::LeftButton);
        else if (how == QLatin1String("Enter"))
            QTest::keyClick(about->windowHandle(), Qt::Key_Return);
        else if (how == QLatin1String("keypad Enter"))
            QTest::keyClick(about->windowHandle(), Qt::Key_Enter, Qt::KeypadModifier);
        else
            QTest::keyClick(about->windowHandle(), Qt::Key_Escape);
    });

    QVERIFY(reached);
    QVERIFY(modal);
    QVERIFY(registered);
    QVERIFY(focusOnOk);
    QVERIFY(blockedOwner);
    QCOMPARE(openedInside, (QStringList{kHome, kFullBrand}));
    QVERIFY(openAfterLinks);
    QVERIFY2(!m_aboutLeftOpen, "the key or button did not close the About window");
    QVERIFY(!forms::loaded<AboutDialog>());
    QVERIFY(main->isVisible());
    QCOMPARE(forms::loaded<MainWindow>(), main);

    // With the About window gone, the same click through the window system reaches the main window.
    clickThroughWindow(testing::control<ui::LinkLabel>(main, "Label14"));
    QCOMPARE(m_env->web->opened, (QStringList{kHome, kFullBrand, kHome}));
}

void WebTest::aboutReopensAfresh()
{
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    QPointer<AboutDialog> first;
    QVERIFY(runAbout(main, [&](AboutDialog *about) {
        first = about;
        testing::control<QLabel>(about, QStringLiteral("Label1"))->setText(QStringLiteral("changed while open"));
        QTest::keyClick(about->windowHandle(), Qt::Key_Escape);
    }));
    testing::flushDeletions();
    QVERIFY(first.isNull());

    QString text;
    bool focusOnOk = false;
    QVERIFY(runAbout(main, [&](AboutDialog *about) {
        text = testing::control<QLabel>(about, QStringLiteral("Label1"))->text();
        focusOnOk = about->focusWidget() == testing::control<QPushButton>(about, QStringLiteral("cmdOK"));
        QTest::mouseClick(testing::control<QPushButton>(about, QStringLiteral("cmdOK")), Qt::LeftButton);
    }));
    QVERIFY(!m_aboutLeftOpen);
    QVERIFY(text.startsWith(QStringLiteral("Brimvale is a tool")));
    QVERIFY(focusOnOk);
    QVERIFY(!forms::loaded<AboutDialog>());
}

QTEST_MAIN(WebTest)
#include "tst_web.moc"
