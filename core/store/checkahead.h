#pragma once

// The whole-diary check and backup copy of a run's first write (core/store/backups.h), made ahead
// of it: right after the run's first open, on a thread of their own (core/diary.h starts them),
// so that the first save does not wait for them. The copy waits without a name (HeldCopy); the
// first write only names it, and only when the file is still as it was checked and copied (else
// it is thrown away and the write checks and copies as it always did), so that a run that never
// writes leaves no trace and the backup is the diary as it was before that write. A write that
// comes while the check runs waits for it, and one that it found damaged is never written.

#include "core/result.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace store {

// Claims the check for this diary: a write waits from now on until the check given has run, on a
// thread of the caller's. Nothing when there is nothing to claim: this run has checked the diary,
// or a check is claimed already. The check asks nobody for a password: a diary whose key this run
// does not know is left for the first write.
std::function<void()> claimCheckAhead(const QString &path);
// From any thread: a claimed check that has not ended ends early, and any copy it made goes (the
// diary may be claimed again once it has ended). One that has ended stays for the first write.
void stopCheckAhead(const QString &path);

class Connection;

// A copy of the diary that has no name yet, whole and on the disk, in the diary's folder: nothing
// can find it, and it goes with the program, even with one that is killed, unless it is named.
class HeldCopy {
public:
    // A copy of the diary open on `connection`, inside a transaction of the caller's. Nothing
    // where the system makes no file without a name, or once `stop` is set.
    static std::unique_ptr<HeldCopy> make(const Connection &connection, const std::atomic<bool> &stop);
    ~HeldCopy();
    HeldCopy(const HeldCopy &) = delete;
    HeldCopy &operator=(const HeldCopy &) = delete;

    // Gives it this name, in its file system, never in place of a file; gives why that failed.
    std::optional<Failure> name(const QString &target);

private:
    explicit HeldCopy(int descriptor) : m_descriptor(descriptor) { }
    int m_descriptor;
};

// What the check found, for the first write, inside its transaction: nothing when no check was
// claimed, when it was stopped or could not be made, or when the file changed since.
struct CheckedAhead {
    std::optional<Failure> damage;
    // None where it could not be made: the write makes its own.
    std::unique_ptr<HeldCopy> copy;
};
// Waits while the check runs.
std::optional<CheckedAhead> takeCheckAhead(const QString &path);

// Forgets every check claimed or made, as at the start of a run or at its end: their copies go.
void forgetChecksAhead();

} // namespace store
