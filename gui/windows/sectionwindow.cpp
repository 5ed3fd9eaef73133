#include "gui/windows/sectionwindow.h"

#include "core/diary.h"
#include "core/entries.h"
#include "core/sections.h"
#include "core/services.h"
#include "core/text.h"
#include "gui/diarymenu.h"
#include "gui/editsave.h"
#include "gui/entryguard.h"
#include "gui/leavequestion.h"
#include "gui/messages.h"
#include "gui/navigation.h"
#include "gui/quickprefixlistmodel.h"
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
#include <QSignalBlocker>

#include <limits>

SectionWindow::SectionWindow(SectionChoice choice) : m_choice(std::move(choice))
{
    QWidget *client = chrome::setUpWindow(this, QStringLiteral("frmResultBOS"), 6570, 7695);

    m_forumLink = chrome::addForumLink(client, QRect(728, 0, 5115, 390));

    m_captions[0] =
        ui::plainLabel(client, QStringLiteral("lblCaption_0"), QStringLiteral("Caption"), ui::verdana(11.25, true));
    m_captions[0]->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_captions[1] =
        ui::plainLabel(client, QStringLiteral("lblCaption_1"),
                       QStringLiteral("Click on Open Spell to Access the Spells Section"), ui::verdana(9.75, true));
    m_captions[2] =
        ui::plainLabel(client, QStringLiteral("lblCaption_2"),
                       QStringLiteral("Add your new spell secrets and save them. Add, edit or remove the selected "
                                      "spells according to your preferences."),
                       ui::verdana(9.75));
    m_captions[2]->setWordWrap(true);
    ui::place(m_captions[2], 98, 1200, 6375, 480);

    auto *keywords = new QuickPrefixListModel(this);
    m_keywordList = new QListView(client);
    m_keywordList->setObjectName(QStringLiteral("lstKeyword"));
    m_keywordList->setAccessibleName(QStringLiteral("Keywords"));
    m_keywordList->setModel(keywords);
    m_keywordList->setUniformItemSizes(true);
    m_keywordList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_keywordList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ui::setColor(m_keywordList, QPalette::Base, Qt::white);
    m_keywordList->setGeometry(ui::twips(98, 1860, 6375, 1035));
    m_lines = std::make_unique<KeywordList>(m_keywordList, keywords);

    m_openButton = chrome::addCommandButton(client, QStringLiteral("Command1"), QStringLiteral("&Open"), 3120);
    m_addButton = chrome::addCommandButton(client, QStringLiteral("Command2"), QStringLiteral("&Add"), 3465);
    m_removeButton = chrome::addCommandButton(client, QStringLiteral("Command3"), QStringLiteral("&Remove"), 3810);
    m_editButton = chrome::addCommandButton(client, QStringLiteral("Command4"), QStringLiteral("&Edit"), 4155);
    m_exitButton = chrome::addCommandButton(client, QStringLiteral("Command5"), QStringLiteral("E&xit"), 4500);

    m_keywordLabel =
        ui::plainLabel(client, QStringLiteral("Label1"), QStringLiteral("Keyword"), ui::verdana(8.25, true));
    ui::fitToText(m_keywordLabel, 105, 4920, 840, 195);
    m_keywordEdit = new QLineEdit(client);
    m_keywordEdit->setObjectName(QStringLiteral("txtKeyword"));
    m_keywordEdit->setAccessibleName(QStringLiteral("Keyword"));
    m_keywordEdit->setMaxLength(std::numeric_limits<int>::max());
    ui::setColor(m_keywordEdit, QPalette::Base, Qt::white);
    ui::place(m_keywordEdit, 98, 5160, 6375, 285);
    m_keywordLabel->setBuddy(m_keywordEdit);

    m_meaningLabel =
        ui::plainLabel(client, QStringLiteral("Label2"), QStringLiteral("Meaning"), ui::verdana(8.25, true));
    ui::fitToText(m_meaningLabel, 105, 5520, 810, 195);
    m_meaningEdit = new QPlainTextEdit(client);
    m_meaningEdit->setObjectName(QStringLiteral("txtMeaning"));
    m_meaningEdit->setAccessibleName(QStringLiteral("Meaning"));
    m_meaningEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_meaningEdit->setTabChangesFocus(true);
    ui::setColor(m_meaningEdit, QPalette::Base, Qt::white);
    m_meaningEdit->setGeometry(ui::twips(98, 5760, 6375, 1035));
    m_meaningLabel->setBuddy(m_meaningEdit);
    m_boxes = std::make_unique<EntryBoxes>(m_keywordEdit, m_meaningEdit);

    m_promo = chrome::addPromoFrame(client, QRect(98, 6840, 6375, 855), QRect(60, 165, 6300, 615));

    // Below the client area, never seen: it only carries the reload. Its access key would make
    // Alt+R ambiguous with the Remove button, so it has none.
    m_refreshButton = new QPushButton(QStringLiteral("&Refresh"), client);
    m_refreshButton->setObjectName(QStringLiteral("cmdRefresh"));
    m_refreshButton->setShortcut(QKeySequence());
    m_refreshButton->setFocusPolicy(Qt::NoFocus);
    m_refreshButton->setGeometry(ui::twips(360, 7800, 855, 375));

    setState(m_state);

    connect(m_openButton, &QPushButton::clicked, this, &SectionWindow::openOrCloseSection);
    connect(m_addButton, &QPushButton::clicked, this, &SectionWindow::addOrSaveEntry);
    connect(m_removeButton, &QPushButton::clicked, this, &SectionWindow::removeEntry);
    connect(m_editButton, &QPushButton::clicked, this, &SectionWindow::editOrSaveEntry);
    connect(m_exitButton, &QPushButton::clicked, this, &SectionWindow::backToMain);
    connect(m_refreshButton, &QPushButton::clicked, this, &SectionWindow::refreshList);
    connect(m_keywordList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SectionWindow::showSelectedEntry);
    connect(&Diary::working(), &Diary::changed, this, &SectionWindow::followDiary);

    m_fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    m_fileMenu->setObjectName(QStringLiteral("mnuFile"));
    m_backAction = m_fileMenu->addAction(QStringLiteral("&Back"), this, &SectionWindow::backToMain);
    m_backAction->setObjectName(QStringLiteral("mnuBack"));
    m_fileMenu->addSeparator()->setObjectName(QStringLiteral("mnuFileSep1"));
    m_exitAction = m_fileMenu->addAction(QStringLiteral("E&xit"), this, &SectionWindow::leave);
    m_exitAction->setObjectName(QStringLiteral("mnuExit"));
    diarymenu::addTo(m_fileMenu, this, {.undo = [this] { undoLastChange(); }});
    m_help = chrome::addHelpMenus(this, QStringLiteral("mnuHelpSep1"), QStringLiteral("mnuHelpSep2"));

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    ui::fitAroundCentre(m_captions[0], 2813, 500, 945, 270);
    ui::fitToText(m_captions[1], 105, 865, 5175, 240);
}

