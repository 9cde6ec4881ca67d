#include "ui/clockpanel.h"

#include "ui/plaintext.h"

#include "clock/clockwatcher.h"
#include "inst/inst.h"
#include "inst/instaccessible.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

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

ClockPanel::ClockPanel(QWidget* parent) : QObject(parent), screenWidget(new InstScreen(parent))
{
    auto* col = new QVBoxLayout(screenWidget);
    col->setContentsMargins(8, 10, 8, 8);
    col->setSpacing(8);
    // The record over time at the top right, on the line of the chips that tell the present.
    auto* top = new QHBoxLayout;
    top->setSpacing(12);
    status = new InstStatus(screenWidget);
    top->addWidget(status, 1);
    history = new QPushButton(QStringLiteral("History…"), screenWidget);
    history->setToolTip(
        QStringLiteral("Offset, delay and events of this computer's clock over time."));
    history->setCursor(Qt::PointingHandCursor);
    Inst::setSmall(history);
    top->addWidget(history, 0, Qt::AlignTop);
    col->addLayout(top);
    clockLed = new InstLed(56, screenWidget);
    clockLed->setReserve(QStringLiteral("00:00:00"));
    clockLed->setText(QStringLiteral("--:--:--"));
    clockLed->setDim(true);
    Inst::setQuiet(clockLed); // read when asked: a second's tick is no news; the status is
    col->addWidget(clockLed, 0, Qt::AlignHCenter);
    dateLine = new QLabel(screenWidget);
    dateLine->setFont(Inst::mono(12));
    dateLine->setAlignment(Qt::AlignHCenter);
    Inst::setTone(dateLine, "sec");
    col->addWidget(dateLine);
    auto* bar = new InstReadoutBar(screenWidget);
    // Stretch by the figures' widths: a time of day needs the most room.
    offsetReadout = bar->addReadout(QStringLiteral("Offset"), 5);
    offsetReadout->setToolTip(QStringLiteral(
        "How far this computer's clock is from its server's time, as Veridir measures it. In "
        "sync means within half a second."));
    lastSyncReadout = bar->addReadout(QStringLiteral("Last sync"), 7);
    heardReadout = bar->addReadout(QStringLiteral("Server heard"), 4);
    Inst::setQuiet(heardReadout); // counts up every second
    reportedReadout = bar->addReadout(QStringLiteral("Reported"), 4);
    reportedReadout->setToolTip(QStringLiteral(
        "Whether this computer's server has heard its report of how its clock stands. Reports go "
        "out while Veridir keeps watch in the menu bar."));
    col->addWidget(bar);
}

void ClockPanel::show(const ClockWatcher& watcher)
{
    // The status chips show the name in capitals: fitted as they will show it, once per name
    // rather than shaped again every second.
    const QString label = watcher.serverLabel();
    if (label != fittedFrom || fittedLabel.isNull()) {
        fittedFrom = label;
        fittedLabel = PlainText::fitted(label.toUpper(), status->detailChip());
    }
    show(ClockReading{watcher.state, watcher.inputs(), fittedLabel,
                      !watcher.serverAddressText.isEmpty(), watcher.heardAgoMs(), watcher.reporting,
                      watcher.reportHeard()});
}

void ClockPanel::show(const ClockReading& reading)
{
    const ClockPanelView v = clockPanelView(reading);
    status->setText(v.status);
    status->setTone(v.tone);
    status->setDetailTone(v.detailTone);
    clockLed->setDim(false);
    clockLed->setTone(v.ledBad ? InstLed::Bad : InstLed::Go);
    clockLed->setText(v.clock);
    dateLine->setText(v.dateLine);
    if (v.offset.isEmpty()) {
        offsetReadout->setIdle(QStringLiteral("-.---"));
    } else {
        QString figure, unit;
        // A span text ("12 s") shows its figure on the LED and its unit beside it.
        if (v.offsetUnit.isEmpty() && InstValue::split(v.offset, &figure, &unit))
            offsetReadout->setValue(figure, unit);
        else
            offsetReadout->setValue(v.offset, v.offsetUnit);
    }
    lastSyncReadout->setValue(v.lastSync);
    heardReadout->setValue(v.heard, v.heardUnit);
    reportedReadout->setValue(v.reported);
    reportedReadout->setWordsTone(v.reportedTone);
}
