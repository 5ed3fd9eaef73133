#include "gui/windows/findwindow.h"

#include "core/diary.h"
#include "gui/forms.h"
#include "gui/messages.h"
#include "gui/navigation.h"
#include "gui/ui.h"

#include <QAbstractListModel>
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

namespace finder {

class ResultsModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    void set(const Index *index, std::vector<std::uint32_t> entries)
    {
        beginResetModel();
        m_index = index;
        m_entries = std::move(entries);
        endResetModel();
    }
    Hit hit(int row) const { return m_index->hit(m_entries[std::size_t(row)]); }

    int rowCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : int(m_entries.size()); }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        const Hit found = hit(index.row());
        return QStringLiteral("%1 \u2014 %2 \u2014 %3")
            .arg(found.keyword.simplified(), sections::section(found.table).name, found.meaningStart);
    }

private:
    const Index *m_index = nullptr;
    std::vector<std::uint32_t> m_entries;
};

} // namespace finder

namespace {
// What was last typed, for the next find window of this run.
QString g_lastTyped;
} // namespace

FindWindow::FindWindow(forms::Form *opener) : QWidget(opener->widget(), Qt::Window), m_opener(opener)
{
    setObjectName(QStringLiteral("FindWindow"));
    setWindowTitle(QStringLiteral("Find"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(520, 360);

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
    m_results = new finder::ResultsModel(this);
    m_resultList->setModel(m_results);
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
    // The results follow the diary while the window is open.
    connect(&Diary::working(), &Diary::changed, this, [this] {
        if (!diaryForgotten() && m_index)
            searchSoon();
    });

    m_findEdit->setText(g_lastTyped);
    m_findEdit->selectAll();
    standApart();
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

// Coming back after the diary was changed elsewhere: the results are looked up again.
void FindWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_index && !m_index->isCurrent())
        search();
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
// come runs first.
void FindWindow::chooseTyped()
{
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
    const QString typed = m_findEdit->text();
    // The diary is read as the window opens, before anything is typed.
    if (!indexIsReady() || typed.trimmed().isEmpty()) {
        m_results->set(nullptr, {});
        m_foundLabel->clear();
        return;
    }
    const auto entries = m_index->search(typed);
    const std::size_t found = entries.size();
    m_results->set(&*m_index, std::move(entries));
    m_foundLabel->setText(found == 0       ? QStringLiteral("No entries found")
                              : found == 1 ? QStringLiteral("1 entry found")
                                           : QStringLiteral("%1 entries found").arg(found));
}

bool FindWindow::indexIsReady()
{
    if (m_index && m_index->isCurrent())
        return true;
    const QString path = Diary::working().path();
    const store::DiaryVersion version = store::versionOf(path);
    if (m_failedVersion == version)
        return false;
    m_results->set(nullptr, {});
    m_index.reset();
    const ui::BusyCursor busy(Qt::BusyCursor);
    auto built = finder::Index::build(path);
    // The diary may have asked for its password, and the focus went back to the window under the
    // prompt: the user goes on typing here.
    if (isVisible() && !isActiveWindow()) {
        raise();
        activateWindow();
        m_findEdit->setFocus();
    }
    if (!built.ok()) {
        m_failedVersion = version;
        gui::messages().show(this, store::message(built.failure()), gui::MessageIcon::Critical);
        return false;
    }
    m_failedVersion.reset();
    m_index.emplace(std::move(built.value()));
    return true;
}

std::optional<std::uint32_t> FindWindow::indexedEntries() const
{
    return m_index ? std::optional(m_index->size()) : std::nullopt;
}

void FindWindow::forget()
{
    const QModelIndex chosen = m_resultList->currentIndex();
    m_heldRow = chosen.isValid() ? chosen.row() : -1;
    m_results->set(nullptr, {});
    m_foundLabel->clear();
    m_index = std::nullopt;
    m_failedVersion.reset();
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
    if (m_heldRow >= 0 && m_heldRow < m_results->rowCount({}))
        m_resultList->setCurrentIndex(m_results->index(m_heldRow));
}

void FindWindow::choose(const QModelIndex &row)
{
    if (!row.isValid() || row.row() >= m_results->rowCount({}))
        return;
    const finder::Hit hit = m_results->hit(row.row());
    navigation::showEntry(m_opener, hit.table, hit.index, this);
}
