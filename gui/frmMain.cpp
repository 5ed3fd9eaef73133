#include "gui/frmMain.h"

#include "core/backups.h"
#include "core/modAppdata.h"
#include "core/modDB.h"
#include "core/modFileCopy.h"
#include "core/password.h"
#include "core/sections.h"
#include "core/services.h"
#include "gui/diarymenu.h"
#include "gui/messages.h"
#include "gui/modBookOfShadows.h"
#include "gui/navigation.h"

#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>

namespace {
const QColor kSilver(0xC0, 0xC0, 0xC0);
const QColor kGrey(0x80, 0x80, 0x80);

QLabel *caption(QWidget *parent, int index, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QStringLiteral("lblCaptions_%1").arg(index));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    ui::setTextColor(label, kGrey);
    return label;
}

QGroupBox *frame(QWidget *parent, const QString &name, const QString &title)
{
    auto *box = new QGroupBox(title, parent);
    box->setObjectName(name);
    ui::setTextColor(box, kGrey);
    return box;
}
} // namespace

frmMain::frmMain()
{
    QWidget *client = chrome::setUpWindow(this, QStringLiteral("frmMain"), 6525, 7575);
    ui::setBackground(client, Qt::black);

    Label14 = chrome::addForumLink(client, QRect(698, 0, 5115, 390));
    ui::setTextColor(Label14, kSilver);

    lblCaptions[0] = caption(client, 0,
        QStringLiteral("Brimvale is an easy to use advanced software. It is a personal book of spells and also acts "
                       "as a key to the mysteries of the Pagan culture. Brimvale software is the ultimate tool for "
                       "safekeeping everything related to the Pagan and the Wiccan rituals and spells, and as such, "
                       "it is a MUST HAVE for all Pagan followers."));
    ui::place(lblCaptions[0], 143, 600, 6225, 1170);
    lblCaptions[1] = caption(client, 1,
        QStringLiteral("Brimvale has divided the Diary into the following options for your convenience. Choose any "
                       "one of the options which you feel is appropriate for your entry."));
    ui::place(lblCaptions[1], 143, 1965, 6225, 585);
    lblCaptions[3] = caption(client, 3, QStringLiteral("Click on Continue to Proceed."));
    ui::place(lblCaptions[3], 150, 3000, 6225, 270);

    Frame2 = frame(client, QStringLiteral("Frame2"), QStringLiteral("Select An Option"));
    Frame2->setGeometry(ui::twips(143, 3600, 6225, 2655));
    for (int i = 0; i < 4; ++i) {
        optOption[i] = new QRadioButton(sections::kSections[std::size_t(i)].title(), Frame2);
        ui::place(optOption[i], 720, 720 + 360 * i, 2000, 200);
    }
    Picture1 = new QLabel(Frame2);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(ui::twips(3960, 600, 1590, 1590));
    Picture1->setPixmap(QIcon(QStringLiteral(":/brimvale/picture.svg")).pixmap(Picture1->size()));
    Picture1->setAccessibleName(QStringLiteral("Decorative picture"));

    cmdContinue = new QPushButton(QStringLiteral("&Continue"), client);
    cmdContinue->setObjectName(QStringLiteral("cmdContinue"));
    cmdContinue->setAutoDefault(true);
    ui::place(cmdContinue, -20, 6400, 6550, 350);

    promo = chrome::addPromoFrame(client, QRect(-20, 6750, 6550, 825), QRect(120, 165, 6255, 615));
    for (auto *label : {promo.lblCobrand, promo.lblFullBrand}) {
        ui::setBackground(label, Qt::black);
        ui::setTextColor(label, kSilver);
    }

    // The book options: below the bottom edge of the client area, which cannot grow, so never seen.
    Frame1 = frame(client, QStringLiteral("Frame1"), QStringLiteral("Save Option - For Future"));
    Frame1->setGeometry(ui::twips(2640, 8280, 3015, 2655));
    lblCaptions[4] = caption(Frame1, 4,
        QStringLiteral("Select the location of your previously saved Brimvale. This diary will be opened now."));
    ui::place(lblCaptions[4], 120, 240, 2745, 1920);
    optOption[4] = new QRadioButton(QStringLiteral("Load Book"), Frame1);
    ui::place(optOption[4], 120, 1920, 2745, 200);
    optOption[5] = new QRadioButton(QStringLiteral("Save Book"), Frame1);
    ui::place(optOption[5], 120, 2280, 2745, 200);
    lblCaptions[2] = caption(client, 2,
        QStringLiteral("You can also choose to save your spells in a book or load from a previously saved book."));
    ui::place(lblCaptions[2], 150, 8895, 6225, 390);

    for (int i = 0; i < 6; ++i) {
        optOption[i]->setObjectName(QStringLiteral("optOption_%1").arg(i));
        ui::setTextColor(optOption[i], kSilver);
        connect(optOption[i], &QRadioButton::clicked, this, [this, i] { optOption_Click(i); });
        connect(optOption[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                optOption_Click(i);
        });
    }
    connect(cmdContinue, &QPushButton::clicked, this, &frmMain::cmdContinue_Click);

    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuExit = mnuFile->addAction(QStringLiteral("E&xit"), this, &frmMain::mnuExit_Click);
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    diarymenu::addTo(mnuFile, this);
    help = chrome::addHelpMenus(this, QStringLiteral("mnuFileSep1"), QStringLiteral("mnuFileSep2"));
    connect(help.mnuAbout, &QAction::triggered, this, &frmMain::mnuAbout_Click);

    // Tab leads from Continue to the section options first; the unseen book options come last.
    setTabOrder(cmdContinue, optOption[0]);
    for (int i = 0; i < 5; ++i)
        setTabOrder(optOption[i], optOption[i + 1]);

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    cmdContinue->setFocus();
}

