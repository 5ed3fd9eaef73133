#pragma once

// The History window's lists: rows read from the diary, each shown as one line.

#include <QAbstractListModel>
#include <QDateTime>
#include <QLocale>
#include <QString>

#include <iterator>
#include <utility>
#include <vector>

namespace historyview {

// A moment as the History window shows it.
inline QString when(const QDateTime &at)
{
    return QLocale().toString(at, QLocale::ShortFormat);
}

template <class Row>
class RowsModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    void set(std::vector<Row> rows)
    {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
    }
    void append(std::vector<Row> rows)
    {
        if (rows.empty())
            return;
        beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + rows.size()) - 1);
        m_rows.insert(m_rows.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
        endInsertRows();
    }
    const std::vector<Row> &rows() const { return m_rows; }
    int rowCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        return lineOf(m_rows[std::size_t(index.row())]);
    }

protected:
    virtual QString lineOf(const Row &row) const = 0;

private:
    std::vector<Row> m_rows;
};

} // namespace historyview
