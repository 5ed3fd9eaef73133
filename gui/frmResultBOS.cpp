#include "gui/frmResultBOS.h"

#include "core/entries.h"
#include "core/modAppdata.h"
#include "core/sections.h"
#include "core/services.h"
#include "core/text.h"
#include "gui/diarymenu.h"
#include "gui/leavequestion.h"
#include "gui/messages.h"
#include "gui/modBookOfShadows.h"
#include "gui/navigation.h"
#include "gui/sectionwindowstate.h"
#include "gui/ui.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringListModel>

#include <algorithm>
#include <limits>

using modBookOfShadows::strSection;

namespace {
const QColor kButtonFace(192, 192, 192);

QPushButton *commandButton(QWidget *parent, const QString &name, const QString &caption, int top)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(true);
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, kButtonFace);
    button->setPalette(palette);
    // The stack leaves no room for a taller button; the text fits the drawn height.
    button->setGeometry(ui::twips(98, top, 6375, 350));
    return button;
}

void whiteBackground(QWidget *control)
{
    QPalette palette = control->palette();
    palette.setColor(QPalette::Base, Qt::white);
    control->setPalette(palette);
}

} // namespace

frmResultBOS::frmResultBOS()
{
    QWidget *client = chrome::setUpWindow(this, QStringLiteral("frmResultBOS"), 6570, 7695);

    Label14 = chrome::addForumLink(client, QRect(728, 0, 5115, 390));

    lblCaption[0] = ui::plainLabel(client, QStringLiteral("lblCaption_0"), QStringLiteral("Caption"), ui::verdana(11.25, true));
    lblCaption[0]->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblCaption[1] = ui::plainLabel(client, QStringLiteral("lblCaption_1"),
                          QStringLiteral("Click on Open Spell to Access the Spells Section"), ui::verdana(9.75, true));
    lblCaption[2] = ui::plainLabel(client, QStringLiteral("lblCaption_2"),
                          QStringLiteral("Add your new spell secrets and save them. Add, edit or remove the selected "
                                         "spells according to your preferences."),
                          ui::verdana(9.75));
    lblCaption[2]->setWordWrap(true);
    ui::place(lblCaption[2], 98, 1200, 6375, 480);

    m_keywords = new ui::QuickPrefixListModel(this);
    lstKeyword = new QListView(client);
    lstKeyword->setObjectName(QStringLiteral("lstKeyword"));
    lstKeyword->setAccessibleName(QStringLiteral("Keywords"));
    lstKeyword->setModel(m_keywords);
    lstKeyword->setUniformItemSizes(true);
    lstKeyword->setSelectionMode(QAbstractItemView::SingleSelection);
    lstKeyword->setEditTriggers(QAbstractItemView::NoEditTriggers);
    whiteBackground(lstKeyword);
    lstKeyword->setGeometry(ui::twips(98, 1860, 6375, 1035));

    Command1 = commandButton(client, QStringLiteral("Command1"), QStringLiteral("&Open"), 3120);
    Command2 = commandButton(client, QStringLiteral("Command2"), QStringLiteral("&Add"), 3465);
    Command3 = commandButton(client, QStringLiteral("Command3"), QStringLiteral("&Remove"), 3810);
    Command4 = commandButton(client, QStringLiteral("Command4"), QStringLiteral("&Edit"), 4155);
    Command5 = commandButton(client, QStringLiteral("Command5"), QStringLiteral("E&xit"), 4500);

    Label1 = ui::plainLabel(client, QStringLiteral("Label1"), QStringLiteral("Keyword"), ui::verdana(8.25, true));
    ui::fitToText(Label1, 105, 4920, 840, 195);
    txtKeyword = new QLineEdit(client);
    txtKeyword->setObjectName(QStringLiteral("txtKeyword"));
    txtKeyword->setAccessibleName(QStringLiteral("Keyword"));
    txtKeyword->setMaxLength(std::numeric_limits<int>::max());
    whiteBackground(txtKeyword);
    ui::place(txtKeyword, 98, 5160, 6375, 285);
    Label1->setBuddy(txtKeyword);

    Label2 = ui::plainLabel(client, QStringLiteral("Label2"), QStringLiteral("Meaning"), ui::verdana(8.25, true));
    ui::fitToText(Label2, 105, 5520, 810, 195);
    txtMeaning = new QPlainTextEdit(client);
    txtMeaning->setObjectName(QStringLiteral("txtMeaning"));
    txtMeaning->setAccessibleName(QStringLiteral("Meaning"));
    txtMeaning->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtMeaning->setTabChangesFocus(true);
    whiteBackground(txtMeaning);
    txtMeaning->setGeometry(ui::twips(98, 5760, 6375, 1035));
    Label2->setBuddy(txtMeaning);
    m_boxes = std::make_unique<EntryBoxes>(txtKeyword, txtMeaning);

    promo = chrome::addPromoFrame(client, QRect(98, 6840, 6375, 855), QRect(60, 165, 6300, 615));

    // Below the client area, never seen: it only carries the reload. Its access key would make
    // Alt+R ambiguous with the Remove button, so it has none.
    cmdRefresh = new QPushButton(QStringLiteral("&Refresh"), client);
    cmdRefresh->setObjectName(QStringLiteral("cmdRefresh"));
    cmdRefresh->setShortcut(QKeySequence());
    cmdRefresh->setFocusPolicy(Qt::NoFocus);
    cmdRefresh->setGeometry(ui::twips(360, 7800, 855, 375));

    for (QWidget *control : std::initializer_list<QWidget *>{Command2, Command3, Command4, Command5, lstKeyword,
                                                             txtKeyword, txtMeaning})
        control->setEnabled(false);

    connect(Command1, &QPushButton::clicked, this, &frmResultBOS::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmResultBOS::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmResultBOS::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &frmResultBOS::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &frmResultBOS::Command5_Click);
    connect(cmdRefresh, &QPushButton::clicked, this, &frmResultBOS::cmdRefresh_Click);
    connect(lstKeyword->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &frmResultBOS::lstKeyword_Click);

    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuBack = mnuFile->addAction(QStringLiteral("&Back"), this, &frmResultBOS::mnuBack_Click);
    mnuBack->setObjectName(QStringLiteral("mnuBack"));
    mnuFile->addSeparator()->setObjectName(QStringLiteral("mnuFileSep1"));
    mnuExit = mnuFile->addAction(QStringLiteral("E&xit"), this, &frmResultBOS::mnuExit_Click);
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    diarymenu::addTo(mnuFile, this);
    help = chrome::addHelpMenus(this, QStringLiteral("mnuHelpSep1"), QStringLiteral("mnuHelpSep2"));
    connect(help.mnuAbout, &QAction::triggered, this, &frmResultBOS::mnuAbout_Click);

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    ui::fitAroundCentre(lblCaption[0], 2813, 500, 945, 270);
    ui::fitToText(lblCaption[1], 105, 865, 5175, 240);
}

