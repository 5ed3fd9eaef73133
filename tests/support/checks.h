#pragma once

// Reading a value that may not be there. A store Result or an optional read without a check is
// undefined when the program is faulty, and in a release build that can crash or hang the whole
// test program instead of failing the one test; these checks fail it, saying why.

#include "core/store/store.h"

#include <QByteArray>
#include <QFileInfo>
#include <QtTest>

#include <optional>

namespace testing {

template <class T>
bool hasValue(const store::Result<T> &result)
{
    return result.ok();
}

template <class T>
bool hasValue(const std::optional<T> &value)
{
    return value.has_value();
}

// The store's own words for a failed Result.
template <class T>
QByteArray whyEmpty(const store::Result<T> &result, const char *expression)
{
    return result.ok() ? QByteArray()
                       : QByteArray(expression) + " failed: " + store::message(result.failure()).toUtf8();
}

template <class T>
QByteArray whyEmpty(const std::optional<T> &, const char *expression)
{
    return QByteArray(expression) + " gave nothing";
}

// Whether the file's mode lets others than the user read it. Windows files have no mode: there a
// file is private by the access list of the folder it is made in.
inline bool othersMayRead(const QString &path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return false;
#else
    return QFileInfo(path).permissions() & (QFile::ReadGroup | QFile::ReadOther);
#endif
}

} // namespace testing

// Declares `name` as a copy of the value in `holder` (a store Result or an optional), after
// failing the test when there is none. Three statements: never the lone body of an if or a loop.
#define BRIMVALE_UNWRAP(name, holder)                                                                                  \
    const auto name##Holder = (holder);                                                                                \
    QVERIFY2(testing::hasValue(name##Holder), testing::whyEmpty(name##Holder, #holder).constData());                   \
    auto name = *name##Holder
