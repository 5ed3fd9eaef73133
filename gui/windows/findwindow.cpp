#include "gui/windows/findwindow.h"

#include "core/diary.h"
#include "core/find/liveindex.h"
#include "gui/forms.h"
#include "gui/markeddelegate.h"
#include "gui/messages.h"
#include "gui/navigation.h"
#include "gui/resultsmodel.h"
#include "gui/ui.h"

#include <QApplication>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <utility>

namespace {
// What was last typed, for the next find window of this run.
QString g_lastTyped;
} // namespace

FindWindow::FindWindow(forms::Form *opener) : QWidget(opener->widget(), Qt::Window), m_opener(opener)
{
    setObjectName(QStringLiteral("FindWindow"));
    setWindowTitle(QStringLiteral("Find"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Wide enough for a result line whole: its keyword, section and the excerpt around the words found.
    resize(720, 360);

    auto *layout = new QVBoxLayout(this);
    auto *prompt = new QLabel(QStringLiteral("&Find:"), this);
    m_findEdit = new QLineEdit(this);
    m_findEdit->setObjectName(QStringLiteral("txtFind"));
    m_findEdit->setAccessibleName(QStringLiteral("Find"));
    m_findEdit->setClearButtonEnabled(true);
    // A paste as long as the field takes is laid out and drawn whole at each change; shaping it
    // took most of that time, and is left out only where a script reads as well without it.
    QFont unshaped = m_findEdit->font();
    unshaped.setStyleStrategy(QFont::PreferNoShaping);
    m_findEdit->setFont(unshaped);
    prompt->setBuddy(m_findEdit);
    m_resultList = new QListView(this);
    m_resultList->setObjectName(QStringLiteral("lstResults"));
    m_resultList->setAccessibleName(QStringLiteral("Results"));
    m_resultList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_resultList->setUniformItemSizes(true);
    m_results = new finder::ResultsModel(
        [](store::Table table, const std::vector<qint64> &indexes, const store::EntryVisitor &visit) {
            Diary::working().findIndex().readFound(table, indexes, visit);
        },
        this);
    m_resultList->setModel(m_results);
    m_resultList->setItemDelegate(new MarkedDelegate(finder::ResultsModel::MarksRole, m_resultList));
    m_foundLabel = new QLabel(this);
    m_foundLabel->setObjectName(QStringLiteral("lblFound"));
    m_foundLabel->setTextFormat(Qt::PlainText);
    layout->addWidget(prompt);
    layout->addWidget(m_findEdit);
    layout->addWidget(m_resultList, 1);
    layout->addWidget(m_foundLabel);

    connect(m_findEdit, &QLineEdit::textChanged, this, &FindWindow::searchSoon);
    connect(m_findEdit, &QLineEdit::returnPressed, this, &FindWindow::chooseTyped);
    connect(m_resultList, &QListView::activated, this, &FindWindow::choose);
    m_findEdit->installEventFilter(this);
    // The results follow the index, which follows the diary, while the window is open.
    connect(&Diary::working().findIndex(), &finder::LiveIndex::changed, this, [this] {
        if (!diaryForgotten())
            searchSoon();
    });

    m_findEdit->setText(g_lastTyped);
    m_findEdit->selectAll();
    standApart();
    // Once shown: the diary may ask for its password.
    QTimer::singleShot(0, this, &FindWindow::openDiary);
    searchSoon();
}

void FindWindow::belongTo(forms::Form *window)
{
    m_opener = window;
    setParent(window->widget(), windowFlags());
    standApart();
    show();
}

// A window of its own for the window manager, not one kept above its owner: the section window
// comes to the front over it after a choice.
void FindWindow::standApart()
{
    winId();
    windowHandle()->setTransientParent(nullptr);
}

void FindWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

// Coming back after another program changed the diary: the index reads it again, and the results
// follow.
void FindWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !diaryForgotten())
        Diary::working().lookForOutsideChange();
    QWidget::changeEvent(event);
}

