// Writes a new, empty diary (the four tables and their indexes) to the path given, replacing
// what is there only once the new file is complete.

#include "core/modDB.h"

#include <QFile>

#include <cstdio>
#include <filesystem>
#include <system_error>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <diary file>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path target(argv[1]);
    std::filesystem::path partial = target;
    partial += ".partial";
    const QString partialName = QFile::decodeName(partial.c_str());
    QFile::remove(partialName);

    const auto made = modDB::CreateDiary(partialName);
    if (!made.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(modDB::message(made.failure())));
        return 1;
    }
    std::error_code error;
    std::filesystem::rename(partial, target, error);
    if (error) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.message().c_str());
        QFile::remove(partialName);
        return 1;
    }
    return 0;
}