void SectionWindow::load()
{
    ui::centerOnScreen(this);

    const int option = m_choice.option;
    const sections::Section *section = sections::sectionAt(option);
    if (!section && option != sections::kLoadBookOption)
        return;
    m_captions[0]->setText(section ? section->title() : sections::kLoadBookTitle);
    m_captions[1]->setText(section ? section->instruction : QString());
    m_captions[2]->setText(section ? section->helpText : QString());
    ui::fitAroundCentre(m_captions[0], 2813, 500, 945, 270);
    ui::fitToText(m_captions[1], 105, 865, 5175, 240);
    // "Load Book" stops here: it fills no list.
    if (!section)
        return;
    m_removeButton->setText(captions::remove(section->name));
    m_exitButton->setText(captions::exit(section->name));
    setState(SectionState::loaded());

    const auto keywords = Diary::working().keywords(section->table);
    if (keywords.ok())
        m_lines->fill(*keywords);
    else
        report(keywords.failure());
}

void SectionWindow::setState(SectionState state)
{
    m_state = state;
    using Button = SectionState::Button;
    for (auto [button, control] : {std::pair{Button::Open, m_openButton}, std::pair{Button::Add, m_addButton},
                                   std::pair{Button::Edit, m_editButton}}) {
        if (const auto caption = state.caption(button, m_choice.name))
            control->setText(*caption);
        control->setEnabled(state.enabled(button));
    }
    for (QWidget *control : std::initializer_list<QWidget *>{m_removeButton, m_exitButton, m_keywordList})
        control->setEnabled(state.listEnabled());
    for (QWidget *control : std::initializer_list<QWidget *>{m_keywordEdit, m_meaningEdit})
        control->setEnabled(state.boxesEnabled());
}

