#pragma once
// A few lines of SNTP server on loopback for the watcher's tests: answers with the test's
// time plus an offset, or stays silent, holds requests to answer later, or answers twice.

#include "clock/timesource.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>

class QUdpSocket;

class SntpPeer : public QObject
{
    Q_OBJECT

public:
    enum class Mode {
        Answer,    // answer every request at once
        Silent,    // drop every request
        Hold,      // keep requests; answerHeld() answers them
        Duplicate, // answer twice, the copy 100 ms further ahead
    };

    // Binds address:port (port 0: one the system chooses).
    SntpPeer(const TimeSource& time, const QHostAddress& address = QHostAddress::LocalHost,
             quint16 port = 0);

    quint16 port() const;
    int requests() const { return int(received_.size()); }
    // Answers the held request number index (counting every request received, from 0).
    void answerHeld(int index);

    Mode mode = Mode::Answer;
    qint64 offsetMs = 0; // this peer's clock minus the test's system clock

signals:
    void requestReceived();

private:
    void onReadyRead();
    void answer(const QByteArray& request, qint64 extraMs);

    const TimeSource& time_;
    QUdpSocket* socket_;
    QList<QByteArray> received_;
    QHostAddress lastSender_;
    quint16 lastSenderPort_ = 0;
};
