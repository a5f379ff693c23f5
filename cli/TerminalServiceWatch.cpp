#include "cli/TerminalServiceWatch.h"

TerminalServiceWatch::TerminalServiceWatch(bool showSteps, std::FILE *err)
    : m_showSteps(showSteps), m_err(err)
{ }

void TerminalServiceWatch::begin(const QString &caption)
{
    if (m_showSteps)
        std::fprintf(m_err, "kodra-cli: %s\n", caption.toUtf8().constData());
}

void TerminalServiceWatch::output(const QString &line)
{
    if (m_showSteps && !line.trimmed().isEmpty())
        std::fprintf(m_err, "  %s\n", line.trimmed().toUtf8().constData());
}

void TerminalServiceWatch::end()
{
    std::fflush(m_err);
}