void SectionWindow::openOrCloseSection()
{
    setState(m_state.firstStep(SectionState::Button::Open) ? m_state.opened() : m_state.closed());
}

void SectionWindow::open()
{
    if (m_state.firstStep(SectionState::Button::Open))
        setState(m_state.opened());
}

void SectionWindow::addOrSaveEntry()
{
    if (m_state.firstStep(SectionState::Button::Add))
        startAdding();
    else
        saveNewEntry();
}

void SectionWindow::startAdding()
{
    setState(m_state.adding());
    m_boxes->set(QString(), QString());
    m_keywordEdit->setFocus();
}

bool SectionWindow::saveNewEntry()
{
    const store::Entry entry{text::trimSpaces(m_boxes->keyword()), text::trimSpaces(m_boxes->meaning())};
    if (const entries::Check check = entries::check(entry.keyword, entry.meaning); check != entries::Check::Passed) {
        if (!refuse(check))
            browseAfterAdding();
        return false;
    }

    const auto table = sectionTable();
    if (!table)
        return false;
    // The list gets the new line from the diary's notice: nothing is read back.
    const auto added = Diary::working().add(*table, entry);
    if (!added.ok()) {
        report(added.failure());
        return false;
    }
    browseAfterAdding();
    m_lines->clearSelection();
    return true;
}

void SectionWindow::browseAfterAdding()
{
    setState(m_state.browsingAfter(SectionState::Button::Add));
    m_boxes->set(QString(), QString());
    m_keywordEdit->setFocus();
}

void SectionWindow::removeEntry()
{
    const auto table = sectionTable();
    const auto index = selectedIndex();
    if (table && index) {
        const auto removed = Diary::working().remove(*table, *index, selectedKeyword());
        if (!removed.ok()) {
            report(removed.failure());
            return;
        }
        if (*removed) {
            m_boxes->set(QString(), QString());
            m_lines->clearSelection();
            return;
        }
    }
    // The line stood for a row that is gone or another entry now: the list shows what is there.
    refreshList();
}

void SectionWindow::editOrSaveEntry()
{
    if (m_state.firstStep(SectionState::Button::Edit))
        startEditing();
    else
        saveChanges();
}

void SectionWindow::startEditing()
{
    const auto index = selectedIndex();
    m_edited = index ? std::optional<Edited>(Edited{*index, m_boxes->given()}) : std::nullopt;
    setState(m_state.editing());
    m_keywordEdit->setFocus();
}

bool SectionWindow::saveChanges()
{
    const auto table = sectionTable();
    if (table && m_edited) {
        const store::Entry entry{text::trimSpaces(m_boxes->keyword()), text::trimSpaces(m_boxes->meaning())};
        if (const entries::Check check = entries::check(entry.keyword, entry.meaning);
            check != entries::Check::Passed) {
            if (refuse(check))
                return false;
            browseAfterEditing();
            return false;
        }
        const editsave::Outcome saved = editsave::save(this, *table, m_edited->index, m_edited->given, entry);
        if (saved.kind == editsave::Outcome::Kind::NotWritten)
            return false;
        if (saved.kind == editsave::Outcome::Kind::TookTheDiary) {
            // The typed text is given up: the boxes and the list show the diary as it is.
            m_boxes->set(saved.diary ? saved.diary->keyword : QString(),
                         saved.diary ? saved.diary->meaning : QString());
            browseAfterEditing();
            const QSignalBlocker keepBoxes(m_keywordList->selectionModel());
            refreshList();
            m_lines->select(m_edited->index);
            return true;
        }
    }
    browseAfterEditing();
    // Nothing was read back for a save; without a row to save, the list is read as ever.
    if (m_edited) {
        m_lines->clearSelection();
        m_boxes->follow(m_edited->index);
    } else {
        refreshList();
    }
    return true;
}

