#pragma once

#include "widgets/FilePicker.h"

#include <QWidget>

class QLineEdit;
class QToolButton;

// A file-name field with a browse button. Its text may hold a path in double quotes; the file
// name it stands for follows fileNameOf().
class FileNameEdit : public QWidget
{
    Q_OBJECT

public:
    explicit FileNameEdit(const FilePickRequest &picker, QWidget *parent = nullptr);

    QString text() const;
    void setText(const QString &text);
    // The file this field names (fileNameOf() of its text).
    QString fileName() const { return fileNameOf(text()); }

    QLineEdit *lineEdit() const { return m_edit; }
    QToolButton *browseButton() const { return m_browse; }
    const FilePickRequest &pickerRequest() const { return m_picker; }

    // The text itself when a file of that name exists; otherwise its first argument read like
    // a command line: a part in double quotes is one argument without its quotes, an unquoted
    // part ends at the first blank.
    static QString fileNameOf(const QString &text);
    // A picked path as the field shows it: in double quotes when it has a blank.
    static QString fieldText(const QString &path);

    // Opens the picker in the folder of the current file name and takes the picked path.
    void browse();

private:
    QLineEdit *m_edit;
    QToolButton *m_browse;
    FilePickRequest m_picker;
};
