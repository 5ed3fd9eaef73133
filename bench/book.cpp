#include "book.h"

#include "fixtures.h"

#include "core/book/book.h"
#include "core/book/bookimport.h"
#include "core/datafolder.h"
#include "gui/book/bookpages.h"

#include <QElapsedTimer>
#include <QFile>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>

extern char **environ;

namespace bench {

namespace {
constexpr int kSectionEntries = 32767;
constexpr int kImportRows = 100000;
constexpr int kRounds = 5;

double msOf(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

double medianOf(int rounds, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round)
        times.push_back(msOf(work));
    return median(times);
}

// The program's own peak, from the kernel's account of that one child.
double peakMbOf(const QStringList &arguments)
{
    std::vector<QByteArray> bytes{QByteArray(BRIMVALE_PROGRAM)};
    for (const QString &argument : arguments)
        bytes.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &argument : bytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    require(posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) == 0, "the program started");
    int status = 0;
    rusage usage{};
    require(wait4(child, &status, 0, &usage) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0,
            "the program's export");
    return double(usage.ru_maxrss) / 1024;
}
} // namespace

BookFigures measureBook(const Run &, const Home &home)
{
    BookFigures figures;
    const QString diary = datafolder::workingDiaryPath();
    const std::vector<sections::Table> all(sections::kTables.begin(), sections::kTables.end());
    {
        book::Book full;
        for (sections::Table table : sections::kTables) {
            book::Chapter chapter{table, {}};
            for (int row = 0; row < kSectionEntries; ++row)
                chapter.entries.push_back({keywordFor(row), meaningFor(row)});
            full.push_back(std::move(chapter));
        }
        QFile::remove(diary);
        require(!store::createDiary(diary), "an empty diary");
        require(store::addEntries(diary, full).ok(), "the full diary");
        figures.entries = int(book::entryCount(full));
    }

    const QString folder = home.root();
    auto exportAs = [&](book::Format format) {
        return medianOf(kRounds, [&] {
            const auto book = book::read(diary, all);
            require(book.ok(), "the diary read");
            require(book::exportText(folder + QStringLiteral("/book.") + book::formatName(format), format, *book,
                                     QStringLiteral("today"))
                        .done(),
                    "the export");
        });
    };
    figures.csvMs = exportAs(book::Format::Csv);
    figures.markdownMs = exportAs(book::Format::Markdown);
    figures.pdfMs = msOf([&] {
        const auto book = book::read(diary, all);
        require(book.ok()
                    && bookpages::writePdf(folder + QStringLiteral("/book.pdf"), *book, QStringLiteral("today")).done(),
                "the PDF");
    });
    figures.pdfPeakMb = peakMbOf({QStringLiteral("--export"), folder + QStringLiteral("/child.pdf")});

    // A table as a spreadsheet would give it: every row a new entry.
    const QString table = folder + QStringLiteral("/rows.csv");
    {
        QFile csv(table);
        require(csv.open(QIODevice::WriteOnly), "the CSV table");
        csv.write("section,keyword,meaning\r\n");
        for (int row = 0; row < kImportRows; ++row)
            csv.write(QStringLiteral("%1,\"%2\",\"%3\"\r\n")
                          .arg(sections::kSections[std::size_t(row % 4)].name, keywordFor(row),
                               meaningFor(row).replace(QLatin1Char('"'), QStringLiteral("\"\"")))
                          .toUtf8());
    }
    figures.importRows = kImportRows;
    const QString target = folder + QStringLiteral("/imported.dll");
    std::vector<double> times;
    for (int round = 0; round < kRounds; ++round) {
        QFile::remove(target);
        require(!store::createDiary(target), "an empty diary to import into");
        times.push_back(msOf([&] {
            const auto loaded = book::load(table);
            require(loaded.ok(), "the CSV read");
            const auto preview = book::preview(target, *loaded);
            require(preview.ok() && book::import(target, *preview).done(), "the import");
        }));
    }
    figures.importMs = median(times);
    return figures;
}

void printBook(const BookFigures &f)
{
    auto verdict = [](bool met) { return met ? "met" : "MISSED"; };
    std::printf("\nBook of %d entries (4 sections), ms: read the diary and write the file\n", f.entries);
    std::printf("  csv      %9.1f ms (<= 1000)   %s\n", f.csvMs, verdict(f.csvMs <= 1000));
    std::printf("  markdown %9.1f ms (<= 1000)   %s\n", f.markdownMs, verdict(f.markdownMs <= 1000));
    std::printf("  pdf      %9.1f ms (<= 30000)  %s\n", f.pdfMs, verdict(f.pdfMs <= 30000));
    std::printf("  pdf peak %9.1f MB, the whole program (<= 300)   %s\n", f.pdfPeakMb, verdict(f.pdfPeakMb <= 300));
    std::printf("  import   %9.1f ms for %d CSV rows into an empty diary (<= 3000)   %s\n", f.importMs, f.importRows,
                verdict(f.importMs <= 3000));
}

} // namespace bench
