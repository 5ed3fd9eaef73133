#pragma once

#include "gui/forms.h"

#include <QWidget>

#include <cstdint>
#include <optional>

class QLabel;
class QLineEdit;
class QListView;
class QModelIndex;

namespace finder {
class ResultsModel;
}

// The find window: what the user types is looked up in the whole diary as they type, and a
// chosen result is shown in its section window. The diary's find index is read in the background
// (core/find/liveindex.h): until it is, the window says it is reading, and typing never waits for
// it. It belongs to the window it was opened from, or to the one a choice led to, and closes with
// it; it never stays on top of it.
class FindWindow : public QWidget, public forms::Form {
    Q_OBJECT
public:
    explicit FindWindow(forms::Form *opener);

    // Goes along with the user to the window a choice led to, when that window takes the place
    // of the one it belonged to.
    void belongTo(forms::Form *window);

    // Whether the diary's word index is read, and for how many entries.
    std::optional<std::uint32_t> indexedEntries() const;

protected:
    // Outside the registry, but locked with the others: the results go (and the index with the
    // diary's lock), and the words typed wait in memory until the diary is unlocked.
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
    void openDiary();
    void reportFailure();
    void choose(const QModelIndex &row);

    QLineEdit *m_findEdit = nullptr;
    QListView *m_resultList = nullptr;
    QLabel *m_foundLabel = nullptr;
    forms::Form *m_opener;
    finder::ResultsModel *m_results = nullptr;
    bool m_searchPending = false;
    bool m_diaryOpened = false;
    // A reading that failed is reported once, not at every keystroke.
    bool m_failureReported = false;
    // While the diary is locked: what the field held; and the result that was chosen, until the
    // results are back.
    QString m_heldTyped;
    int m_heldRow = -1;
};
