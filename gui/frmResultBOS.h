#pragma once

#include "core/entries.h"
#include "core/modDB.h"
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
// Its mode lives in the captions of Command1, Command2 and Command4 and in which controls are
// enabled; there is no state variable.
class frmResultBOS : public forms::FormWindow<QMainWindow> {
    Q_OBJECT
public:
    frmResultBOS();

    void Form_Load() override;
    void Form_Unload() override;

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void lstKeyword_Click();
    void cmdRefresh_Click();
    void mnuBack_Click();
    void mnuExit_Click();
    void mnuAbout_Click();

    // Selects the line of the row with this "Index" as a click would, reading the list again
    // when the row is not in it; false when the row is not in the section.
    bool selectEntry(qint64 index);
    // The table of the section named by strSection; none when no section was ever chosen.
    std::optional<modDB::Table> sectionTable() const;

    // The selected line, -1 when none.
    int selectedPosition() const;
    // The "Index" of each line as of the last fill.
    const std::vector<qint64> &lineIndexes() const { return m_indexes; }

    ui::LinkLabel *Label14 = nullptr;
    std::array<QLabel *, 3> lblCaption{};
    QListView *lstKeyword = nullptr;
    QPushButton *Command1 = nullptr; // Open / Close the section
    QPushButton *Command2 = nullptr; // Add / Save a new entry
    QPushButton *Command3 = nullptr; // Remove the selected entry
    QPushButton *Command4 = nullptr; // Edit / Save the selected entry
    QPushButton *Command5 = nullptr; // Exit: back to the main window
    QLabel *Label1 = nullptr;
    QLineEdit *txtKeyword = nullptr;
    QLabel *Label2 = nullptr;
    QPlainTextEdit *txtMeaning = nullptr;
    chrome::PromoFrame promo;
    QPushButton *cmdRefresh = nullptr;

    QMenu *mnuFile = nullptr;
    QAction *mnuBack = nullptr;
    QAction *mnuExit = nullptr;
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
    void fillList(const modDB::Keywords &keywords);
    void report(const modDB::Failure &failure);

    QStringListModel *m_keywords = nullptr;
    std::vector<qint64> m_indexes;
    std::unique_ptr<EntryBoxes> m_boxes;
};
