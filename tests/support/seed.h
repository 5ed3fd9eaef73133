#pragma once

// Seeds for tests that draw random numbers, so that every random run can be repeated.

#include <QtGlobal>

#include <optional>

namespace testing {

// The seed of one test function's draws: BRIMVALE_TEST_SEED when it is set, else `fallback`, else
// a fresh one. Keep it alive for the whole test function: when the function fails, it prints the
// seed and the one command that repeats the same draws.
class TestSeed {
public:
    explicit TestSeed(std::optional<quint32> fallback = std::nullopt);
    ~TestSeed();
    TestSeed(const TestSeed &) = delete;
    TestSeed &operator=(const TestSeed &) = delete;

    quint32 value() const { return m_value; }

private:
    quint32 m_value = 0;
};

} // namespace testing
