#include "platform/dbusscreenlockwatch.h"

#include "platform/screenlockwatch.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>

namespace platform {

namespace {
const QString kLogin = QStringLiteral("org.freedesktop.login1");

// This process's own session: another user's lock is not ours.
QString ownSessionPath(QDBusConnection &bus)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kLogin, QStringLiteral("/org/freedesktop/login1"),
                                                       QStringLiteral("org.freedesktop.login1.Manager"),
                                                       QStringLiteral("GetSessionByPID"));
    call << quint32(QCoreApplication::applicationPid());
    // Asked once, at the start; a login manager that does not answer soon is left out.
    const QDBusMessage reply = bus.call(call, QDBus::Block, 2000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return qvariant_cast<QDBusObjectPath>(reply.arguments().constFirst()).path();
}
} // namespace

void DBusScreenLockWatch::listen(std::function<void()> locked)
{
    m_locked = std::move(locked);
    QDBusConnection session = QDBusConnection::sessionBus();
    if (session.isConnected())
        for (const QString &screenSaver :
             {QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("org.gnome.ScreenSaver")})
            session.connect(QString(), QString(), screenSaver, QStringLiteral("ActiveChanged"), this,
                            SLOT(screenSaverChanged(bool)));
    QDBusConnection system = QDBusConnection::systemBus();
    if (!system.isConnected())
        return;
    if (const QString own = ownSessionPath(system); !own.isEmpty())
        system.connect(kLogin, own, QStringLiteral("org.freedesktop.login1.Session"), QStringLiteral("Lock"), this,
                       SLOT(sessionLocked()));
}

void DBusScreenLockWatch::screenSaverChanged(bool active)
{
    if (active && m_locked)
        m_locked();
}

void DBusScreenLockWatch::sessionLocked()
{
    if (m_locked)
        m_locked();
}

std::unique_ptr<ScreenLockWatch> desktopScreenLockWatch()
{
    return std::make_unique<DBusScreenLockWatch>();
}

} // namespace platform
