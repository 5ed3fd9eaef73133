#include "app/identity.h"

#include <QCoreApplication>

namespace app {

void setApplicationIdentity()
{
    QCoreApplication::setOrganizationName(QString());
    QCoreApplication::setOrganizationDomain(QString());
    QCoreApplication::setApplicationName(kApplicationTitle);
    QCoreApplication::setApplicationVersion(QStringLiteral("2.05"));
}

} // namespace app
