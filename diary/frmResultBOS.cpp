#include "diary/frmResultBOS.h"

#include "app/frmMain.h"
#include "app/frmStartup.h"
#include "app/identity.h"
#include "app/ui.h"
#include "referral/frmFarewell.h"

#include <QMenuBar>

frmResultBOS::frmResultBOS()
{
    setObjectName(QStringLiteral("frmResultBOS"));
    setWindowTitle(app::kWindowCaption);
    setWindowIcon(ui::programIcon());
    auto *client = new QWidget(this);
    ui::fixClientArea(client, 6570, 7695);
    setCentralWidget(client);

    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuBack = mnuFile->addAction(QStringLiteral("&Back"), this, &frmResultBOS::mnuBack_Click);
    mnuBack->setObjectName(QStringLiteral("mnuBack"));
    mnuFile->addSeparator()->setObjectName(QStringLiteral("mnuFileSep1"));
    mnuExit = mnuFile->addAction(QStringLiteral("E&xit"), this, &frmResultBOS::mnuExit_Click);
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
}

void frmResultBOS::Form_Load()
{
    ui::centerOnScreen(this);
}

void frmResultBOS::mnuBack_Click()
{
    forms::show<frmMain>();
    forms::unload(this);
    forms::hide<frmStartup>();
    forms::hide<frmFarewell>();
}

void frmResultBOS::mnuExit_Click()
{
    forms::unload(this);
}

void frmResultBOS::Form_Unload()
{
    forms::show<frmFarewell>();
    forms::hide<frmStartup>();
}
