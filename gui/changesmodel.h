#pragma once

// The History window's list of changes, newest first. A long history opens at once: the changes
// are read a page at a time, as the list scrolls to them.

#include "core/store/history.h"
#include "gui/rowsmodel.h"

#include <optional>

namespace historyview {

class ChangesModel : public RowsModel<store::history::Change> {
public:
    using RowsModel::RowsModel;
    static constexpr qint64 kPerPage = 500;

    // The newest page of this diary's changes; the older ones follow as the list asks for them.
    std::optional<store::Failure> read(const QString &diary);
    // Empty, its keywords zeroed, until the next read.
    void forget();
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    // Reads on until the change is listed or there are no more; its row, or -1.
    int rowOf(qint64 id);

protected:
    QString lineOf(const store::history::Change &change) const override;

private:
    std::optional<store::Failure> readPage();

    QString m_diary;
    bool m_more = false;
};

} // namespace historyview