void frmResultBOS::Form_Load()
{
    ui::centerOnScreen(this);

    const int option = modBookOfShadows::intSection;
    const sections::Section *section = sections::sectionAt(option);
    if (!section && option != sections::kLoadBookOption)
        return;
    lblCaption[0]->setText(section ? section->title() : sections::kLoadBookTitle);
    lblCaption[1]->setText(section ? section->instruction : QString());
    lblCaption[2]->setText(section ? section->helpText : QString());
    ui::fitAroundCentre(lblCaption[0], 2813, 500, 945, 270);
    ui::fitToText(lblCaption[1], 105, 865, 5175, 240);
    // "Load Book" stops here: it fills no list.
    if (!section)
        return;
    Command1->setText(SectionCaptions::open(section->name));
    Command2->setText(SectionCaptions::add(section->name));
    Command3->setText(SectionCaptions::remove(section->name));
    Command4->setText(SectionCaptions::edit(section->name));
    Command5->setText(SectionCaptions::exit(section->name));

    const auto keywords = modDB::ReadKeywords(modAppdata::WorkingDiaryPath(), section->table);
    if (keywords.ok())
        fillList(*keywords);
    else
        report(keywords.failure());
}

void frmResultBOS::Command1_Click()
{
    const bool opening = Command1->text() == SectionCaptions::open(strSection);
    Command1->setText(opening ? SectionCaptions::close(strSection) : SectionCaptions::open(strSection));
    for (QWidget *control : std::initializer_list<QWidget *>{Command2, Command3, Command4, Command5, lstKeyword,
                                                             txtKeyword, txtMeaning})
        control->setEnabled(opening);
}

