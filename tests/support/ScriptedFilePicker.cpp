#include "tests/support/ScriptedFilePicker.h"

ScriptedFilePicker::ScriptedFilePicker()
{
    FilePicker::setInstance(this);
}

ScriptedFilePicker::~ScriptedFilePicker()
{
    FilePicker::setInstance(nullptr);
}

QString ScriptedFilePicker::pick(QWidget *, const FilePickRequest &request)
{
    requests.append(request);
    return answers.isEmpty() ? QString() : answers.takeFirst();
}