// Down from the text goes on into the results.
bool FindWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_findEdit && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Down && m_results->rowCount({}) > 0) {
        m_resultList->setFocus();
        if (!m_resultList->currentIndex().isValid())
            m_resultList->setCurrentIndex(m_results->index(0));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// Keystrokes that arrive while a search runs are read together by the next one.
void FindWindow::searchSoon()
{
    g_lastTyped = m_findEdit->text();
    if (m_searchPending)
        return;
    m_searchPending = true;
    QTimer::singleShot(0, this, &FindWindow::search);
}

// Enter chooses the selected result, or else the first, of what is typed now: a search still to
// come runs first, and the index being read is waited for, as the user asks for a result.
void FindWindow::chooseTyped()
{
    if (diaryForgotten())
        return;
    finder::LiveIndex &index = Diary::working().findIndex();
    if (index.state() != finder::LiveIndex::State::Ready) {
        openDiary();
        const ui::BusyCursor busy(Qt::BusyCursor);
        index.finishReading();
    }
    if (m_searchPending)
        search();
    const QModelIndexList selected = m_resultList->selectionModel()->selectedRows();
    choose(selected.isEmpty() ? m_results->index(0) : selected.first());
}

void FindWindow::search()
{
    m_searchPending = false;
    // Locked: the search runs again once the diary is unlocked.
    if (diaryForgotten())
        return;
    const finder::LiveIndex &index = Diary::working().findIndex();
    const QString typed = m_findEdit->text();
    if (index.state() == finder::LiveIndex::State::Failed)
        reportFailure();
    else
        m_failureReported = false;
    if (index.state() != finder::LiveIndex::State::Ready || typed.trimmed().isEmpty()) {
        m_results->set({});
        if (index.state() == finder::LiveIndex::State::Reading)
            m_foundLabel->setText(QStringLiteral("Reading the diary\u2026"));
        else
            m_foundLabel->clear();
        return;
    }
    finder::Results results = index.search(typed);
    const std::size_t found = results.size();
    m_results->set(std::move(results), typed);
    m_foundLabel->setText(found == 0       ? QStringLiteral("No entries found")
                              : found == 1 ? QStringLiteral("1 entry found")
                                           : QStringLiteral("%1 entries found").arg(found));
    if (m_heldRow >= 0 && m_heldRow < m_results->rowCount())
        m_resultList->setCurrentIndex(m_results->index(m_heldRow));
    m_heldRow = -1;
}

// The diary opens on the window's thread, where its password may be asked for; its index is read
// in the background from then on.
void FindWindow::openDiary()
{
    if (m_diaryOpened || diaryForgotten())
        return;
    m_diaryOpened = true;
    const auto opened = Diary::working().open();
    // The diary may have asked for its password, and the focus went back to the window under the
    // prompt: the user goes on typing here.
    if (isVisible() && !isActiveWindow()) {
        raise();
        activateWindow();
        m_findEdit->setFocus();
        // The field drops its selection as the windows change turns; the first key still takes
        // the place of what the window opened with.
        if (!m_findEdit->isModified())
            QTimer::singleShot(0, m_findEdit, &QLineEdit::selectAll);
    }
    if (opened)
        gui::messages().show(this, store::message(*opened), gui::MessageIcon::Critical);
}

void FindWindow::reportFailure()
{
    if (std::exchange(m_failureReported, true))
        return;
    gui::messages().show(this, store::message(Diary::working().findIndex().failure()), gui::MessageIcon::Critical);
}

std::optional<std::uint32_t> FindWindow::indexedEntries() const
{
    return Diary::working().findIndex().size();
}

void FindWindow::forget()
{
    const QModelIndex chosen = m_resultList->currentIndex();
    m_heldRow = chosen.isValid() ? chosen.row() : -1;
    m_results->set({});
    m_foundLabel->clear();
    m_heldTyped = m_findEdit->text();
    // Not an edit: what was typed stays for the next find window too. setText, unlike clear,
    // also drops the field's undo steps.
    const QSignalBlocker quiet(m_findEdit);
    m_findEdit->setText(QString());
}

void FindWindow::recall()
{
    {
        const QSignalBlocker quiet(m_findEdit);
        m_findEdit->setText(std::exchange(m_heldTyped, QString()));
    }
    search();
}

void FindWindow::choose(const QModelIndex &row)
{
    if (!row.isValid() || row.row() >= m_results->rowCount({}))
        return;
    const finder::Hit hit = m_results->hit(row.row());
    navigation::showEntry(m_opener, hit.table, hit.index, this);
}
