#include "gui/windows/mainwindow.h"

#include "core/datafolder.h"
#include "core/diary.h"
#include "core/sections.h"
#include "core/workingdiary.h"
#include "gui/diarymenu.h"
#include "gui/messages.h"
#include "gui/navigation.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

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

MainWindow::MainWindow(SectionChoice earlier) : m_choice(std::move(earlier))
{
    QWidget *client = chrome::setUpWindow(this, QStringLiteral("frmMain"), 6525, 7575);
    ui::setBackground(client, Qt::black);

    m_forumLink = chrome::addForumLink(client, QRect(698, 0, 5115, 390));
    ui::setTextColor(m_forumLink, kSilver);

    m_captions[0] = caption(
        client, 0,
        QStringLiteral("Brimvale is an easy to use advanced software. It is a personal book of spells and also acts "
                       "as a key to the mysteries of the Pagan culture. Brimvale software is the ultimate tool for "
                       "safekeeping everything related to the Pagan and the Wiccan rituals and spells, and as such, "
                       "it is a MUST HAVE for all Pagan followers."));
    ui::place(m_captions[0], 143, 600, 6225, 1170);
    m_captions[1] = caption(
        client, 1,
        QStringLiteral("Brimvale has divided the Diary into the following options for your convenience. Choose any "
                       "one of the options which you feel is appropriate for your entry."));
    ui::place(m_captions[1], 143, 1965, 6225, 585);
    m_captions[3] = caption(client, 3, QStringLiteral("Click on Continue to Proceed."));
    ui::place(m_captions[3], 150, 3000, 6225, 270);

    m_sectionFrame = frame(client, QStringLiteral("Frame2"), QStringLiteral("Select An Option"));
    m_sectionFrame->setGeometry(ui::twips(143, 3600, 6225, 2655));
    for (int i = 0; i < 4; ++i) {
        m_sectionOptions[i] = new QRadioButton(sections::kSections[std::size_t(i)].title(), m_sectionFrame);
        ui::place(m_sectionOptions[i], 720, 720 + 360 * i, 2000, 200);
    }
    m_picture = new QLabel(m_sectionFrame);
    m_picture->setObjectName(QStringLiteral("Picture1"));
    m_picture->setGeometry(ui::twips(3960, 600, 1590, 1590));
    m_picture->setPixmap(ui::decorativePicture().pixmap(m_picture->size()));
    m_picture->setAccessibleName(QStringLiteral("Decorative picture"));

    m_continueButton = new QPushButton(QStringLiteral("&Continue"), client);
    m_continueButton->setObjectName(QStringLiteral("cmdContinue"));
    m_continueButton->setAutoDefault(true);
    ui::place(m_continueButton, -20, 6400, 6550, 350);

    m_promo = chrome::addPromoFrame(client, QRect(-20, 6750, 6550, 825), QRect(120, 165, 6255, 615));
    for (auto *label : {m_promo.coBrand, m_promo.fullBrand}) {
        ui::setBackground(label, Qt::black);
        ui::setTextColor(label, kSilver);
    }

    // The book options: below the bottom edge of the client area, which cannot grow, so never seen.
    m_bookFrame = frame(client, QStringLiteral("Frame1"), QStringLiteral("Save Option - For Future"));
    m_bookFrame->setGeometry(ui::twips(2640, 8280, 3015, 2655));
    m_captions[4] = caption(
        m_bookFrame, 4,
        QStringLiteral("Select the location of your previously saved Brimvale. This diary will be opened now."));
    ui::place(m_captions[4], 120, 240, 2745, 1920);
    m_sectionOptions[4] = new QRadioButton(QStringLiteral("Load Book"), m_bookFrame);
    ui::place(m_sectionOptions[4], 120, 1920, 2745, 200);
    m_sectionOptions[5] = new QRadioButton(QStringLiteral("Save Book"), m_bookFrame);
    ui::place(m_sectionOptions[5], 120, 2280, 2745, 200);
    m_captions[2] = caption(
        client, 2,
        QStringLiteral("You can also choose to save your spells in a book or load from a previously saved book."));
    ui::place(m_captions[2], 150, 8895, 6225, 390);

    for (int i = 0; i < 6; ++i) {
        m_sectionOptions[i]->setObjectName(QStringLiteral("optOption_%1").arg(i));
        ui::setTextColor(m_sectionOptions[i], kSilver);
        connect(m_sectionOptions[i], &QRadioButton::clicked, this, [this, i] { chooseOption(i); });
        connect(m_sectionOptions[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                chooseOption(i);
        });
    }
    connect(m_continueButton, &QPushButton::clicked, this, &MainWindow::continueIntoSection);

    m_fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    m_fileMenu->setObjectName(QStringLiteral("mnuFile"));
    m_exitAction = m_fileMenu->addAction(QStringLiteral("E&xit"), this, &MainWindow::leave);
    m_exitAction->setObjectName(QStringLiteral("mnuExit"));
    // Importing may be the first thing a new user does: the diary is made ready as Continue would.
    diarymenu::addTo(m_fileMenu, this, {.readyDiary = [this] { return readyDiary(); }});
    m_help = chrome::addHelpMenus(this, QStringLiteral("mnuFileSep1"), QStringLiteral("mnuFileSep2"));

    // Tab leads from Continue to the section options first; the unseen book options come last.
    setTabOrder(m_continueButton, m_sectionOptions[0]);
    for (int i = 0; i < 5; ++i)
        setTabOrder(m_sectionOptions[i], m_sectionOptions[i + 1]);

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    m_continueButton->setFocus();
}

