#include "sectionwindow.h"

#include "diary/frmResultBOS.h"

#include <QListView>
#include <QtTest>

namespace testing {

QStringList listed(const frmResultBOS *window)
{
    QStringList lines;
    const QAbstractItemModel *model = window->lstKeyword->model();
    for (int row = 0; row < model->rowCount(); ++row)
        lines << model->index(row, 0).data().toString();
    return lines;
}

void selectLine(frmResultBOS *window, int row)
{
    QListView *list = window->lstKeyword;
    const QModelIndex index = list->model()->index(row, 0);
    list->scrollTo(index);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
}

} // namespace testing
