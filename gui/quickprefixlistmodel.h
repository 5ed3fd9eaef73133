#pragma once

// The lines of a list, for type-ahead as well: the list's search for the next line that starts
// with the typed letters reads the lines themselves rather than asking for each line's data in
// turn, which keeps a keystroke quick in a list of tens of thousands.

#include <QStringListModel>

class QuickPrefixListModel : public QStringListModel {
    Q_OBJECT
public:
    using QStringListModel::QStringListModel;
    QModelIndexList match(const QModelIndex &start, int role, const QVariant &value, int hits,
                          Qt::MatchFlags flags) const override;
};
