#pragma once

// The seams between Brimvale and the operating system or the user's time, as interfaces.
// Everything the program asks of the platform goes through one of them, so that tests can
// replace it and the Linux/Windows difference stays in one place: platform/ implements them,
// tests/support fakes them. (Message boxes are the windows' own seam, in gui/messages.h.)

#include <QDate>
#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>

namespace platform {

// Opens an address in the user's default browser without waiting for it.
class WebLauncher {
public:
    virtual ~WebLauncher() = default;
    virtual void open(const QString &address) = 0;
};

// Per-user text values addressed by application name, section and key.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // Empty when the key was never written.
    virtual QString read(const QString &application, const QString &section, const QString &key) = 0;
    // False when the value could not be stored.
    virtual bool write(const QString &application, const QString &section, const QString &key,
                       const QString &value) = 0;
    // The file that holds them, so that nothing else is ever written over it; empty where they
    // are kept in no file.
    virtual QString fileOf(const QString & /*application*/) const { return {}; }
};

// The user's time: nothing reads the wall clock but through this.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDate today() const = 0;
    // Local date and time.
    virtual QDateTime now() const = 0;
};

class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual void seed() = 0;
    // A value in [0, 1).
    virtual float next() = 0;
};

class SystemFacts {
public:
    virtual ~SystemFacts() = default;
    // Absolute paths without a trailing separator; empty when the platform cannot say.
    virtual QString appDataFolder() const = 0;
    virtual QString programFolder() const = 0;
};

class InstanceLock {
public:
    virtual ~InstanceLock() = default;
    // Asked once at start-up; a running instance keeps its claim until it ends.
    virtual bool anotherInstanceRunning() = 0;
};

class ProcessEnd {
public:
    virtual ~ProcessEnd() = default;
    virtual void end() = 0;
    // Whether end() was called; main() must not enter the event loop after a refused start.
    virtual bool requested() const = 0;
};

// Asks the user for the password of a diary that the built-in key does not open. Each password
// the user gives goes to tryPassword, which says whether it opened the diary; the prompt goes on
// asking, saying the last one was wrong, until one does (true) or the user gives up (false).
class PasswordPrompt {
public:
    virtual ~PasswordPrompt() = default;
    virtual bool ask(const QString &diaryPath, const std::function<bool(const QString &password)> &tryPassword) = 0;
};

// Tells when the desktop session locks or its screen saver starts. Each watcher has one
// listener, given once.
class ScreenLockWatch {
public:
    virtual ~ScreenLockWatch() = default;
    virtual void listen(std::function<void()> locked) = 0;
    virtual bool listening() const = 0;
};

// The computer's own clock. It is also the clock in use while none is installed, so that the
// store works the same in a tool that installs no seams.
std::unique_ptr<Clock> systemClock();

struct Services {
    std::unique_ptr<WebLauncher> web;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<RandomSource> random;
    std::unique_ptr<SystemFacts> system;
    std::unique_ptr<InstanceLock> instanceLock;
    std::unique_ptr<ProcessEnd> processEnd;
    // None where nobody can be asked: a diary with a password of its own does not open there.
    std::unique_ptr<PasswordPrompt> passwordPrompt;
    // None where the platform cannot tell (no message bus): the lock goes by time alone there.
    std::unique_ptr<ScreenLockWatch> screenLock;
};

// Replaces the services in use; the previous ones are destroyed.
void install(Services services);
// The services in use, so that a test can swap a single one.
Services &installed();

WebLauncher &web();
SettingsStore &settings();
Clock &clock();
RandomSource &random();
SystemFacts &system();
InstanceLock &instanceLock();
ProcessEnd &processEnd();
PasswordPrompt *passwordPrompt();
ScreenLockWatch *screenLockWatch();

} // namespace platform
