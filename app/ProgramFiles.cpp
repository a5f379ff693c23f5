#include "app/ProgramFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString templateName = QStringLiteral("Kodra.fbk");

QString beside(const QString &programFolder)
{
    return QDir(programFolder).filePath(templateName);
}

QString installed(const QString &programFolder)
{
    return QDir::cleanPath(programFolder + QStringLiteral("/../share/kodra/") + templateName);
}

} // namespace

QString ProgramFiles::templatePath(const QString &programFolder)
{
    if (!QFileInfo::exists(beside(programFolder)) && QFileInfo::exists(installed(programFolder)))
        return installed(programFolder);
    return beside(programFolder);
}

bool ProgramFiles::isInstalled(const QString &programFolder)
{
    return templatePath(programFolder) != beside(programFolder);
}

QString ProgramFiles::catalogueFolder(const QString &programFolder)
{
    if (QFileInfo(programFolder).isWritable() && !isInstalled(programFolder))
        return programFolder + QLatin1Char('/');
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(data);
    return data + QLatin1Char('/');
}
