#pragma once

#include <ibase.h>

#include <QString>
#include <exception>

// The one error type of the data layer: database errors carry the server's text, one message
// per line joined by CR LF, without a trailing full stop; the layer's own errors their text.
class DbError : public std::exception
{
public:
    explicit DbError(QString text, ISC_STATUS code = 0);

    const QString &text() const { return m_text; }
    // The first error code of the server's status vector, 0 for the layer's own errors.
    ISC_STATUS code() const { return m_code; }
    const char *what() const noexcept override { return m_utf8.constData(); }

    // Builds the error from a failed call's status vector.
    static DbError fromStatus(const ISC_STATUS *status);
    // Throws when the status vector reports an error.
    static void check(const ISC_STATUS *status);

private:
    QString m_text;
    QByteArray m_utf8;
    ISC_STATUS m_code = 0;
};

// The text of the standard error box: a full stop is added when the last character sorts after
// "." (a letter, a digit, "?"), so texts ending in ".", "!" or ")" are left alone.
QString errorBoxText(const QString &text);
