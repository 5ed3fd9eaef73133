#pragma once

// What an operation in core gives back when it can fail: Result<T>, a value or the reason there is
// none; for an operation without a value, std::optional<Failure>, the reason or nothing. The files
// and book helpers fail in the same shape as the store, with the system's reason as the detail.

#include <QDir>
#include <QString>

#include <optional>
#include <utility>
#include <variant>

namespace store {

// Locked: the diary has a password of its own and the user did not give it. Foreign: a file that
// opens but holds more than a diary, or other things (core/schemacheck.h). SectionFull and
// HistoryFull: a section or the history has given the largest number there is to its entries or
// changes (only a crafted file gets there), so that no room freed on the disk would help.
enum class FailureKind {
    Missing,
    Damaged,
    ReadOnly,
    DiskFull,
    Other,
    Locked,
    WrongPassword,
    Foreign,
    SectionFull,
    HistoryFull
};

// What could not be done, as the messages of a full disk, section or history name it, and that of
// any other failure of a task but an entry's save (which may be a read, too).
enum class Task { SaveEntry, ClearHistory, Undo, Restore, Import, BringBack };

struct Failure {
    FailureKind kind = FailureKind::Other;
    // The file's path, or the engine's or the system's own message; for SectionFull the section's name.
    QString detail;
    // For a diary that is missing or damaged: the newest backup beside it, when there is one.
    QString newestBackup = {};
    Task task = Task::SaveEntry;
};

// A failure of the diary file itself, named by its path as the platform writes paths.
inline Failure fileFailure(FailureKind kind, const QString &path)
{
    return {kind, QDir::toNativeSeparators(path)};
}

// A value or the reason there is none.
template <class T>
class Result {
public:
    Result(T value) : m_state(std::move(value)) { }
    Result(Failure failure) : m_state(std::move(failure)) { }

    bool ok() const { return std::holds_alternative<T>(m_state); }
    const T &value() const { return std::get<T>(m_state); }
    T &value() { return std::get<T>(m_state); }
    const T &operator*() const { return value(); }
    const T *operator->() const { return &value(); }
    T *operator->() { return &value(); }
    const Failure &failure() const { return std::get<Failure>(m_state); }

private:
    std::variant<T, Failure> m_state;
};

// The result of a task other than an entry's save, its failure naming that task.
template <class T>
Result<T> failedAt(Task task, Result<T> result)
{
    if (result.ok())
        return result;
    Failure failure = result.failure();
    failure.task = task;
    return failure;
}

inline std::optional<Failure> failedAt(Task task, std::optional<Failure> failed)
{
    if (failed)
        failed->task = task;
    return failed;
}

} // namespace store
