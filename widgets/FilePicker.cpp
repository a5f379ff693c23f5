#include "widgets/FilePicker.h"

#include "widgets/Prompt.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>

namespace {
FilePicker *g_current = nullptr;
// Where the last file was saved, for the next save dialog.
QString g_lastSaveFolder;

// The masks of a name filter: "Документ PDF (*.pdf *.PDF)" gives "*.pdf", "*.PDF".
QStringList masksOf(const QString &nameFilter)
{
    static const QRegularExpression masks(QStringLiteral("\\(([^()]*)\\)\\s*$"));
    const QRegularExpressionMatch m = masks.match(nameFilter);
    return m.hasMatch() ? m.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts) : QStringList();
}
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

QString FilePicker::withSuffixOf(const QString &fileName, const QString &chosen,
                                 const QStringList &offered)
{
    auto isAny = [](const QString &mask) {
        return mask == QLatin1String("*") || mask == QLatin1String("*.*");
    };
    for (const QString &filter : offered + QStringList {chosen}) {
        for (const QString &mask : masksOf(filter)) {
            if (!isAny(mask) && mask.startsWith(QLatin1String("*."))
                && fileName.endsWith(mask.mid(1), Qt::CaseInsensitive))
                return fileName;
        }
    }
    for (const QString &mask : masksOf(chosen)) {
        if (isAny(mask))
            return fileName;
        if (mask.startsWith(QLatin1String("*.")))
            return fileName + mask.mid(1);
    }
    return fileName;
}

QString FilePicker::saveFileName(QWidget *parent, FilePickRequest request)
{
    request.mode = FilePickRequest::Mode::SaveFile;
    if (request.folder.isEmpty()) {
        request.folder = g_lastSaveFolder;
        if (request.folder.isEmpty() || !QFileInfo(request.folder).isDir())
            request.folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (!QFileInfo(request.folder).isDir())
            request.folder = QDir::homePath();
    }
    const QStringList filters = nameFilters(request.filter);
    if (request.selectedFilter.isEmpty() && !filters.isEmpty()) {
        // The filter of the default extension, else the first.
        request.selectedFilter = filters.constFirst();
        for (const QString &f : filters) {
            if (masksOf(f).contains(request.defaultExtension))
                request.selectedFilter = f;
        }
    }
    for (;;) {
        QString fileName = instance().pick(parent, request);
        if (fileName.isEmpty())
            return {};
        fileName = withSuffixOf(fileName, request.selectedFilter, filters);
        const QFileInfo info(fileName);
        if (info.exists()) {
            const auto answer = Prompt::instance().message(
                parent,
                QStringLiteral("Файл «%1» уже существует.\nЗаменить его?").arg(info.fileName()),
                request.title, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
            if (answer != QMessageBox::Yes) {
                // Back to the dialog, the same name proposed.
                request.folder = fileName;
                continue;
            }
        }
        g_lastSaveFolder = info.absolutePath();
        return fileName;
    }
}

QString DialogFilePicker::pick(QWidget *parent, FilePickRequest &request)
{
    QFileDialog dialog(parent, request.title, request.folder);
    dialog.setNameFilters(nameFilters(request.filter));
    if (!request.selectedFilter.isEmpty())
        dialog.selectNameFilter(request.selectedFilter);
    QString suffix = request.defaultExtension;
    suffix.remove(QStringLiteral("*."));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Папка:"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Имя файла:"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Тип файлов:"));
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Открыть"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Отмена"));
    switch (request.mode) {
    case FilePickRequest::Mode::ExistingFile:
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setDefaultSuffix(suffix);
        break;
    case FilePickRequest::Mode::FileInExistingFolder:
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(suffix);
        break;
    case FilePickRequest::Mode::ExistingFolder:
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Выбрать"));
        break;
    case FilePickRequest::Mode::SaveFile:
        // The suffix follows the filter chosen, and the question before replacing a file
        // comes after it is added (saveFileName), so the dialog does neither itself.
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Сохранить"));
        break;
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    request.selectedFilter = dialog.selectedNameFilter();
    return dialog.selectedFiles().constFirst();
}
