#pragma once

// The main() of a test program that runs one test class. Programs whose tests mount read-only or
// nearly full file systems first move into a private mount namespace, before any thread starts.

#include "mounts.h"

#include "core/identity.h"

#include <QApplication>
#include <QtTest>

#define BRIMVALE_TEST_MAIN(TestClass)                                                                                  \
    int main(int argc, char **argv)                                                                                    \
    {                                                                                                                  \
        testing::enterPrivateMountNamespace();                                                                         \
        QApplication application(argc, argv);                                                                          \
        app::setApplicationIdentity();                                                                                 \
        TestClass test;                                                                                                \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }
