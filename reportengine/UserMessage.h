#pragma once

#include <QString>
#include <stdexcept>

// A failure whose text is written for the user and shown as it stands (a template naming a
// field its source does not have). Whatever else goes wrong is the caller's to explain.
class UserMessage : public std::runtime_error
{
public:
    explicit UserMessage(const QString &text) : std::runtime_error(text.toStdString()), m_text(text)
    { }
    const QString &text() const { return m_text; }

private:
    QString m_text;
};
