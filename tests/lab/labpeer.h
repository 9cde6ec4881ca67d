// Starts a lab server for one test and stops it again, also when the test fails.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

class LabPeer
{
public:
    // Runs tests/lab's labserver on address with the given options; inServerNamespace false
    // runs it beside the test, on "this computer".
    LabPeer(const QString& address, const QStringList& options, bool inServerNamespace = true);
    ~LabPeer();
    LabPeer(const LabPeer&) = delete;
    LabPeer& operator=(const LabPeer&) = delete;

    bool started() const { return m_started; }
    QString address() const { return m_address; }

    // The environment of tests/lab/lab.sh.
    static QString serverAddress();
    static QStringList spareAddresses();
    static QString clientAddress();

private:
    QProcess m_process;
    QString m_address;
    bool m_started = false;
};
