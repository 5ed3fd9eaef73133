#include "seed.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QtTest>

namespace testing {

namespace {
const char kVariable[] = "BRIMVALE_TEST_SEED";
}

TestSeed::TestSeed(std::optional<quint32> fallback)
{
    if (qEnvironmentVariableIsSet(kVariable)) {
        bool ok = false;
        m_value = qEnvironmentVariable(kVariable).toUInt(&ok);
        if (!ok)
            qFatal("%s must be a number from 0 to 4294967295", kVariable);
    } else {
        m_value = fallback ? *fallback : QRandomGenerator::global()->generate();
    }
}

TestSeed::~TestSeed()
{
    if (!QTest::currentTestFailed())
        return;
    QString function = QString::fromLatin1(QTest::currentTestFunction());
    if (const char *tag = QTest::currentDataTag(); tag && *tag)
        function += QLatin1Char(':') + QString::fromUtf8(tag);
    qInfo("random draws seeded with %u; to repeat them: %s=%u QT_QPA_PLATFORM=offscreen %s '%s'", m_value, kVariable,
          m_value, qUtf8Printable(QFileInfo(QCoreApplication::arguments().value(0)).absoluteFilePath()),
          qUtf8Printable(function));
}

} // namespace testing
