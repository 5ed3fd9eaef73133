#include "gui/diarymenu.h"

#include "gui/diarylock.h"
#include "gui/navigation.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>

#include <functional>

namespace diarymenu {

namespace {
struct Entry {
    const char *caption; // access keys differ from every other entry of both File menus
    const char *name;
    QKeySequence shortcut;
    std::function<void(forms::Form *)> open;
    bool sectionOnly = false; // acts on the open section
};

const std::vector<Entry> &entries()
{
    static const std::vector<Entry> list{
        {"&Undo", "mnuUndo", QKeySequence::Undo, navigation::undoInSection, true},
        {"&Find\u2026", "mnuFind", QKeySequence::Find, navigation::showFind},
        {"&Export Book\u2026", "mnuExportBook", QKeySequence(), navigation::exportBook},
        {"&Print Book\u2026", "mnuPrintBook", QKeySequence::Print, navigation::printBook},
        {"&Import Entries\u2026", "mnuImportEntries", QKeySequence(), navigation::importEntries},
        {"&History\u2026", "mnuHistory", QKeySequence(Qt::CTRL | Qt::Key_H), navigation::showHistory},
        {"&Diary Password\u2026", "mnuDiaryPassword", QKeySequence(), navigation::showDiaryPassword},
        {"&Lock Diary", "mnuLockDiary", QKeySequence(Qt::CTRL | Qt::Key_L), navigation::lockDiary},
    };
    return list;
}
} // namespace

void addTo(QMenu *file, forms::Form *window, Place place)
{
    if (entries().empty())
        return;
    QAction *first = file->actions().value(0);
    for (const Entry &entry : entries()) {
        if (entry.sectionOnly && place != Place::SectionWindow)
            continue;
        auto *action = new QAction(QString::fromUtf8(entry.caption), file);
        action->setObjectName(QString::fromLatin1(entry.name));
        action->setShortcut(entry.shortcut);
        QObject::connect(action, &QAction::triggered, file, [open = entry.open, window] { open(window); });
        file->insertAction(first, action);
    }
    file->insertSeparator(first)->setObjectName(QStringLiteral("mnuDiarySep"));
    DiaryLock::instance().follow(file->findChild<QAction *>(QStringLiteral("mnuLockDiary")), file);
}

} // namespace diarymenu
