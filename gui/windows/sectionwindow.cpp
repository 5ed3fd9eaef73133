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

SectionWindow::SectionWindow(SectionChoice choice) : m_choice(std::move(choice))
{
    QWidget *client = chrome::setUpWindow(this, QStringLiteral("frmResultBOS"), 6570, 7695);

    m_ui = SectionControls::make(this, client);
    m_lines = std::make_unique<KeywordList>(m_ui.keywordList, m_ui.keywords);
    m_boxes = std::make_unique<EntryBoxes>(m_ui.keywordEdit, m_ui.meaningEdit);
    // Escape gives up the entry being written, asking first as leaving would, and stays.
    m_cancelAction = new QAction(this);
    m_cancelAction->setShortcut(Qt::Key_Escape);
    addAction(m_cancelAction);
    connect(m_cancelAction, &QAction::triggered, this, &SectionWindow::cancelWriting);

    setState(m_state);

    connect(m_ui.openButton, &QPushButton::clicked, this, &SectionWindow::openOrCloseSection);
    connect(m_ui.addButton, &QPushButton::clicked, this, &SectionWindow::addOrSaveEntry);
    connect(m_ui.removeButton, &QPushButton::clicked, this, &SectionWindow::removeEntry);
    connect(m_ui.editButton, &QPushButton::clicked, this, &SectionWindow::editOrSaveEntry);
    connect(m_ui.exitButton, &QPushButton::clicked, this, &SectionWindow::backToMain);
    connect(m_ui.refreshButton, &QPushButton::clicked, this, &SectionWindow::refreshList);
    connect(m_ui.keywordList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SectionWindow::showSelectedEntry);
    connect(&Diary::working(), &Diary::changed, this, &SectionWindow::followDiary);

    m_fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    m_fileMenu->setObjectName(QStringLiteral("mnuFile"));
    m_backAction = m_fileMenu->addAction(QStringLiteral("&Back"), this, &SectionWindow::backToMain);
    m_backAction->setObjectName(QStringLiteral("mnuBack"));
    m_fileMenu->addSeparator()->setObjectName(QStringLiteral("mnuFileSep1"));
    m_exitAction = m_fileMenu->addAction(QStringLiteral("E&xit"), this, &SectionWindow::leave);
    m_exitAction->setObjectName(QStringLiteral("mnuExit"));
    diarymenu::addTo(m_fileMenu, this,
                     {.undo = [this] { undoLastChange(false); }, .redo = [this] { undoLastChange(true); }});
    m_help = chrome::addHelpMenus(this, QStringLiteral("mnuHelpSep1"), QStringLiteral("mnuHelpSep2"));

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    ui::fitAroundCentre(m_ui.captions[0], 2813, 500, 945, 270);
    ui::fitToText(m_ui.captions[1], 105, 865, 5175, 240);
}

void SectionWindow::load()
{
    ui::centerOnScreen(this);

    const int option = m_choice.option;
    const sections::Section *section = sections::sectionAt(option);
    if (!section && option != sections::kLoadBookOption)
        return;
    m_ui.captions[0]->setText(section ? section->title() : sections::kLoadBookTitle);
    m_ui.captions[1]->setText(section ? section->instruction : QString());
    m_ui.captions[2]->setText(section ? section->helpText : QString());
    ui::fitAroundCentre(m_ui.captions[0], 2813, 500, 945, 270);
    ui::fitToText(m_ui.captions[1], 105, 865, 5175, 240);
    // "Load Book" stops here: it fills no list.
    if (!section)
        return;
    m_ui.removeButton->setText(captions::remove(section->name));
    m_ui.exitButton->setText(captions::exit(section->name));
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
    for (auto [button, control] : {std::pair{Button::Open, m_ui.openButton}, std::pair{Button::Add, m_ui.addButton},
                                   std::pair{Button::Edit, m_ui.editButton}}) {
        if (const auto caption = state.caption(button, m_choice.name))
            control->setText(*caption);
        control->setEnabled(state.enabled(button));
    }
    for (QWidget *control : std::initializer_list<QWidget *>{m_ui.removeButton, m_ui.exitButton, m_ui.keywordList})
        control->setEnabled(state.listEnabled());
    for (QWidget *control : std::initializer_list<QWidget *>{m_ui.keywordEdit, m_ui.meaningEdit})
        control->setEnabled(state.boxesEnabled());
    m_cancelAction->setEnabled(state.writing());
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
    m_ui.keywordEdit->setFocus();
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
    m_ui.keywordEdit->setFocus();
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
    // After a save the boxes show the saved entry with no line selected: Edit changes that one.
    const auto index = selectedIndex() ? selectedIndex() : m_boxes->followed();
    m_edited = index ? std::optional<Edited>(Edited{*index, m_boxes->given()}) : std::nullopt;
    setState(m_state.editing());
    m_ui.keywordEdit->setFocus();
}

