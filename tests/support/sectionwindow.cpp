#include "sectionwindow.h"

#include "environment.h"

#include "gui/forms.h"
#include "gui/frmMain.h"
#include "gui/frmResultBOS.h"
#include "gui/frmStartup.h"

#include <QPushButton>
#include <QRadioButton>

#include <QListView>
#include <QtTest>

namespace testing {

frmMain *startProgram()
{
    forms::ref<frmStartup>();
    return forms::loaded<frmMain>();
}

frmResultBOS *enterSection(int option, int bookOption)
{
    frmMain *main = startProgram();
    if (!main)
        return nullptr;
    QTest::mouseClick(main->optOption[option], Qt::LeftButton);
    if (bookOption >= 0)
        main->optOption[bookOption]->click();
    QTest::mouseClick(main->cmdContinue, Qt::LeftButton);
    flushDeletions();
    auto *window = forms::loaded<frmResultBOS>();
    if (window) {
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window))
            return nullptr;
    }
    return window;
}

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
