#pragma once

// The screen lock over D-Bus: the screen savers' ActiveChanged(true) on the session bus, and the
// login manager's Lock of this process's own session on the system bus. A bus that is missing is
// left out.

#include "core/services.h"

#include <QObject>

namespace platform {

class DBusScreenLockWatch final : public QObject, public ScreenLockWatch {
    Q_OBJECT
public:
    void listen(std::function<void()> locked) override;
    bool listening() const override { return bool(m_locked); }

private slots:
    void screenSaverChanged(bool active);
    void sessionLocked();

private:
    std::function<void()> m_locked;
};

} // namespace platform
