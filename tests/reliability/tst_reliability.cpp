// Reliability and security of the diary: the store killed mid-write, storage faults, rolling
// backups, hostile text and the file's protection. The program first moves into a private mount
// namespace (before any thread starts) so that fault tests can mount read-only and nearly full
// file systems; run with "--crash-child" it is instead the writer that the crash test kills.

#include "mounts.h"

#include "app/identity.h"

#include <QApplication>

#include <cstring>

int runCrashChild(int argc, char **argv);
int runCrashTests(int argc, char **argv);
int runFaultTests(int argc, char **argv);
int runBackupTests(int argc, char **argv);
int runSecurityTests(int argc, char **argv);

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--crash-child") == 0)
        return runCrashChild(argc, argv);

    testing::enterPrivateMountNamespace();
    QApplication application(argc, argv);
    app::setApplicationIdentity();
    int failed = runCrashTests(argc, argv);
    failed += runFaultTests(argc, argv);
    failed += runBackupTests(argc, argv);
    failed += runSecurityTests(argc, argv);
    return failed > 0 ? 1 : 0;
}
