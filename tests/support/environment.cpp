#include "environment.h"

#include "core/datafolder.h"
#include "gui/forms.h"
#include "platform/qtservices.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace testing {

namespace {
void setFolderVariable(const char *name, const QString &path)
{
    QDir().mkpath(path);
    qputenv(name, QFile::encodeName(path));
}
} // namespace

Environment::Environment()
{
    forms::startAfresh();
    flushDeletions();
    datafolder::folderPath.clear();

    setFolderVariable("HOME", root() + QStringLiteral("/home"));
    setFolderVariable("XDG_DATA_HOME", root() + QStringLiteral("/home/.local/share"));
    setFolderVariable("XDG_CONFIG_HOME", root() + QStringLiteral("/home/.config"));
    setFolderVariable("XDG_CACHE_HOME", root() + QStringLiteral("/home/.cache"));
    QDir().mkpath(programFolder());

    platform::Services services;
    auto add = [](auto &slot, auto *fake, auto *&observer) {
        observer = fake;
        slot.reset(fake);
    };
    add(services.web, new fakes::WebLauncher, web);
    add(services.settings, new fakes::SettingsStore, settings);
    add(services.clock, new fakes::Clock, clock);
    add(services.random, new fakes::RandomSource, random);
    add(services.system, new fakes::SystemFacts, system);
    add(services.instanceLock, new fakes::InstanceLock, instanceLock);
    add(services.processEnd, new fakes::ProcessEnd, processEnd);
    system->appData = dataFolder();
    system->program = programFolder();
    platform::install(std::move(services));
    messages = new fakes::MessageBoxes;
    gui::installMessages(std::unique_ptr<gui::MessageBoxes>(messages));
    files = new fakes::FileDialogs;
    gui::installFileDialogs(std::unique_ptr<gui::FileDialogs>(files));
}

Environment::~Environment()
{
    forms::startAfresh();
    flushDeletions();
    platform::install({});
    gui::installMessages(nullptr);
    gui::installFileDialogs(nullptr);
}

QString Environment::dataFolder() const
{
    return root() + QStringLiteral("/home/.local/share/Brimvale");
}

QString Environment::programFolder() const
{
    return root() + QStringLiteral("/program");
}

QString Environment::workingDiary() const
{
    return dataFolder() + QStringLiteral("/updatediary.dll");
}

QString Environment::starterDiary() const
{
    return programFolder() + QStringLiteral("/defaultdiary.dll");
}

void Environment::writeStarter(const QByteArray &bytes)
{
    QFile file(starterDiary());
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

void Environment::useRealSettings()
{
    settings = nullptr;
#ifdef Q_OS_WIN
    // Windows finds the user's settings folder by its known folder, not by a variable.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, root() + QStringLiteral("/home/.config"));
#endif
    platform::installed().settings = platform::productionServices().settings;
}

QString Environment::settingsFile() const
{
#ifdef Q_OS_WIN
    return root() + QStringLiteral("/home/.config/brimvale.ini");
#else
    return root() + QStringLiteral("/home/.config/brimvale.conf");
#endif
}

bool underWine()
{
#ifdef Q_OS_WIN
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
#else
    return false;
#endif
}

void flushDeletions()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace testing
