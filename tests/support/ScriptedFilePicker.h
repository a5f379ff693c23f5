#pragma once

#include "widgets/FilePicker.h"

#include <QList>
#include <QStringList>

// Records every file picker request instead of showing a dialog and answers from a script
// (an empty answer, as if cancelled, when the script is empty). A save dialog's chosen filter
// comes from its own script ("Документ PDF (*.pdf)"); none left keeps the filter shown first.
// Installs itself while it lives.
class ScriptedFilePicker : public FilePicker
{
public:
    ScriptedFilePicker();
    ~ScriptedFilePicker() override;

    QString pick(QWidget *parent, FilePickRequest &request) override;

    QList<FilePickRequest> requests;
    QStringList answers;
    QStringList filters;
};
