#pragma once

// Read-only and nearly full file systems for failure tests. The test program moves itself into
// a private mount namespace at start, so nothing mounted here is seen outside it. As root, file
// permission bits do not stop writes; a read-only mount does.

#include <QString>

namespace testing {

// Called first thing in main(), before any thread exists; false when not permitted.
bool enterPrivateMountNamespace();
// Why mounts are unavailable, or empty when they are available.
QString mountsUnavailableReason();

class Mount {
public:
    // The folder becomes read-only in place.
    static Mount readOnly(const QString &folder);
    // An empty file system of this many kilobytes over the folder.
    static Mount small(const QString &folder, int kilobytes);

    Mount(Mount &&other) noexcept;
    Mount(const Mount &) = delete;
    Mount &operator=(const Mount &) = delete;
    ~Mount();

    bool ok() const { return m_mounted && m_error.isEmpty(); }
    QString error() const { return m_error; }

private:
    Mount() = default;
    QString m_folder;
    QString m_error;
    bool m_mounted = false;
};

} // namespace testing
