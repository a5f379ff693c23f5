#include "cli/CliFailure.h"

CliFailure::CliFailure(int code, QString text, QString details)
    : m_code(code), m_text(std::move(text)), m_details(std::move(details))
{ }

QString CliFailure::message() const
{
    if (m_details.isEmpty() || m_details == m_text)
        return m_text;
    return m_text + QLatin1Char('\n') + m_details;
}
