#pragma once

#include <QString>

// Why a command ends before its work is done: the exit code and what the user reads on
// stderr (Russian, saying what to do), the engine's own text as details below it.
class CliFailure
{
public:
    enum Code { Error = 1, Usage = 2, Incomplete = 3, NothingFound = 4 };

    CliFailure(int code, QString text, QString details = QString());

    int code() const { return m_code; }
    const QString &text() const { return m_text; }
    const QString &details() const { return m_details; }

    // The text, then the details, as stderr shows them.
    QString message() const;

private:
    int m_code;
    QString m_text;
    QString m_details;
};
