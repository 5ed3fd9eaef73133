#include "core/worker.h"

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace {
void yieldToTheWindow()
{
#ifdef Q_OS_LINUX
    // Linux gives each thread a nice value of its own.
    ::setpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid)), 10);
#elif defined(Q_OS_WIN)
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
#endif
}
} // namespace

Worker::~Worker()
{
    wait();
}

void Worker::start(std::function<void()> work)
{
    wait();
    m_thread = std::thread([work = std::move(work)] {
        yieldToTheWindow();
        work();
    });
}

void Worker::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}
