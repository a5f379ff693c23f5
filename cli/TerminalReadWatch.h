#pragma once

#include "disk/ReadWatch.h"

#include <QElapsedTimer>

#include <atomic>
#include <cstdio>
#include <memory>

class EngineShutdown;
class TerminationSignals;

// A disk read followed from a terminal: the serial-duplicate warning on stderr (the read goes
// on), progress on stderr (files, bytes, the folder being read) when asked for, and SIGINT,
// SIGTERM and SIGHUP stopping the read at its next entry with what was read kept. Create it
// before the first connection: the database client chains the handlers it finds.
class TerminalReadWatch : public ReadWatch
{
public:
    explicit TerminalReadWatch(bool showProgress, std::FILE *err = stderr);
    ~TerminalReadWatch() override;

    // The signal that stopped the read; 0 while none came. One the database client caught
    // and did not name counts as SIGTERM until it is named.
    int signal() const;

    void lookingAtVolume(bool started) override;
    bool confirmDuplicates(const QString &text) override;
    void begin(qint64 usedBytes) override;
    void walking() override;
    bool goesOn() const override;
    void fileFound(const QString &path, qint64 files, qint64 bytes, qint64 capacity) override;
    void end() override;
    void stopped(const QString &text) override;

private:
    void say(const QString &line);

    bool m_showProgress;
    std::FILE *m_err;
    std::atomic<int> m_signal {0};
    std::atomic<bool> m_stop {false};
    std::unique_ptr<TerminationSignals> m_signals;
    std::unique_ptr<EngineShutdown> m_engine;
    QElapsedTimer m_sinceShown;
    bool m_lineOpen = false;
};
