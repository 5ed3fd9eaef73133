#include "fixture.h"

#include "diaryfiles.h"

#include "core/store/storeprobe.h"

#include <QtTest>

namespace testing {

void Fixture::setUp(const Start &start)
{
    if (start.newRun)
        store::probe::startNewRun();
    m_env = std::make_unique<Environment>();
    m_checkOpenFiles = start.checkOpenFiles;
    if (start.starterDiary)
        QVERIFY(writeEmptyDiary(m_env->starterDiary()));
    if (start.workingDiary)
        QVERIFY(writeEmptyDiary(m_env->workingDiary()));
}

void Fixture::tearDown()
{
    if (!m_env)
        return;
    const QString root = m_env->root();
    m_env.reset();
    if (m_checkOpenFiles)
        QCOMPARE(openFilesUnder(root), 0);
}

} // namespace testing