void frmResultBOS::Command2_Click()
{
    if (Command2->text() == SectionCaptions::add(strSection))
        startAdding();
    else
        saveNewEntry();
}

// While an entry is added or edited, every other button and the list wait until it is saved or
// given up.
void frmResultBOS::holdOthers(const QPushButton *saving, bool held)
{
    for (QWidget *control : std::initializer_list<QWidget *>{Command1, Command2, Command3, Command4, Command5, lstKeyword})
        if (control != saving)
            control->setEnabled(!held);
}

void frmResultBOS::startAdding()
{
    holdOthers(Command2, true);
    Command2->setText(SectionCaptions::save(strSection));
    m_boxes->set(QString(), QString());
    txtKeyword->setFocus();
}

bool frmResultBOS::saveNewEntry()
{
    const modDB::Entry entry{text::trimSpaces(m_boxes->keyword()), text::trimSpaces(m_boxes->meaning())};
    if (const entries::Check check = entries::check(entry.keyword, entry.meaning); check != entries::Check::Passed) {
        if (!refuse(check))
            restoreBrowsingAfterAdd();
        return false;
    }

    const auto table = sectionTable();
    if (!table)
        return false;
    const auto added = modDB::AddEntry(modAppdata::WorkingDiaryPath(), *table, entry);
    if (!added.ok()) {
        report(added.failure());
        return false;
    }
    restoreBrowsingAfterAdd();
    cmdRefresh_Click();
    return true;
}

void frmResultBOS::restoreBrowsingAfterAdd()
{
    holdOthers(Command2, false);
    Command2->setText(SectionCaptions::add(strSection));
    m_boxes->set(QString(), QString());
    txtKeyword->setFocus();
}

void frmResultBOS::Command3_Click()
{
    const auto table = sectionTable();
    const auto index = selectedIndex();
    if (table && index) {
        const auto removed = modDB::RemoveEntry(modAppdata::WorkingDiaryPath(), *table, *index, selectedKeyword());
        if (!removed.ok()) {
            report(removed.failure());
            return;
        }
        if (*removed)
            m_boxes->set(QString(), QString());
    }
    cmdRefresh_Click();
}

void frmResultBOS::Command4_Click()
{
    if (Command4->text() == SectionCaptions::edit(strSection))
        startEditing();
    else
        saveChanges();
}

void frmResultBOS::startEditing()
{
    holdOthers(Command4, true);
    Command4->setText(SectionCaptions::save(strSection));
    txtKeyword->setFocus();
}

bool frmResultBOS::saveChanges()
{
    const auto table = sectionTable();
    const auto index = selectedIndex();
    bool saved = true;
    if (table && index) {
        const modDB::Entry entry{text::trimSpaces(m_boxes->keyword()), text::trimSpaces(m_boxes->meaning())};
        if (const entries::Check check = entries::check(entry.keyword, entry.meaning); check != entries::Check::Passed) {
            saved = false;
            if (refuse(check))
                return false;
        } else if (const auto updated = modDB::UpdateEntry(modAppdata::WorkingDiaryPath(), *table, *index, entry,
                                                           selectedKeyword());
                   !updated.ok()) {
            report(updated.failure());
            return false;
        }
    }
    restoreBrowsingAfterEdit();
    cmdRefresh_Click();
    return saved;
}

// Something typed stays after the message, with the focus in the first empty box: true then.
bool frmResultBOS::refuse(entries::Check check)
{
    gui::messages().show(this, entries::refusal(check), gui::MessageIcon::Critical);
    if (check == entries::Check::BothEmpty)
        return false;
    (check == entries::Check::KeywordEmpty ? static_cast<QWidget *>(txtKeyword) : txtMeaning)->setFocus();
    return true;
}

