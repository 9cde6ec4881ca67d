// Fills a year of samples every 10 s into a history in a temporary folder, as the watcher would
// (a drift sawtooth stepped back by the sync job every 30 minutes, a lost server, a clock set
// an hour back and a change of server), then prints the file's size, the cost of adding a
// sample, of the chart's queries, the resident memory it took, and the time the history window
// takes to read and to draw the 400-day range at its own size (offscreen).
//   history-year [days [folder]]   (default 365 days, in a temporary folder)
// A folder that already holds the history of an earlier run is measured as it is, unfilled:
// the queries, and the memory that opening a full year takes.
#include "clock/history.h"
#include "clock/timesource.h"
#include "ui/historystrip.h"
#include "ui/historywindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr qint64 kDayMs = 86'400'000;
constexpr qint64 kStepMs = 10'000;

qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

void print(const char* name, double value, const char* unit)
{
    std::printf("%s: %.3f %s\n", name, value, unit);
}

// The window's "now": the last moment of the generated year.
struct StillTime final : TimeSource
{
    qint64 now = 0;
    qint64 utcNowMs() const override { return now; }
    qint64 monotonicMs() const override { return now; }
};

template <typename F> void timeIt(const char* what, F&& f)
{
    std::vector<double> took;
    for (int k = 0; k < 21; ++k) {
        QElapsedTimer t;
        t.start();
        f();
        took.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf("%s median: %.3f ms (max %.3f)\n", what, percentile(took, 0.5),
                percentile(took, 1.0));
}

// Reading the 400-day range for the window, and drawing the window with it into an image of its
// size: once as a whole, once the chart alone, which is what a new sample repaints.
void timeWindow(ClockHistory& history, qint64 now)
{
    StillTime time;
    time.now = now;
    HistoryWindow window(&history, time);
    window.setRange(HistoryRange::Year);
    window.show();
    QCoreApplication::processEvents();
    HistoryStrip* strip = window.strip();
    std::printf("window: %dx%d, chart %d columns\n", window.width(), window.height(),
                strip->plotRect().width());
    timeIt("400-day read for the window", [&] { strip->refresh(); });
    QImage image(window.size(), QImage::Format_ARGB32_Premultiplied);
    timeIt("400-day window draw", [&] { window.render(&image); });
    QImage chart(strip->size(), QImage::Format_ARGB32_Premultiplied);
    timeIt("400-day chart draw", [&] { strip->render(&chart); });
    // A Mac's own screen: twice the pixels each way.
    QImage retina(window.size() * 2, QImage::Format_ARGB32_Premultiplied);
    retina.setDevicePixelRatio(2);
    timeIt("400-day window draw at 2x", [&] { window.render(&retina); });
}

} // namespace

