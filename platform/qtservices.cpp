// The production seams, Qt's on every platform.

#include "platform/qtservices.h"

#include "platform/screenlockwatch.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLockFile>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

#include <chrono>
#include <limits>
#include <random>

namespace platform {

namespace {

class QtWebLauncher final : public WebLauncher {
public:
    void open(const QString &address) override
    {
        // Addresses reach us fully encoded; strict parsing refuses anything that is not.
        const QUrl url = QUrl::fromEncoded(address.toUtf8(), QUrl::StrictMode);
        if (url.isValid())
            QDesktopServices::openUrl(url);
    }
};

// On Windows an INI file in the per-user application data folder rather than the registry: the
// settings sit beside the diary, and go with the user's profile and the uninstaller alike.
#ifdef Q_OS_WIN
constexpr QSettings::Format kSettingsFormat = QSettings::IniFormat;
#else
constexpr QSettings::Format kSettingsFormat = QSettings::NativeFormat;
#endif

class QtSettingsStore final : public SettingsStore {
public:
    QString read(const QString &application, const QString &section, const QString &key) override
    {
        QSettings store(kSettingsFormat, QSettings::UserScope, application);
        store.beginGroup(section);
        return store.value(key).toString();
    }

    bool write(const QString &application, const QString &section, const QString &key, const QString &value) override
    {
        QSettings store(kSettingsFormat, QSettings::UserScope, application);
        store.beginGroup(section);
        store.setValue(key, value);
        store.endGroup();
        store.sync();
        return store.status() == QSettings::NoError;
    }

    QString fileOf(const QString &application) const override
    {
        return QSettings(kSettingsFormat, QSettings::UserScope, application).fileName();
    }
};

class StandardRandom final : public RandomSource {
public:
    void seed() override
    {
        std::random_device device;
        const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        std::seed_seq sequence{device(), device(), static_cast<unsigned>(ticks),
                               static_cast<unsigned>(static_cast<unsigned long long>(ticks) >> 32)};
        m_engine.seed(sequence);
    }

    float next() override
    {
        // 24 random bits fill a float's mantissa exactly, so the result never rounds up to 1.
        return static_cast<float>(m_engine() >> 8) * (1.0f / 16777216.0f);
    }

private:
    std::mt19937 m_engine;
};

class HostSystemFacts final : public SystemFacts {
public:
    QString appDataFolder() const override
    {
        return QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    }

    QString programFolder() const override { return QDir::toNativeSeparators(QCoreApplication::applicationDirPath()); }
};

class LockFileInstanceLock final : public InstanceLock {
public:
    bool anotherInstanceRunning() override
    {
#ifdef Q_OS_WIN
        // Windows has no runtime folder (Qt gives the home folder); the user's own temp folder is
        // the nearest.
        QString folder = QDir::tempPath();
#else
        QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
#endif
        if (folder.isEmpty())
            folder = QDir::tempPath();
        m_lock = std::make_unique<QLockFile>(folder + QStringLiteral("/brimvale.lock"));
        // Only a dead owner makes a lock stale: a long-running instance keeps its claim.
        m_lock->setStaleLockTime(std::numeric_limits<int>::max());
        if (m_lock->tryLock(0))
            return false;
        // A lock we cannot even create must not keep the user out of the diary.
        return m_lock->error() == QLockFile::LockFailedError;
    }

private:
    std::unique_ptr<QLockFile> m_lock;
};

class EventLoopProcessEnd final : public ProcessEnd {
public:
    void end() override
    {
        m_requested = true;
        QCoreApplication::exit(0);
    }
    bool requested() const override { return m_requested; }

private:
    bool m_requested = false;
};

} // namespace

#ifndef BRIMVALE_HAS_DBUS
std::unique_ptr<ScreenLockWatch> desktopScreenLockWatch()
{
    return nullptr;
}
#endif

Services productionServices()
{
    Services services;
    services.web = std::make_unique<QtWebLauncher>();
    services.settings = std::make_unique<QtSettingsStore>();
    services.clock = systemClock();
    services.random = std::make_unique<StandardRandom>();
    services.system = std::make_unique<HostSystemFacts>();
    services.instanceLock = std::make_unique<LockFileInstanceLock>();
    services.processEnd = std::make_unique<EventLoopProcessEnd>();
    services.screenLock = desktopScreenLockWatch();
    return services;
}

} // namespace platform
