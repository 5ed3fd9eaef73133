#include "core/identity.h"

#include <QCoreApplication>

namespace app {

const QString kVersion = QStringLiteral(BRIMVALE_VERSION);
const QString kWindowCaption = kApplicationTitle + QStringLiteral(" v") + kVersion;

void setApplicationIdentity()
{
    QCoreApplication::setOrganizationName(QString());
    QCoreApplication::setOrganizationDomain(QString());
    QCoreApplication::setApplicationName(kApplicationTitle);
    QCoreApplication::setApplicationVersion(kVersion);
}

} // namespace app
