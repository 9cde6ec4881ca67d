#include "ui/gallery/historysheets.h"

#include "tests/support/sntppeer.h"
#include "ui/gallery/render.h"

#include "clock/history.h"
#include "inst/instappearance.h"
#include "inst/insttokens.h"
#include "ui/historystrip.h"
#include "ui/historywindow.h"

#include <QApplication>
#include <QDateTime>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>

namespace {

// Thursday 2025-03-13 09:41:07 UTC.
constexpr qint64 kNowMs = 1'741'858'867'000;
constexpr qint64 kMin = 60'000, kHour = 60 * kMin, kDay = 24 * kHour;
constexpr qint64 kEveryMs = 10'000;
constexpr qint64 kStepEveryMs = 30 * kMin; // the sync job's runs
constexpr double kFastPpm = 12.5;

// What happened, by the true time.
constexpr qint64 kStart = kNowMs - 7 * kDay - kHour;
constexpr qint64 kQuit = kNowMs - 5 * kDay - 11 * kHour, kRestart = kQuit + 9 * kHour;
constexpr qint64 kLost = kNowMs - 3 * kDay - 4 * kHour, kHeard = kLost + 3 * kHour;
constexpr qint64 kWrong = kNowMs - 20 * kHour, kSetRight = kWrong + 25 * kMin;
constexpr qint64 kNewServer = kNowMs - 40 * kMin;

QString iso(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toUTC().toString(Qt::ISODate);
}

// Writes the week as the watcher would have: sample times and event times by this computer's
// clock, which reads an hour early while it is wrong.
void generateWeek(ClockHistory& h)
{
    QRandomGenerator random(13);
    ClockState state = ClockState::None;
    auto event = [&](qint64 at, HistoryEventKind kind, const QString& detail) {
        h.addEvent({at, kind, state, detail});
    };
    auto become = [&](qint64 at, ClockState s) {
        const QString from = QStringLiteral("from ") + clockStateWord(state);
        state = s;
        event(at, HistoryEventKind::State, from);
    };
    event(kStart, HistoryEventKind::Start, QStringLiteral("at login"));
    event(kStart, HistoryEventKind::Server, QStringLiteral("Studio clock (192.0.2.2)"));
    qint64 setBackBy = 0;
    qint64 typedLateMs = 0; // the clock set by hand is a few seconds behind
    for (qint64 t = kStart + kEveryMs; t < kNowMs; t += kEveryMs) {
        if (t >= kQuit && t < kRestart) {
            if (t < kQuit + kEveryMs) event(t, HistoryEventKind::Quit, QString());
            continue;
        }
        if (t >= kRestart && t < kRestart + kEveryMs) {
            state = ClockState::None;
            event(t, HistoryEventKind::Start, QStringLiteral("at login"));
        }
        if (t >= kLost && t < kHeard) {
            if (state != ClockState::Lost && t >= kLost + 25'000) become(t, ClockState::Lost);
            continue;
        }
        if (t >= kWrong && t < kWrong + kEveryMs) setBackBy = kHour;
        if (t >= kSetRight && setBackBy) {
            setBackBy = 0, typedLateMs = 4'000;
            event(t - typedLateMs, HistoryEventKind::ClockSet,
                  QStringLiteral("to ") + iso(t - typedLateMs));
        }
        if (typedLateMs && t >= kSetRight + 40'000) {
            event(t - typedLateMs, HistoryEventKind::SyncNow, QStringLiteral("from the alert"));
            typedLateMs = 0;
        }
        const qint64 clock = t - setBackBy - typedLateMs;
        if (t >= kNewServer && t < kNewServer + kEveryMs)
            event(clock, HistoryEventKind::Server, QStringLiteral("Annex (192.0.2.3)"));
        const bool annex = t >= kNewServer;
        // Fast by 12.5 ppm, stepped back by the sync job every half hour; the annex keeps its
        // time 1.5 ms ahead of the studio clock, over a longer path.
        const qint64 sinceStep = (t - kStart) % kStepEveryMs;
        qint64 offsetUs = -qint64(sinceStep * kFastPpm / 1000) + random.bounded(-150, 150);
        offsetUs += (setBackBy + typedLateMs) * 1000 + (annex ? 1500 : 0);
        const qint64 delayUs = annex ? 1600 + random.bounded(800) : 420 + random.bounded(480);
        const ClockState judged = setBackBy                      ? ClockState::Wrong
                                  : std::abs(offsetUs) > 500'000 ? ClockState::Off
                                                                 : ClockState::Sync;
        if (judged != state) become(clock, judged);
        h.addSample({clock, offsetUs, delayUs, annex ? "192.0.2.3" : "192.0.2.2", state});
    }
}

struct Shot
{
    HistoryRange range;
    const char* name;
    qint64 cursorAtMs; // 0: no cursor
};

const Shot kShots[] = {
    {HistoryRange::Hour, "1h", kNewServer + 90'000},
    {HistoryRange::Day, "24h", kSetRight - 4'000},
    {HistoryRange::Week, "7d", kLost + kHour},
    {HistoryRange::Year, "400d", 0},
};

bool save(HistoryWindow& window, const QDir& dir, const QString& name, double scale)
{
    window.show();
    QApplication::processEvents();
    const QString path = dir.absoluteFilePath(name);
    if (!saveRendered(window, path, scale)) return false;
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

bool saveHistorySheets(const QDir& dir, double scale)
{
    const QTemporaryDir folder;
    ClockHistory week(folder.filePath(QStringLiteral("week.sqlite")));
    generateWeek(week);
    ClockHistory empty(folder.filePath(QStringLiteral("empty.sqlite")));
    QDir(folder.path()).mkpath(QStringLiteral("folder.sqlite"));
    ClockHistory unreadable(folder.filePath(QStringLiteral("folder.sqlite")));
    FakeTime time(kNowMs);

    for (const bool dark : {true, false}) {
        const Inst::Appearance look = dark ? Inst::Appearance::Dark : Inst::Appearance::Light;
        Inst::setAppearance(look);
        Inst::setDark(dark);
        const QString tail = dark ? QStringLiteral("dark.png") : QStringLiteral("light.png");
        for (const Shot& s : kShots) {
            HistoryWindow window(&week, time);
            window.setRange(s.range);
            window.show();
            QApplication::processEvents();
            HistoryStrip* strip = window.strip();
            if (s.cursorAtMs) strip->setCursorColumn(strip->columnOf(s.cursorAtMs));
            // One picture with the keyboard's focus on the range it shows.
            if (s.range == HistoryRange::Hour) {
                window.activateWindow();
                window.findChildren<QPushButton*>().first()->setFocus(Qt::TabFocusReason);
            }
            if (!save(window, dir, QStringLiteral("ui-history-%1-%2").arg(s.name, tail), scale))
                return false;
        }
        HistoryWindow fresh(&empty, time);
        if (!save(fresh, dir, QStringLiteral("ui-history-empty-") + tail, scale)) return false;
        HistoryWindow broken(&unreadable, time);
        if (!save(broken, dir, QStringLiteral("ui-history-unreadable-") + tail, scale))
            return false;
    }
    return true;
}
