#include "gui/changesmodel.h"

#include "core/secrets.h"

#include <algorithm>

namespace historyview {

std::optional<store::Failure> ChangesModel::read(const QString &diary)
{
    m_diary = diary;
    set({});
    m_more = true;
    return readPage();
}

void ChangesModel::forget()
{
    std::vector<store::history::Change> changes = rows();
    set({});
    m_more = false;
    for (store::history::Change &change : changes)
        secrets::wipe(change.keyword);
}

bool ChangesModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_more;
}

void ChangesModel::fetchMore(const QModelIndex &parent)
{
    // A failure shows as the end of the list; the next reload reports it.
    if (canFetchMore(parent) && readPage())
        m_more = false;
}

int ChangesModel::rowOf(qint64 id)
{
    while (m_more && !rows().empty() && rows().back().id > id && !readPage()) { }
    const auto found = std::find_if(rows().begin(), rows().end(),
                                    [&](const store::history::Change &change) { return change.id == id; });
    return found == rows().end() ? -1 : int(found - rows().begin());
}

QString ChangesModel::lineOf(const store::history::Change &change) const
{
    return QStringLiteral("%1 \u2014 %2").arg(when(change.at), store::history::describe(change));
}

std::optional<store::Failure> ChangesModel::readPage()
{
    const qint64 olderThan = rows().empty() ? store::history::kNoLimit : rows().back().id;
    auto page = store::history::readChanges(m_diary, olderThan, kPerPage);
    if (!page.ok()) {
        m_more = false;
        return page.failure();
    }
    // A view may ask for more while this page goes in: it gets the next one once this is in.
    const bool more = qint64(page->size()) == kPerPage;
    m_more = false;
    append(std::move(page.value()));
    m_more = more;
    return std::nullopt;
}

} // namespace historyview
