#include "reliability.h"

#include "environment.h"

#include "core/diskfiles.h"
#include "core/store/diarykey.h"
#include "core/store/opening.h"
#include "core/store/store.h"
#include "gui/forms.h"
#include "gui/windows/mainwindow.h"
#include "gui/windows/sectionwindow.h"
#include "gui/windows/startupwindow.h"

#include <sqlcipher/sqlite3.h>

#include <QFile>
#include <QListView>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace reliability {

std::optional<FileState> stateOf(const QString &path)
{
    const auto disk = files::diskFileOf(path);
    if (!disk.ok())
        return std::nullopt;
    return FileState{bytesOf(path), disk->modifiedNs, disk->index};
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() && file.flush();
}

QString integrityCheck(const QString &path)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return QStringLiteral("cannot open");
    }
    const QByteArray password = store::kBuiltInPassword.toUtf8();
    sqlite3_key(db, password.constData(), int(password.size()));
    sqlite3_stmt *statement = nullptr;
    QStringList lines;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr) == SQLITE_OK) {
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
            lines << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
        if (rc != SQLITE_DONE)
            lines << QString::fromUtf8(sqlite3_errmsg(db));
    } else {
        lines << QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_finalize(statement);
    sqlite3_close_v2(db);
    return lines.join(QLatin1Char('\n'));
}

std::optional<store::Connection> openUnder(const QString &path, const QString &password)
{
    const QByteArray salt = store::saltOf(path);
    const auto key = password.isEmpty() ? std::optional(store::builtInKey(salt)) : store::userKey(password, salt);
    if (!key)
        return std::nullopt;
    auto opened = store::openWithKey(path, *key);
    if (!opened.ok())
        return std::nullopt;
    return std::move(opened.value());
}

std::optional<QStringList> spellsUnder(const QString &path, const QString &password)
{
    const auto opened = openUnder(path, password);
    if (!opened)
        return std::nullopt;
    auto statement =
        store::Statement::prepare(*opened, QStringLiteral("SELECT keyword FROM tblspell ORDER BY \"Index\""));
    if (!statement.ok())
        return std::nullopt;
    QStringList keywords;
    int rc = SQLITE_ROW;
    while ((rc = statement->step()) == SQLITE_ROW)
        keywords << statement->text(0);
    if (rc != SQLITE_DONE)
        return std::nullopt;
    return keywords;
}

KilledChild killAfter(const QString &program, const QStringList &arguments, int delayMs)
{
    KilledChild said;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(program, arguments);
    if (!child.waitForStarted())
        return said;
    QThread::msleep(static_cast<unsigned long>(delayMs));
    child.kill();
    said.killed = child.waitForFinished(60000) && child.exitStatus() == QProcess::CrashExit;
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        if (line.startsWith("x "))
            said.failure = line;
        if (line.startsWith("? "))
            said.pending = line.mid(2).toInt();
        if (line.startsWith("! ")) {
            said.last = line.mid(2).toInt();
            said.pending.reset();
            ++said.reported;
        }
    }
    return said;
}

void fillDisk(const QString &folder)
{
    QFile filler(folder + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::Append))
        return;
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush()) { }
}

int modeOf(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat info { };
    if (::stat(QFile::encodeName(path).constData(), &info) == 0)
        return int(info.st_mode & 07777);
#else
    Q_UNUSED(path);
#endif
    return -1;
}

bool click(QPushButton *button)
{
    if (!button->isEnabled())
        return false;
    QTest::mouseClick(button, Qt::LeftButton);
    return true;
}

} // namespace reliability
