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
        ExistingFolder, // a folder, not a file
        SaveFile // a file to write: a save dialog, which also reports the filter chosen
    };
    QString title;
    QString folder; // or a file in it, to be proposed
    QString filter;
    QString defaultExtension; // "*.gdb"
    Mode mode = Mode::ExistingFile;
    // The filter shown first ("Desc (*.x)" as nameFilters() writes it); a save dialog puts the
    // one the user chose here.
    QString selectedFilter = QString();
};

// Every file picker of the program goes through the current picker, so that tests can script
// the answer. An empty answer means the user cancelled.
class FilePicker
{
public:
    virtual ~FilePicker() = default;

    virtual QString pick(QWidget *parent, FilePickRequest &request) = 0;

    // A file to write, through the current picker: it starts in the folder last saved to (the
    // user's documents at first), gives the name the suffix of the filter chosen when it has
    // not, and asks before a file is replaced. Empty when the user cancelled.
    static QString saveFileName(QWidget *parent, FilePickRequest request);

    static FilePicker &instance();
    // Replaces the current picker (nullptr restores the real one); the caller keeps ownership.
    static void setInstance(FilePicker *picker);

    // "Desc (*.a)|*.a|All (*.*)|*.*" as the name filters of a Qt file dialog.
    static QStringList nameFilters(const QString &filter);
    // The name with the suffix of the name filter chosen ("Документ PDF (*.pdf)") added,
    // unless it already ends in a suffix of one of the filters offered (the user typed it)
    // or the filter chosen takes any file.
    static QString withSuffixOf(const QString &fileName, const QString &chosen,
                                const QStringList &offered);
};

// The real picker: a modal QFileDialog.
class DialogFilePicker : public FilePicker
{
public:
    QString pick(QWidget *parent, FilePickRequest &request) override;
};
