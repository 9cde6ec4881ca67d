#include "ui/gallery/windowsheets.h"

#include "tests/support/sntppeer.h"
#include "ui/gallery/render.h"

#include "clock/clockwatcher.h"
#include "engine/enginepaths.h"
#include "inst/instappearance.h"
#include "ui/connectwindow.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QImage>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

// Thursday 2025-03-13 09:41:07 UTC.
constexpr qint64 kNowMs = 1'741'858'867'000;

struct Picture
{
    const char* name;
    ClockState state;
    bool answering;
    qint64 offsetMs;      // the peer's clock against ours
    qint64 lastSyncAgoMs; // 0: never; below 0: later than now
    bool reporting;
};

const Picture kPictures[] = {
    {"none", ClockState::None, false, 0, 0, false},
    {"sync", ClockState::Sync, true, -37, 4'000, true},
    {"lost", ClockState::Lost, false, 0, 2'460'000, false},
    {"off", ClockState::Off, true, 12'345, 9'000'000, true},
    {"wrong", ClockState::Wrong, true, -3'754'000, -3'754'000, false},
};

DiscoveredServer server(const char* id, const char* name, const char* address, int stratum,
                        bool answering, bool thisComputer, bool steady = false)
{
    DiscoveredServer s;
    s.id = QLatin1String(id);
    s.name = QLatin1String(name);
    s.address = QLatin1String(address);
    s.stratum = stratum;
    s.synced = s.accepting = true;
    s.answering = answering;
    s.thisComputer = thisComputer;
    s.steady = steady; // the loopback peer in use may be followed
    return s;
}

// This computer set up with the loopback peer, as the tool's job file would say.
bool setUpWithLoopback(const QTemporaryDir& root)
{
    qputenv("TESSAVEL_CONNECT_TEST_ROOT", root.path().toUtf8());
    QDir().mkpath(QFileInfo(Engine::Paths::jobPlist()).path());
    QFile job(Engine::Paths::jobPlist());
    return job.open(QIODevice::WriteOnly) &&
           job.write("<plist><dict><key>ProgramArguments</key><array><string>sync</string>"
                     "<string>--server</string><string>127.0.0.1</string></array></dict>"
                     "</plist>\n") > 0;
}

} // namespace

bool saveWindowSheets(const QDir& dir, double scale)
{
    const QTemporaryDir root;
    if (!setUpWithLoopback(root)) return false;
    QCoreApplication::setApplicationVersion(QStringLiteral("1.7.0"));
    const QList<DiscoveredServer> list{
        server("a", "Studio rack", "192.168.1.20", 2, true, false),
        server("b", "Lab clock", "127.0.0.1", 1, true, false, true),
        server("c", "This Mac's server", "192.168.1.31", 3, true, true),
        server("d", "Cellar", "192.168.1.44", 0, false, false),
    };
    for (Inst::Appearance look : {Inst::Appearance::Dark, Inst::Appearance::Light}) {
        Inst::storeAppearance(look);
        for (const Picture& p : kPictures) {
            FakeTime time(kNowMs);
            SntpPeer peer(time);
            peer.offsetMs = p.offsetMs;
            if (!p.answering) peer.silent = true;
            ClockWatcher watcher(ClockWatcher::Seam{&time, peer.port()}, nullptr);
            for (QTimer* t : watcher.findChildren<QTimer*>())
                t->stop(); // still pictures
            watcher.lastSyncUtcMs = p.lastSyncAgoMs == 0 ? 0 : kNowMs - p.lastSyncAgoMs;
            watcher.setReporting(p.reporting);

            ConnectWindow window(&watcher);
            window.show(); // the first showing starts a scan: the list comes after it
            QApplication::processEvents();
            window.onFound(list);
            // As a user picks a server: the set-up button shows its live face, or, on the server
            // in use, its disabled one.
            window.findChild<QTableWidget*>()->selectRow(p.state == ClockState::None ? 1 : 0);
            const QDeadlineTimer wait(3000);
            while (p.answering && !watcher.inputs().answered && !wait.hasExpired())
                QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            watcher.state = p.state;
            window.updateStatus();
            QApplication::processEvents();
            const QString path = dir.absoluteFilePath(
                QStringLiteral("ui-window-%1-%2.png")
                    .arg(p.name, look == Inst::Appearance::Dark ? "dark" : "light"));
            if (!saveRendered(window, path, scale)) return false;
            std::printf("%s\n", qPrintable(path));
        }
    }
    return true;
}
