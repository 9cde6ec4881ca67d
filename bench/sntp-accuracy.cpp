// Our SNTP exchange beside Debian's sntp (ntpsec's ntpdig), alternately, against the lab's
// chronyd: how far apart the two offsets are, and what one exchange costs in wall time.
//   tests/lab/lab.sh run -- build/bench/sntp-accuracy [ROUNDS]

#include "net/sntp.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QUdpSocket>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

namespace {

constexpr int kTimeoutMs = 2000;

struct Sample
{
    double offsetMs;
    double wallMs;
};

// One exchange as the watcher makes it, from a fresh socket to the accepted answer.
std::optional<Sample> ours(const QHostAddress& server)
{
    QElapsedTimer wall;
    wall.start();
    QUdpSocket socket;
    if (!socket.bind(QHostAddress::AnyIPv4, 0)) return std::nullopt;
    const qint64 t1 = QDateTime::currentMSecsSinceEpoch();
    socket.writeDatagram(ntpRequest(t1), server, kNtpPort);
    while (wall.elapsed() < kTimeoutMs) {
        if (!socket.waitForReadyRead(int(qMax<qint64>(1, kTimeoutMs - wall.elapsed())))) continue;
        while (socket.hasPendingDatagrams()) {
            QByteArray d(512, '\0');
            const qint64 n = socket.readDatagram(d.data(), d.size());
            const qint64 t4 = QDateTime::currentMSecsSinceEpoch();
            if (n < 0) continue;
            d.truncate(int(n));
            qint64 offset = 0;
            if (ntpAnswer(d, t1, t4, &offset))
                return Sample{double(offset), wall.nsecsElapsed() / 1e6};
        }
    }
    return std::nullopt;
}

// One run of the system's SNTP client, which only reports (no -s or -S: the clock stays).
std::optional<Sample> ntpdig(const QString& server)
{
    QElapsedTimer wall;
    wall.start();
    QProcess p;
    p.start(QStringLiteral(TV_PROG_SNTP), {server});
    if (!p.waitForFinished(15'000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return std::nullopt;
    const double wallMs = wall.nsecsElapsed() / 1e6;
    // "2026-12-06 19:30:00.123456 (+0000) +0.000012 +/- 0.000118 192.0.2.2 s8 no-leap"
    static const QRegularExpression line(QStringLiteral(R"(\)\s+([+-]?\d+\.\d+)\s+\+/-)"));
    const QRegularExpressionMatch m = line.match(QString::fromLocal8Bit(p.readAllStandardOutput()));
    if (!m.hasMatch()) return std::nullopt;
    return Sample{m.captured(1).toDouble() * 1000.0, wallMs};
}

double median(std::vector<double> v)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The value below which 95 % of the samples lie (nearest rank).
double p95(std::vector<double> v)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[size_t(std::ceil(0.95 * double(v.size()))) - 1];
}

void print(const char* name, double value, const char* unit)
{
    std::printf("%s: %.3f %s\n", name, value, unit);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? qMax(1, QByteArray(argv[1]).toInt()) : 20;
    const QString server = qEnvironmentVariable("LAB_SERVER");
    if (server.isEmpty()) {
        std::fprintf(stderr, "sntp-accuracy: run inside the lab: tests/lab/lab.sh run -- %s N\n",
                     argv[0]);
        return 2;
    }

    std::vector<double> diffs, oursOffsets, digOffsets, oursWall, digWall;
    int oursFailed = 0, digFailed = 0;
    for (int i = 0; i < rounds; ++i) {
        const std::optional<Sample> a = ours(QHostAddress(server));
        const std::optional<Sample> b = ntpdig(server);
        if (a)
            oursOffsets.push_back(a->offsetMs), oursWall.push_back(a->wallMs);
        else
            ++oursFailed;
        if (b)
            digOffsets.push_back(b->offsetMs), digWall.push_back(b->wallMs);
        else
            ++digFailed;
        if (a && b) diffs.push_back(std::abs(a->offsetMs - b->offsetMs));
    }

    std::printf("rounds: %d each\n", rounds);
    print("offset difference median", median(diffs), "ms");
    print("offset difference p95", p95(diffs), "ms");
    print("offset difference max",
          diffs.empty() ? 0 : *std::max_element(diffs.begin(), diffs.end()), "ms");
    print("ours offset median", median(oursOffsets), "ms");
    print("ntpdig offset median", median(digOffsets), "ms");
    print("ours wall per exchange median", median(oursWall), "ms");
    print("ntpdig wall per exchange median", median(digWall), "ms");
    std::printf("ours failed: %d rounds\n", oursFailed);
    std::printf("ntpdig failed: %d rounds\n", digFailed);
    return 0;
}