int main(int argc, char** argv)
{
    // Drawn offscreen: no display needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int days = argc > 1 ? std::max(8, std::atoi(argv[1])) : 365;
    QTemporaryDir dir;
    const QString path = (argc > 2 ? QString::fromLocal8Bit(argv[2]) : dir.path()) +
                         QStringLiteral("/history.sqlite");
    const bool fill = !QFileInfo::exists(path);
    const qint64 samples = fill ? days * kDayMs / kStepMs : 0;
    // Adding is timed over the last 30 days, with a full history behind them.
    const qint64 timedFrom = std::max<qint64>(0, samples - 30 * kDayMs / kStepMs);
    // Touched before the baseline, so that it does not count as the history's memory.
    std::vector<double> addMs(size_t(samples - timedFrom), 0.0);
    const qint64 rssBefore = residentKb();

    const qint64 t0 = 1'704'067'200'000; // 2024-01-01 00:00 UTC
    const qint64 lostFrom = t0 + days / 3 * kDayMs, lostTo = lostFrom + 3 * kDayMs;
    const qint64 wrongFrom = t0 + days / 2 * kDayMs, wrongTo = wrongFrom + 2 * 3'600'000;
    const qint64 newServerAt = t0 + days * 2 / 3 * kDayMs;
    QRandomGenerator random(21);
    QElapsedTimer filling;
    filling.start();
    double totalMs = 0;
    size_t timed = 0;
    qint64 now = t0 + (fill ? 0 : days * kDayMs - kStepMs);
    {
        ClockHistory history(path);
        if (!history.error().isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(history.error()));
            return 1;
        }
        ClockState state = ClockState::None;
        auto event = [&](qint64 t, HistoryEventKind kind, ClockState s, const QString& detail) {
            history.addEvent({t, kind, s, detail});
        };
        if (fill) event(t0, HistoryEventKind::Start, state, QString());
        for (qint64 i = 0; i < samples; ++i) {
            now = t0 + i * kStepMs;
            const bool lost = now >= lostFrom && now < lostTo;
            const bool wrong = now >= wrongFrom && now < wrongTo;
            const bool second = now >= newServerAt;
            // 12.5 ppm fast, stepped back to 0 every 30 minutes; 0.2 ms of path noise.
            const qint64 sinceStepMs = (now - t0) % 1'800'000;
            qint64 offsetUs = -sinceStepMs * 125 / 10'000 + random.bounded(-200, 200);
            if (second) offsetUs += 1500;
            if (wrong) offsetUs += 3'600'000'000;
            const ClockState s = wrong  ? ClockState::Wrong
                                 : lost ? ClockState::Lost
                                        : ClockState::Sync;
            if (s != state) event(now, HistoryEventKind::State, state = s, QString());
            if (now == wrongTo) event(now, HistoryEventKind::ClockSet, s, QString());
            if (now == newServerAt) event(now, HistoryEventKind::Server, s, "Annex (192.0.2.3)");
            if (lost) continue;
            const HistorySample sample{now - (wrong ? 3'600'000 : 0), offsetUs,
                                       400 + random.bounded(600),
                                       second ? "192.0.2.3" : "192.0.2.2", s};
            QElapsedTimer t;
            t.start();
            history.addSample(sample);
            const double ms = t.nsecsElapsed() / 1e6;
            totalMs += ms;
            if (i >= timedFrom) addMs[timed++] = ms;
        }
        if (!history.error().isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(history.error()));

        std::vector<double> chartMs;
        const qint64 ranges[] = {400 * kDayMs, 7 * kDayMs, kDayMs, 3'600'000};
        const char* const names[] = {"400-day", "7-day", "24-hour", "1-hour"};
        for (int r = 0; r < 4; ++r) {
            std::vector<double> took;
            for (int k = 0; k < 21; ++k) {
                QElapsedTimer t;
                t.start();
                const HistoryChart c = history.chart(now - ranges[r], now, 800);
                took.push_back(t.nsecsElapsed() / 1e6);
                if (c.columns.size() != 800) return 1;
            }
            std::printf("%s chart query median: %.3f ms (max %.3f)\n", names[r],
                        percentile(took, 0.5), percentile(took, 1.0));
        }
        QElapsedTimer t;
        t.start();
        const HistoryDrift d = history.drift();
        print("drift estimate", t.nsecsElapsed() / 1e6, "ms");
        std::printf("drift: %+.3f +- %.3f ppm over %d samples\n", d.ppm, d.uncertaintyPpm,
                    d.samples);
        std::printf("raw samples kept: %lld, 5-minute rows: %lld\n", history.rawCount(),
                    history.periodCount());
        print("file size with its log, open",
              double(QFileInfo(path).size() + QFileInfo(path + "-wal").size()) / 1e6, "MB");
        print("resident memory growth", double(residentKb() - rssBefore) / 1024, "MB");
        timeWindow(history, now);
    }
    print("file size after a year", double(QFileInfo(path).size()) / 1e6, "MB");
    addMs.resize(timed);
    print("add a sample median", percentile(addMs, 0.5), "ms");
    print("add a sample p99", percentile(addMs, 0.99), "ms");
    print("add a sample max", percentile(addMs, 1.0), "ms");
    std::printf("samples: %lld in %.1f s (adding %.1f s)\n", samples, filling.elapsed() / 1e3,
                totalMs / 1e3);
    return 0;
}
