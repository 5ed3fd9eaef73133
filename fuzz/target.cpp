// The libFuzzer program: BRIMVALE_FUZZ_TARGET names the check of checks.h it runs. With
// BRIMVALE_FUZZ_SEEDS naming a folder, it writes the target's seeds made at run time there and
// ends; with BRIMVALE_FUZZ_TARGET=list, it names every target.

#include "fuzz/checks.h"

#include <QDir>
#include <QFile>

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
    if (wanted && std::strcmp(wanted, "list") == 0) {
        for (const fuzzchecks::Target &target : fuzzchecks::kTargets)
            std::printf("%s\n", target.name);
        std::exit(0);
    }
    const fuzzchecks::Target *chosen = nullptr;
    for (const fuzzchecks::Target &target : fuzzchecks::kTargets)
        if (wanted && std::strcmp(wanted, target.name) == 0)
            chosen = &target;
    if (chosen)
        g_check = chosen->check;
    if (const char *seeds = std::getenv("BRIMVALE_FUZZ_SEEDS"); chosen && seeds) {
        const QList<QByteArray> made = chosen->seeds ? chosen->seeds() : QList<QByteArray>();
        for (qsizetype i = 0; i < made.size(); ++i) {
            QFile seed(QDir(QFile::decodeName(seeds)).filePath(QStringLiteral("made-%1").arg(i)));
            if (!seed.open(QIODevice::WriteOnly) || seed.write(made[i]) != made[i].size())
                std::exit(1);
        }
        std::exit(chosen->seeds && made.isEmpty() ? 1 : 0);
    }
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
