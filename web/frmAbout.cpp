#include "web/frmAbout.h"

#include "app/identity.h"
#include "app/ui.h"

#include <QPushButton>

frmAbout::frmAbout()
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(app::kWindowCaption);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setModal(true);
    ui::fixClientArea(this, 7110, 3195);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    ui::place(cmdOK, 5745, 2760, 1260, 345);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
}

void frmAbout::ShowModal()
{
    frmAbout *about = forms::ref<frmAbout>();
    about->exec();
    forms::unload(about);
}
