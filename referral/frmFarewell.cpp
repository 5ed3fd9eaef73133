#include "referral/frmFarewell.h"

#include "app/identity.h"
#include "app/modHelp_shutdown.h"
#include "app/ui.h"

#include <QPushButton>

frmFarewell::frmFarewell()
{
    setObjectName(QStringLiteral("frmFarewell"));
    setWindowTitle(app::kWindowCaption);
    setWindowIcon(ui::programIcon());
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    ui::fixClientArea(this, 11115, 4725);

    cmdClose = new QPushButton(QStringLiteral("E&xit"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAutoDefault(true);
    ui::place(cmdClose, 6000, 2760, 1245, 375);
    connect(cmdClose, &QPushButton::clicked, this, &frmFarewell::cmdClose_Click);
}

void frmFarewell::Form_Load()
{
    ui::centerOnScreen(this);
    if (!forms::ending())
        show();
}

void frmFarewell::cmdClose_Click()
{
    modHelp::QuitAll();
}

void frmFarewell::Form_Unload()
{
    modHelp::QuitAll();
}
