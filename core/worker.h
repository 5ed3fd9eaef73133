#pragma once

// A thread for work that the window's thread does not wait for: it runs below the window's
// priority where the system has priorities, so that the window stays quick on a busy machine.

#include <functional>
#include <thread>

class Worker {
public:
    Worker() = default;
    // Waits for the work to end.
    ~Worker();
    Worker(const Worker &) = delete;
    Worker &operator=(const Worker &) = delete;

    // Runs work on a thread of its own, once the last work has ended.
    void start(std::function<void()> work);
    // Waits for the work to end.
    void wait();

private:
    std::thread m_thread;
};
