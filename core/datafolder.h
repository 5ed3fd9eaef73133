#pragma once

#include <QString>

namespace datafolder {

// The data folder, without a trailing separator; rewritten each time the data folder rule runs.
inline QString folderPath;

inline const QString kWorkingDiaryName = QStringLiteral("updatediary.dll");
inline const QString kStarterDiaryName = QStringLiteral("defaultdiary.dll");

// Sets folderPath to the per-user application data folder and returns it.
QString appDataFolder();

// The data folder rule. The diary always lives in the per-user folder, which is created
// (readable by the user only) when missing; false when it cannot be had.
bool setDataFolder();

// Empty while the data folder is unknown, so that no diary is ever looked for at a root.
QString workingDiaryPath();
QString starterDiaryPath();

// A file exists for the program when it is an ordinary, visible file.
bool fileExists(const QString &path);

} // namespace datafolder
