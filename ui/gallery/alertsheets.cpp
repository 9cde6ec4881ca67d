#include "ui/gallery/alertsheets.h"

#include "tests/support/sntppeer.h"
#include "ui/gallery/render.h"

#include "clock/clockwatcher.h"
#include "ui/alertwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QImage>
#include <QTimeEdit>
#include <QTimer>
#include <cstdio>

namespace {

// Thursday 2025-03-13 09:41:07 UTC; the last sync three hours and a bit later.
constexpr qint64 kNowMs = 1'741'858'867'000;
constexpr qint64 kLastSyncMs = kNowMs + 3 * 3'600'000 + 754'000;

struct Wording
{
    const char* file;
    const char* address; // empty: no server set
    const char* name;
    qint64 serverOffsetMs; // the peer's clock against ours
    bool ticked;
    bool refused; // a time a second before the last sync entered: the set button disabled
};

const Wording kWordings[] = {
    {"ui-alert-server-went-back.png", "127.0.0.1", "Lab clock", 0, true, false},
    {"ui-alert-server-answering.png", "127.0.0.1", "", kLastSyncMs - kNowMs + 60'000, false, false},
    {"ui-alert-no-server.png", "", "", 0, false, false},
    {"ui-alert-time-refused.png", "", "", 0, false, true},
};

} // namespace

bool saveAlertSheets(const QDir& dir, double scale)
{
    for (const Wording& w : kWordings) {
        FakeTime time{kNowMs};
        SntpPeer peer(time);
        peer.offsetMs = w.serverOffsetMs;
        ClockWatcher watcher(ClockWatcher::Seam{&time, peer.port()}, nullptr);
        // Still pictures: the gallery moves nothing by itself.
        for (QTimer* t : watcher.findChildren<QTimer*>())
            t->stop();
        watcher.lastSyncUtcMs = kLastSyncMs;
        watcher.setServer(QLatin1String(w.address), QLatin1String(w.name));
        const QDeadlineTimer wait(3000);
        while (*w.address && !watcher.inputs().answered && !wait.hasExpired())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (*w.address && !watcher.inputs().answered) {
            std::fprintf(stderr, "ui_gallery: the loopback peer did not answer\n");
            return false;
        }

        AlertWindow window(&watcher);
        window.show();
        if (w.ticked) window.findChild<QCheckBox*>()->setChecked(true);
        auto* entered = window.findChild<QTimeEdit*>();
        if (w.refused) entered->setTime(entered->time().addSecs(-1));
        QApplication::processEvents();
        window.adjustSize();
        QApplication::processEvents();
        const QString path = dir.absoluteFilePath(QLatin1String(w.file));
        if (!saveRendered(window, path, scale)) return false;
        std::printf("%s\n", qPrintable(path));
    }
    return true;
}
