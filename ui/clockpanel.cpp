#include "ui/clockpanel.h"

#include "inst/instformat.h"

#include <QDateTime>
#include <QLocale>

namespace {

QDateTime local(qint64 utcMs)
{
    return QDateTime::fromMSecsSinceEpoch(utcMs).toLocalTime();
}

QString subjectAndStatus(const ClockReading& r, ClockPanelView& v)
{
    const ClockInputs& in = r.inputs;
    v.detailTone = InstChip::Neutral;
    switch (r.state) {
    case ClockState::Sync:
        v.status = QStringLiteral("In sync - %1").arg(r.serverLabel);
        v.tone = InstChip::Go;
        v.detailTone = InstChip::Info;
        break;
    case ClockState::Lost:
        v.status = QStringLiteral("Server not heard - Last synced %1 ago")
                       .arg(Inst::span(in.nowUtcMs - in.lastSyncUtcMs));
        v.tone = InstChip::Warn;
        return QStringLiteral("running on its own since %1")
            .arg(local(in.lastSyncUtcMs).toString(QStringLiteral("HH:mm:ss")));
    case ClockState::Off:
        // The offset is server minus this clock: a clock that is not behind reads ahead.
        v.status =
            QStringLiteral("Clock is off - %1 %2 %3")
                .arg(Inst::span(in.offsetMs),
                     in.offsetMs <= 0 ? QStringLiteral("ahead of") : QStringLiteral("behind"),
                     r.serverLabel);
        v.tone = InstChip::Warn;
        break;
    case ClockState::Wrong:
        v.status = QStringLiteral("Clock wrong - Earlier than its last sync");
        v.tone = InstChip::Bad;
        break;
    default:
        v.status = r.hasServer ? QStringLiteral("No server - %1 does not answer").arg(r.serverLabel)
                               : QStringLiteral("No server");
        v.tone = InstChip::Bad;
        return QStringLiteral("this computer has never synced");
    }
    return QStringLiteral("this computer's clock");
}

} // namespace

ClockPanelView clockPanelView(const ClockReading& r)
{
    ClockPanelView v;
    const ClockInputs& in = r.inputs;
    const QString subject = subjectAndStatus(r, v);
    const QDateTime now = local(in.nowUtcMs);
    v.ledBad = r.state == ClockState::Wrong;
    v.clock = now.toString(QStringLiteral("HH:mm:ss"));
    // Fixed English patterns: the window's words are English whatever the locale.
    v.dateLine =
        QStringLiteral("%1  \u00b7  %2")
            .arg(QLocale::c().toString(now, QStringLiteral("dddd, MMMM d, yyyy")), subject);

    if (in.answered) {
        const qint64 m = in.offsetMs < 0 ? -in.offsetMs : in.offsetMs;
        if (m > 9999) {
            v.offset = Inst::span(m);
        } else {
            v.offset = QStringLiteral("%1.%2").arg(m / 1000).arg(m % 1000, 3, 10, QLatin1Char('0'));
            v.offsetUnit = QStringLiteral("s");
        }
    }

    if (in.lastSyncUtcMs <= 0) {
        v.lastSync = QStringLiteral("never");
    } else {
        const QDateTime last = local(in.lastSyncUtcMs);
        v.lastSync = last.date() == now.date()
                         ? last.toString(QStringLiteral("HH:mm:ss"))
                         : QLocale::c().toString(last, QStringLiteral("d MMM yyyy"));
    }

    if (r.heardAgoMs < 0) {
        v.heard = in.lastSyncUtcMs <= 0 ? QStringLiteral("never") : QStringLiteral("no answer");
    } else if (r.heardAgoMs > 99'999) {
        v.heard = QString::number(r.heardAgoMs / 60'000);
        v.heardUnit = QStringLiteral("min ago");
    } else {
        v.heard = QString::number(r.heardAgoMs / 1000);
        v.heardUnit = QStringLiteral("s ago");
    }

    if (!r.reporting) {
        v.reported = QStringLiteral("off");
    } else if (r.reportHeard) {
        v.reported = QStringLiteral("yes");
        v.reportedTone = "go";
    } else {
        v.reported = QStringLiteral("not heard");
        v.reportedTone = "sec";
    }
    return v;
}
