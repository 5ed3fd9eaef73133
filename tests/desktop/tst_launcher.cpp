// The real way out to the browser, under a real display: a fake browser registered as the
// desktop's default handler for https must receive the exact address, and the click must
// return while that browser is still running.

#include "controls.h"
#include "environment.h"

#include "core/identity.h"
#include "core/links.h"
#include "core/referral.h"
#include "gui/forms.h"
#include "gui/windows/mainwindow.h"
#include "gui/windows/startupwindow.h"
#include "platform/qtservices.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QtTest>

#include <memory>

namespace {
QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

bool writeText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}
} // namespace

class LauncherTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void linkStartsTheDefaultBrowserWithoutWaiting();
    void referralAddressReachesTheBrowserUnchanged();

private:
    QString browserFolder() const { return m_env->root() + QStringLiteral("/browser"); }
    QString opened() const { return browserFolder() + QStringLiteral("/opened"); }
    QString finished() const { return browserFolder() + QStringLiteral("/finished"); }
    void release() { QVERIFY(writeText(browserFolder() + QStringLiteral("/release"), "go")); }

    std::unique_ptr<testing::Environment> m_env;
};

void LauncherTest::initTestCase()
{
    app::setApplicationIdentity();
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty())
        QSKIP("xdg-open (package xdg-utils) is not installed");
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs a real display (run under xvfb-run); the offscreen platform opens no browser");
}

void LauncherTest::init()
{
    m_env = std::make_unique<testing::Environment>();
    platform::installed().web = platform::productionServices().web;

    // No desktop environment: the desktop's generic rules pick the default handler.
    for (const char *name :
         {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID", "BROWSER"})
        qunsetenv(name);
    QDir().mkpath(browserFolder());
    const QString script = browserFolder() + QStringLiteral("/fake-browser");
    QVERIFY(writeText(script,
                      "#!/bin/sh\n"
                      "printf '%s' \"$1\" > \""
                          + browserFolder().toUtf8()
                          + "/opened\"\n"
                            "n=0\n"
                            "while [ ! -e \""
                          + browserFolder().toUtf8()
                          + "/release\" ] && [ $n -lt 600 ]; do sleep 0.05; n=$((n+1)); done\n"
                            "touch \""
                          + browserFolder().toUtf8() + "/finished\"\n"));
    QVERIFY(QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    const QString applications = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/applications");
    QDir().mkpath(applications);
    QVERIFY(writeText(applications + QStringLiteral("/fake-browser.desktop"),
                      "[Desktop Entry]\nType=Application\nName=Fake Browser\nExec=" + script.toUtf8()
                          + " %u\nMimeType=x-scheme-handler/https;\n"));
    QVERIFY(writeText(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/mimeapps.list"),
                      "[Default Applications]\nx-scheme-handler/https=fake-browser.desktop\n"));
}

void LauncherTest::cleanup()
{
    release();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(finished()) || !QFile::exists(opened()), 10000);
    m_env.reset();
}

void LauncherTest::linkStartsTheDefaultBrowserWithoutWaiting()
{
    forms::ref<StartupWindow>();
    MainWindow *main = forms::loaded<MainWindow>();
    QVERIFY(main);
    testing::control<QAction>(main, "mnuOnline")->trigger();

    // The click has returned; the browser receives the address and is still running.
    QTRY_COMPARE_WITH_TIMEOUT(readText(opened()), links::onlineHelpPageAddress(), 15000);
    QVERIFY(!QFile::exists(finished()));
}

void LauncherTest::referralAddressReachesTheBrowserUnchanged()
{
    referral::ReferralValues values;
    values.yourName = QStringLiteral("Ann & Andy = 2");
    values.yourEmail = QStringLiteral("ann@example.org");
    values.yourMessage = QStringLiteral("Your Message\r\n");
    values.friendName = QStringLiteral("Zoë #1");
    values.friendEmail = QStringLiteral("zoe@example.org");
    const QString address = referral::referralAddress(links::kMakerWebSite, values);
    links::openWebAddress(address);
    QTRY_COMPARE_WITH_TIMEOUT(readText(opened()), address, 15000);
}

QTEST_MAIN(LauncherTest)
#include "tst_launcher.moc"
