#include "gui/filedialogs.h"

#include <QFileDialog>

#include <utility>

namespace gui {

namespace {
class QtFileDialogs final : public FileDialogs {
public:
    QString saveFileName(QWidget *parent, const QString &caption, const QString &suggested,
                         const QString &filter) override
    {
        return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
    }
    QString openFileName(QWidget *parent, const QString &caption, const QString &folder, const QString &filter) override
    {
        return QFileDialog::getOpenFileName(parent, caption, folder, filter);
    }
};

std::unique_ptr<FileDialogs> &current()
{
    static std::unique_ptr<FileDialogs> dialogs;
    return dialogs;
}
} // namespace

std::unique_ptr<FileDialogs> productionFileDialogs()
{
    return std::make_unique<QtFileDialogs>();
}

std::unique_ptr<FileDialogs> installFileDialogs(std::unique_ptr<FileDialogs> dialogs)
{
    return std::exchange(current(), std::move(dialogs));
}

FileDialogs &fileDialogs()
{
    if (!current())
        current() = productionFileDialogs();
    return *current();
}

} // namespace gui
