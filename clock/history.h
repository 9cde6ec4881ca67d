#pragma once
// The record of how this computer's clock behaved: every accepted measurement and every event
// that matters to the clock, kept per user in an SQLite file, thinned out with age, and read
// back for the chart, the drift rate and an export.

#include "clock/clockstate.h"

#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <optional>

class QIODevice;

// One accepted SNTP answer.
struct HistorySample
{
    qint64 utcMs = 0;    // this computer's clock at the answer's receipt
    qint64 offsetUs = 0; // server minus this clock
    qint64 delayUs = 0;  // round trip less the server's own time
    QString server;      // the followed address
    ClockState state = ClockState::None;
};

// The numbers are stored; never renumber them.
enum class HistoryEventKind : qint32 {
    Start = 1,    // the application started
    Quit = 2,     // the application quit
    State = 3,    // the clock state changed (the event's state is the new one)
    Server = 4,   // another server is followed
    SyncNow = 5,  // the user asked for a sync now
    ClockSet = 6, // the clock was set by hand from the alert
};

struct HistoryEvent
{
    qint64 utcMs = 0;
    HistoryEventKind kind = HistoryEventKind::State;
    ClockState state = ClockState::None; // the clock state at that moment
    QString detail;                      // e.g. the server's name and address
};

// The events' words in an export: "start", "quit", "state", "server", "sync now", "clock set".
QString historyEventWord(HistoryEventKind kind);

// One pixel column of the chart: the samples whose moment falls in it, or aggregates of them.
struct HistoryColumn
{
    qint64 count = 0; // 0: nothing measured in this column
    qint64 minOffsetUs = 0;
    qint64 maxOffsetUs = 0;
    qint64 meanOffsetUs = 0;
    qint64 maxDelayUs = 0;
    ClockState worst = ClockState::None; // the highest-numbered state seen
};

// A stretch of one clock state; watched is false where the application did not run.
struct HistoryBand
{
    qint64 fromMs = 0;
    qint64 toMs = 0;
    ClockState state = ClockState::None;
    bool watched = true;
};

// A stretch with no accepted answer for longer than an answer counts.
struct HistoryGap
{
    qint64 fromMs = 0;
    qint64 toMs = 0;
};

struct HistoryChart
{
    QList<HistoryColumn> columns;
    QList<HistoryBand> bands;
    QList<HistoryGap> gaps;
    QList<HistoryEvent> events;
};

// This clock's rate against the server. Positive ppm: this clock runs fast, gaining on the
// server (the offset, server minus this clock, falls).
struct HistoryDrift
{
    bool known = false; // false: not enough data yet
    double ppm = 0;
    double uncertaintyPpm = 0; // one standard uncertainty of the slope
    int samples = 0;
    qint64 fromMs = 0; // the samples used: those since the last step
    qint64 toMs = 0;
};

class ClockHistory : public QObject
{
    Q_OBJECT

public:
    // Raw samples and their 1-minute summaries are kept this long; the 5-minute summaries
    // (the record from then on) and the hourly and 6-hourly ones (for long ranges) much longer.
    static constexpr qint64 kRawKeepMs = 7 * 86'400'000LL;
    static constexpr qint64 kSummaryKeepMs = 400 * 86'400'000LL;
    static constexpr qint64 kMinuteMs = 60'000;
    static constexpr qint64 kPeriodMs = 300'000;
    static constexpr qint64 kHourMs = 3'600'000;
    static constexpr qint64 kSixHoursMs = 21'600'000;

    // Opens (or makes) the file; never fails outright: error() then says why nothing is kept.
    explicit ClockHistory(const QString& path = defaultPath(), QObject* parent = nullptr);
    ~ClockHistory() override;

    // history.sqlite in the user's application-data folder.
    static QString defaultPath();
    QString path() const { return path_; }

    // Why the history is not (fully) kept; empty while all is well. A history that can only
    // be read answers the queries and records nothing.
    QString error() const { return error_; }
    bool canRead() const { return readable_; }
    bool canWrite() const { return writable_; }

    // Each in a transaction of its own. False (and error() says why) when nothing was kept.
    bool addSample(const HistorySample& sample);
    bool addEvent(const HistoryEvent& event);
    // Thins out what is older than the keeping times before nowUtcMs. Runs on its own about
    // once per period from addSample; running it again changes nothing.
    bool applyRetention(qint64 nowUtcMs);

    // For the chart: the range [fromMs, toMs) cut into columns of equal width.
    HistoryChart chart(qint64 fromMs, qint64 toMs, int columns) const;
    // The raw sample nearest to the moment, within withinMs. Where only summaries are left,
    // the chart's column holds what there is to show.
    std::optional<HistorySample> nearest(qint64 utcMs, qint64 withinMs) const;
    HistoryDrift drift() const;
    // The range as CSV (RFC 4180): a header row, then samples, summaries and events in time
    // order. False with a reason when it cannot be read or written.
    bool exportCsv(qint64 fromMs, qint64 toMs, QIODevice* out, QString* error = nullptr) const;

    // Number of raw samples and of 5-minute summaries; for tests and the benchmark.
    qint64 rawCount() const;
    qint64 periodCount() const;

signals:
    void added();

private:
    bool open();
    bool inspect(QString* why);
    bool createSchema();
    bool fail(const QString& why);
    bool begin();
    bool commit(const QString& why);
    QString retain(qint64 nowUtcMs);
    qint64 rawFromMs() const;
    qint64 lastSampleMs() const;
    qint64 scalar(const QString& sql, qint64 otherwise = 0) const;

    QString path_;
    QString connection_;
    QSqlDatabase db_;
    QString error_;
    bool readable_ = false;
    bool writable_ = false;
    QSqlQuery insertSample_, addToSummary_, insertGap_, insertEvent_;
    qint64 lastSampleMs_ = 0;
    qint64 retainedPeriod_ = -1; // the period retention last ran in
};
