#pragma once

// What the fuzz targets hold the code to. Each check decodes raw input bytes and returns what went
// wrong, or an empty text when every property holds. The fuzz targets and the test that replays
// the kept inputs share these, so an input reproduces the same way in both.
//
// Inputs are text so that seeds stay readable; bytes that are not UTF-8 become U+FFFD.

#include <QByteArrayView>
#include <QList>
#include <QString>

namespace fuzzchecks {

// The whole input is the text. Scrambling then unscrambling gives the text without the characters
// the scrambler drops, never anything longer; the same holds the other way round.
QString scrambler(QByteArrayView input);

// Line 1: a locale, by its index among all of Qt's locales or by name. Line 2: the day written,
// yyyy-MM-dd or a number of days after 2000-01-01. Line 3: how many days later it is read (taken
// within 49 years either way). The rest: any text, read with that locale. Reading any text returns
// nothing or a valid date; what the reminder writes for the day reads back as that day.
QString shortDate(QByteArrayView input);

// Lines 1 to 4: your name, your e-mail, your friend's name, your friend's e-mail; the rest (line
// breaks included): the message. The address is a valid URL on the maker's referral page whose
// query holds exactly taf1..taf6 in order, each decoding to its value.
QString referralAddress(QByteArrayView input);

// Line 1: a section number (decimal, or else the line's first four bytes); the rest: a section
// name. Whichever way a number or name is mapped to a table, only the four section tables can come
// out, or none; every section that loads a list has its table.
QString tableMapping(QByteArrayView input);

// The whole input is a file to import, read as CSV and as Markdown. A refusal names a line of the
// input; whatever is read, written out again in the same format, reads back the same, entry for
// entry.
QString bookFiles(QByteArrayView input);

// The whole input is a diary file as the engine keeps it before encryption. Once encrypted under
// the built-in key, it is imported into a diary with entries and a history, then restored over
// it; then an entry is added to each section, the newest changes are taken back and the history
// is cleared. Whatever the file holds, nothing crashes, a refused restore changes nothing, an
// import adds what its preview said, and no write fails for a full disk (the disk has room).
QString diaryFiles(QByteArrayView input);
// Its seeds, made when the fuzzer starts (a diary file is binary, so none is kept).
QList<QByteArray> diarySeeds();

using Check = QString (*)(QByteArrayView input);
using Seeds = QList<QByteArray> (*)();

struct Target {
    const char *name; // the folder of its seeds and kept inputs
    Check check;
    Seeds seeds = nullptr; // made at run time, besides or instead of a folder of seeds
};

inline constexpr Target kTargets[] = {
    {"scrambler", scrambler},        {"short_date", shortDate}, {"referral_address", referralAddress},
    {"table_mapping", tableMapping}, {"book_files", bookFiles}, {"diary_files", diaryFiles, diarySeeds},
};

} // namespace fuzzchecks
