// One libFuzzer target; BRIMVALE_FUZZ_CHECK names the check it runs.

#include "fuzz/checks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString failure = fuzzchecks::BRIMVALE_FUZZ_CHECK(QByteArrayView(data, qsizetype(size)));
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "%s\n", failure.toUtf8().constData());
        // libFuzzer keeps the input that got here as a crash file.
        std::abort();
    }
    return 0;
}
