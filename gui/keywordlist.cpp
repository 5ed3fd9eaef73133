#include "gui/keywordlist.h"

#include "core/secrets.h"

#include <QItemSelectionModel>
#include <QListView>
#include <QSignalBlocker>
#include <QStringListModel>

#include <algorithm>
#include <utility>

KeywordList::KeywordList(QListView *view, QStringListModel *lines) : m_view(view), m_lines(lines)
{
}

void KeywordList::fill(const store::Keywords &keywords)
{
    m_indexes = keywords.indexes;
    m_lines->setStringList(keywords.keywords);
}

int KeywordList::selectedPosition() const
{
    const QModelIndexList rows = m_view->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

std::optional<qint64> KeywordList::selectedIndex() const
{
    if (m_held)
        return m_held->index;
    const int position = selectedPosition();
    if (position < 0 || std::size_t(position) >= m_indexes.size())
        return std::nullopt;
    return m_indexes[std::size_t(position)];
}

std::optional<QString> KeywordList::selectedKeyword() const
{
    if (m_held)
        return m_held->keyword;
    const int position = selectedPosition();
    if (position < 0 || position >= m_lines->rowCount())
        return std::nullopt;
    return m_lines->index(position).data().toString();
}

bool KeywordList::select(qint64 index)
{
    const auto position = std::find(m_indexes.begin(), m_indexes.end(), index);
    if (position == m_indexes.end())
        return false;
    const QModelIndex line = m_lines->index(int(position - m_indexes.begin()));
    m_view->setCurrentIndex(line);
    m_view->scrollTo(line);
    return true;
}

void KeywordList::hide()
{
    if (m_held)
        return;
    m_held = Held{selectedIndex(), selectedKeyword()};
    const QSignalBlocker quiet(m_view->selectionModel());
    QStringList lines = m_lines->stringList();
    m_lines->setStringList({});
    m_indexes.clear();
    secrets::wipe(lines);
}

std::optional<qint64> KeywordList::show()
{
    const auto held = std::exchange(m_held, std::nullopt);
    return held ? held->index : std::nullopt;
}
