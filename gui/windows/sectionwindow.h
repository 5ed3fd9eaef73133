#pragma once

#include "core/entries.h"
#include "core/store/store.h"
#include "gui/chrome.h"
#include "gui/entryboxes.h"
#include "gui/forms.h"

#include <QMainWindow>

#include <array>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStringListModel;

// The section window: lists, shows and edits the entries of the chosen diary section.
// Its mode lives in the captions of m_openButton, m_addButton and m_editButton and in which controls are
// enabled; there is no state variable.
class SectionWindow : public forms::FormWindow<QMainWindow> {
    Q_OBJECT
public:
    SectionWindow();

    void load() override;
    void unload() override;

    void openOrCloseSection();
    void addOrSaveEntry();
    void removeEntry();
    void editOrSaveEntry();
    void exitToMain();
    void showSelectedEntry();
    void refreshList();
    void backToMain();
    void leave();
    void showAbout();

    // Selects the line of the row with this "Index" as a click would, reading the list again
    // when the row is not in it; false when the row is not in the section.
    bool selectEntry(qint64 index);
    // The table of the section named by strSection; none when no section was ever chosen.
    std::optional<store::Table> sectionTable() const;

    // The selected line, -1 when none.
    int selectedPosition() const;
    // The "Index" of each line as of the last fill.
    const std::vector<qint64> &lineIndexes() const { return m_indexes; }

    ui::LinkLabel *Label14 = nullptr;
    std::array<QLabel *, 3> m_captions{};
    QListView *m_keywordList = nullptr;
    QPushButton *m_openButton = nullptr; // Open / Close the section
    QPushButton *m_addButton = nullptr; // Add / Save a new entry
    QPushButton *m_removeButton = nullptr; // Remove the selected entry
    QPushButton *m_editButton = nullptr; // Edit / Save the selected entry
    QPushButton *m_exitButton = nullptr; // Exit: back to the main window
    QLabel *Label1 = nullptr;
    QLineEdit *m_keywordEdit = nullptr;
    QLabel *Label2 = nullptr;
    QPlainTextEdit *m_meaningEdit = nullptr;
    chrome::PromoFrame promo;
    QPushButton *m_refreshButton = nullptr;

    QMenu *m_fileMenu = nullptr;
    QAction *m_backAction = nullptr;
    QAction *m_exitAction = nullptr;
    chrome::HelpMenus help;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void holdOthers(const QPushButton *saving, bool held);
    void startAdding();
    // Both saves: false when a check or the diary refused the entry (the message has been shown).
    bool saveNewEntry();
    void restoreBrowsingAfterAdd();
    void startEditing();
    bool saveChanges();
    bool refuse(entries::Check check);
    void restoreBrowsingAfterEdit();
    // Asks first when leaving would lose what was typed; false when the window stays.
    bool mayLeave();

    // The "Index" that stood at the selected line at the last fill.
    std::optional<qint64> selectedIndex() const;
    // The keyword the list shows at the selected line.
    std::optional<QString> selectedKeyword() const;
    void fillList(const store::Keywords &keywords);
    void report(const store::Failure &failure);

    QStringListModel *m_keywords = nullptr;
    std::vector<qint64> m_indexes;
    std::unique_ptr<EntryBoxes> m_boxes;
};
