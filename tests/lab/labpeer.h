// Starts a lab server for one test and stops it again, also when the test fails.
#pragma once

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

#include <list>
#include <unistd.h>

class LabPeer
{
public:
    // Runs tests/lab's labserver on address with the given options; inServerNamespace false
    // runs it beside the test, on "this computer".
    LabPeer(const QString& address, const QStringList& options, bool inServerNamespace = true)
    {
        static int serial = 0;
        const QString ready = labDir() + QString("/peer-%1-%2.ready").arg(address).arg(++serial);
        const QStringList ns{"ip", "netns", "exec", qEnvironmentVariable("LAB_SERVER_NS")};
        QStringList args = inServerNamespace ? ns : QStringList();
        args << TV_BINARY_DIR "/tests/lab/labserver"
             << "--address" << address << "--ready-file" << ready << options;
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(args.first(), args.mid(1));
        if (!m_process.waitForStarted(5000)) return;
        // lab.sh stops whatever is listed here, should this test die before its destructor.
        QFile pids(labDir() + "/pids");
        if (pids.open(QIODevice::Append))
            pids.write(QByteArray::number(m_process.processId()) + "\n");
        for (int i = 0; i < 1000 && !QFile::exists(ready); ++i)
            if (m_process.waitForFinished(10)) break;
        m_started = QFile::exists(ready);
    }
    ~LabPeer()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(2000)) m_process.kill(), m_process.waitForFinished(2000);
    }

    bool started() const { return m_started; }
    // The environment of tests/lab/lab.sh.
    static QString serverAddress() { return qEnvironmentVariable("LAB_SERVER"); }
    static QStringList spareAddresses()
    {
        return qEnvironmentVariable("LAB_SPARE").split(' ', Qt::SkipEmptyParts);
    }
    static QString clientAddress() { return qEnvironmentVariable("LAB_CLIENT"); }

    // The main of a lab test whose cases run as nobody, so that the tool stays in self-test
    // mode: as root it starts the peers (only root enters the server's namespace), each an
    // address and options, then runs itself again through tests/asuser.sh.
    template <typename App, typename Test>
    static int mainAsUser(int argc, char** argv, const QList<QPair<QString, QStringList>>& peers)
    {
        if (geteuid() != 0) {
            App app(argc, argv);
            Test test;
            return QTest::qExec(&test, argc, argv);
        }
        QCoreApplication app(argc, argv);
        std::list<LabPeer> running;
        for (const auto& [address, options] : peers)
            if (!running.emplace_back(address, options).started()) return 1;
        const int status = QProcess::execute(TV_SOURCE_DIR "/tests/asuser.sh",
                                             QStringList{QCoreApplication::applicationFilePath()} +
                                                 app.arguments().mid(1));
        return status < 0 ? 1 : status; // below 0: it crashed or never started
    }

private:
    static QString labDir() { return qEnvironmentVariable("LAB_DIR"); }
    QProcess m_process;
    bool m_started = false;
};
