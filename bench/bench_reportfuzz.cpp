// The template and built-report loaders under a seeded mutation loop.
//
// bench_reportfuzz [seconds [seed]] (default 300 seconds, seed 1) mutates stored templates
// and saved built reports (bit flips, interesting numbers over doubles and counts, cuts,
// insertions, splices, hostile rich text), mostly framed again with a right checksum so that
// the payload is what gets tried. Each input goes through the loader; what loads is written
// again (it must give the same bytes), drawn on an image, built (templates), turned into plain
// text, CSV, HTML and RTF. The work runs in a child process under a 4 GB address-space limit
// that keeps the input it is on in shared memory: a child that dies is a crash, one that makes
// no progress for 20 seconds a hang; the input is kept in the output folder and a new child
// goes on with the next seed. Prints inputs tried, loaded, refused, crashes, hangs and
// round-trip differences.

#include "reportengine/BuiltReport.h"
#include "reportengine/ReportBuilder.h"
#include "reportengine/ReportExporter.h"
#include "reportengine/ReportStream.h"
#include "reportengine/ReportTemplate.h"
#include "reports/StarterLabels.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int FrameHeader = 16;
constexpr int MaxInput = 1 << 20;

// Shared between the supervisor and its child.
struct Shared
{
    std::atomic<quint64> tried;
    std::atomic<quint64> loaded;
    std::atomic<quint64> refused;
    std::atomic<quint64> roundTripDiffers;
    std::atomic<quint64> heartbeat;
    std::atomic<int> inputSize;
    char input[MaxInput];
};

