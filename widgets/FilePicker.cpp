#include "widgets/FilePicker.h"

#include <QFileDialog>
#include <QStringList>

namespace {
FilePicker *g_current = nullptr;
} // namespace

FilePicker &FilePicker::instance()
{
    static DialogFilePicker real;
    return g_current ? *g_current : real;
}

void FilePicker::setInstance(FilePicker *picker)
{
    g_current = picker;
}

QStringList FilePicker::nameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString mask = parts.at(i + 1);
        // "*.*" on Linux would hide files without an extension.
        if (mask == QLatin1String("*.*"))
            mask = QStringLiteral("*");
        QString description = parts.at(i);
        const qsizetype open = description.lastIndexOf(QLatin1Char('('));
        if (open > 0)
            description = description.left(open).trimmed();
        filters << description + QStringLiteral(" (")
                + mask.replace(QLatin1Char(';'), QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters;
}

QString DialogFilePicker::pick(QWidget *parent, const FilePickRequest &request)
{
    QFileDialog dialog(parent, request.title, request.folder);
    dialog.setNameFilters(nameFilters(request.filter));
    QString suffix = request.defaultExtension;
    suffix.remove(QStringLiteral("*."));
    dialog.setDefaultSuffix(suffix);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    switch (request.mode) {
    case FilePickRequest::Mode::ExistingFile:
        dialog.setFileMode(QFileDialog::ExistingFile);
        break;
    case FilePickRequest::Mode::FileInExistingFolder:
        dialog.setFileMode(QFileDialog::AnyFile);
        break;
    case FilePickRequest::Mode::ExistingFolder:
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        break;
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
