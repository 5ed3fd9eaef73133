#pragma once

// The find window's results as a list: one line for each entry found, "keyword — section — start
// of the meaning", made only as the view draws it.

#include "core/find/liveindex.h"

#include <QAbstractListModel>

namespace finder {

class ResultsModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    void set(Results results);
    Hit hit(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    Results m_results;
};

} // namespace finder
