#include "app/forms.h"
#include "app/frmStartup.h"
#include "app/identity.h"
#include "platform/Platform.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    app::setApplicationIdentity();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/brimvale/icon.svg")));
    // Only QuitAll ends the program: the exit window stands alone for a moment on every way out.
    QApplication::setQuitOnLastWindowClosed(false);
    platform::install(platform::productionServices());

    forms::ref<frmStartup>();
    if (platform::processEnd().requested())
        return 0;
    return QApplication::exec();
}
