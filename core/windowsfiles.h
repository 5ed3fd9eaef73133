#pragma once

// What the store and the book ask of the file system on Windows, where the POSIX calls they make
// on Linux (stat's device and inode, fsync, rename over a file) do not exist or do less.

#include <QtGlobal>

#ifdef Q_OS_WIN

#include <QString>

#include <optional>

class QFileDevice;

namespace files {

// A file or folder as the disk knows it, whatever its name: the volume and the file's index on it.
struct DiskFile {
    quint64 volume = 0;
    quint64 index = 0;
    bool folder = false;
    // An ordinary file on a disk, not a device, pipe or console.
    bool regular = false;
};

// The file at path; none when it cannot be opened, and then *reason says why, or stays empty
// when nothing is there.
std::optional<DiskFile> diskFileOf(const QString &path, QString *reason = nullptr);

// Flushes the open file to the disk (FlushFileBuffers); gives why it failed.
std::optional<QString> flushToDisk(const QFileDevice &file);

// Moves from over to, replacing it in one step, and returns only once the move is on the disk.
std::optional<QString> replaceFile(const QString &from, const QString &to);

} // namespace files

#endif
