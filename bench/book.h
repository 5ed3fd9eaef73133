#pragma once

// The book of a full diary, four sections of 32,767 entries: export in each format, the PDF's
// peak memory in the real program, and the import of a large CSV table.

#include "harness.h"

namespace bench {

class Home;

struct BookFigures {
    int entries = 0;  // in the exported diary
    double csvMs = 0; // read the diary and write the file, median
    double markdownMs = 0;
    double pdfMs = 0;     // once: it takes seconds
    double pdfPeakMb = 0; // brimvale --export book.pdf, the whole process
    int importRows = 0;
    double importMs = 0; // read, check, preview and write the CSV table into an empty diary, median
};

// Replaces the working diary in `home` with the full one.
BookFigures measureBook(const Run &run, const Home &home);
void printBook(const BookFigures &figures);

} // namespace bench
