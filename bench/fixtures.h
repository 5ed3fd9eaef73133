#pragma once

// What the measurements stand on: a private home for the program, diaries of a given size made
// in one transaction, and the floor's own connection to the engine.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace bench {

// About 12 and 400 characters, different for every row, the same in every run.
QString keywordFor(int row);
QString meaningFor(int row);
// About 400 characters of words from a vocabulary of some 27,000, as in real writing: what the
// find index is measured on.
QString proseFor(int row);

// HOME and the XDG folders point into a temporary folder for the benchmark and its children.
class Home {
public:
    Home();
    bool valid() const { return m_root.isValid() && m_runtime.isValid(); }
    QString root() const { return m_root.path(); }
    QString dataFolder() const { return root() + QStringLiteral("/home/.local/share/Brimvale"); }
    QString runtimeFolder() const { return m_runtime.path(); }

private:
    QTemporaryDir m_root;
    // On a desktop the runtime folder (where the instance lock lives) is a tmpfs, where the
    // lock's flush to disk costs nothing; /dev/shm stands in for it where there is one.
    QTemporaryDir m_runtime;
};

// Writes a new diary with `rows` entries in `table` through the store's schema and one
// transaction; replaces a file already at the path. A page size other than the engine's
// default must be given again on every open. False on failure.
bool makeDiary(const QString &path, const QString &table, int rows, int pageSize = 0);

// Appends `rows` entries with these meanings to a table of an existing diary in one transaction.
bool appendEntries(const QString &path, const QString &table, int rows, QString (*meaningOf)(int row));

// The key SQLCipher derives from the password and the file's salt, in its raw-key form.
QByteArray rawKeyOf(const QString &path);

// What the program must do by rule for every action: read the salt, reopen with the cached raw
// key, read the schema, close.
bool reopenWithRawKey(const QString &path, const QByteArray &rawKey);

// Opens read-write with the raw key (and the page size, when not the default); null on failure.
sqlite3 *openWithRawKey(const QString &path, const QByteArray &rawKey, int flags = 0, int pageSize = 0);

struct KeywordList {
    std::vector<qint64> indexes;
    QStringList keywords;
};

// One connection that stays open, running the store's statements: the engine's floor.
class OpenDiary {
public:
    OpenDiary(const QString &path, const QString &table);
    ~OpenDiary();
    OpenDiary(const OpenDiary &) = delete;
    OpenDiary &operator=(const OpenDiary &) = delete;

    bool ok() const { return m_db != nullptr; }
    KeywordList readKeywords();
    bool readEntry(qint64 index, QString &keyword, QString &meaning);
    qint64 add(const QString &keyword, const QString &meaning);
    // As the store does: only while the row still holds the keyword the list showed.
    bool update(qint64 index, const QString &listed, const QString &keyword, const QString &meaning);
    bool remove(qint64 index, const QString &listed);
    // A PRAGMA's value, for the notes under the table.
    QString pragma(const char *name);

private:
    // True when the statement changed a row.
    bool write(sqlite3_stmt *statement);

    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_keywords = nullptr;
    sqlite3_stmt *m_entry = nullptr;
    sqlite3_stmt *m_add = nullptr;
    sqlite3_stmt *m_update = nullptr;
    sqlite3_stmt *m_remove = nullptr;
};

} // namespace bench
