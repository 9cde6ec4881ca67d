#include "ui/historylegend.h"

#include "ui/historystrip.h"
#include "ui/lamp.h"

#include "inst/instfonts.h"
#include "inst/insttokens.h"

#include <QPainter>

namespace {

constexpr int kRow = 17;
constexpr int kSwatch = 14;
constexpr int kRows = 9;

struct Mark
{
    HistoryEventKind kind;
    ClockState state;
    const char* words;
};

const Mark kMarks[] = {
    {HistoryEventKind::Start, ClockState::Sync, "start"},
    {HistoryEventKind::Quit, ClockState::Sync, "quit"},
    {HistoryEventKind::State, ClockState::Off, "state"},
    {HistoryEventKind::Server, ClockState::Sync, "server"},
    {HistoryEventKind::SyncNow, ClockState::Sync, "sync now"},
    {HistoryEventKind::ClockSet, ClockState::Sync, "clock set"},
};

} // namespace

HistoryLegend::HistoryLegend(QWidget* parent) : QWidget(parent)
{
    setFont(Inst::sans(11));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAccessibleName(QStringLiteral("Legend"));
}

QSize HistoryLegend::sizeHint() const
{
    return QSize(200, kRows * kRow);
}

void HistoryLegend::paintEvent(QPaintEvent*)
{
    const Inst::Tokens& t = *Inst::tokens();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int text = kSwatch + 8;
    auto words = [&](int x, int row, const QString& s) {
        p.setPen(t.sec);
        p.drawText(QRect(x, row * kRow, width() - x, kRow), Qt::AlignLeft | Qt::AlignVCenter, s);
    };
    auto swatch = [&](int row) { return QRectF(0, row * kRow + 5, kSwatch, kRow - 10); };

    const std::pair<ClockState, const char*> states[] = {
        {ClockState::Sync, "In sync"},
        {ClockState::Off, "Not heard, or off"},
        {ClockState::Wrong, "Wrong, or no server"},
    };
    int row = 0;
    for (const auto& [state, label] : states) {
        p.fillRect(swatch(row), lampColor(state));
        words(text, row++, QLatin1String(label));
    }
    p.fillRect(swatch(row).adjusted(0, -3, 0, 3), QBrush(t.sec, Qt::BDiagPattern));
    words(text, row++, QStringLiteral("No answer"));

    // A sample with its error bar, and a column of many as its band.
    const QColor ink = t.accent;
    const double mid = kSwatch / 2.0;
    QColor bar = ink;
    bar.setAlphaF(0.75f);
    p.fillRect(QRectF(mid, row * kRow + 2, 1, kRow - 4), bar);
    p.fillRect(QRectF(mid - 2, row * kRow + 2, 5, 1), bar);
    p.fillRect(QRectF(mid - 2, row * kRow + kRow - 3, 5, 1), bar);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(QPointF(mid + 0.5, row * kRow + kRow / 2.0), 1.8, 1.8);
    words(text, row++, QStringLiteral("Offset ± delay/2"));
    QColor faint = ink;
    faint.setAlphaF(0.22f);
    p.fillRect(QRectF(mid - 3, row * kRow + 2, 7, kRow - 4), faint);
    p.fillRect(QRectF(mid - 3, row * kRow + 5, 7, kRow - 10), bar);
    words(text, row++, QStringLiteral("Many: lowest to highest"));

    // The markers in two columns.
    const int half = width() / 2;
    for (int i = 0; i < 6; ++i) {
        const int x = i % 2 ? half : 0, r = row + i / 2;
        HistoryStrip::paintMarker(p, kMarks[i].kind, kMarks[i].state,
                                  QPointF(x + mid, r * kRow + kRow / 2.0));
        words(x + text, r, QLatin1String(kMarks[i].words));
    }
}
