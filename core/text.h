#pragma once

#include <QString>

namespace text {

// Removes leading and trailing space characters (code 32) only: tabs and line breaks are part of
// what the user typed.
QString trimSpaces(const QString &text);

} // namespace text
