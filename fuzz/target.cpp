// The libFuzzer program: BRIMVALE_FUZZ_TARGET names the check of checks.h it runs.

#include "fuzz/checks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
fuzzchecks::Check g_check = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    const char *wanted = std::getenv("BRIMVALE_FUZZ_TARGET");
    for (const fuzzchecks::Target &target : fuzzchecks::kTargets)
        if (wanted && std::strcmp(wanted, target.name) == 0)
            g_check = target.check;
    if (!g_check) {
        std::fprintf(stderr, "BRIMVALE_FUZZ_TARGET names none of:");
        for (const fuzzchecks::Target &target : fuzzchecks::kTargets)
            std::fprintf(stderr, " %s", target.name);
        std::fprintf(stderr, "\n");
        std::exit(2);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString failure = g_check(QByteArrayView(data, qsizetype(size)));
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "%s\n", failure.toUtf8().constData());
        // libFuzzer keeps the input that got here as a crash file.
        std::abort();
    }
    return 0;
}