void say(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

ReportObject object(ObjectKind kind, const QString &text, const QRectF &geometry)
{
    ReportObject o;
    o.kind = kind;
    o.text = text;
    o.geometry = geometry;
    return o;
}

// Every kind of object, rich text of several shapes, and the starter labels.
std::vector<ReportTemplate> seedTemplates()
{
    std::vector<ReportTemplate> seeds;
    for (const StarterLabels::Label &label : StarterLabels::all())
        seeds.push_back(label.layout);
    ReportTemplate every;
    ReportPage page;
    ReportBand title;
    title.kind = BandKind::ReportTitle;
    title.height = 40;
    for (int k = 0; k <= int(ObjectKind::Line); ++k) {
        ReportObject o
            = object(ObjectKind(k), QStringLiteral("Текст [PAGE#] из [TOTALPAGES] %1").arg(k),
                     QRectF(2 + k * 20, 3, 18, 12));
        o.fill = QColor(200, 220, 240);
        o.frame = true;
        title.objects.push_back(o);
    }
    title.objects.push_back(
        object(ObjectKind::RichText,
               QStringLiteral("<table border=1><tr><td><b>a</b></td><td><i>b</i></td></tr></table>"
                              "<ul><li>c</li></ul><img src=\"x.png\" width=20 height=10>"
                              "<p style=\"font-size:14pt; margin-left:5px\">d</p>"),
               QRectF(2, 18, 120, 20)));
    page.bands.push_back(title);
    ReportBand footer;
    footer.kind = BandKind::PageFooter;
    footer.height = 10;
    footer.objects.push_back(
        object(ObjectKind::Text, QStringLiteral("[DATE] [TIME]"), QRectF(2, 1, 60, 8)));
    page.bands.push_back(footer);
    every.pages.push_back(page);
    seeds.push_back(every);
    return seeds;
}

// A template's objects placed as a built page, band under band.
BuiltReport asBuilt(const ReportTemplate &t)
{
    BuiltReport r;
    r.title = QStringLiteral("Отчёт");
    for (const ReportPage &page : t.pages) {
        BuiltPage built;
        built.size = page.size;
        double top = page.margins.top();
        for (const ReportBand &band : page.bands) {
            for (ReportObject o : band.objects) {
                o.geometry.translate(0, top);
                built.objects.push_back(o);
            }
            top += band.height;
        }
        r.pages.push_back(built);
    }
    return r;
}

class Mutator
{
public:
    explicit Mutator(quint32 seed) : m_random(seed) { }

    int below(int n) { return n <= 0 ? 0 : int(m_random.bounded(quint32(n))); }

    QByteArray mutate(const QByteArray &framed, const std::vector<QByteArray> &pool)
    {
        QByteArray payload = framed.mid(FrameHeader);
        const int rounds = 1 + below(4);
        for (int i = 0; i < rounds; ++i)
            step(payload, pool);
        if (payload.size() > MaxInput - FrameHeader)
            payload.truncate(MaxInput - FrameHeader);
        if (below(10) == 0) {
            // The header too: unframed bytes, a wrong checksum or a torn header.
            QByteArray bytes = framed.left(FrameHeader) + payload;
            const int at = below(FrameHeader);
            bytes[at] = char(bytes[at] ^ (1 << below(8)));
            return bytes;
        }
        return ReportStream::frame(framed.left(8), 1, payload);
    }

private:
    void step(QByteArray &p, const std::vector<QByteArray> &pool)
    {
        if (p.isEmpty()) {
            p += char(below(256));
            return;
        }
        const int at = below(int(p.size()));
        switch (below(9)) {
        case 0:
            p[at] = char(p[at] ^ (1 << below(8)));
            break;
        case 1: {
            static const char bytes[] = {0, 1, 2, 0x7f, char(0x80), char(0xff)};
            p[at] = bytes[below(sizeof bytes)];
            break;
        }
        case 2:
            if (at + 8 <= p.size()) {
                static const double doubles[] = {0.0,
                                                 -0.0,
                                                 -1.0,
                                                 1e-300,
                                                 1e300,
                                                 -1e300,
                                                 1e9,
                                                 -1e9,
                                                 std::numeric_limits<double>::quiet_NaN(),
                                                 std::numeric_limits<double>::infinity(),
                                                 -std::numeric_limits<double>::infinity(),
                                                 std::numeric_limits<double>::denorm_min()};
                qToBigEndian(doubles[below(std::size(doubles))], p.data() + at);
            }
            break;
        case 3:
            if (at + 4 <= p.size()) {
                static const quint32 counts[]
                    = {0, 1, 2, 0x7fffffff, 0xffffffff, 0xfffffffe, 0x10000, 0x100000, 255, 256};
                qToBigEndian(counts[below(std::size(counts))], p.data() + at);
            }
            break;
        case 4:
            p.truncate(at);
            break;
        case 5:
            p.remove(at, 1 + below(64));
            break;
        case 6:
            p.insert(at, QByteArray(1 + below(64), char(below(256))));
            break;
        case 7: {
            const QByteArray &other = pool[size_t(below(int(pool.size())))];
            const int from = below(int(other.size()));
            p.insert(at, other.mid(from, 1 + below(256)));
            break;
        }
        case 8: {
            // A string of hostile rich text written as QDataStream writes one.
            static const char *const texts[]
                = {"<img src=\"/dev/zero\">",
                   "<img src=\"/proc/self/fd/0\">",
                   "<link rel=\"stylesheet\" href=\"/dev/urandom\">",
                   "<span style=\"font-size:99999pt\">W</span>",
                   "<img width=\"2147483647\" height=\"2147483647\" src=\"a\">",
                   "<table><tr><td><table><tr><td><table><tr><td>x",
                   "<p style=\"margin-top:1e308px; line-height:1e9%\">x</p>",
                   "<font size=\"+2147483647\">x</font>",
                   "<hr width=\"-1e300\">",
                   ""};
            QByteArray s;
            QDataStream out(&s, QIODevice::WriteOnly);
            out.setVersion(QDataStream::Qt_6_0);
            out << QString::fromUtf8(texts[below(std::size(texts))]);
            p.insert(at, s);
            break;
        }
        }
    }

    QRandomGenerator m_random;
};

// What a user could do with what loaded.
void useBuilt(const BuiltReport &r)
{
    QImage image(210, 297, QImage::Format_ARGB32_Premultiplied);
    for (int page = 0; page < std::min(r.pageCount(), 3); ++page) {
        image.fill(Qt::white);
        QPainter painter(&image);
        r.drawPage(painter, page, 1.0);
        painter.end();
        r.pageTexts(page);
    }
    ReportExporter::toText(r);
    ReportExporter::toCsv(r);
    ReportExporter::toHtml(r);
    ReportExporter::toRtf(r);
}

void remember(Shared &shared, const QByteArray &input)
{
    std::memcpy(shared.input, input.constData(), size_t(input.size()));
    shared.inputSize.store(int(input.size()));
}

int work(Shared &shared, quint32 seed)
{
    // A runaway allocation fails here instead of taking the machine.
    const rlimit limit {rlim_t(4) << 30, rlim_t(4) << 30};
    setrlimit(RLIMIT_AS, &limit);
    std::vector<QByteArray> templates;
    std::vector<QByteArray> builts;
    for (const ReportTemplate &t : seedTemplates()) {
        templates.push_back(t.save());
        builts.push_back(asBuilt(t).save());
    }
    std::vector<QByteArray> pool = templates;
    pool.insert(pool.end(), builts.begin(), builts.end());
    Mutator mutate(seed);
    for (;;) {
        const bool isTemplate = mutate.below(2) == 0;
        const std::vector<QByteArray> &seeds = isTemplate ? templates : builts;
        const QByteArray input
            = mutate.mutate(seeds[size_t(mutate.below(int(seeds.size())))], pool);
        remember(shared, input);
        QString error;
        bool ok = false;
        if (isTemplate) {
            ReportTemplate t;
            ok = t.load(input, &error);
            if (ok) {
                if (t.save() != input)
                    ++shared.roundTripDiffers;
                useBuilt(asBuilt(t));
                try {
                    ReportBuilder builder(t, {});
                    useBuilt(builder.build(QStringLiteral("Отчёт")));
                } catch (const std::exception &) {
                    // A band over a data source there is none of: refused as a user sees it.
                }
            }
        } else {
            BuiltReport r;
            ok = r.load(input, &error);
            if (ok) {
                if (r.save() != input)
                    ++shared.roundTripDiffers;
                useBuilt(r);
            }
        }
        ++(ok ? shared.loaded : shared.refused);
        ++shared.tried;
        ++shared.heartbeat;
    }
}

} // namespace

