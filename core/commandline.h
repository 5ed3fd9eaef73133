#pragma once

// The program's command line: plain "brimvale" opens the windows; "--export FILE" writes the
// book without a window, for scripts and scheduled backups.

#include "core/book/book.h"

#include <QCommandLineParser>
#include <QStringList>

namespace commandline {

enum class Action { Windows, Export, Help, Version, Refused };

struct Request {
    Action action = Action::Windows;
    QString file;
    book::Format format = book::Format::Pdf;
    std::vector<sections::Table> tables;
    bool passwordPiped = false; // the diary's own password comes on standard input
    QString error;              // for Refused: one line, without the program's name
};

class CommandLine {
public:
    CommandLine();
    // The arguments as QCoreApplication gives them, the program first.
    Request parse(const QStringList &arguments);
    // Help and version on standard output, even on Windows without a console (where Qt's own
    // would open a message box instead); both end the program.
    [[noreturn]] void showHelp();
    [[noreturn]] void showVersion();

private:
    QCommandLineParser m_parser;
    QCommandLineOption m_export;
    QCommandLineOption m_format;
    QCommandLineOption m_sections;
    QCommandLineOption m_passwordStdin;
};

// Whether the raw arguments ask for work without windows (any long option, help or version, or any
// argument at all where there is no display): such a run needs no display.
bool worksWithoutWindows(int argc, const char *const *argv);

// Exit codes: a bad argument, as is usual for command-line programs; any other failure.
inline constexpr int kExitBadArgument = 2;
inline constexpr int kExitFailed = 1;

} // namespace commandline
