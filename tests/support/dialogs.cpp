#include "dialogs.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace testing {

bool whileDialogIsUp(const std::function<void()> &step, const std::function<void(QWidget *)> &answer)
{
    QPointer<QWidget> last;
    bool seen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget *dialog = QApplication::activeModalWidget(); dialog && dialog != last && dialog->isVisible()) {
            last = dialog;
            seen = true;
            answer(dialog);
        }
    });
    poll.start(20);
    step();
    return seen;
}

} // namespace testing
