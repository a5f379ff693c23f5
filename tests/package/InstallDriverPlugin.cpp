#include "tests/package/InstallDriverPlugin.h"

#include "tests/package/InstallDriver.h"

QObject *InstallDriverPlugin::create(const QString &key, const QString &)
{
    // The application keeps and deletes what generic plugins create.
    if (key.compare(QStringLiteral("kodrainstalldriver"), Qt::CaseInsensitive) != 0)
        return nullptr;
    return new InstallDriver;
}
