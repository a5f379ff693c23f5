#include "cli/TerminalReadWatch.h"

#include "platform/TerminationSignals.h"
#include "store/EngineShutdown.h"

#include <QLocale>

#include <csignal>

namespace {
// Progress is redrawn at most this often: a terminal is slower than a fast read.
constexpr qint64 kProgressEveryMs = 200;
} // namespace

TerminalReadWatch::TerminalReadWatch(bool showProgress, std::FILE *err)
    : m_showProgress(showProgress), m_err(err)
{
    m_signals = std::make_unique<TerminationSignals>([this](int signal) {
        int none = 0;
        m_signal.compare_exchange_strong(none, signal);
        m_stop = true;
    });
    // The client's own handler would shut the engine down under the read; the read stops at
    // its next entry instead. The handler above names the signal, usually just after this.
    m_engine = std::make_unique<EngineShutdown>([this] { m_stop = true; });
}

TerminalReadWatch::~TerminalReadWatch() = default;

void TerminalReadWatch::say(const QString &line)
{
    if (m_lineOpen) {
        std::fputc('\n', m_err);
        m_lineOpen = false;
    }
    std::fprintf(m_err, "kodra-cli: %s\n", line.toUtf8().constData());
    std::fflush(m_err);
}

void TerminalReadWatch::lookingAtVolume(bool) { }

bool TerminalReadWatch::confirmDuplicates(const QString &text)
{
    // A script has no one to ask: the warning is told and the read goes on.
    say(text.section(QLatin1Char('\n'), 0, 0));
    return true;
}

void TerminalReadWatch::begin(qint64) { }

void TerminalReadWatch::walking()
{
    // The first file shows at once.
    m_sinceShown.invalidate();
}

int TerminalReadWatch::signal() const
{
    if (const int named = m_signal.load())
        return named;
    return m_stop.load() ? SIGTERM : 0;
}

bool TerminalReadWatch::goesOn() const
{
    return !m_stop.load();
}

void TerminalReadWatch::fileFound(const QString &path, qint64 files, qint64 bytes, qint64)
{
    if (!m_showProgress || (m_sinceShown.isValid() && !m_sinceShown.hasExpired(kProgressEveryMs)))
        return;
    m_sinceShown.restart();
    const QString folder = path.section(QLatin1Char('/'), 0, -2);
    QString line = QStringLiteral("%1 файлов, %2 байт: %3")
                       .arg(QLocale().toString(files), QLocale().toString(bytes), folder);
    // One terminal line, redrawn in place.
    if (line.size() > 100)
        line = line.left(48) + QStringLiteral("…") + line.right(51);
    std::fprintf(m_err, "\r\033[K%s", line.toUtf8().constData());
    std::fflush(m_err);
    m_lineOpen = true;
}

void TerminalReadWatch::end()
{
    if (m_lineOpen) {
        std::fputc('\n', m_err);
        std::fflush(m_err);
        m_lineOpen = false;
    }
}

void TerminalReadWatch::stopped(const QString &text)
{
    say(text);
}
