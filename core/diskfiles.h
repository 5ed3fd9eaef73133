#pragma once

// What the store and the book ask of the file system beyond what Qt offers: a file known by its
// place on the disk rather than its name, and, on Windows, the flush and the replacing rename
// that POSIX gives with fsync and rename.

#include "core/result.h"

#include <QString>
#include <QtGlobal>

#include <optional>

class QFileDevice;

namespace files {

// A file or folder as the disk knows it, whatever its name: the volume (device) and the file's
// index (inode) on it, so that a link, a hard link or a second mount of it is the same file.
struct DiskFile {
    quint64 volume = 0;
    quint64 index = 0;
    bool folder = false;
    // An ordinary file on a disk, not a device, pipe or socket.
    bool regular = false;
    qint64 size = 0;
    // The last write, in nanoseconds since 1970 (as fine as the file system keeps it).
    qint64 modifiedNs = 0;

    bool sameFileAs(const DiskFile &other) const { return volume == other.volume && index == other.index; }
};

// The file at path, links followed. Missing when nothing is there; when it cannot be looked at,
// a failure with the system's reason.
store::Result<DiskFile> diskFileOf(const QString &path);

// The file that path stands for: path itself, or for a symbolic link the name it leads to,
// followed link after link until a name that is no link (which need not exist: a dangling link
// still says where its file belongs). A new version of a linked file goes there, so that every
// link keeps leading to it. A failure, with the reason, for links that lead round in a loop.
store::Result<QString> linkedFileOf(const QString &path);

#ifdef Q_OS_WIN
// Flushes the open file to the disk (FlushFileBuffers); gives why it failed.
std::optional<store::Failure> flushToDisk(const QFileDevice &file);

// Moves from over to, replacing it in one step, and returns only once the move is on the disk.
std::optional<store::Failure> replaceFile(const QString &from, const QString &to);
#endif

} // namespace files
