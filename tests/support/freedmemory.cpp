// Linked into a test program that looks through its own memory (memoryscan.h) for what freed
// memory still holds.

#include <atomic>
#include <cstddef>

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
// Memory a program frees is soon given out again, and what it held is overwritten by chance; in a
// program left alone after a lock it stays as it was for as long as nothing else asks for memory.
// So that a search finds what freed memory still holds, as it would there, freed blocks wait in a
// queue before they go back to the C library.
extern "C" void __libc_free(void *pointer);

extern "C" void free(void *pointer)
{
    constexpr std::size_t kWaiting = std::size_t(1) << 20;
    static std::atomic<std::size_t> next{0};
    static std::atomic<void *> waiting[kWaiting];
    if (!pointer)
        return;
    if (void *oldest = waiting[next.fetch_add(1, std::memory_order_relaxed) % kWaiting].exchange(pointer))
        __libc_free(oldest);
}
#endif
