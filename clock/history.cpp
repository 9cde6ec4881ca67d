#include "clock/history.h"

#include "clock/clockinputs.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QStandardPaths>
#include <QUuid>

namespace {

// "TVH1": marks a file as ours, apart from any other SQLite file at the path.
constexpr qint32 kApplicationId = 0x54564831;
constexpr int kSchemaVersion = 1;

const char* const kSchema[] = {
    // id keeps the order of arrival, which a clock set back does not upset.
    "CREATE TABLE sample(id INTEGER PRIMARY KEY, t INTEGER NOT NULL, offset_us INTEGER NOT NULL,"
    " delay_us INTEGER NOT NULL, server TEXT NOT NULL, state INTEGER NOT NULL)",
    "CREATE INDEX sample_t ON sample(t)",
    // Kept up to date with every sample, so that no reader walks the raw samples of a long
    // range: 1-minute rows while the raw samples last, 5-minute rows (the record once the
    // raw samples are gone), hourly and 6-hourly rows.
    "CREATE TABLE summary(span INTEGER NOT NULL, t INTEGER NOT NULL, n INTEGER NOT NULL,"
    " min_us INTEGER NOT NULL, max_us INTEGER NOT NULL, sum_us INTEGER NOT NULL,"
    " max_delay_us INTEGER NOT NULL, state INTEGER NOT NULL, PRIMARY KEY(span, t)) WITHOUT ROWID",
    "CREATE TABLE event(id INTEGER PRIMARY KEY, t INTEGER NOT NULL, kind INTEGER NOT NULL,"
    " state INTEGER NOT NULL, detail TEXT NOT NULL)",
    "CREATE INDEX event_t ON event(t)",
    "CREATE TABLE gap(t INTEGER PRIMARY KEY, until INTEGER NOT NULL)",
    "CREATE TABLE meta(key TEXT PRIMARY KEY, value INTEGER NOT NULL) WITHOUT ROWID",
};

qint64 floorTo(qint64 t, qint64 step)
{
    const qint64 q = t / step;
    return (q - (t % step < 0 ? 1 : 0)) * step;
}

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

QString historyEventWord(HistoryEventKind kind)
{
    switch (kind) {
    case HistoryEventKind::Start:
        return QStringLiteral("start");
    case HistoryEventKind::Quit:
        return QStringLiteral("quit");
    case HistoryEventKind::State:
        return QStringLiteral("state");
    case HistoryEventKind::Server:
        return QStringLiteral("server");
    case HistoryEventKind::SyncNow:
        return QStringLiteral("sync now");
    case HistoryEventKind::ClockSet:
        return QStringLiteral("clock set");
    }
    return QStringLiteral("event");
}

ClockHistory::ClockHistory(const QString& path, QObject* parent)
    : QObject(parent), path_(path),
      connection_(QStringLiteral("history-") + QUuid::createUuid().toString(QUuid::Id128))
{
    open();
}

ClockHistory::~ClockHistory()
{
    for (QSqlQuery* q : {&insertSample_, &addToSummary_, &insertGap_, &insertEvent_})
        *q = QSqlQuery();
    if (db_.isOpen()) db_.close(); // the last connection folds the write-ahead log back in
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection_);
}

QString ClockHistory::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/history.sqlite");
}

bool ClockHistory::fail(const QString& why)
{
    error_ = why;
    return false;
}

