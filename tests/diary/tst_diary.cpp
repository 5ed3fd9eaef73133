// The diary tests: the store on its own, then the section window. The program first moves into a
// private mount namespace (before any thread starts) so that failure tests can mount read-only
// and nearly full file systems without touching the rest of the machine.

#include "mounts.h"

#include "app/identity.h"

#include <QApplication>

int runStoreTests(int argc, char **argv);
int runSectionWindowTests(int argc, char **argv);

int main(int argc, char **argv)
{
    testing::enterPrivateMountNamespace();
    QApplication application(argc, argv);
    app::setApplicationIdentity();
    int failed = runStoreTests(argc, argv);
    failed += runSectionWindowTests(argc, argv);
    return failed > 0 ? 1 : 0;
}
