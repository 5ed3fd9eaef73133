#pragma once

// Where the file dialogs of export and import start: the folder the user chose a file in last
// time, kept in the settings file, else the documents folder.

#include <QString>

namespace filefolders {

// An existing folder: the last one used while it is still there, else the documents folder,
// made when it is missing (a file dialog given a missing folder starts elsewhere and offers the
// folder's name as a file name), else the home folder.
QString startFolder();
// Keeps the folder of a file the user chose, for the next dialog.
void rememberFolderOf(const QString &file);

} // namespace filefolders
