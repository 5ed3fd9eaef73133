#pragma once

#include "core/entries.h"
#include "core/store/store.h"
#include "gui/chrome.h"
#include "gui/entryboxes.h"
#include "gui/forms.h"
#include "gui/keywordlist.h"
#include "gui/sectionchoice.h"
#include "gui/sectioncontrols.h"
#include "gui/sectionstate.h"

#include <QMainWindow>

#include <memory>
#include <optional>
#include <vector>

struct DiaryChange;
class QAction;
class QMenu;

// The section window: lists, shows and edits the entries of the chosen diary section.
class SectionWindow : public forms::FormWindow<QMainWindow> {
    Q_OBJECT
public:
    using Mode = SectionState::Mode;

    explicit SectionWindow(SectionChoice choice = {});

    Mode mode() const { return m_state.mode(); }
    // Everything its captions and enabled states follow from.
    const SectionState &state() const { return m_state; }
    // The main window's choice this window was made with.
    const SectionChoice &choice() const { return m_choice; }

    // Opens the section as the Open button does, when it offers to open it.
    void open();

    void load() override;
    void unload() override;

    // File, Back: the main window again, once nothing typed would be lost.
    void backToMain();

    // Selects the line of the row with this "Index" as a click would, reading the list again
    // when the row is not in it; false when the row is not in the section.
    bool select(qint64 index);
    // The table of the chosen section; none when no section was ever chosen.
    std::optional<store::Table> sectionTable() const { return m_choice.table; }

    // The selected line, -1 when none.
    int selectedPosition() const { return m_lines->selectedPosition(); }
    // The "Index" of each line as of the last fill.
    const std::vector<qint64> &lineIndexes() const { return m_lines->indexes(); }

protected:
    void closeEvent(QCloseEvent *event) override;
    void forget() override;
    void recall() override;

private:
    void openOrCloseSection();
    void addOrSaveEntry();
    void removeEntry();
    void editOrSaveEntry();
    void showSelectedEntry();
    // Shows the entry in the boxes while it is the one listed under `keyword`; false when not.
    bool showEntry(qint64 index, const std::optional<QString> &keyword);
    void refreshList();
    void leave();
    // File, Undo: takes back this run's last change in the section; File, Redo (`redo`): does
    // again what Undo took back last.
    void undoLastChange(bool redo);

    SectionControls m_ui;

    QMenu *m_fileMenu = nullptr;
    QAction *m_backAction = nullptr;
    QAction *m_exitAction = nullptr;
    QAction *m_cancelAction = nullptr;
    chrome::HelpMenus m_help;

    // Every caption and enabled state follows from the state.
    void setState(SectionState state);
    void startAdding();
    // Both saves: false when a check or the diary refused the entry (the message has been shown).
    bool saveNewEntry();
    void startEditing();
    bool saveChanges();
    void followDiary(const DiaryChange &change);
    bool refuse(entries::Check check);
    // Back to browsing once an entry is saved or given up.
    void browseAfterAdding();
    void browseAfterEditing();
    // Escape while an entry is written: gives it up, asking first when something was typed.
    void cancelWriting();
    // Asks first when leaving would lose what was typed; false when the window stays.
    bool mayLeave();

    std::optional<qint64> selectedIndex() const { return m_lines->selectedIndex(); }
    std::optional<QString> selectedKeyword() const { return m_lines->selectedKeyword(); }
    void report(const store::Failure &failure);

    SectionChoice m_choice;
    SectionState m_state;
    std::unique_ptr<KeywordList> m_lines;
    std::unique_ptr<EntryBoxes> m_boxes;
    // The entry being edited, by its "Index", and what the boxes were given from it: Save finds
    // out by these whether the diary changed it meanwhile.
    struct Edited {
        qint64 index = 0;
        store::Entry given;
    };
    std::optional<Edited> m_edited;
};
