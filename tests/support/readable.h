#pragma once

// What any program on the desktop can read of Brimvale's windows: every text a widget holds, and
// every name, value and text its accessibility interface gives a screen reader.

#include <QStringList>

namespace testing {

// Every text of the visible windows of the program and of all their controls.
QStringList readableTexts();
// Those of the texts that hold any of these words.
QStringList textsHolding(const QStringList &words);

} // namespace testing
