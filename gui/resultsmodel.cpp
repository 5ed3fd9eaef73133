#include "gui/resultsmodel.h"

#include "core/sections.h"

#include <utility>

namespace finder {

void ResultsModel::set(Results results)
{
    beginResetModel();
    m_results = std::move(results);
    endResetModel();
}

Hit ResultsModel::hit(int row) const
{
    return m_results.hit(std::size_t(row));
}

int ResultsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_results.size());
}

QVariant ResultsModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount())
        return {};
    const Hit found = hit(index.row());
    return QStringLiteral("%1 \u2014 %2 \u2014 %3")
        .arg(found.keyword.simplified(), sections::section(found.table).name, found.meaningStart);
}

} // namespace finder
