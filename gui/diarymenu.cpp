#include "gui/diarymenu.h"

#include "core/datafolder.h"
#include "core/diary.h"
#include "core/store/diarykey.h"
#include "core/store/opening.h"
#include "gui/book/bookflows.h"
#include "gui/diarylock.h"
#include "gui/forms.h"
#include "gui/messages.h"
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

// Both File menus have it; what the user is told to choose.
const char *const kDiaryPasswordCaption = "&Diary Password\u2026";

QString menuPath(const char *caption)
{
    return QStringLiteral("File > ") + QString::fromUtf8(caption).remove(QLatin1Char('&'));
}

// The built-in key does not open the diary, and this run has not had its password yet.
bool passwordNotTypedYet(const QString &path)
{
    const QByteArray salt = store::saltOf(path);
    return !salt.isEmpty() && !store::knownKey(path, salt) && !store::openWithKey(path, store::builtInKey(salt)).ok();
}

// The entry is never greyed out: a window without a status bar would not say why.
void lockDiary(forms::Form *from, const Own &)
{
    if (DiaryLock::instance().lockable())
        return DiaryLock::instance().lock();
    const QString path = Diary::working().path();
    const QString why = passwordNotTypedYet(path)
        ? QStringLiteral("The diary is not open yet, so there is nothing to lock: Brimvale asks for its "
                         "password the first time it needs the diary.")
        : QStringLiteral("Only a diary with a password of its own can be locked, and this one has none yet.\n\n"
                         "To set one, choose %1\nFrom then on, Lock Diary (Ctrl+L) hides the diary until its "
                         "password is typed again.")
              .arg(menuPath(kDiaryPasswordCaption));
    gui::messages().show(from->widget(), why, gui::MessageIcon::Information);
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
        {kDiaryPasswordCaption, "mnuDiaryPassword", QKeySequence(), showDiaryPassword},
        {"&Lock Diary", "mnuLockDiary", QKeySequence(Qt::CTRL | Qt::Key_L), lockDiary},
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
        return action;
    };
    if (own.undo)
        add("&Undo", "mnuUndo", QKeySequence::Undo, own.undo);
    // Both keys, whatever the desktop's own Redo is: users come with either habit.
    if (own.redo)
        add("&Redo", "mnuRedo", QKeySequence(), own.redo)
            ->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    for (const Entry &entry : entries())
        add(entry.caption, entry.name, entry.shortcut, [open = entry.open, window, own] { open(window, own); });
    file->insertSeparator(first)->setObjectName(QStringLiteral("mnuDiarySep"));
    auto *lock = file->findChild<QAction *>(QStringLiteral("mnuLockDiary"));
    lock->setToolTip(QStringLiteral("Hides the diary until its password is typed again. Needs a password of the "
                                    "diary's own: set one in %1")
                         .arg(menuPath(kDiaryPasswordCaption)));
    lock->setStatusTip(lock->toolTip());
    DiaryLock::instance().follow(lock, file);
}

} // namespace diarymenu
