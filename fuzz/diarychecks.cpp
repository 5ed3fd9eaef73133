#include "fuzz/checks.h"

#include "core/book/bookimport.h"
#include "core/store/diarykey.h"
#include "core/store/history.h"
#include "core/store/restore.h"
#include "core/store/statements.h"
#include "core/store/store.h"
#include "core/store/storeprobe.h"

#include <sqlcipher/sqlite3.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <array>
#include <memory>

namespace fuzzchecks {

namespace {
// Every file made here has this salt, so that its key is derived once per run.
const QByteArray kSalt = QByteArrayLiteral("brimvale-fuzzing");
// Enough engine work to copy any input of a few hundred kilobytes; a crafted one that would run
// on is stopped there.
constexpr int kWorkAsks = 200000;
// The changes of a diary that are taken back, newest first.
constexpr std::size_t kUndos = 8;

struct Folder {
    QTemporaryDir root;
    QString path(const QString &name) const { return root.filePath(name); }
};

Folder &folder()
{
    static Folder made;
    return made;
}

// A plain connection of the engine's own, without a key, for the files the checks make.
struct Plain {
    sqlite3 *db = nullptr;
    int asks = 0;
    explicit Plain(const QString &path)
    {
        sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        sqlite3_progress_handler(
            db, 1000, [](void *self) { return ++static_cast<Plain *>(self)->asks > kWorkAsks ? 1 : 0; }, this);
    }
    ~Plain() { sqlite3_close_v2(db); }
    bool run(const QString &sql, const std::vector<QString> &values = {}) const
    {
        sqlite3_stmt *statement = nullptr;
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &statement, nullptr) != SQLITE_OK)
            return false;
        for (std::size_t i = 0; i < values.size(); ++i) {
            const QByteArray value = values[i].toUtf8();
            sqlite3_bind_text(statement, int(i + 1), value.constData(), int(value.size()), SQLITE_TRANSIENT);
        }
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) { }
        sqlite3_finalize(statement);
        return rc == SQLITE_DONE;
    }
};

// Copies a diary, statement by statement, between its encrypted form (a key given) and its plain
// one (no key), in which the fuzzer's changes are more than noise.
bool copyDiary(const QString &from, const QString &fromKey, const QString &to, const QString &toKey)
{
    QFile::remove(to);
    Plain plain(from);
    const QByteArray key = fromKey.toUtf8();
    return plain.db && (key.isEmpty() || sqlite3_key(plain.db, key.constData(), int(key.size())) == SQLITE_OK)
        && plain.run(QStringLiteral("ATTACH DATABASE ?1 AS copy KEY ?2"), {to, toKey})
        // Small pages make small seeds.
        && (!toKey.isEmpty() || plain.run(QStringLiteral("PRAGMA copy.page_size = 512")))
        && plain.run(QStringLiteral("SELECT sqlcipher_export('copy')"))
        && plain.run(QStringLiteral("DETACH DATABASE copy"));
}

