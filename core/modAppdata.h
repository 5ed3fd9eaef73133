#pragma once

#include "core/services.h"

#include <QString>

namespace modAppdata {

// The data folder, without a trailing separator; rewritten each time the data folder rule runs.
inline QString strDataFolder;

inline const QString kWorkingDiaryName = QStringLiteral("updatediary.dll");
inline const QString kStarterDiaryName = QStringLiteral("defaultdiary.dll");

// The operating system's name from its version record; empty for versions the table lacks.
QString GetOSName(const platform::OsVersion &version);
QString GetOSName();

// Sets strDataFolder to the per-user application data folder and returns it.
QString GetAppDataFolder();
// Sets strDataFolder to the system directory.
void GetSystemFolder();

// The data folder rule. The diary always lives in the per-user folder, which is created
// (readable by the user only) when missing; false when it cannot be had.
bool SetDataFolder();

// Empty while the data folder is unknown, so that no diary is ever looked for at a root.
QString WorkingDiaryPath();
QString StarterDiaryPath();

// A file exists for the program when it is an ordinary, visible file.
bool FileExists(const QString &path);

} // namespace modAppdata
