#include "tests/lab/labpeer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

namespace {

QString labDir()
{
    return qEnvironmentVariable("LAB_DIR");
}

} // namespace

LabPeer::LabPeer(const QString& address, const QStringList& options, bool inServerNamespace)
    : m_address(address)
{
    static int serial = 0;
    const QString ready = QDir(labDir().isEmpty() ? QDir::tempPath() : labDir())
                              .filePath(QString("peer-%1-%2.ready").arg(address).arg(++serial));
    QFile::remove(ready);
    const QString server = QStringLiteral(TV_BINARY_DIR "/tests/lab/labserver");
    QStringList args = QStringList{"--address", address, "--ready-file", ready} + options;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (inServerNamespace)
        m_process.start(
            "ip",
            QStringList{"netns", "exec", qEnvironmentVariable("LAB_SERVER_NS"), server} + args);
    else
        m_process.start(server, args);
    if (!m_process.waitForStarted(5000)) return;
    // lab.sh stops whatever is listed here, should this test die before its destructor.
    QFile pids(labDir() + "/pids");
    if (pids.open(QIODevice::Append)) pids.write(QByteArray::number(m_process.processId()) + "\n");
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(ready) && t.elapsed() < 5000 && m_process.state() == QProcess::Running)
        QThread::msleep(10);
    m_started = QFile::exists(ready);
}

LabPeer::~LabPeer()
{
    if (m_process.state() == QProcess::NotRunning) return;
    m_process.terminate();
    if (!m_process.waitForFinished(2000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

QString LabPeer::serverAddress()
{
    return qEnvironmentVariable("LAB_SERVER");
}

QStringList LabPeer::spareAddresses()
{
    return qEnvironmentVariable("LAB_SPARE").split(' ', Qt::SkipEmptyParts);
}

QString LabPeer::clientAddress()
{
    return qEnvironmentVariable("LAB_CLIENT");
}
