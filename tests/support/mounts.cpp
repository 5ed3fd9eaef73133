#include "mounts.h"

#include <QFile>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#endif

namespace testing {

#ifdef Q_OS_LINUX

namespace {
QString g_unavailable = QStringLiteral("the test program did not try to enter a private mount namespace");

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}
} // namespace

bool enterPrivateMountNamespace()
{
    if (::unshare(CLONE_NEWNS) != 0) {
        g_unavailable = systemError("unshare(CLONE_NEWNS)");
        return false;
    }
    // Without this, mounts would propagate back to the shared namespace.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        g_unavailable = systemError("mount --make-rprivate /");
        return false;
    }
    g_unavailable.clear();
    return true;
}

QString mountsUnavailableReason()
{
    return g_unavailable;
}

Mount Mount::readOnly(const QString &folder)
{
    Mount mount;
    mount.m_folder = folder;
    if (!g_unavailable.isEmpty()) {
        mount.m_error = g_unavailable;
        return mount;
    }
    const QByteArray path = QFile::encodeName(folder);
    if (::mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) != 0) {
        mount.m_error = systemError("bind mount");
        return mount;
    }
    mount.m_mounted = true;
    if (::mount(nullptr, path.constData(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0)
        mount.m_error = systemError("read-only remount");
    return mount;
}

Mount Mount::small(const QString &folder, int kilobytes)
{
    Mount mount;
    mount.m_folder = folder;
    if (!g_unavailable.isEmpty()) {
        mount.m_error = g_unavailable;
        return mount;
    }
    const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k,mode=0700";
    if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, options.constData()) != 0) {
        mount.m_error = systemError("tmpfs mount");
        return mount;
    }
    mount.m_mounted = true;
    return mount;
}

#else
// Elsewhere a folder cannot be made read-only for an administrator, nor a small disk made, without
// changing the machine itself.
bool enterPrivateMountNamespace()
{
    return false;
}

QString mountsUnavailableReason()
{
    return QStringLiteral("only Linux lets a test program mount a file system of its own");
}

Mount Mount::readOnly(const QString &folder)
{
    Mount mount;
    mount.m_folder = folder;
    mount.m_error = mountsUnavailableReason();
    return mount;
}

Mount Mount::small(const QString &folder, int)
{
    return readOnly(folder);
}
#endif

Mount::Mount(Mount &&other) noexcept
    : m_folder(std::move(other.m_folder)), m_error(std::move(other.m_error)), m_mounted(other.m_mounted)
{
    other.m_mounted = false;
}

Mount::~Mount()
{
#ifdef Q_OS_LINUX
    if (m_mounted)
        ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
#endif
}

} // namespace testing
