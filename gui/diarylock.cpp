#include "gui/diarylock.h"

#include "core/diary.h"
#include "core/services.h"
#include "core/store/diarykey.h"
#include "core/store/password.h"
#include "core/store/store.h"
#include "gui/forms.h"
#include "gui/lockpanel.h"
#include "gui/ui.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QMenu>
#include <QProgressDialog>

#include <utility>

namespace {
// Once a second: time without use is counted in minutes.
constexpr int kCheckEveryMs = 1000;

const QString kLockedMark = QStringLiteral(" [Locked]");

// A progress window belongs to work under way: an import's keeps the lock waiting, and the others
// (an export, the print preview's layout) show nothing of the diary and end by themselves.
bool closesWithTheLock(const QWidget *window)
{
    return qobject_cast<const QDialog *>(window) && !qobject_cast<const QProgressDialog *>(window);
}
} // namespace

DiaryLock &DiaryLock::instance()
{
    // Goes with the application, and its timer with it.
    static auto *lock = new DiaryLock(qApp);
    return *lock;
}

DiaryLock::DiaryLock(QObject *parent) : QObject(parent)
{
    qApp->installEventFilter(this);
    connect(&m_timer, &QTimer::timeout, this, &DiaryLock::check);
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] {
        if (QGuiApplication::applicationState() == Qt::ApplicationActive)
            m_copied = QGuiApplication::clipboard()->text();
    });
}

void DiaryLock::follow(QAction *lockAction, QMenu *menu)
{
    m_actions.emplace_back(lockAction);
    connect(menu, &QMenu::aboutToShow, this, &DiaryLock::updateActions);
    // A new window counts as use.
    m_lastUse = platform::clock().now();
    refresh();
    if (!m_timer.isActive())
        m_timer.start(kCheckEveryMs);
}

void DiaryLock::refresh()
{
    m_choice = autolock::readChoice();
    listenToScreen();
    updateActions();
}

bool DiaryLock::locked() const
{
    // The windows it covered may all have gone, as they do on the way out.
    for (const Covered &covered : m_covered)
        if (covered.window)
            return true;
    return false;
}

bool DiaryLock::lockable() const
{
    return store::ownPasswordInUse(Diary::working().path());
}

void DiaryLock::lock()
{
    if (locked())
        return;
    m_covered.clear();
    m_path = Diary::working().path();
    if (!lockable()) {
        m_pending = false;
        return;
    }
    if (autolock::writeUnderWay()) {
        m_pending = true;
        return;
    }
    m_pending = false;
    // The window the user was in, under the dialogs that go.
    QWidget *active = QApplication::activeWindow();
    while (active && closesWithTheLock(active))
        active = active->parentWidget() ? active->parentWidget()->window() : nullptr;
    m_activeWindow = active;
    m_focus = active ? active->focusWidget() : nullptr;
    closeDialogs();
    for (QWidget *window : QApplication::topLevelWidgets())
        if (auto *form = dynamic_cast<forms::Form *>(window); form && window->isVisible()) {
            form->forgetDiary();
            cover(window);
        }
    // The find index goes with the windows' lists, and no reader off the window's thread keeps a key.
    Diary::working().lock();
    store::forgetRememberedKeys();
    forgetOwnClipboard();
    updateActions();
}

// Each dialog's exec() returns to its caller once the lock is on, with the answer its Cancel gives:
// no question answered, nothing chosen, and so nothing written. The innermost goes first: hiding
// a dialog hides those opened over it, whose own loops would then wait on unseen.
void DiaryLock::closeDialogs()
{
    for (int tries = 0; tries < 8 && QApplication::activePopupWidget(); ++tries)
        QApplication::activePopupWidget()->close();
    for (int tries = 0; tries < 16 && closesWithTheLock(QApplication::activeModalWidget()); ++tries) {
        static_cast<QDialog *>(QApplication::activeModalWidget())->reject();
        m_cutShort = true;
    }
    std::vector<QPointer<QDialog>> open;
    for (QWidget *window : QApplication::topLevelWidgets())
        if (closesWithTheLock(window) && window->isVisible())
            open.emplace_back(static_cast<QDialog *>(window));
    for (const QPointer<QDialog> &dialog : open)
        if (dialog && dialog->isVisible()) {
            dialog->reject();
            m_cutShort = true;
        }
}

