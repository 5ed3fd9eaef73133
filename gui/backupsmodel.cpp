#include "gui/backupsmodel.h"

#include "core/sections.h"

#include <QStringList>

namespace historyview {

QString BackupsModel::lineOf(const store::BackupSummary &backup) const
{
    QString counts = QStringLiteral("under another password, or damaged");
    if (backup.entries) {
        QStringList each;
        for (sections::Table table : sections::kTables)
            each << QStringLiteral("%1 %2")
                        .arg(sections::section(table).name)
                        .arg((*backup.entries)[std::size_t(table)]);
        counts = each.join(QStringLiteral(", "));
    }
    return QStringLiteral("%1 \u2014 %2").arg(when(backup.madeAt), counts);
}

} // namespace historyview
