#pragma once

// The diary's lock. A diary with a password of its own locks on demand, after a time without
// keyboard or mouse use in Brimvale, and when the desktop session locks (as the user chose).
// Locked, every window hides what it held of the diary behind a lock panel (its title says
// "[Locked]"), the diary's keys are wiped from memory, and text Brimvale put on the clipboard
// goes; the password unlocks, back to where the user was. Locking writes nothing. It comes on
// time: the dialogs open then close as their Cancel would, and only a write under way (which is
// short) finishes first.

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include "core/autolock.h"

#include <vector>

class LockPanel;
class QAction;
class QMenu;
class QWidget;

class DiaryLock : public QObject {
    Q_OBJECT
public:
    static DiaryLock &instance();

    // A window's Lock Diary entry: disabled while locked, and kept so each time its menu opens.
    void follow(QAction *lockAction, QMenu *menu);
    // Locks now, or once the write under way is over; nothing without a password of the diary's
    // own that this run opened it with.
    void lock();
    bool lockable() const;
    bool locked() const;
    // From then until the user's next key or click: the flows whose dialogs the lock closed end
    // quietly, whatever they would still tell or ask (a failure the closing caused, another
    // question) goes unshown, answered as by Cancel.
    bool endingCutShortFlows() const { return m_cutShort; }
    // The password or the lock's settings may have changed.
    void refresh();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit DiaryLock(QObject *parent);
    void check();
    void closeDialogs();
    void listenToScreen();
    void updateActions();
    void cover(QWidget *window);
    void unlock(const QString &password);
    void forgetOwnClipboard();

    struct Covered {
        QPointer<QWidget> window;
        QPointer<LockPanel> panel;
        // Controls the lock disabled, to be enabled again.
        std::vector<QPointer<QWidget>> disabled;
        // The window's title before " [Locked]" was added to it.
        QString title;
    };

    QTimer m_timer;
    QDateTime m_lastUse;
    autolock::Choice m_choice;
    bool m_pending = false;
    bool m_cutShort = false;
    QString m_path;
    std::vector<Covered> m_covered;
    std::vector<QPointer<QAction>> m_actions;
    QPointer<QWidget> m_activeWindow;
    QPointer<QWidget> m_focus;
    // The last text put on the clipboard while Brimvale was in use.
    QString m_copied;
};
