#pragma once

// A new file is written beside its final name and moved there only once it is whole and on the
// disk, so that the name holds either nothing or the complete file. The move never replaces
// anything already at the name: whatever the user has there is worth more than the new file.

#include "core/result.h"

#include <QString>
#include <QTemporaryFile>

#include <optional>

namespace files {

class NewFile {
public:
    // The temporary file goes into folder, named after pattern with "XXXXXX" made unique. It is
    // readable and writable by the user only, and removed again unless it is committed.
    NewFile(const QString &folder, const QString &pattern);
    ~NewFile();
    NewFile(const NewFile &) = delete;
    NewFile &operator=(const NewFile &) = delete;

    // For bytes written through Qt: opens the temporary file; fails with why it cannot be had.
    std::optional<store::Failure> open();
    QFile &file() { return m_file; }

    // For a writer that makes its file by name (SQLite): a free path in the folder for it to
    // create; empty when none can be had.
    QString pathToFill();

    // Flushes the bytes through to the disk. Fails with the system's reason.
    std::optional<store::Failure> seal();
    // Seals the file, moves it to name in the folder and writes the folder's new entry through.
    // Fails with the system's reason; the temporary file is gone then.
    std::optional<store::Failure> commit(const QString &name);

    // Like commit, but takes the place of the file at name: for a new version of that very file,
    // which holds either its old or its new bytes at every moment. A symbolic link at name stays
    // a link: the file it leads to is replaced (files::linkedFileOf). Write the new version in that
    // file's folder; from another file system the move fails and nothing changes.
    std::optional<store::Failure> replace(const QString &name);

private:
    std::optional<store::Failure> moveTo(const QString &name, bool replacing);
    void discard();

    QString m_folder;
    QTemporaryFile m_temporary; // claims the unique name only
    QFile m_file;               // the bytes written through Qt
    QString m_filledPath;       // the file being made, once its name is claimed
    bool m_sealed = false;
    bool m_committed = false;
};

// Writes a folder's entries through to the disk, so that a rename in it survives a power cut.
void syncFolder(const QString &folder);

} // namespace files
