#include "reportengine/ReportRowSource.h"

bool ReportRowSource::answersTo(const QString &other) const
{
    return name().compare(other, Qt::CaseInsensitive) == 0;
}

int ReportRowSource::fieldIndex(const QString &field) const
{
    const QStringList names = fieldNames();
    for (int i = 0; i < names.size(); ++i) {
        if (names[i].compare(field, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}
