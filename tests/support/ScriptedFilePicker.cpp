#include "tests/support/ScriptedFilePicker.h"

ScriptedFilePicker::ScriptedFilePicker()
{
    FilePicker::setInstance(this);
}

ScriptedFilePicker::~ScriptedFilePicker()
{
    FilePicker::setInstance(nullptr);
}

QString ScriptedFilePicker::pick(QWidget *, FilePickRequest &request)
{
    requests.append(request);
    if (request.mode == FilePickRequest::Mode::SaveFile && !filters.isEmpty())
        request.selectedFilter = filters.takeFirst();
    return answers.isEmpty() ? QString() : answers.takeFirst();
}