void frmMain::Form_Load()
{
    ui::centerOnScreen(this);
}

void frmMain::optOption_Click(int index)
{
    modBookOfShadows::intSection = static_cast<qint16>(index);
    if (const sections::Section *section = sections::sectionAt(index))
        modBookOfShadows::strSection = section->name;
}

bool frmMain::ValidateChoice()
{
    bool chosen = false;
    for (int i = 0; i < 4; ++i)
        chosen = chosen || optOption[i]->isChecked();

    if (!modAppdata::FileExists(modAppdata::WorkingDiaryPath())
        && !modAppdata::FileExists(modAppdata::StarterDiaryPath())) {
        gui::messages().show(this, QStringLiteral("Required Files Are Missing\rPlease Reinstall The Software"),
                             gui::MessageIcon::Critical);
        return false;
    }
    if (chosen)
        return true;
    gui::messages().show(this, QStringLiteral("Please Select An Option"), gui::MessageIcon::Critical);
    return false;
}

void frmMain::reportFailure(const QString &message, const QString &detail)
{
    gui::messages().show(this, message + QLatin1Char('\n') + detail, gui::MessageIcon::Critical);
}

void frmMain::cmdContinue_Click()
{
    const bool folderReady = modAppdata::SetDataFolder();
    if (!ValidateChoice())
        return;
    if (prepareDiary(folderReady))
        navigation::toSectionWindow(this);
}

bool frmMain::workingDiaryReady()
{
    return prepareDiary(modAppdata::SetDataFolder());
}

bool frmMain::prepareDiary(bool folderReady)
{
    if (!folderReady) {
        reportFailure(QStringLiteral("The data folder could not be created."),
                      QDir::toNativeSeparators(modAppdata::strDataFolder));
        return false;
    }
    const QString working = modAppdata::WorkingDiaryPath();
    if (!QFileInfo::exists(working)) {
        const auto copy = modFileCopy::CopyStarterDiary();
        if (!copy.copied) {
            reportFailure(QStringLiteral("The diary could not be copied into the data folder."),
                          working + QLatin1Char('\n') + copy.reason);
            return false;
        }
        if (const auto kept = modDB::keepBackupsOfLostDiary(working))
            showKeptBackups(*kept);
    }
    // A diary with a password of its own asks for it here, so that giving up leaves this window.
    if (const auto locked = modDB::Unlock(working)) {
        if (locked->kind != modDB::FailureKind::Locked)
            gui::messages().show(this, modDB::message(*locked), gui::MessageIcon::Critical);
        return false;
    }
    return true;
}

void frmMain::showKeptBackups(const QString &kept)
{
    gui::messages().show(this,
                         QStringLiteral("The diary file was missing, so an empty diary was started.\n"
                                        "The backups of the earlier diary are kept in:\n")
                             + QDir::toNativeSeparators(kept),
                         gui::MessageIcon::Information);
}

void frmMain::mnuExit_Click()
{
    forms::unload(this);
}

void frmMain::mnuAbout_Click()
{
    navigation::showAbout();
}

void frmMain::Form_Unload()
{
    navigation::afterMainOrSectionWindow();
}
