#pragma once

// Text that held a password or the diary's own words is zeroed before its memory goes back, so
// that freed memory does not keep it. A buffer is zeroed only when nothing else holds it: another
// holder still needs what it says, and zeroes it itself when it lets go.

// Declarations only, without Qt's keywords: the find index names its own things "slots".
#include <QtCore/qcontainerfwd.h>

#include <string>

namespace secrets {

// Zero the whole buffer, also what an earlier edit left past the end of the text, and empty it.
void wipe(QString &text);
void wipe(QStringList &texts);
void wipe(QByteArray &bytes);
void wipe(std::string &text);

} // namespace secrets
