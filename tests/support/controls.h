#pragma once

// Tests reach a window's controls as a screen reader or KeePassXC's GUI tests do: by their object
// names, which are the names the controls have always had (Command1, txtKeyword, optOption_2 …).

#include <QObject>
#include <QString>
#include <QtGlobal>

namespace testing {

// The window's control of this name and type; ends the test program when there is none, so
// that a renamed control fails loudly instead of dereferencing null.
template <class T>
T *control(const QObject *window, const QString &name)
{
    T *found = window->findChild<T *>(name);
    if (!found)
        qFatal("no control '%s' in '%s'", qPrintable(name), qPrintable(window->objectName()));
    return found;
}

} // namespace testing