// Something typed stays after the message, with the focus in the first empty box: true then.
bool SectionWindow::refuse(entries::Check check)
{
    gui::messages().show(this, entries::refusal(check), gui::MessageIcon::Critical);
    if (check == entries::Check::BothEmpty)
        return false;
    (check == entries::Check::KeywordEmpty ? static_cast<QWidget *>(m_keywordEdit) : m_meaningEdit)->setFocus();
    return true;
}

void SectionWindow::browseAfterEditing()
{
    setState(m_state.browsingAfter(SectionState::Button::Edit));
    m_keywordEdit->setFocus();
}

void SectionWindow::showSelectedEntry()
{
    const auto table = sectionTable();
    const auto index = selectedIndex();
    if (!table || !index)
        return;
    const auto entry = Diary::working().entry(*table, *index);
    if (!entry.ok()) {
        report(entry.failure());
        return;
    }
    // A row under another keyword is another entry (the file was replaced): as if it were gone.
    if (*entry && (*entry)->keyword == selectedKeyword())
        m_boxes->set((*entry)->keyword, (*entry)->meaning);
}

bool SectionWindow::select(qint64 index)
{
    if (m_lines->select(index))
        return true;
    refreshList();
    return m_lines->select(index);
}

void SectionWindow::refreshList()
{
    m_lines->fill({});
    const auto table = sectionTable();
    if (!table || diaryForgotten())
        return;
    const auto keywords = Diary::working().keywords(*table);
    if (keywords.ok())
        m_lines->fill(*keywords);
    else
        report(keywords.failure());
}

// The list and boxes follow every change of the diary, wherever it was made. What the user is
// typing stays: an entry being added or edited is never overwritten (its Save asks when the entry
// changed underneath).
void SectionWindow::followDiary(const DiaryChange &change)
{
    const auto table = sectionTable();
    if (!table || diaryForgotten() || !change.touches(*table))
        return;
    // After a book option, the list waits until the buttons it needs show the captions of a mode.
    if (m_state.anyDrawn())
        return;
    const auto selected = selectedIndex();
    if (!m_lines->follow(change, *table))
        return;
    if (!m_state.writing() && !selected)
        if (const auto failed = m_boxes->followDiary(change, *table))
            return report(*failed);
    if (m_state.writing() || !selected)
        return;
    if (!selectedIndex())
        m_boxes->set(QString(), QString());
    else if (change.wholeSection(*table) || change.row(*table, *selected))
        showSelectedEntry();
}

void SectionWindow::undoLastChange()
{
    const auto table = sectionTable();
    if (!table || !entryguard::entriesMayChange(this))
        return;
    const auto undone = Diary::working().undoLastIn(*table);
    if (!undone.ok())
        return report(undone.failure());
    if (!undone->change)
        gui::messages().show(this, undone->refusal, gui::MessageIcon::Information);
}

void SectionWindow::backToMain()
{
    if (mayLeave())
        navigation::toMainWindow(this, m_choice);
}

void SectionWindow::leave()
{
    if (mayLeave())
        forms::unload(this);
}

void SectionWindow::closeEvent(QCloseEvent *event)
{
    if (mayLeave())
        FormWindow::closeEvent(event);
    else
        event->ignore();
}

bool SectionWindow::mayLeave()
{
    const bool adding = mode() == Mode::Adding;
    if (!m_state.writing() || !m_boxes->unsaved(adding))
        return true;
    return leavequestion::mayLeave(this, adding ? leavequestion::Entry::New : leavequestion::Entry::Edited,
                                   [this, adding] { return adding ? saveNewEntry() : saveChanges(); });
}

void SectionWindow::unload()
{
    navigation::afterMainOrSectionWindow();
}

void SectionWindow::forget()
{
    m_lines->hide();
    m_boxes->hide();
}

// The boxes get back what they held: the selection comes back without showing its entry in them.
void SectionWindow::recall()
{
    m_boxes->show();
    const QSignalBlocker keepTyping(m_keywordList->selectionModel());
    const auto selected = m_lines->show();
    refreshList();
    if (selected)
        select(*selected);
}

void SectionWindow::report(const store::Failure &failure)
{
    gui::messages().show(this, store::message(failure), gui::MessageIcon::Critical);
}
