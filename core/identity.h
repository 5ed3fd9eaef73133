#pragma once

#include <QString>

namespace app {

// The program's version, from the project's build description.
extern const QString kVersion;
// The title every message box carries as its caption.
inline const QString kApplicationTitle = QStringLiteral("Brimvale");
// The caption of the program's windows: "Brimvale v" and the version.
extern const QString kWindowCaption;
// The settings store is addressed by the executable's name, fixed here: under test the running
// executable is a test binary, whose name must not decide where the user's settings live.
inline const QString kSettingsApplication = QStringLiteral("brimvale");

// Application name "Brimvale" and no organization, so that the per-user data folder is
// ".../Brimvale" directly. Called by main() and by every test before anything else.
void setApplicationIdentity();

} // namespace app
