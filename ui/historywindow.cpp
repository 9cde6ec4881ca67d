#include "ui/historywindow.h"

#include "ui/dialogs.h"
#include "ui/historylegend.h"
#include "ui/historystrip.h"
#include "ui/lamp.h"
#include "ui/plaintext.h"

#include "clock/history.h"
#include "inst/inst.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimeZone>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kSideWidth = 214;
constexpr int kMinuteMs = 60'000;

QLabel* line(const QFont& font, const char* tone, QWidget* parent)
{
    QLabel* l = PlainText::label(new QLabel(parent));
    l->setFont(font);
    l->setWordWrap(true);
    Inst::setTone(l, tone);
    return l;
}

// "clock-history-7d-to-2025-03-13T0941Z.csv": the range and its end, in UTC.
QString exportName(HistoryRange range, qint64 toMs)
{
    const char* const tags[] = {"1h", "24h", "7d", "400d"};
    const QString end = QDateTime::fromMSecsSinceEpoch(toMs, QTimeZone::utc())
                            .toString(QStringLiteral("yyyy-MM-ddTHHmm'Z'"));
    return QStringLiteral("clock-history-%1-to-%2.csv").arg(QLatin1String(tags[int(range)]), end);
}

} // namespace

HistoryWindow::HistoryWindow(ClockHistory* history, const TimeSource& time, QWidget* parent)
    : QWidget(parent, Qt::Window), history_(history), time_(time)
{
    setWindowTitle(QStringLiteral("Tessavel Veridir: clock history"));
    setMinimumSize(720, 470);
    resize(980, 580);
    Inst::registerFonts();

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    body_ = new QWidget(this);
    outer->addWidget(body_);
    auto* column = new QVBoxLayout(body_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    header_ = new InstModuleHeader(QStringLiteral("CLOCK HISTORY"), body_);
    header_->appearanceSelector()->hide(); // the main window holds the one choice
    column->addWidget(header_);

    auto* inner = new QVBoxLayout;
    inner->setContentsMargins(12, 12, 12, 12);
    inner->setSpacing(10);
    column->addLayout(inner, 1);
    // The reason comes from the database driver or names a path: plain text.
    note_ = line(Inst::sans(13), "warn", body_);
    note_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    note_->hide();
    inner->addWidget(note_);
    if (history_ && history_->canRead()) {
        buildChart(body_, inner);
        connect(history_, &ClockHistory::added, this, &HistoryWindow::onAdded);
        header_->setInfo(QStringLiteral("times in UTC"));
    } else {
        QLabel* still = line(Inst::sans(13), "sec", body_);
        still->setText(QStringLiteral("The clock is watched as before; only its history is not "
                                      "kept."));
        inner->addWidget(still);
        inner->addStretch(1);
    }

    soon_ = new QTimer(this);
    soon_->setSingleShot(true);
    soon_->setInterval(0);
    connect(soon_, &QTimer::timeout, this, &HistoryWindow::reread);
    minute_ = new QTimer(this);
    minute_->setInterval(kMinuteMs);
    connect(minute_, &QTimer::timeout, this, &HistoryWindow::reread);
    updateNote();
    applyTheme();
}

void HistoryWindow::buildChart(QWidget* parent, QVBoxLayout* into)
{
    auto* controls = new QHBoxLayout;
    controls->setSpacing(6);
    into->addLayout(controls);
    rangeBar_ = new QWidget(parent);
    rangeBar_->setAccessibleName(QStringLiteral("Range"));
    auto* segments = new QHBoxLayout(rangeBar_);
    segments->setContentsMargins(0, 0, 0, 0);
    segments->setSpacing(4);
    for (const HistoryRange r :
         {HistoryRange::Hour, HistoryRange::Day, HistoryRange::Week, HistoryRange::Year}) {
        auto* b = new QPushButton(historyRangeName(r), rangeBar_);
        Inst::style(b, Inst::Button::Seg);
        b->installEventFilter(this);
        connect(b, &QPushButton::clicked, this, [this, r] { setRange(r); });
        segments->addWidget(b);
        rangeButtons_ << b;
    }
    controls->addWidget(rangeBar_);
    controls->addStretch(1);
    checkRange(HistoryRange::Day);
    exportButton_ = new QPushButton(QStringLiteral("Export…"), parent);
    Inst::style(exportButton_, Inst::Button::Plain);
    exportButton_->setToolTip(
        QStringLiteral("Save the range shown as a CSV file: UTC times, offset and delay in "
                       "microseconds, state, server and events."));
    connect(exportButton_, &QPushButton::clicked, this, &HistoryWindow::exportShown);
    controls->addWidget(exportButton_);

    auto* row = new QHBoxLayout;
    row->setSpacing(14);
    into->addLayout(row, 1);
    strip_ = new HistoryStrip(history_, time_, parent);
    row->addWidget(strip_, 1);

    // A fixed width: the chart keeps its columns whatever the readouts say.
    auto* sideFace = new QWidget(parent);
    sideFace->setFixedWidth(kSideWidth);
    auto* side = new QVBoxLayout(sideFace);
    side->setContentsMargins(0, 0, 0, 0);
    side->setSpacing(4);
    row->addWidget(sideFace);
    parent = sideFace;
    side->addWidget(Inst::caption(QStringLiteral("DRIFT"), parent));
    driftValue_ = new InstValue(30, parent);
    driftValue_->setReserve(QStringLiteral("-00.00"));
    driftValue_->setToolTip(QStringLiteral(
        "This computer's clock rate against its server, in parts per million: the slope of the "
        "offset since the last step of the clock, by least squares."));
    side->addWidget(driftValue_, 0, Qt::AlignLeft);
    driftSense_ = line(Inst::sans(12), "sec", parent);
    side->addWidget(driftSense_);
    driftDetail_ = line(Inst::mono(10.5), "muted", parent);
    side->addWidget(driftDetail_);
    side->addSpacing(14);
    side->addWidget(Inst::caption(QStringLiteral("MEASUREMENT"), parent));
    // Names the server's address and events' details, which come from outside: plain text.
    readout_ = line(Inst::mono(11), nullptr, parent);
    readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    readout_->setMinimumHeight(readout_->fontMetrics().lineSpacing() * 7);
    readout_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    side->addWidget(readout_);
    connect(strip_, &HistoryStrip::readoutChanged, readout_, &QLabel::setText);
    side->addStretch(1);
    side->addWidget(new HistoryLegend(parent));
}

void HistoryWindow::setRange(HistoryRange range)
{
    if (!strip_) return;
    checkRange(range);
    strip_->setRange(range);
}

void HistoryWindow::checkRange(HistoryRange range)
{
    // One stop for Tab, on the range shown; there the arrows move the focus between the
    // segments and Space or Enter picks one, as on the Mac's segmented controls.
    for (int i = 0; i < rangeButtons_.size(); ++i) {
        rangeButtons_.at(i)->setChecked(i == int(range));
        rangeButtons_.at(i)->setFocusPolicy(i == int(range) ? Qt::TabFocus : Qt::ClickFocus);
    }
}

void HistoryWindow::onAdded()
{
    if (isVisible()) {
        soon_->start();
        return;
    }
    strip_->refresh(); // hidden: only marks it to be read when shown
    driftStale_ = true;
}

void HistoryWindow::reread()
{
    if (!isVisible()) return;
    if (strip_) strip_->refresh();
    updateDrift();
    updateNote();
}

void HistoryWindow::updateDrift()
{
    if (!driftValue_) return;
    driftStale_ = false;
    const QStringList texts = historyDriftTexts(history_->drift(), time_.utcNowMs());
    driftValue_->setText(texts.at(0));
    driftSense_->setText(texts.at(1));
    driftSense_->setVisible(!texts.at(1).isEmpty());
    driftDetail_->setText(texts.at(2));
    driftDetail_->setVisible(!texts.at(2).isEmpty());
}

void HistoryWindow::updateNote()
{
    const QString why = history_ ? history_->error() : QString();
    note_->setText(why);
    note_->setVisible(!why.isEmpty());
    // Unreadable: the reason is all there is, and it is not a passing warning. The title's
    // dot says the same in the lamp's colours.
    Inst::setTone(note_, strip_ ? "warn" : "bad");
    header_->dot()->setColor(!strip_         ? lampColor(ClockState::Wrong)
                             : why.isEmpty() ? QColor()
                                             : lampColor(ClockState::Off));
}

void HistoryWindow::exportShown()
{
    if (!strip_) return;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString path =
        Dialogs::getSaveFileName(this, QStringLiteral("Export the clock history"),
                                 QDir(folder).filePath(exportName(strip_->range(), strip_->toMs())),
                                 QStringLiteral("CSV files (*.csv)"));
    if (path.isEmpty()) return;
    // Never a half-written file where the user looks for the export.
    QSaveFile file(path);
    QString why;
    if (!file.open(QIODevice::WriteOnly))
        why = file.errorString();
    else if (!history_->exportCsv(strip_->fromMs(), strip_->toMs(), &file, &why))
        file.cancelWriting();
    else if (!file.commit())
        why = file.errorString();
    if (!why.isEmpty())
        Dialogs::inform(this, QMessageBox::Warning,
                        QStringLiteral("The history could not be exported to %1.")
                            .arg(QDir::toNativeSeparators(path)),
                        why);
}

void HistoryWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The tokens may have turned while hidden; the appearance is chosen in the main window,
    // and its change reaches here as a palette change of that window's widgets.
    qApp->installEventFilter(this);
    if (appliedDark_ != Inst::tokens()->dark) applyTheme();
    if (strip_ && !focusWidget()) rangeButtons_.at(int(strip_->range()))->setFocus();
    if (driftStale_) updateDrift();
    updateNote();
    minute_->start();
}

void HistoryWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    qApp->removeEventFilter(this);
    minute_->stop();
    soon_->stop();
}

void HistoryWindow::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    emit closed();
}

bool HistoryWindow::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::PaletteChange || type == QEvent::ApplicationPaletteChange ||
         type == QEvent::ThemeChange || type == QEvent::StyleChange) &&
        appliedDark_ != Inst::tokens()->dark)
        QTimer::singleShot(0, this, [this] {
            if (appliedDark_ != Inst::tokens()->dark) applyTheme();
        });
    // A push button takes Space itself; Enter and the arrows are the segments' own.
    auto* button = qobject_cast<QPushButton*>(watched);
    const int at = button ? int(rangeButtons_.indexOf(button)) : -1;
    if (type == QEvent::KeyPress && at >= 0) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            button->click();
            return true;
        }
        const int to = key == Qt::Key_Left ? at - 1 : key == Qt::Key_Right ? at + 1 : -1;
        if (key == Qt::Key_Left || key == Qt::Key_Right) {
            if (to >= 0 && to < rangeButtons_.size())
                rangeButtons_.at(to)->setFocus(Qt::OtherFocusReason);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void HistoryWindow::applyTheme()
{
    appliedDark_ = Inst::tokens()->dark;
    Inst::applyTo(body_);
    // The toolkit's segments show no focus; here the arrows move it, so it must be seen.
    if (rangeBar_)
        rangeBar_->setStyleSheet(
            QStringLiteral("QPushButton:focus { border: 2px solid %1; padding: 4px 9px; }")
                .arg(Inst::tokens()->pri.name()));
}
