#pragma once

// The History window's list of backups, each with the date it was made and the entries of each
// section.

#include "core/store/restore.h"
#include "gui/rowsmodel.h"

namespace historyview {

class BackupsModel : public RowsModel<store::BackupSummary> {
public:
    using RowsModel::RowsModel;

protected:
    QString lineOf(const store::BackupSummary &backup) const override;
};

} // namespace historyview
