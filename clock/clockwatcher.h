#pragma once
// The application's one watcher of this computer's clock: measures it against the followed
// server by SNTP every 10 s, judges it every second, keeps the last sync across restarts and
// tells the rest of the application when anything changed.

#include "clock/clockinputs.h"
#include "clock/clockstate.h"
#include "clock/history.h"
#include "clock/stopwatch.h"

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>

class QHostInfo;
class QTimer;
class QUdpSocket;

class ClockWatcher : public QObject
{
    Q_OBJECT

public:
    // What tests replace: the time source and the server's SNTP port.
    struct Seam
    {
        const TimeSource* time = &TimeSource::system();
        quint16 ntpPort = 123;
    };

    explicit ClockWatcher(QObject* parent = nullptr);
    ClockWatcher(const Seam& seam, QObject* parent);
    ~ClockWatcher() override;

    // Follow another server: an IP address in text or a host name (empty: none).
    void setServer(const QString& address, const QString& name);
    ClockInputs inputs() const;
    // Ms since the last accepted time answer; -1 when none since the server was set.
    qint64 heardAgoMs() const;
    void probeNow();
    void forgetLastSync();
    // The server's name when it has one, else its address text.
    QString serverLabel() const;

    // Beacon reports of the clock's state to the server, while the user keeps watch.
    void setReporting(bool on);
    // Reporting, and the server answered a report no more than 90 s ago.
    bool reportHeard() const;
    QByteArray beaconJson(bool bye) const;
    // The whole report datagram; empty when the payload is too long to frame.
    QByteArray beaconPacket(bool bye) const;
    bool isHeardForMe(const QByteArray& datagram) const;
    // The host name as reported: a final ".local" cut off, exactly so.
    static QString reportHostName(const QString& hostName);

    // Where each accepted answer, each state change and each change of server is recorded
    // (not owned; null: nowhere).
    void setHistory(ClockHistory* history);
    // Records an event the watcher cannot see itself, at this moment and in this state.
    void noteEvent(HistoryEventKind kind, const QString& detail = QString());

    // A loopback address, or an address of one of this computer's interfaces (an IPv4-mapped
    // IPv6 form counts as its IPv4 form); false for a null address.
    static bool isThisComputer(const QHostAddress& address);

    // Read directly by the windows and the menu-bar item.
    QString serverAddressText;
    QString serverName;
    qint64 lastSyncUtcMs = 0;
    ClockState state = ClockState::None;
    bool reporting = false;
    bool serverIsThisComputer = false;
    // Written by the main window: the server may be followed from its own computer.
    bool serverSteady = false;
    // Following the unsteady server this computer runs itself: the two would chase each other,
    // so nothing may sync this computer from it.
    bool chasesOwnServer() const { return serverIsThisComputer && !serverSteady; }

signals:
    void changed();
    void stateChanged(ClockState state);
    void wantsOsSync();

private slots:
    void onTick();
    void onProbe();
    void onNtpReadyRead();
    void onBeaconReadyRead();
    void sendBeacon();

private:
    void sendPacket(const QByteArray& datagram);
    void judge();
    void saveLastSync(bool force);
    void onLookedUp(const QString& name, const QHostInfo& info);

    const TimeSource& timeSource;
    const quint16 ntpPort;
    QHostAddress serverAddress;
    QString clientId;
    QUdpSocket* ntpSocket = nullptr;
    QUdpSocket* beaconSocket = nullptr;
    QTimer* tickTimer = nullptr;
    QTimer* probeTimer = nullptr;
    QTimer* beaconTimer = nullptr;
    qint64 probeSentUtcMs = 0; // sending moment of the outstanding request; 0 when none
    qint64 probeSentUtcUs = 0; // the same moment in us, for the history's measurement
    QPointer<ClockHistory> history;
    qint64 offsetMs = 0;
    Stopwatch sinceAnswer;
    Stopwatch sinceHeard;
    Stopwatch sinceSave;
    Stopwatch sinceOsAsk;
};
