// Writes a new, empty diary (the four tables and their indexes) to the path given, replacing
// what is there only once the new file is complete.

#include "core/store/newfile.h"
#include "core/store/store.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <diary file>\n", argv[0]);
        return 2;
    }
    const QFileInfo target(QFile::decodeName(argv[1]));
    files::NewFile diary(target.absolutePath(), QLatin1Char('.') + target.fileName() + QStringLiteral(".XXXXXX"));
    const QString partial = diary.pathToFill();
    if (partial.isEmpty()) {
        std::fprintf(stderr, "%s: no temporary file can be made beside it\n", argv[1]);
        return 1;
    }
    const auto made = store::createDiary(partial);
    if (!made.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(store::message(made.failure())));
        return 1;
    }
    // The starter of an earlier build gives way; the new file never replaces anything itself.
    if (auto failed = diary.seal()) {
        std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(*failed));
        return 1;
    }
    QFile::remove(target.absoluteFilePath());
    if (auto failed = diary.commit(target.fileName())) {
        std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(*failed));
        return 1;
    }
    return 0;
}
