#pragma once

#include "admin/ServiceWatch.h"

#include <cstdio>

// A backup or restore followed from a terminal: the server's steps on stderr when asked for,
// nothing otherwise.
class TerminalServiceWatch : public ServiceWatch
{
public:
    explicit TerminalServiceWatch(bool showSteps, std::FILE *err = stderr);

    void begin(const QString &caption) override;
    void output(const QString &line) override;
    void end() override;

private:
    bool m_showSteps;
    std::FILE *m_err;
};
