#pragma once

// The start and end that the diary tests share: each test function gets a fresh Environment with
// the diaries it asks for, and leaves no file under it open.

#include "environment.h"

#include <memory>

namespace testing {

// What a test starts with; the defaults are an empty starter diary and nothing else.
struct Start {
    // The store forgets which diaries it has checked and backed up, so the test's first write
    // backs the diary up as a program's first write does.
    bool newRun = false;
    bool starterDiary = true;  // empty, in the program folder
    bool workingDiary = false; // empty, in the data folder
    // tearDown() fails the test when the test program still holds a file open under the root.
    bool checkOpenFiles = true;
};

// Set up from init() and torn down from cleanup(); reaches the Environment through ->.
class Fixture {
public:
    // Fails the test when a diary cannot be written.
    void setUp(const Start &start = {});
    // Unloads every window and restores the seams, then checks the open files if asked.
    void tearDown();

    Environment *operator->() const { return m_env.get(); }
    Environment &operator*() const { return *m_env; }

private:
    std::unique_ptr<Environment> m_env;
    bool m_checkOpenFiles = true;
};

} // namespace testing
