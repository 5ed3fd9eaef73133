#pragma once

// The file a book is written into. The book goes to a temporary file beside it, which takes the
// file's name only once it is whole, so a stop or a failure leaves an older file as it was. That
// rename replaces whatever has the name, so a book is never written where it would replace the
// diary, one of its backups or anything else in Brimvale's data folder, nor where the name is
// not a regular file (a folder, a pipe, a socket or a device would become a plain file holding
// the diary's text).

#include "core/result.h"

#include <QIODevice>
#include <QSaveFile>

#include <optional>

namespace book {

// Why a book may not be written to path, as the detail that exportFailure words; none when it may.
std::optional<store::Failure> refusalOf(const QString &path);

class BookFile final : public QIODevice {
public:
    explicit BookFile(const QString &path);
    ~BookFile() override;

    // Opens for writing once the place is checked; fails when it is refused or cannot be had, the
    // detail for exportFailure. A new file is readable by the user only, as the diary is; a file
    // that is replaced keeps its own permissions.
    std::optional<store::Failure> start();
    // After the first failed write every later one fails at once, and the system's reason is kept.
    bool failed() const { return !m_reason.isEmpty(); }
    // The message for the failed write.
    QString failure() const;
    // Writes the rest through to the disk, checks the place again and gives the file its name.
    // A failure's detail is for exportFailure; the name keeps what it held then.
    std::optional<store::Failure> commit();
    // Drops the book; the name keeps what it held.
    void cancel();

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 length) override;

private:
    bool writeThrough(const char *data, qint64 length);
    QString reason() const;

    QString m_path;
    QSaveFile m_file;
    QByteArray m_pending;
    QString m_reason;
};

} // namespace book
