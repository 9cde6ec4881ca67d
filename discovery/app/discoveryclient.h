// Finds the time servers on the network: one scan broadcasts the query, listens, probes every
// address a server was heard from by SNTP, picks one address per server and reports the list.
#pragma once

#include "discovery/app/discoveredserver.h"

#include <QMap>
#include <QObject>
#include <QStringList>

class QTimer;
class QUdpSocket;

class DiscoveryClient : public QObject
{
    Q_OBJECT

public:
    explicit DiscoveryClient(QObject* parent = nullptr);

    void scan(int listenMs);
    bool isScanning() const { return scanning; }

    // The server this computer follows: kept whenever it answers, however full the list.
    // Takes effect from the next scan.
    void setFollowedAddress(const QString& address) { followed = address; }

    // One SNTP request to address, waiting at most timeoutMs for an acceptable answer. Blocks.
    static bool answersTimeNow(const QString& address, int timeoutMs);

    static constexpr int kMaxIds = 64;
    // So that one host cannot crowd every other server out of the list.
    static constexpr int kMaxIdsPerSender = 4;
    static constexpr int kMaxAddressesPerId = 12;
    static constexpr int kProbeMs = 400;

signals:
    void finished(const QList<DiscoveredServer>& servers);

private slots:
    void onReadyRead();
    void onHeardAll();
    void onProbeReadyRead();
    void onDone();

private:
    struct HeardServer
    {
        DiscoveredServer server;
        QStringList addresses; // the first one brought the id in and holds its place
        int admitted = 0;      // the order in which the ids came in
    };

    void sendQuery();
    bool admit(const QString& sender);

    QUdpSocket* socket = nullptr;
    QUdpSocket* probeSocket = nullptr;
    QTimer* heardAllTimer;
    QString nonce;
    bool scanning = false;
    QMap<QString, HeardServer> heard;
    int admittedCount = 0;
    QString followed;
    QStringList followedFrom; // the senders that count as the followed server in this scan
    qint64 probeSentMs = 0;
    QStringList answered;
};