void MainWindow::load()
{
    ui::centerOnScreen(this);
}

void MainWindow::chooseOption(int index)
{
    m_choice.option = index;
    if (const sections::Section *section = sections::sectionAt(index)) {
        m_choice.name = section->name;
        m_choice.table = section->table;
    }
}

bool MainWindow::validateChoice()
{
    bool chosen = false;
    for (int i = 0; i < 4; ++i)
        chosen = chosen || m_sectionOptions[i]->isChecked();

    if (!datafolder::fileExists(Diary::working().path()) && !datafolder::fileExists(datafolder::starterDiaryPath())) {
        gui::messages().show(this, QStringLiteral("Required Files Are Missing\rPlease Reinstall The Software"),
                             gui::MessageIcon::Critical);
        return false;
    }
    if (chosen)
        return true;
    gui::messages().show(this, QStringLiteral("Please Select An Option"), gui::MessageIcon::Critical);
    return false;
}

void MainWindow::continueIntoSection()
{
    const bool folderReady = datafolder::setDataFolder();
    if (!validateChoice())
        return;
    if (prepareDiary(folderReady))
        navigation::toSectionWindow(this, m_choice);
}

void MainWindow::continueInto(sections::Table table)
{
    const auto option =
        std::size_t(std::find(sections::kTables.begin(), sections::kTables.end(), table) - sections::kTables.begin());
    m_sectionOptions[option]->setChecked(true);
    continueIntoSection();
}

bool MainWindow::readyDiary()
{
    return prepareDiary(datafolder::setDataFolder());
}

bool MainWindow::prepareDiary(bool folderReady)
{
    const auto failed = workingdiary::ready(folderReady, [this](const QString &kept) { showKeptBackups(kept); });
    if (!failed)
        return true;
    if (const auto message = workingdiary::message(*failed))
        gui::messages().show(this, *message, gui::MessageIcon::Critical);
    return false;
}

void MainWindow::showKeptBackups(const QString &kept)
{
    gui::messages().show(this,
                         QStringLiteral("The diary file was missing, so an empty diary was started.\n"
                                        "The backups of the earlier diary are kept in:\n")
                             + QDir::toNativeSeparators(kept),
                         gui::MessageIcon::Information);
}

void MainWindow::leave()
{
    forms::unload(this);
}

void MainWindow::unload()
{
    navigation::afterMainOrSectionWindow();
}