QString builtInKey()
{
    return QString::fromLatin1(store::builtInKey(kSalt).data());
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A diary with entries in two sections and a history of every kind of change.
QString livedInDiary()
{
    const QString path = folder().path(QStringLiteral("lived-in.dll"));
    if (QFile::exists(path))
        return path;
    const QString made = folder().path(QStringLiteral("made.dll"));
    using store::Table;
    if (store::createDiary(made))
        return {};
    store::addEntry(made, Table::Spell, {QStringLiteral("Rue"), QStringLiteral("herb")});
    store::addEntry(made, Table::Spell, {QStringLiteral("Sage"), QStringLiteral("smoke")});
    store::updateEntry(made, Table::Spell, 2, {QStringLiteral("Sage"), QStringLiteral("white smoke")});
    store::removeEntry(made, Table::Spell, 1);
    store::addEntries(made,
                      {{Table::Rituals,
                        {{QStringLiteral("Moon"), QStringLiteral("full")},
                         {QStringLiteral("Yule"), QStringLiteral("longest night")}}}});
    // Under the salt of every file made here.
    return copyDiary(made, store::kBuiltInPassword, path, builtInKey()) ? path : QString();
}

struct Counts {
    std::array<qint64, sections::kTables.size()> entries{};
    bool read = true;
};

Counts countsOf(const QString &diary)
{
    Counts counts;
    for (std::size_t i = 0; i < sections::kTables.size(); ++i) {
        const auto entries = store::readSection(diary, sections::kTables[i]);
        counts.read = counts.read && entries.ok();
        counts.entries[i] = entries.ok() ? qint64(entries->size()) : -1;
    }
    return counts;
}

// The disk has room: no write fails for want of it. (A write may fail as damaged: the engine's
// whole check reads every page, but a value damaged inside its row only when it is read.)
QString writeFailure(const char *what, const store::Failure &failure)
{
    if (failure.kind == store::FailureKind::DiskFull)
        return QStringLiteral("%1: %2").arg(QLatin1String(what), store::message(failure));
    return {};
}

QString importInto(const QString &diary, const QString &file)
{
    const auto loaded = book::load(file);
    if (!loaded.ok())
        return {};
    const Counts before = countsOf(diary);
    const auto preview = book::preview(diary, *loaded);
    if (!preview.ok())
        return QStringLiteral("import preview: ") + store::message(preview.failure());
    const book::Outcome outcome = book::import(diary, *preview);
    const Counts after = countsOf(diary);
    for (std::size_t i = 0; i < after.entries.size(); ++i) {
        const qint64 expected = before.entries[i] + (outcome.done() ? preview->added[i] : 0);
        if (after.entries[i] != expected)
            return QStringLiteral("import: section %1 holds %2 entries instead of %3 (%4)")
                .arg(i)
                .arg(after.entries[i])
                .arg(expected)
                .arg(outcome.message);
    }
    return {};
}

QString restoreAndUse(const QString &diary, const QString &backup)
{
    const QByteArray was = bytesOf(diary);
    const auto restored = store::restoreBackup(diary, backup);
    if (!restored.ok())
        return bytesOf(diary) == was ? QString() : QStringLiteral("a refused restore changed the diary");
    for (store::Table table : sections::kTables)
        if (const auto added = store::addEntry(diary, table, {QStringLiteral("Vervain"), QStringLiteral("visions")});
            !added.ok())
            if (QString failed = writeFailure("add", added.failure()); !failed.isEmpty())
                return failed;

    const auto changes = store::history::readChanges(diary, store::history::kNoLimit, qint64(kUndos));
    if (!changes.ok())
        return {};
    for (const store::history::Change &change : *changes) {
        if (store::history::describe(change).isEmpty())
            return QStringLiteral("a change without a line");
        store::history::readEntryChanges(diary, change.id);
        const auto undone = store::history::undo(diary, change.id);
        if (!undone.ok())
            if (QString failed = writeFailure("undo", undone.failure()); !failed.isEmpty())
                return failed;
    }
    const auto failed = store::history::clear(diary);
    return failed ? writeFailure("clear", *failed) : QString();
}
} // namespace

QString diaryFiles(QByteArrayView input)
{
    const QString lived = livedInDiary();
    if (lived.isEmpty())
        return QStringLiteral("no diary to work on could be made");
    const QString plain = folder().path(QStringLiteral("input.db"));
    {
        QFile file(plain);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(input.data(), input.size()) != input.size())
            return QStringLiteral("the input could not be written");
    }
    // What the engine cannot read as a database is no diary file of anybody's.
    const QString crafted = folder().path(QStringLiteral("crafted.dll"));
    if (!copyDiary(plain, QString(), crafted, builtInKey()))
        return {};

    const QString data = folder().path(QStringLiteral("data"));
    QDir(data).removeRecursively();
    QDir().mkpath(data);
    const QString diary = data + QStringLiteral("/updatediary.dll");
    if (!QFile::copy(lived, diary))
        return QStringLiteral("the diary could not be copied");
    store::probe::startNewRun();
    if (QString failed = importInto(diary, crafted); !failed.isEmpty())
        return failed;
    return restoreAndUse(diary, crafted);
}

QList<QByteArray> diarySeeds()
{
    const QString lived = livedInDiary();
    QList<QByteArray> seeds;
    const QStringList twists{
        QString(),
        // A section and the history that have given their last number.
        QStringLiteral("UPDATE sqlite_sequence SET seq = 9223372036854775807"),
        // A keyword that is not UTF-8, and a change made at a place no clock has.
        QStringLiteral("UPDATE tblspell SET keyword = CAST(X'52ff7565' AS TEXT);"
                       "UPDATE history_changes SET at_offset = -9223372036854775807 - 1"),
    };
    for (const QString &twist : twists) {
        const QString plain = folder().path(QStringLiteral("seed.db"));
        if (lived.isEmpty() || !copyDiary(lived, builtInKey(), plain, QString()))
            return {};
        if (!twist.isEmpty()) {
            Plain changed(plain);
            sqlite3_exec(changed.db, twist.toUtf8().constData(), nullptr, nullptr, nullptr);
        }
        seeds << bytesOf(plain);
    }
    return seeds;
}

} // namespace fuzzchecks
