#include "store/DbError.h"

#include "store/FbApi.h"

#include <QStringList>

DbError::DbError(QString text, ISC_STATUS code)
    : m_text(std::move(text)), m_utf8(m_text.toUtf8()), m_code(code)
{ }

DbError DbError::fromStatus(const ISC_STATUS *status)
{
    QStringList lines;
    const ISC_STATUS *cursor = status;
    char buffer[1024];
    const FbApi &fb = FbClient::api();
    while (fb.fb_interpret(buffer, sizeof buffer, &cursor) > 0)
        lines << QString::fromUtf8(buffer);
    QString text = lines.join(QStringLiteral("\r\n"));
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return DbError(text, status[0] == 1 ? status[1] : 0);
}

void DbError::check(const ISC_STATUS *status)
{
    if (status[0] == 1 && status[1] != 0)
        throw fromStatus(status);
}

QString errorBoxText(const QString &text)
{
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        return text + QLatin1Char('.');
    return text;
}