void DiaryLock::cover(QWidget *window)
{
    Covered covered{window, new LockPanel(window), {}, window->windowTitle()};
    window->setWindowTitle(covered.title + kLockedMark);
    // Nothing behind the panel takes a key, a click or the focus.
    for (QWidget *child : window->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        if (child != covered.panel && !child->isWindow() && child->isEnabled()) {
            child->setEnabled(false);
            covered.disabled.emplace_back(child);
        }
    connect(covered.panel, &LockPanel::unlockAsked, this, &DiaryLock::unlock);
    if (window == m_activeWindow || !m_activeWindow)
        covered.panel->takeFocus();
    m_covered.push_back(std::move(covered));
}

void DiaryLock::unlock(const QString &password)
{
    const auto failed = [&] {
        // Deriving the key takes about half a second on purpose.
        const ui::BusyCursor busy;
        return store::reopenWith(m_path, password);
    }();
    if (failed) {
        const QString why = failed->kind == store::FailureKind::WrongPassword
            ? QStringLiteral("The password is wrong. Type it again.")
            : store::message(*failed);
        for (const Covered &covered : m_covered)
            if (covered.panel)
                covered.panel->refuse(why);
        return;
    }
    Diary::working().unlock();
    const std::vector<Covered> uncovered = std::exchange(m_covered, {});
    for (const Covered &covered : uncovered) {
        // The panel's own button may have asked.
        if (covered.panel) {
            covered.panel->disconnect(this);
            covered.panel->hide();
            covered.panel->deleteLater();
        }
        for (const QPointer<QWidget> &child : covered.disabled)
            if (child)
                child->setEnabled(true);
        if (covered.window)
            covered.window->setWindowTitle(covered.title);
    }
    for (const Covered &covered : uncovered)
        if (auto *form = dynamic_cast<forms::Form *>(covered.window.data()))
            form->recallDiary();
    if (m_activeWindow) {
        m_activeWindow->raise();
        m_activeWindow->activateWindow();
    }
    if (m_focus)
        m_focus->setFocus(Qt::OtherFocusReason);
    m_lastUse = platform::clock().now();
    m_cutShort = false;
    updateActions();
}

void DiaryLock::check()
{
    listenToScreen();
    if (locked())
        return;
    if (m_pending)
        return lock();
    const QDateTime now = platform::clock().now();
    if (autolock::idleLongEnough(m_lastUse, now, m_choice.idleMinutes)) {
        m_lastUse = now;
        lock();
    }
}

void DiaryLock::listenToScreen()
{
    platform::ScreenLockWatch *watch = platform::screenLockWatch();
    if (!watch || watch->listening())
        return;
    watch->listen([this] {
        if (m_choice.withScreen)
            lock();
    });
}

void DiaryLock::updateActions()
{
    // Without a password to lock with the entry stays enabled: choosing it says how to get one.
    for (const QPointer<QAction> &action : m_actions)
        if (action)
            action->setEnabled(!locked());
    std::erase_if(m_actions, [](const QPointer<QAction> &action) { return action.isNull(); });
}

bool DiaryLock::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    // A window closed through its frame is a step of the user's too.
    case QEvent::Close: m_cutShort = false; break;
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::TouchBegin: m_cutShort = false; [[fallthrough]];
    case QEvent::MouseMove:
    case QEvent::Wheel: m_lastUse = platform::clock().now(); break;
    default: break;
    }
    return QObject::eventFilter(watched, event);
}

void DiaryLock::forgetOwnClipboard()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!m_copied.isEmpty() && (clipboard->ownsClipboard() || clipboard->text() == m_copied))
        clipboard->clear();
    if (clipboard->ownsSelection())
        clipboard->clear(QClipboard::Selection);
    m_copied.clear();
}
