#include "gui/diarymenu.h"

#include "core/datafolder.h"
#include "gui/book/bookflows.h"
#include "gui/diarylock.h"
#include "gui/forms.h"
#include "gui/navigation.h"
#include "gui/windows/diarypassworddialog.h"
#include "gui/windows/exportbookdialog.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>

#include <vector>

namespace diarymenu {

namespace {
void exportBook(forms::Form *from, const Own &)
{
    if (const auto choice = ExportBookDialog::choose(from->widget()))
        bookflows::exportBook(from->widget(), choice->tables, choice->format);
}

void printBook(forms::Form *from, const Own &)
{
    bookflows::printBook(from->widget());
}

void importEntries(forms::Form *from, const Own &own)
{
    if (own.readyDiary && !own.readyDiary())
        return;
    bookflows::importEntries(from->widget());
}

void showDiaryPassword(forms::Form *from, const Own &)
{
    // From the main window the data folder may not have been looked for yet in this run.
    datafolder::setDataFolder();
    gui::DiaryPasswordDialog::run(from->widget());
    DiaryLock::instance().refresh();
}

struct Entry {
    const char *caption; // access keys differ from every other entry of both File menus
    const char *name;
    QKeySequence shortcut;
    std::function<void(forms::Form *, const Own &)> open;
};

const std::vector<Entry> &entries()
{
    static const std::vector<Entry> list{
        {"&Find\u2026", "mnuFind", QKeySequence::Find,
         [](forms::Form *from, const Own &) { navigation::showFind(from); }},
        {"&Export Book\u2026", "mnuExportBook", QKeySequence(), exportBook},
        {"&Print Book\u2026", "mnuPrintBook", QKeySequence::Print, printBook},
        {"&Import Entries\u2026", "mnuImportEntries", QKeySequence(), importEntries},
        {"&History\u2026", "mnuHistory", QKeySequence(Qt::CTRL | Qt::Key_H),
         [](forms::Form *from, const Own &) { navigation::showHistory(from); }},
        {"&Diary Password\u2026", "mnuDiaryPassword", QKeySequence(), showDiaryPassword},
        {"&Lock Diary", "mnuLockDiary", QKeySequence(Qt::CTRL | Qt::Key_L),
         [](forms::Form *, const Own &) { DiaryLock::instance().lock(); }},
    };
    return list;
}
} // namespace

void addTo(QMenu *file, forms::Form *window, const Own &own)
{
    QAction *first = file->actions().value(0);
    const auto add = [file, first](const char *caption, const char *name, const QKeySequence &shortcut,
                                   const std::function<void()> &run) {
        auto *action = new QAction(QString::fromUtf8(caption), file);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(shortcut);
        QObject::connect(action, &QAction::triggered, file, run);
        file->insertAction(first, action);
    };
    if (own.undo)
        add("&Undo", "mnuUndo", QKeySequence::Undo, own.undo);
    for (const Entry &entry : entries())
        add(entry.caption, entry.name, entry.shortcut, [open = entry.open, window, own] { open(window, own); });
    file->insertSeparator(first)->setObjectName(QStringLiteral("mnuDiarySep"));
    DiaryLock::instance().follow(file->findChild<QAction *>(QStringLiteral("mnuLockDiary")), file);
}

} // namespace diarymenu
