#pragma once

// Helpers shared by the reliability tests: exact file states, a keyed look at a diary from
// outside the program, and the way a user reaches and drives the section window.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

#include "diaryfiles.h"
#include "sectionwindow.h"

#include "core/store/statements.h"

class SectionWindow;
class QPushButton;

namespace reliability {

// What "the file was not touched" means: the same bytes, modification time and inode.
struct FileState {
    QByteArray bytes;
    qint64 mtimeNs = -1;
    quint64 inode = 0;
    bool operator==(const FileState &) const = default;
};
std::optional<FileState> stateOf(const QString &path);

using testing::bytesOf;
bool writeBytes(const QString &path, const QByteArray &bytes);

// "ok" from PRAGMA integrity_check through a connection keyed with the password, else what it
// said (or why it could not run).
QString integrityCheck(const QString &path);

// The diary opened with this password alone (empty: the built-in key), as the store opens it.
std::optional<store::Connection> openUnder(const QString &path, const QString &password);
// The spells' keywords of a diary under this password; none when it does not open with it.
std::optional<QStringList> spellsUnder(const QString &path, const QString &password);

// What a child that announces each step before it starts ("? <n>") and reports it once done
// ("! <n>") said before it was killed.
struct KilledChild {
    bool killed = false; // it started, and the kill ended it
    int reported = 0;
    std::optional<int> last;    // the last step reported
    std::optional<int> pending; // announced, not reported
    QByteArray failure;         // a line "x …" it wrote when a step failed
};
// Runs the program with these arguments and kills it after the delay.
KilledChild killAfter(const QString &program, const QStringList &arguments, int delayMs);

// Fills the file system holding this folder until a write fails.
void fillDisk(const QString &folder);
// Octal permission bits, e.g. 0600; -1 where files have none (Windows).
int modeOf(const QString &path);

using testing::enterSection;
using testing::listed;
using testing::selectLine;
// Clicks an enabled button; false when it is disabled.
bool click(QPushButton *button);

} // namespace reliability
