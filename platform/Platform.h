#pragma once

// The seams between Brimvale and the operating system or the user's time.
// Everything the program asks of the platform goes through one of these interfaces, so that
// tests can replace it and the Linux/Windows difference stays in one place.

#include <QDate>
#include <QString>

#include <memory>

class QWidget;

namespace platform {

enum class MessageIcon { Information, Critical };
enum class Answer { Ok, Yes, No };

// Modal message boxes with the application title as caption.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // A single OK button.
    virtual void show(QWidget *parent, const QString &text, MessageIcon icon) = 0;
    // Yes and No buttons with the information icon.
    virtual Answer askYesNo(QWidget *parent, const QString &text) = 0;
};

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
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDate today() const = 0;
};

class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual void seed() = 0;
    // A value in [0, 1).
    virtual float next() = 0;
};

// What the operating system reports about its version (zeros when the query fails).
struct OsVersion {
    int platformId = 0;
    int major = 0;
    int minor = 0;
};

class SystemFacts {
public:
    virtual ~SystemFacts() = default;
    virtual OsVersion osVersion() const = 0;
    // Absolute paths without a trailing separator; empty when the platform cannot say.
    virtual QString appDataFolder() const = 0;
    virtual QString systemFolder() const = 0;
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

struct Services {
    std::unique_ptr<MessageBoxes> messages;
    std::unique_ptr<WebLauncher> web;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<RandomSource> random;
    std::unique_ptr<SystemFacts> system;
    std::unique_ptr<InstanceLock> instanceLock;
    std::unique_ptr<ProcessEnd> processEnd;
};

// The real implementations for this operating system.
Services productionServices();

// Replaces the services in use; the previous ones are destroyed.
void install(Services services);
// The services in use, so that a test can swap a single one.
Services &installed();

MessageBoxes &messages();
WebLauncher &web();
SettingsStore &settings();
Clock &clock();
RandomSource &random();
SystemFacts &system();
InstanceLock &instanceLock();
ProcessEnd &processEnd();

} // namespace platform