void frmResultBOS::restoreBrowsingAfterEdit()
{
    holdOthers(Command4, false);
    Command4->setText(SectionCaptions::edit(strSection));
    txtKeyword->setFocus();
}

void frmResultBOS::Command5_Click()
{
    mnuBack_Click();
}

void frmResultBOS::lstKeyword_Click()
{
    const auto table = sectionTable();
    const auto index = selectedIndex();
    if (!table || !index)
        return;
    const auto entry = modDB::ReadEntry(modAppdata::WorkingDiaryPath(), *table, *index);
    if (!entry.ok()) {
        report(entry.failure());
        return;
    }
    // A row under another keyword is another entry (the file was replaced): as if it were gone.
    if (*entry && (*entry)->keyword == selectedKeyword())
        m_boxes->set((*entry)->keyword, (*entry)->meaning);
}

bool frmResultBOS::selectEntry(qint64 index)
{
    auto position = std::find(m_indexes.begin(), m_indexes.end(), index);
    if (position == m_indexes.end()) {
        cmdRefresh_Click();
        position = std::find(m_indexes.begin(), m_indexes.end(), index);
        if (position == m_indexes.end())
            return false;
    }
    const QModelIndex line = m_keywords->index(int(position - m_indexes.begin()));
    lstKeyword->setCurrentIndex(line);
    lstKeyword->scrollTo(line);
    return true;
}

void frmResultBOS::cmdRefresh_Click()
{
    fillList({});
    const auto table = sectionTable();
    if (!table)
        return;
    const auto keywords = modDB::ReadKeywords(modAppdata::WorkingDiaryPath(), *table);
    if (keywords.ok())
        fillList(*keywords);
    else
        report(keywords.failure());
}

void frmResultBOS::mnuBack_Click()
{
    if (mayLeave())
        navigation::toMainWindow(this);
}

void frmResultBOS::mnuExit_Click()
{
    if (mayLeave())
        forms::unload(this);
}

void frmResultBOS::closeEvent(QCloseEvent *event)
{
    if (mayLeave())
        FormWindow::closeEvent(event);
    else
        event->ignore();
}

bool frmResultBOS::mayLeave()
{
    const SectionWindowMode mode = SectionWindowState(*this);
    const bool adding = mode == SectionWindowMode::Adding;
    if ((!adding && mode != SectionWindowMode::Editing) || !m_boxes->unsaved(adding))
        return true;
    return leavequestion::mayLeave(this, adding ? leavequestion::Entry::New : leavequestion::Entry::Edited,
                                   [this, adding] { return adding ? saveNewEntry() : saveChanges(); });
}

void frmResultBOS::mnuAbout_Click()
{
    navigation::showAbout();
}

void frmResultBOS::Form_Unload()
{
    navigation::afterMainOrSectionWindow();
}

int frmResultBOS::selectedPosition() const
{
    const QModelIndexList rows = lstKeyword->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

std::optional<modDB::Table> frmResultBOS::sectionTable() const
{
    return modDB::tableNamed(SectionCaptions::table(strSection));
}

std::optional<qint64> frmResultBOS::selectedIndex() const
{
    const int position = selectedPosition();
    if (position < 0 || std::size_t(position) >= m_indexes.size())
        return std::nullopt;
    return m_indexes[std::size_t(position)];
}

std::optional<QString> frmResultBOS::selectedKeyword() const
{
    const int position = selectedPosition();
    if (position < 0 || position >= m_keywords->rowCount())
        return std::nullopt;
    return m_keywords->index(position).data().toString();
}

void frmResultBOS::fillList(const modDB::Keywords &keywords)
{
    m_indexes = keywords.indexes;
    m_keywords->setStringList(keywords.keywords);
}

void frmResultBOS::report(const modDB::Failure &failure)
{
    gui::messages().show(this, modDB::message(failure), gui::MessageIcon::Critical);
}
