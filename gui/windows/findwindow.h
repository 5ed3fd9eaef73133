#pragma once

#include "core/find/find.h"
#include "gui/forms.h"

#include <QWidget>

#include <optional>

class QLabel;
class QLineEdit;
class QListView;
class QModelIndex;

namespace finder {
class ResultsModel;
}

// The find window: what the user types is looked up in the whole diary as they type, and a
// chosen result is shown in its section window. It belongs to the window it was opened from, or
// to the one a choice led to, and closes with it; it never stays on top of it.
class FindWindow : public QWidget, public forms::Form {
    Q_OBJECT
public:
    explicit FindWindow(forms::Form *opener);

    // Goes along with the user to the window a choice led to, when that window takes the place
    // of the one it belonged to.
    void belongTo(forms::Form *window);

    // Whether it holds its word index of the diary, and for how many entries.
    std::optional<std::uint32_t> indexedEntries() const;

protected:
    // Outside the registry, but locked with the others: the results and the index go, and the
    // words typed wait in memory until the diary is unlocked.
    void forget() override;
    void recall() override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void standApart();
    void searchSoon();
    void search();
    void chooseTyped();
    bool indexIsReady();
    void choose(const QModelIndex &row);

    QLineEdit *m_findEdit = nullptr;
    QListView *m_resultList = nullptr;
    QLabel *m_foundLabel = nullptr;
    forms::Form *m_opener;
    std::optional<finder::Index> m_index;
    // A diary that failed to read is reported once, not at every keystroke.
    std::optional<store::DiaryVersion> m_failedVersion;
    finder::ResultsModel *m_results = nullptr;
    bool m_searchPending = false;
    // While the diary is locked: what the field held, and the result that was chosen.
    QString m_heldTyped;
    int m_heldRow = -1;
};
