#pragma once

// The section window's list of keywords, with the "Index" of each line as of its last fill: show,
// edit and remove act on the row whose "Index" stood at the selected line. While the diary is
// locked the list is empty, what it held zeroed, and the line that was selected is kept in memory
// only: it stays the selected line, for an edit saved on the way out.

#include "core/store/store.h"

struct DiaryChange;

#include <optional>
#include <vector>

class QListView;
class QStringListModel;

class KeywordList {
public:
    // The view shows the model's lines.
    KeywordList(QListView *view, QStringListModel *lines);

    void fill(const store::Keywords &keywords);
    // The line of this row follows what the row holds now: its keyword, a new line in "Index"
    // order, or none once it is removed. The selection stays on its row while the row stays.
    void follow(qint64 index, const std::optional<QString> &keyword);
    void clearSelection();
    // Follows a change of the diary in this section: line by line where it names its rows, else
    // read again whole. The selection stays on its row while the row holds the same keyword, and
    // the list's selection signals stay quiet. False when the section could not be read: the list
    // stays as it was, and the user hears of it at their next step.
    bool follow(const DiaryChange &change, store::Table table);
    const std::vector<qint64> &indexes() const { return m_indexes; }
    // The selected line, -1 when none.
    int selectedPosition() const;
    // The "Index" that stood at the selected line at the last fill.
    std::optional<qint64> selectedIndex() const;
    // The keyword the list shows at the selected line.
    std::optional<QString> selectedKeyword() const;
    // Selects and shows the line of the row with this "Index", as a click would; false when the
    // row is not in the list.
    bool select(qint64 index);

    // Empties the list, keeping the selected line.
    void hide();
    // The line that was selected as the list was hidden; the list shows what it is filled with again.
    std::optional<qint64> show();

private:
    QListView *m_view;
    QStringListModel *m_lines;
    std::vector<qint64> m_indexes;
    struct Held {
        std::optional<qint64> index;
        std::optional<QString> keyword;
    };
    std::optional<Held> m_held;
};
