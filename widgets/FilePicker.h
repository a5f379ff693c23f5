#pragma once

#include <QString>

class QWidget;

// What a file picker is asked for. The filter keeps the program's own form: pairs of a
// description and a mask separated by "|" ("Файл базы данных (*.gdb)|*.gdb").
struct FilePickRequest
{
    enum class Mode {
        ExistingFile, // the folder and the file must exist
        FileInExistingFolder, // the folder must exist, the file need not
        ExistingFolder // a folder, not a file
    };
    QString title;
    QString folder;
    QString filter;
    QString defaultExtension; // "*.gdb"
    Mode mode = Mode::ExistingFile;
};

// Every file picker of the program goes through the current picker, so that tests can script
// the answer. An empty answer means the user cancelled.
class FilePicker
{
public:
    virtual ~FilePicker() = default;

    virtual QString pick(QWidget *parent, const FilePickRequest &request) = 0;

    static FilePicker &instance();
    // Replaces the current picker (nullptr restores the real one); the caller keeps ownership.
    static void setInstance(FilePicker *picker);

    // "Desc (*.a)|*.a|All (*.*)|*.*" as the name filters of a Qt file dialog.
    static QStringList nameFilters(const QString &filter);
};

// The real picker: a modal QFileDialog.
class DialogFilePicker : public FilePicker
{
public:
    QString pick(QWidget *parent, const FilePickRequest &request) override;
};