bool ClockHistory::open()
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return fail(tr("The history cannot be kept: Qt's SQLite driver is missing."));
    const QFileInfo file(path_);
    if (file.isDir())
        return fail(tr("The history cannot be kept: %1 is a folder.").arg(shown(path_)));
    if (!QDir().mkpath(file.absolutePath()))
        return fail(tr("The history cannot be kept: the folder %1 cannot be made.")
                        .arg(shown(file.absolutePath())));

    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db_.setDatabaseName(path_);
    // Look before writing anything: a file that is not ours, or is newer, stays as it is.
    const bool existed = file.exists() && file.size() > 0;
    QString why;
    if (existed && !inspect(&why)) return fail(why);

    const QFileInfo folder(file.absolutePath());
    if (existed && !(file.isWritable() && folder.isWritable())) {
        db_.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        readable_ = db_.open();
        lastSampleMs_ = lastSampleMs();
        return fail(tr("The history file %1 can only be read: new measurements are not "
                       "recorded.")
                        .arg(shown(path_)));
    }

    db_.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    if (!db_.open()) return fail(tr("The history cannot be kept: %1").arg(db_.lastError().text()));
    QSqlQuery q(db_);
    // A write-ahead log: a commit is one append, and a process killed at any moment leaves
    // every committed sample readable. NORMAL gives that against a killed process; only a
    // power cut may take the last few samples.
    if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.next() ||
        q.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0 ||
        !q.exec(QStringLiteral("PRAGMA synchronous=NORMAL")))
        return fail(tr("The history cannot be kept: %1").arg(q.lastError().text()));
    if (scalar(QStringLiteral("PRAGMA user_version")) == 0 && !createSchema()) return false;

    insertSample_ = QSqlQuery(db_);
    insertSample_.prepare(QStringLiteral(
        "INSERT INTO sample(t, offset_us, delay_us, server, state) VALUES(?, ?, ?, ?, ?)"));
    addToSummary_ = QSqlQuery(db_);
    addToSummary_.prepare(QStringLiteral(
        "INSERT INTO summary VALUES(?, ?, 1, ?, ?, ?, ?, ?) ON CONFLICT(span, t) DO UPDATE SET"
        " n = n + 1, min_us = min(min_us, excluded.min_us), max_us = max(max_us, excluded.max_us),"
        " sum_us = sum_us + excluded.sum_us, max_delay_us = max(max_delay_us,"
        " excluded.max_delay_us), state = max(state, excluded.state)"));
    insertGap_ = QSqlQuery(db_);
    insertGap_.prepare(QStringLiteral("INSERT OR REPLACE INTO gap VALUES(?, ?)"));
    insertEvent_ = QSqlQuery(db_);
    insertEvent_.prepare(
        QStringLiteral("INSERT INTO event(t, kind, state, detail) VALUES(?, ?, ?, ?)"));

    lastSampleMs_ = lastSampleMs();
    readable_ = writable_ = true;
    return true;
}

bool ClockHistory::inspect(QString* why)
{
    db_.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    qint64 values[3] = {};
    const char* const asks[3] = {"PRAGMA application_id", "PRAGMA user_version",
                                 "SELECT count(*) FROM sqlite_master"};
    bool read = db_.open();
    QString reason = db_.lastError().text();
    QSqlQuery q(db_);
    for (int i = 0; read && i < 3; ++i) {
        read = q.exec(QLatin1String(asks[i])) && q.next();
        if (read)
            values[i] = q.value(0).toLongLong();
        else
            reason = q.lastError().text();
    }
    q = QSqlQuery();
    db_.close();
    db_.setConnectOptions();
    const auto [appId, version, tables] = values;
    if (!read)
        *why = tr("The history file %1 is damaged or not a database, and is left as it is: %2")
                   .arg(shown(path_), reason);
    else if (appId != kApplicationId && (appId != 0 || tables > 0))
        *why = tr("The file %1 is not this application's history, and is left as it is.")
                   .arg(shown(path_));
    else if (version > kSchemaVersion)
        *why = tr("The history file %1 comes from a newer version of this application, and is "
                  "left as it is.")
                   .arg(shown(path_));
    else
        return true;
    return false;
}

bool ClockHistory::createSchema()
{
    if (!begin()) return false;
    QSqlQuery q(db_);
    QStringList steps;
    for (const char* statement : kSchema)
        steps << QLatin1String(statement);
    steps << QStringLiteral("PRAGMA application_id=%1").arg(kApplicationId)
          << QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion);
    for (const QString& step : std::as_const(steps))
        if (!q.exec(step)) return commit(q.lastError().text());
    return commit(QString());
}

bool ClockHistory::begin()
{
    return db_.transaction() ||
           fail(tr("The history could not be written: %1").arg(db_.lastError().text()));
}

// Commits, or with a reason given rolls back and keeps the reason.
bool ClockHistory::commit(const QString& why)
{
    if (why.isEmpty() && db_.commit()) return true;
    const QString reason = why.isEmpty() ? db_.lastError().text() : why;
    db_.rollback();
    return fail(tr("The history could not be written: %1").arg(reason));
}

qint64 ClockHistory::scalar(const QString& sql, qint64 otherwise) const
{
    QSqlQuery q(db_);
    if (q.exec(sql) && q.next() && !q.value(0).isNull()) return q.value(0).toLongLong();
    return otherwise;
}