bool SectionWindow::saveChanges()
{
    const auto table = sectionTable();
    // With no line to change, only text typed since Edit is saved, as a new entry at the user's word.
    if (table && (m_edited || m_boxes->unsaved(false))) {
        const store::Entry entry{text::trimSpaces(m_boxes->keyword()), text::trimSpaces(m_boxes->meaning())};
        if (const entries::Check check = entries::check(entry.keyword, entry.meaning);
            check != entries::Check::Passed) {
            if (refuse(check))
                return false;
            browseAfterEditing();
            return false;
        }
        const auto index = m_edited ? std::optional(m_edited->index) : std::nullopt;
        const editsave::Outcome saved = editsave::save(this, *table, index, m_edited ? m_edited->given : entry, entry);
        if (saved.kind == editsave::Outcome::Kind::NotWritten)
            return false;
        if (saved.kind != editsave::Outcome::Kind::Written) {
            // The typed text is given up: the boxes and the list show the diary as it is.
            m_boxes->set(saved.diary ? saved.diary->keyword : QString(),
                         saved.diary ? saved.diary->meaning : QString());
            browseAfterEditing();
            const QSignalBlocker keepBoxes(m_ui.keywordList->selectionModel());
            refreshList();
            if (index)
                m_lines->select(*index);
            return true;
        }
        // Nothing was read back for a save.
        browseAfterEditing();
        m_lines->clearSelection();
        m_boxes->follow(saved.index);
        return true;
    }
    browseAfterEditing();
    refreshList();
    return true;
}

// Something typed stays after the message, with the focus in the first empty box: true then.
bool SectionWindow::refuse(entries::Check check)
{
    gui::messages().show(this, entries::refusal(check), gui::MessageIcon::Critical);
    if (check == entries::Check::BothEmpty)
        return false;
    (check == entries::Check::KeywordEmpty ? static_cast<QWidget *>(m_ui.keywordEdit) : m_ui.meaningEdit)->setFocus();
    return true;
}

void SectionWindow::cancelWriting()
{
    const auto began = mode() == Mode::Adding ? SectionState::Button::Add : SectionState::Button::Edit;
    // Saved at the question, the window is browsing already.
    if (!m_state.writing() || !mayLeave() || !m_state.writing())
        return;
    setState(m_state.browsingAfter(began));
    // Back to what the boxes showed, as the diary holds it now.
    const bool followed = began == SectionState::Button::Edit && m_edited && !selectedIndex();
    m_boxes->set(QString(), QString());
    if (!followed)
        showSelectedEntry();
    else if (showEntry(m_edited->index, m_edited->given.keyword))
        m_boxes->follow(m_edited->index);
    m_ui.keywordList->setFocus();
}

void SectionWindow::browseAfterEditing()
{
    setState(m_state.browsingAfter(SectionState::Button::Edit));
    m_ui.keywordEdit->setFocus();
}

void SectionWindow::showSelectedEntry()
{
    if (const auto index = selectedIndex())
        showEntry(*index, selectedKeyword());
}

bool SectionWindow::showEntry(qint64 index, const std::optional<QString> &keyword)
{
    const auto table = sectionTable();
    if (!table)
        return false;
    const auto entry = Diary::working().entry(*table, index);
    if (!entry.ok()) {
        report(entry.failure());
        return false;
    }
    // A row under another keyword is another entry (the file was replaced): as if it were gone.
    if (!*entry || (*entry)->keyword != keyword)
        return false;
    m_boxes->set((*entry)->keyword, (*entry)->meaning);
    return true;
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

void SectionWindow::undoLastChange(bool redo)
{
    const auto table = sectionTable();
    if (!table || !entryguard::entriesMayChange(this))
        return;
    Diary &diary = Diary::working();
    const auto undone = redo ? diary.redoLastIn(*table) : diary.undoLastIn(*table);
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
    // Text typed after Edit with no line selected is a new entry, as its Save offers.
    const bool newEntry = adding || !m_edited;
    return leavequestion::mayLeave(this, newEntry ? leavequestion::Entry::New : leavequestion::Entry::Edited,
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
    const QSignalBlocker keepTyping(m_ui.keywordList->selectionModel());
    const auto selected = m_lines->show();
    refreshList();
    if (selected)
        select(*selected);
}

void SectionWindow::report(const store::Failure &failure)
{
    gui::messages().show(this, store::message(failure), gui::MessageIcon::Critical);
}
