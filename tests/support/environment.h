#pragma once

// A fresh world for one test: temporary home, data, config and program folders, fake seams,
// an empty window registry and cleared program-wide values. Destroying it unloads every window.

#include "fakes.h"

#include <QTemporaryDir>

class QWidget;

namespace testing {

class Environment {
public:
    Environment();
    ~Environment();
    Environment(const Environment &) = delete;
    Environment &operator=(const Environment &) = delete;

    QString root() const { return m_root.path(); }
    QString dataFolder() const;    // where the working diary goes (not created)
    QString programFolder() const; // where the starter diary is looked for (created)
    QString workingDiary() const;
    QString starterDiary() const;

    // Writes these bytes as the starter diary in the program folder.
    void writeStarter(const QByteArray &bytes);

    // Replaces a fake with the production seam (e.g. real settings files under the temp home).
    void useRealSettings();
    // The file the real settings are kept in.
    QString settingsFile() const;

    fakes::MessageBoxes *messages = nullptr;
    fakes::FileDialogs *files = nullptr;
    fakes::WebLauncher *web = nullptr;
    fakes::SettingsStore *settings = nullptr;
    fakes::Clock *clock = nullptr;
    fakes::RandomSource *random = nullptr;
    fakes::SystemFacts *system = nullptr;
    fakes::InstanceLock *instanceLock = nullptr;
    fakes::ProcessEnd *processEnd = nullptr;

private:
    QTemporaryDir m_root;
};

// Lets posted deletions run, so that unloaded windows are really gone.
void flushDeletions();

// Whether this Windows program runs under wine, where a process takes far longer to start than
// on Windows itself.
bool underWine();
// Why a test that kills child processes at random moments cannot run here, if it cannot.
inline constexpr char kKillsNeedRealProcesses[] =
    "under wine a process takes so long to start that the kills never meet the work they are timed for";

} // namespace testing
