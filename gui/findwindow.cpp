#include "gui/findwindow.h"

#include "core/modAppdata.h"
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
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

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

    int rowCount(const QModelIndex &parent) const override
    {
        return parent.isValid() ? 0 : int(m_entries.size());
    }
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

FindWindow::FindWindow(forms::Form *opener)
    : QWidget(opener->widget(), Qt::Window)
    , m_opener(opener)
{
    setObjectName(QStringLiteral("FindWindow"));
    setWindowTitle(QStringLiteral("Find"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(520, 360);

    auto *layout = new QVBoxLayout(this);
    auto *prompt = new QLabel(QStringLiteral("&Find:"), this);
    txtFind = new QLineEdit(this);
    txtFind->setObjectName(QStringLiteral("txtFind"));
    txtFind->setAccessibleName(QStringLiteral("Find"));
    txtFind->setClearButtonEnabled(true);
    // A paste as long as the field takes is laid out and drawn whole at each change; shaping it
    // took most of that time, and is left out only where a script reads as well without it.
    QFont unshaped = txtFind->font();
    unshaped.setStyleStrategy(QFont::PreferNoShaping);
    txtFind->setFont(unshaped);
    prompt->setBuddy(txtFind);
    lstResults = new QListView(this);
    lstResults->setObjectName(QStringLiteral("lstResults"));
    lstResults->setAccessibleName(QStringLiteral("Results"));
    lstResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstResults->setUniformItemSizes(true);
    m_results = new finder::ResultsModel(this);
    lstResults->setModel(m_results);
    lblFound = new QLabel(this);
    lblFound->setObjectName(QStringLiteral("lblFound"));
    lblFound->setTextFormat(Qt::PlainText);
    layout->addWidget(prompt);
    layout->addWidget(txtFind);
    layout->addWidget(lstResults, 1);
    layout->addWidget(lblFound);

    connect(txtFind, &QLineEdit::textChanged, this, &FindWindow::searchSoon);
    connect(txtFind, &QLineEdit::returnPressed, this, &FindWindow::chooseTyped);
    connect(lstResults, &QListView::activated, this, &FindWindow::choose);
    txtFind->installEventFilter(this);

    txtFind->setText(g_lastTyped);
    txtFind->selectAll();
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
    if (watched == txtFind && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Down && m_results->rowCount({}) > 0) {
        lstResults->setFocus();
        if (!lstResults->currentIndex().isValid())
            lstResults->setCurrentIndex(m_results->index(0));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// Keystrokes that arrive while a search runs are read together by the next one.
void FindWindow::searchSoon()
{
    g_lastTyped = txtFind->text();
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
    const QModelIndexList selected = lstResults->selectionModel()->selectedRows();
    choose(selected.isEmpty() ? m_results->index(0) : selected.first());
}

void FindWindow::search()
{
    m_searchPending = false;
    const QString typed = txtFind->text();
    // The diary is read as the window opens, before anything is typed.
    if (!indexIsReady() || typed.trimmed().isEmpty()) {
        m_results->set(nullptr, {});
        lblFound->clear();
        return;
    }
    const auto entries = m_index->search(typed);
    const std::size_t found = entries.size();
    m_results->set(&*m_index, std::move(entries));
    lblFound->setText(found == 0   ? QStringLiteral("No entries found")
                      : found == 1 ? QStringLiteral("1 entry found")
                                   : QStringLiteral("%1 entries found").arg(found));
}

bool FindWindow::indexIsReady()
{
    if (m_index && m_index->isCurrent())
        return true;
    const QString path = modAppdata::WorkingDiaryPath();
    const modDB::DiaryVersion version = modDB::versionOf(path);
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
        txtFind->setFocus();
    }
    if (!built.ok()) {
        m_failedVersion = version;
        gui::messages().show(this, modDB::message(built.failure()), gui::MessageIcon::Critical);
        return false;
    }
    m_failedVersion.reset();
    m_index.emplace(std::move(built.value()));
    return true;
}

void FindWindow::choose(const QModelIndex &row)
{
    if (!row.isValid() || row.row() >= m_results->rowCount({}))
        return;
    const finder::Hit hit = m_results->hit(row.row());
    navigation::showEntry(m_opener, hit.table, hit.index, this);
}
