#include "gui/keywordlist.h"

#include "core/diary.h"
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

void KeywordList::follow(qint64 index, const std::optional<QString> &keyword)
{
    const auto at = std::lower_bound(m_indexes.begin(), m_indexes.end(), index);
    const int row = int(at - m_indexes.begin());
    const bool listed = at != m_indexes.end() && *at == index;
    if (listed && keyword) {
        m_lines->setData(m_lines->index(row), *keyword);
    } else if (listed) {
        m_indexes.erase(at);
        m_lines->removeRows(row, 1);
    } else if (keyword) {
        m_indexes.insert(at, index);
        m_lines->insertRows(row, 1);
        m_lines->setData(m_lines->index(row), *keyword);
    }
}

bool KeywordList::follow(const DiaryChange &change, store::Table table)
{
    const QSignalBlocker quiet(m_view->selectionModel());
    if (!change.wholeSection(table)) {
        for (const DiaryChange::Row &row : change.rows)
            if (row.table == table)
                follow(row.index, row.now ? std::optional(row.now->keyword) : std::nullopt);
        return true;
    }
    const auto keywords = Diary::working().keywords(table);
    if (!keywords.ok())
        return false;
    const auto index = selectedIndex();
    const auto keyword = selectedKeyword();
    fill(*keywords);
    // Another diary put in its place may hold another entry under the same "Index".
    if (index && (!select(*index) || selectedKeyword() != keyword))
        m_view->selectionModel()->clear();
    return true;
}

void KeywordList::clearSelection()
{
    const QSignalBlocker quiet(m_view->selectionModel());
    m_view->selectionModel()->clear();
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
