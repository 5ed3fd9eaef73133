#include "core/book/book.h"
#include "core/book/bookfile.h"
#include "core/commandline.h"
#include "core/datafolder.h"
#include "core/diary.h"
#include "core/identity.h"
#include "core/store/backups.h"
#include "gui/book/bookpages.h"
#include "gui/forms.h"
#include "gui/messages.h"
#include "gui/ui.h"
#include "gui/windows/passwordpromptdialog.h"
#include "gui/windows/startupwindow.h"
#include "platform/qtservices.h"
#include "platform/terminalprompt.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdio>

namespace {
void complain(const QString &text)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationFilePath().section(QLatin1Char('/'), -1)),
                 qPrintable(QString(text).replace(QLatin1Char('\n'), QStringLiteral(" - "))));
}

// The book written without a window, through the store's usual open of the working diary.
int exportBook(const commandline::Request &request)
{
    // An export only reads: where Brimvale never made a diary it makes nothing, not even the data
    // folder. A diary gone but backed up is told of by the store, with its newest backup.
    if (datafolder::appDataFolder().isEmpty()) {
        complain(QStringLiteral("The data folder could not be found."));
        return commandline::kExitFailed;
    }
    const QString diary = Diary::working().path();
    if (!QFileInfo::exists(diary) && store::everyBackupOf(diary).isEmpty()) {
        complain(QStringLiteral("There is no diary yet: start Brimvale once and continue into a section, "
                                "which makes it."));
        return commandline::kExitFailed;
    }
    // Before the diary is read, so that nobody is asked for its password in vain.
    if (const auto refused = book::refusalOf(request.file)) {
        complain(book::exportFailure(request.file, refused->detail));
        return commandline::kExitFailed;
    }
    const auto book = book::read(diary, request.tables);
    if (!book.ok()) {
        complain(store::message(book.failure()));
        return commandline::kExitFailed;
    }
    const book::Outcome outcome = bookpages::exportBook(request.file, request.format, *book, book::dateLine());
    if (!outcome.done()) {
        complain(outcome.message);
        return commandline::kExitFailed;
    }
    return 0;
}
} // namespace

int main(int argc, char *argv[])
{
    // Work without windows needs no display, e.g. in a scheduled job. Windows always has its
    // desktop, and only its own platform knows the system's fonts: the offscreen one would find
    // none there and write a book without a word in it.
    if (commandline::worksWithoutWindows(argc, argv)) {
        platform::useStartingConsole();
#ifndef Q_OS_WIN
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    }
    QApplication application(argc, argv);
    app::setApplicationIdentity();

    commandline::CommandLine commandLine;
    const commandline::Request request = commandLine.parse(QCoreApplication::arguments());
    switch (request.action) {
    case commandline::Action::Refused: complain(request.error); return commandline::kExitBadArgument;
    case commandline::Action::Help: commandLine.showHelp();
    case commandline::Action::Version: commandLine.showVersion();
    case commandline::Action::Export:
    case commandline::Action::Windows: break;
    }
    platform::Services services = platform::productionServices();
    // A diary with a password of its own asks for it on the terminal for an export, unless the
    // script pipes it in.
    if (request.action != commandline::Action::Export)
        services.passwordPrompt = gui::dialogPasswordPrompt();
    else if (request.passwordPiped)
        services.passwordPrompt = platform::pipedPasswordPrompt();
    else
        services.passwordPrompt = platform::terminalPasswordPrompt();
    platform::install(std::move(services));
    if (request.action == commandline::Action::Export)
        return exportBook(request);

    QApplication::setWindowIcon(ui::programIcon());
    // Only quitAll ends the program: the exit window stands alone for a moment on every way out.
    QApplication::setQuitOnLastWindowClosed(false);
    gui::installMessages(gui::productionMessages());

    forms::ref<StartupWindow>();
    if (platform::processEnd().requested())
        return 0;
    return QApplication::exec();
}
