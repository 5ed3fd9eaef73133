#pragma once

// What a store operation gives back: a value, or the reason there is none.

#include <QDir>
#include <QString>

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
enum class Task { SaveEntry, ClearHistory, Undo, Restore, Import };

struct Failure {
    FailureKind kind = FailureKind::Other;
    QString detail; // the file's path, or the engine's own message; for SectionFull the section's name
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

// Success without a value.
struct Done { };

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

} // namespace store
