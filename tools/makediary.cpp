// Writes a new diary (the four tables and their indexes) to the path given, replacing what is
// there only once the new file is complete. Empty, as the starter diary; to try a build by hand,
// the entries given (triples of table, keyword and meaning) are then added to it.

#include "core/sections.h"
#include "core/store/newfile.h"
#include "core/store/store.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <utility>
#include <vector>

int main(int argc, char **argv)
{
    if (argc < 2 || (argc - 2) % 3 != 0) {
        std::fprintf(stderr, "usage: %s <diary file> [<table> <keyword> <meaning>]...\n", argv[0]);
        return 2;
    }
    std::vector<std::pair<store::Table, store::Entry>> entries;
    for (int at = 2; at + 2 < argc; at += 3) {
        const auto table = sections::tableNamed(QString::fromLocal8Bit(argv[at]));
        if (!table) {
            QStringList tables;
            for (const sections::Section &section : sections::kSections)
                tables << sections::tableName(section.table);
            std::fprintf(stderr, "%s: no such table; the tables are %s\n", argv[at], qPrintable(tables.join(", ")));
            return 2;
        }
        entries.push_back({*table, {QString::fromLocal8Bit(argv[at + 1]), QString::fromLocal8Bit(argv[at + 2])}});
    }
    const QFileInfo target(QFile::decodeName(argv[1]));
    files::NewFile diary(target.absolutePath(), QLatin1Char('.') + target.fileName() + QStringLiteral(".XXXXXX"));
    const QString partial = diary.pathToFill();
    if (partial.isEmpty()) {
        std::fprintf(stderr, "%s: no temporary file can be made beside it\n", argv[1]);
        return 1;
    }
    if (const auto failed = store::createDiary(partial)) {
        std::fprintf(stderr, "%s\n", qPrintable(store::message(*failed)));
        return 1;
    }
    // The starter of an earlier build gives way; the new file never replaces anything itself.
    if (auto failed = diary.seal()) {
        std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(failed->detail));
        return 1;
    }
    QFile::remove(target.absoluteFilePath());
    if (auto failed = diary.commit(target.fileName())) {
        std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(failed->detail));
        return 1;
    }
    for (const auto &[table, entry] : entries) {
        const auto added = store::addEntry(target.absoluteFilePath(), table, entry);
        if (!added.ok()) {
            std::fprintf(stderr, "%s\n", qPrintable(store::message(added.failure())));
            return 1;
        }
    }
    return 0;
}
