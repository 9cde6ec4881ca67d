// Beacon reports across the lab's veth pair: the lab server receives the unicast report and
// the broadcast ones, and its heard answer reaches the watcher; a wrong one does not.
#include "clock/clockwatcher.h"
#include "tests/lab/labpeer.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestBeaconLab : public QObject
{
    Q_OBJECT

    QTemporaryDir settingsDir_;

private slots:
    void initTestCase()
    {
        QVERIFY2(!LabPeer::spareAddresses().isEmpty(), "run inside tests/lab/lab.sh");
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("Ondavix"));
        QCoreApplication::setApplicationName(QStringLiteral("Tessavel Veridir"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir_.path());
    }

    void reports_data()
    {
        QTest::addColumn<QString>("heard");
        QTest::addColumn<bool>("counts");
        QTest::newRow("heard answer") << "normal" << true;
        QTest::newRow("answer for another id") << "other-id" << false;
        QTest::newRow("id in capitals") << "upper-id" << false;
        QTest::newRow("silent server") << "silent" << false;
    }

    void reports()
    {
        QFETCH(QString, heard);
        QFETCH(bool, counts);
        const QString address = LabPeer::spareAddresses().at(0);
        const QString log = QDir(qEnvironmentVariable("LAB_DIR")).filePath("reports-" + heard);
        LabPeer server(address, {"--no-discovery", "--heard", heard, "--report-log", log});
        QVERIFY(server.started());

        ClockWatcher w;
        w.setServer(address, "Lab");
        QSignalSpy changed(&w, &ClockWatcher::changed);
        w.setReporting(true);
        if (counts)
            QTRY_VERIFY_WITH_TIMEOUT(w.reportHeard(), 3000);
        else
            QTest::qWait(500);
        QCOMPARE(w.reportHeard(), counts);

        QFile f(log);
        QTRY_VERIFY(f.exists());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QStringList kinds;
        for (const QByteArray& line : f.readAll().split('\n')) {
            if (line.isEmpty()) continue;
            const int space = line.indexOf(' ');
            kinds << QString::fromLatin1(line.left(space));
            const QJsonObject o = QJsonDocument::fromJson(line.mid(space + 1)).object();
            QCOMPARE(o.value("id").toString(), QSettings().value("clientId").toString());
            QCOMPARE(o.value("server").toString(), address);
        }
        QVERIFY2(kinds.contains("unicast"), qPrintable(kinds.join(',')));
        QVERIFY2(kinds.contains("broadcast"), qPrintable(kinds.join(',')));
    }
};

QTEST_GUILESS_MAIN(TestBeaconLab)
#include "tst_beacon_lab.moc"