bool ClockHistory::addSample(const HistorySample& s)
{
    if (!writable_ || !begin()) return false;
    QSqlQuery& in = insertSample_;
    in.addBindValue(s.utcMs), in.addBindValue(s.offsetUs), in.addBindValue(s.delayUs);
    in.addBindValue(s.server.isNull() ? QStringLiteral("") : s.server);
    in.addBindValue(qint32(s.state));
    bool ok = in.exec();
    QString why = in.lastError().text();
    for (const qint64 span : {kMinuteMs, kPeriodMs, kHourMs, kSixHoursMs}) {
        QSqlQuery& sum = addToSummary_;
        sum.addBindValue(span), sum.addBindValue(floorTo(s.utcMs, span));
        for (int i = 0; i < 3; ++i) // the minimum, the maximum and the sum of one
            sum.addBindValue(s.offsetUs);
        sum.addBindValue(s.delayUs), sum.addBindValue(qint32(s.state));
        if (ok && !(ok = sum.exec())) why = sum.lastError().text();
    }
    if (ok && lastSampleMs_ != 0 && s.utcMs - lastSampleMs_ > kAnswerCountsMs) {
        insertGap_.addBindValue(lastSampleMs_), insertGap_.addBindValue(s.utcMs);
        if (!(ok = insertGap_.exec())) why = insertGap_.lastError().text();
    }
    // Keeping times run on the server's time: a clock set a year ahead must not wipe the record.
    const qint64 serverNowMs = s.utcMs + s.offsetUs / 1000;
    if (ok && floorTo(serverNowMs, kPeriodMs) != retainedPeriod_) {
        why = retain(serverNowMs);
        ok = why.isEmpty();
    }
    if (!commit(ok ? QString() : why)) return false;
    error_.clear(); // a full disk, say, that has room again
    lastSampleMs_ = s.utcMs;
    emit added();
    return true;
}

bool ClockHistory::addEvent(const HistoryEvent& e)
{
    if (!writable_) return false;
    insertEvent_.addBindValue(e.utcMs), insertEvent_.addBindValue(qint32(e.kind));
    insertEvent_.addBindValue(qint32(e.state));
    insertEvent_.addBindValue(e.detail.isNull() ? QStringLiteral("") : e.detail); // never NULL
    if (!insertEvent_.exec())
        return fail(
            tr("The history could not be written: %1").arg(insertEvent_.lastError().text()));
    emit added();
    return true;
}

bool ClockHistory::applyRetention(qint64 nowUtcMs)
{
    return writable_ && begin() && commit(retain(nowUtcMs));
}

QString ClockHistory::retain(qint64 nowUtcMs)
{
    // Raw samples go a whole period at a time: a period is either raw or summary, never both.
    const qint64 rawFrom = floorTo(nowUtcMs - kRawKeepMs, kPeriodMs);
    const qint64 keepFrom = floorTo(nowUtcMs - kSummaryKeepMs, kPeriodMs);
    QSqlQuery q(db_);
    const QString steps[] = {
        QStringLiteral("DELETE FROM sample WHERE t < %1").arg(rawFrom),
        QStringLiteral("DELETE FROM summary WHERE t < %1 AND span = %2")
            .arg(rawFrom)
            .arg(kMinuteMs),
        QStringLiteral("DELETE FROM summary WHERE t < %1").arg(keepFrom),
        QStringLiteral("DELETE FROM event WHERE t < %1").arg(keepFrom),
        QStringLiteral("DELETE FROM gap WHERE until < %1").arg(keepFrom),
        QStringLiteral("INSERT INTO meta VALUES('raw_from', %1) ON CONFLICT(key) DO UPDATE SET"
                       " value = max(value, excluded.value)")
            .arg(rawFrom),
    };
    for (const QString& step : steps)
        if (!q.exec(step)) return q.lastError().text();
    retainedPeriod_ = floorTo(nowUtcMs, kPeriodMs);
    return QString();
}

qint64 ClockHistory::rawFromMs() const
{
    // Before the first retention every sample is still raw.
    return scalar(QStringLiteral("SELECT value FROM meta WHERE key = 'raw_from'"),
                  -(qint64(1) << 62));
}

qint64 ClockHistory::lastSampleMs() const
{
    const qint64 t = scalar(QStringLiteral("SELECT t FROM sample ORDER BY id DESC LIMIT 1"));
    // With the raw samples gone, the end of the last 5-minute row.
    return t ? t
             : scalar(QStringLiteral("SELECT max(t) + %1 FROM summary WHERE span = %1")
                          .arg(kPeriodMs));
}

qint64 ClockHistory::rawCount() const
{
    return scalar(QStringLiteral("SELECT count(*) FROM sample"));
}

qint64 ClockHistory::periodCount() const
{
    return scalar(QStringLiteral("SELECT count(*) FROM summary WHERE span = %1").arg(kPeriodMs));
}