int main(int argc, char **argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 300;
    const quint32 firstSeed = argc > 2 ? quint32(std::atoi(argv[2])) : 1;
    qputenv("QT_QPA_PLATFORM", "offscreen");

    void *mapped
        = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        std::perror("mmap");
        return 1;
    }
    auto *shared = new (mapped) Shared {};
    const QString keep = QDir::current().filePath(QStringLiteral("reportfuzz-findings"));
    QDir().mkpath(keep);

    quint64 crashes = 0, hangs = 0, children = 0;
    QElapsedTimer clock;
    clock.start();
    quint32 seed = firstSeed;
    while (clock.elapsed() < qint64(seconds) * 1000) {
        ++children;
        const pid_t child = fork();
        if (child == 0) {
            // The child has an application of its own: none was made before the fork.
            int childArgc = 1;
            QGuiApplication app(childArgc, argv);
            _exit(work(*shared, seed));
        }
        quint64 lastBeat = shared->heartbeat.load();
        qint64 lastProgress = clock.elapsed();
        int status = 0;
        bool ended = false;
        while (!ended) {
            usleep(100 * 1000);
            if (waitpid(child, &status, WNOHANG) == child) {
                ended = true;
                break;
            }
            const quint64 beat = shared->heartbeat.load();
            if (beat != lastBeat) {
                lastBeat = beat;
                lastProgress = clock.elapsed();
            }
            const bool hung = clock.elapsed() - lastProgress > 20000;
            if (hung || clock.elapsed() >= qint64(seconds) * 1000) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                if (hung) {
                    ++hangs;
                    QFile out(QStringLiteral("%1/hang-%2.bin").arg(keep).arg(hangs));
                    if (out.open(QIODevice::WriteOnly))
                        out.write(shared->input, shared->inputSize.load());
                }
                ended = true;
                status = 0;
            }
        }
        if (WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) != 0)) {
            ++crashes;
            QFile out(QStringLiteral("%1/crash-%2.bin").arg(keep).arg(crashes));
            if (out.open(QIODevice::WriteOnly))
                out.write(shared->input, shared->inputSize.load());
            say(QStringLiteral("crash %1: %2, input of %3 bytes kept in %4")
                    .arg(crashes)
                    .arg(WIFSIGNALED(status) ? QStringLiteral("signal %1").arg(WTERMSIG(status))
                                             : QStringLiteral("exit %1").arg(WEXITSTATUS(status)))
                    .arg(shared->inputSize.load())
                    .arg(out.fileName()));
        }
        ++seed;
    }
    say(QStringLiteral("seconds: %1").arg(clock.elapsed() / 1000.0, 0, 'f', 1));
    say(QStringLiteral("inputs tried: %1 (loaded %2, refused %3)")
            .arg(shared->tried.load())
            .arg(shared->loaded.load())
            .arg(shared->refused.load()));
    say(QStringLiteral("crashes: %1").arg(crashes));
    say(QStringLiteral("hangs: %1").arg(hangs));
    say(QStringLiteral("loaded but written back differently: %1")
            .arg(shared->roundTripDiffers.load()));
    say(QStringLiteral("worker processes: %1, first seed %2").arg(children).arg(firstSeed));
    return crashes + hangs == 0 ? 0 : 1;
}
