#include "gui/windows/historywindow.h"

#include "core/diary.h"
#include "core/entries.h"
#include "gui/backupsmodel.h"
#include "gui/bringback.h"
#include "gui/changesmodel.h"
#include "gui/entryguard.h"
#include "gui/forms.h"
#include "gui/messages.h"
#include "gui/ui.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace {
// An import may have touched tens of thousands of entries; the first ones tell what it was.
constexpr std::size_t kEntriesShown = 100;

QString sideOf(const std::optional<store::Entry> &entry)
{
    if (!entry)
        return QStringLiteral("  (not in the diary)\n");
    return entries::labelled(entry->keyword, entry->meaning);
}

QString textOf(const std::vector<store::history::EntryChange> &entries)
{
    QString text;
    for (std::size_t shown = 0; shown < entries.size() && shown < kEntriesShown; ++shown) {
        const store::history::EntryChange &entry = entries[shown];
        text += QStringLiteral("%1In %2\nBefore\n%3After\n%4")
                    .arg(shown ? QStringLiteral("\n") : QString(), sections::section(entry.table).name,
                         sideOf(entry.before), sideOf(entry.after));
    }
    if (entries.size() > kEntriesShown)
        text += QStringLiteral("\n\u2026 and %1 more entries").arg(entries.size() - kEntriesShown);
    return text;
}

// Which passwords differ, as far as the keys tell: two of the user's own may be one and the same.
QString passwordQuestion(const store::Passwords &passwords, const QString &made)
{
    QString differ;
    if (passwords.diaryOwn && passwords.backupOwn)
        differ = QStringLiteral("The backup of %1 may have been made under another password than the diary has now.");
    else if (passwords.diaryOwn)
        differ = QStringLiteral("The backup of %1 was made when the diary had no password of its own; it has one now.");
    else
        differ = QStringLiteral("The backup of %1 was made under a password of your own; the diary has none now.");
    return differ.arg(made)
        + QStringLiteral("\n\nWhich should the restored diary have: the diary's password as it is now, or the "
                         "backup's?");
}

QListView *makeList(QWidget *parent, const QString &name, const QString &accessibleName, QAbstractItemModel *model)
{
    auto *list = new QListView(parent);
    list->setObjectName(name);
    list->setAccessibleName(accessibleName);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setUniformItemSizes(true);
    list->setModel(model);
    return list;
}

QPushButton *makeButton(QWidget *parent, const QString &caption, const QString &name)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QLabel *makeLabel(QWidget *parent, const QString &caption, QWidget *buddy)
{
    auto *label = new QLabel(caption, parent);
    label->setBuddy(buddy);
    return label;
}
} // namespace

