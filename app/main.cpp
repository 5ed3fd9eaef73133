#include "core/identity.h"
#include "gui/forms.h"
#include "gui/frmStartup.h"
#include "gui/messages.h"
#include "gui/passwordprompt.h"
#include "platform/QtServices.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    app::setApplicationIdentity();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/brimvale/icon.svg")));
    // Only QuitAll ends the program: the exit window stands alone for a moment on every way out.
    QApplication::setQuitOnLastWindowClosed(false);
    platform::Services services = platform::productionServices();
    services.passwordPrompt = gui::dialogPasswordPrompt();
    platform::install(std::move(services));
    gui::installMessages(gui::productionMessages());

    forms::ref<frmStartup>();
    if (platform::processEnd().requested())
        return 0;
    return QApplication::exec();
}
