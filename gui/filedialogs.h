#pragma once

// File dialogs: the windows' seam, like the message boxes, so that tests can answer them.

#include <QString>

#include <memory>

class QWidget;

namespace gui {

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // The file to write, starting at suggested; empty when the user cancels. The dialog asks
    // before an existing file is replaced.
    virtual QString saveFileName(QWidget *parent, const QString &caption, const QString &suggested,
                                 const QString &filter) = 0;
    // An existing file to read; empty when the user cancels.
    virtual QString openFileName(QWidget *parent, const QString &caption, const QString &folder,
                                 const QString &filter) = 0;
};

// The platform's own file dialogs (QFileDialog).
std::unique_ptr<FileDialogs> productionFileDialogs();

// Replaces the file dialogs in use and gives the previous ones back; the platform's are in use
// until something else is installed.
std::unique_ptr<FileDialogs> installFileDialogs(std::unique_ptr<FileDialogs> dialogs);
FileDialogs &fileDialogs();

} // namespace gui