HistoryWindow::HistoryWindow(forms::Form *opener) : QWidget(opener->widget(), Qt::Window)
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(QStringLiteral("History"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(640, 600);

    m_changes = new historyview::ChangesModel(this);
    m_backups = new historyview::BackupsModel(this);
    m_changeList = makeList(this, QStringLiteral("lstChanges"), QStringLiteral("Changes"), m_changes);
    m_changeText = new QPlainTextEdit(this);
    m_changeText->setObjectName(QStringLiteral("txtChange"));
    m_changeText->setAccessibleName(QStringLiteral("Before and after"));
    m_changeText->setReadOnly(true);
    m_undoButton = makeButton(this, QStringLiteral("&Undo Change"), QStringLiteral("cmdUndoChange"));
    m_clearButton = makeButton(this, QStringLiteral("Clear &History\u2026"), QStringLiteral("cmdClearHistory"));
    m_backupList = makeList(this, QStringLiteral("lstBackups"), QStringLiteral("Backups"), m_backups);
    m_bringBackButton = makeButton(this, QStringLiteral("&Bring Back Entries\u2026"), QStringLiteral("cmdBringBack"));
    m_restoreButton =
        makeButton(this, QStringLiteral("&Restore This Backup\u2026"), QStringLiteral("cmdRestoreBackup"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(makeLabel(this, QStringLiteral("&Changes"), m_changeList));
    layout->addWidget(m_changeList, 3);
    layout->addWidget(makeLabel(this, QStringLiteral("Before &and after"), m_changeText));
    layout->addWidget(m_changeText, 2);
    auto *changeButtons = new QHBoxLayout;
    changeButtons->addWidget(m_undoButton);
    changeButtons->addStretch();
    changeButtons->addWidget(m_clearButton);
    layout->addLayout(changeButtons);
    m_backupsLabel = makeLabel(this, QStringLiteral("Bac&kups"), m_backupList);
    layout->addWidget(m_backupsLabel);
    layout->addWidget(m_backupList, 2);
    auto *backupButtons = new QHBoxLayout;
    backupButtons->addWidget(m_bringBackButton);
    backupButtons->addWidget(m_restoreButton);
    backupButtons->addStretch();
    // Escape closes the window too.
    QPushButton *closeButton = makeButton(this, QStringLiteral("Close"), QStringLiteral("cmdClose"));
    backupButtons->addWidget(closeButton);
    layout->addLayout(backupButtons);

    connect(m_changeList->selectionModel(), &QItemSelectionModel::currentChanged, this, &HistoryWindow::showChange);
    connect(m_backupList->selectionModel(), &QItemSelectionModel::currentChanged, this, &HistoryWindow::enableButtons);
    connect(m_undoButton, &QPushButton::clicked, this, &HistoryWindow::undoChange);
    connect(m_clearButton, &QPushButton::clicked, this, &HistoryWindow::clearHistory);
    connect(m_bringBackButton, &QPushButton::clicked, this, &HistoryWindow::bringBackEntries);
    connect(m_restoreButton, &QPushButton::clicked, this, &HistoryWindow::restoreBackup);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    // Every change of the diary, wherever it was made, is listed as it happens.
    connect(&Diary::working(), &Diary::changed, this, &HistoryWindow::follow);
    readLists(std::nullopt);
}

void HistoryWindow::follow(const DiaryChange &change)
{
    if (diaryForgotten())
        return;
    // A diary replaced whole brought a history of its own, whose changes are numbered anew.
    const auto kept = change.replaced ? std::nullopt : selectedChange();
    readLists(kept ? std::optional<qint64>(kept->id) : std::nullopt);
}

void HistoryWindow::readLists(std::optional<qint64> change)
{
    const QString diary = Diary::working().path();
    const ui::BusyCursor busy(Qt::BusyCursor);
    // Before the first Continue a new user has no diary yet, and so no history either.
    if (const auto failed = m_changes->read(diary); failed && QFileInfo::exists(diary))
        complain(*failed);
    const int row = change ? m_changes->rowOf(*change) : -1;
    m_changeList->setCurrentIndex(row < 0 ? QModelIndex() : m_changes->index(row));
    m_backups->set(store::summarizeBackups(diary));
    m_backupsLabel->setText(m_backups->rows().empty() ? QStringLiteral("Bac&kups (none yet)")
                                                      : QStringLiteral("Bac&kups"));
    showChange();
}

void HistoryWindow::forget()
{
    const auto kept = selectedChange();
    m_keptChange = kept ? std::optional<qint64>(kept->id) : std::nullopt;
    m_changes->forget();
    m_backups->set({});
    m_changeText->clear();
}

void HistoryWindow::recall()
{
    readLists(std::exchange(m_keptChange, std::nullopt));
}

void HistoryWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void HistoryWindow::showChange()
{
    m_changeText->clear();
    if (const auto change = selectedChange()) {
        // A restore touched no entry of its own: it put the whole diary back.
        if (change->kind == store::history::Kind::Restored) {
            m_changeText->setPlainText(
                QStringLiteral("The whole diary was put back as it was when the backup was made. The diary as it was "
                               "before the restore is kept in the Backups list."));
            enableButtons();
            return;
        }
        const auto entries = store::history::readEntryChanges(Diary::working().path(), change->id);
        if (entries.ok())
            m_changeText->setPlainText(textOf(*entries));
        else
            complain(entries.failure());
    }
    enableButtons();
}

void HistoryWindow::enableButtons()
{
    m_undoButton->setEnabled(selectedChange().has_value());
    m_clearButton->setEnabled(!m_changes->rows().empty());
    const bool backup = selectedBackup().has_value();
    m_bringBackButton->setEnabled(backup);
    m_restoreButton->setEnabled(backup);
}

std::optional<store::history::Change> HistoryWindow::selectedChange() const
{
    const QModelIndex current = m_changeList->currentIndex();
    if (!current.isValid() || std::size_t(current.row()) >= m_changes->rows().size())
        return std::nullopt;
    return m_changes->rows()[std::size_t(current.row())];
}

std::optional<store::BackupSummary> HistoryWindow::selectedBackup() const
{
    const QModelIndex current = m_backupList->currentIndex();
    if (!current.isValid() || std::size_t(current.row()) >= m_backups->rows().size())
        return std::nullopt;
    return m_backups->rows()[std::size_t(current.row())];
}

void HistoryWindow::complain(const store::Failure &failure)
{
    gui::messages().show(this, store::message(failure), gui::MessageIcon::Critical);
}

void HistoryWindow::undoChange()
{
    const auto change = selectedChange();
    if (!change || !entryguard::entriesMayChange(this))
        return;
    const auto undone = Diary::working().undo(change->id);
    if (!undone.ok())
        return complain(undone.failure());
    if (!undone->change)
        return gui::messages().show(this, undone->refusal, gui::MessageIcon::Information);
    m_changeList->setCurrentIndex(m_changes->index(0));
}

void HistoryWindow::clearHistory()
{
    const bool forget = gui::messages().askYesNoWarning(this,
                                                        QStringLiteral("Forget every change in the diary's history?\n\n"
                                                                       "The entries stay as they are, and each backup "
                                                                       "keeps the history it was made with."))
        == gui::Answer::Yes;
    if (!forget)
        return;
    if (const auto failed = Diary::working().clearHistory())
        return complain(*failed);
}

void HistoryWindow::bringBackEntries()
{
    const auto backup = selectedBackup();
    if (!backup || !entryguard::entriesMayChange(this))
        return;
    if (bringback::fromBackup(this, *backup))
        m_changeList->setCurrentIndex(m_changes->index(0));
}

void HistoryWindow::restoreBackup()
{
    const auto backup = selectedBackup();
    if (!backup || !entryguard::entriesMayChange(this))
        return;
    const QString made = historyview::when(backup->madeAt);
    if (gui::messages().askYesNo(this,
                                 QStringLiteral("Replace the diary with the backup of %1?\n\n"
                                                "The diary as it is now is kept first, so the restore can "
                                                "be taken back too.")
                                     .arg(made))
        != gui::Answer::Yes)
        return;
    const QString diary = Diary::working().path();
    const auto passwords = store::passwordsOf(diary, backup->path);
    if (!passwords.ok())
        return complainNotRestored(passwords.failure());
    auto choice = store::PasswordChoice::Current;
    if (passwords->mayDiffer) {
        const gui::Answer answer = gui::messages().askChoice(this, passwordQuestion(*passwords, made),
                                                             QStringLiteral("&Keep the Diary's Password"),
                                                             QStringLiteral("&Take the Backup's Password"));
        if (answer == gui::Answer::Cancel)
            return;
        if (answer == gui::Answer::Second)
            choice = store::PasswordChoice::Backups;
    }
    const auto restored = Diary::working().restore(backup->path, choice);
    if (!restored.ok())
        return complainNotRestored(restored.failure());
    QStringList told{QStringLiteral("The diary is now as it was on %1.").arg(made)};
    if (restored->backupsPassword)
        told << (restored->ownPassword ? QStringLiteral("It now opens with the password the backup was made with.")
                                       : QStringLiteral("It now has no password of its own, as when the backup was "
                                                        "made: anyone who has Brimvale can open it."));
    else if (passwords->mayDiffer)
        told << (restored->ownPassword ? QStringLiteral("It keeps the password it had.")
                                       : QStringLiteral("It still has no password of its own."));
    if (!restored->kept.isEmpty())
        told << QStringLiteral("The diary as it was before is kept as\n%1")
                    .arg(QDir::toNativeSeparators(restored->kept));
    gui::messages().show(this, told.join(QLatin1Char('\n')), gui::MessageIcon::Information);
}

void HistoryWindow::complainNotRestored(const store::Failure &failure)
{
    // The user gave up on the backup's password.
    if (failure.kind == store::FailureKind::Locked)
        return;
    // A failure of the diary file itself (damaged, read-only …) says so under the task's heading.
    const QString heading = QStringLiteral("The backup could not be restored");
    const QString why = store::message(failure);
    gui::messages().show(this, why.startsWith(heading) ? why : heading + QStringLiteral(".\n") + why,
                         gui::MessageIcon::Critical);
}
