#include "sectionwindow.h"

#include "controls.h"
#include "environment.h"

#include "core/diary.h"
#include "gui/forms.h"
#include "gui/windows/mainwindow.h"
#include "gui/windows/sectionwindow.h"
#include "gui/windows/startupwindow.h"

#include <QPushButton>
#include <QRadioButton>

#include <QListView>
#include <QPlainTextEdit>
#include <QtTest>

namespace testing {

MainWindow *startProgram()
{
    forms::ref<StartupWindow>();
    return forms::loaded<MainWindow>();
}

SectionWindow *enterSection(int option, int bookOption)
{
    MainWindow *main = startProgram();
    if (!main)
        return nullptr;
    QTest::mouseClick(testing::control<QRadioButton>(main, QStringLiteral("optOption_%1").arg(option)), Qt::LeftButton);
    if (bookOption >= 0)
        testing::control<QRadioButton>(main, QStringLiteral("optOption_%1").arg(bookOption))->click();
    QTest::mouseClick(testing::control<QPushButton>(main, "cmdContinue"), Qt::LeftButton);
    flushDeletions();
    auto *window = forms::loaded<SectionWindow>();
    if (window) {
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window))
            return nullptr;
    }
    // What the diary reads in the background once it is open is read before the test looks.
    Diary::working().waitForReaders();
    return window;
}

QString meaningShown(const SectionWindow *window)
{
    return testing::control<QPlainTextEdit>(window, "txtMeaning")->toPlainText();
}

QStringList listed(const SectionWindow *window)
{
    QStringList lines;
    const QAbstractItemModel *model = testing::control<QListView>(window, "lstKeyword")->model();
    for (int row = 0; row < model->rowCount(); ++row)
        lines << model->index(row, 0).data().toString();
    return lines;
}

void selectLine(SectionWindow *window, int row)
{
    QListView *list = testing::control<QListView>(window, "lstKeyword");
    const QModelIndex index = list->model()->index(row, 0);
    list->scrollTo(index);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
}

} // namespace testing
