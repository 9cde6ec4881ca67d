// The main window in the lab against the real engine, tool, osascript and launchd stand-ins:
// a lab server lists chronyd's address, chronyd answers the time requests. Started as root,
// the test starts the lab server (only root enters the server's namespace) and runs itself
// again as an unprivileged user, so that the tool is in self-test mode throughout.

#include "tests/lab/labpeer.h"
#include "tests/ui/uitest.h"
#include "ui/connectwindow.h"
#include "ui/serverlist.h"

#include "engine/engine.h"
#include "inst/instchip.h"

#include <QApplication>
#include <QTableWidget>

#include <unistd.h>

class TestConnectWindow : public QObject
{
    Q_OBJECT
    FakeTime time;
    QTemporaryDir root;

private slots:
    void initTestCase()
    {
        QVERIFY2(geteuid() != 0, "the tool must never run as root here");
        qputenv("TESSAVEL_CONNECT_TEST_ROOT", root.path().toUtf8());
        qputenv("TESSAVEL_LAUNCHD_DIR", root.filePath("launchd").toUtf8());
    }

    void init() { boxesSeen().clear(); }
    void cleanup() { dropAnswers(); }

    void cleanupTestCase()
    {
        Engine::run({"remove"}, "Remove?");
        const QString domain = "gui/" + QString::number(getuid()) + "/";
        for (const char* label :
             {"com.tessavel.connect.selftest", "com.tessavel.connect.settime.selftest"})
            QProcess::execute(QStringLiteral(TV_LAUNCHCTL), {"bootout", domain + label});
    }

    // Set up with the listed server, which answers; synced without a password; removed, the
    // earlier settings, which the tool saved at setup, put back.
    void setUpSyncAndRemove()
    {
        // The self-test systemsetup reads this computer's settings from here.
        QFile settings(root.filePath("system-time-settings.plist"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("<plist><dict><key>timeServer</key><string>time.example.org</string>"
                       "</dict></plist>\n");
        settings.close();
        auto watcher = stillWatcher(time);
        ConnectWindow w(watcher.get());
        const QLabel* status = w.serverList()->statusLine();
        QSignalSpy watching(&w, &ConnectWindow::watchingToggled);
        w.startScan();
        QTRY_VERIFY_WITH_TIMEOUT(!w.serverList()->isScanning(), 5000);
        QCOMPARE(status->text(), "Found 1 server (1 ready).");

        answerNext("OK");
        answerNext("Keep in the Menu Bar");
        w.setupSelected();
        QCOMPARE(boxesSeen().value(1).buttons,
                 QStringList(
                     {"Done (Accept)", "Keep in the Menu Bar (Action)", "Quit Veridir (Action)"}));
        QCOMPARE(boxesSeen().value(1).escapeButton, "Done");
        QCOMPARE(watching.size(), 1); // kept in the menu bar as by the user's own flip
        QCOMPARE(status->text(), "Done — syncing with \"Lab clock\".");
        QCOMPARE(buttonNamed(&w, "SET UP THIS COMPUTER")->toolTip(),
                 "This computer is already set up with this server.");
        w.syncNow(); // set up: a sync needs no password
        QCOMPARE(status->text(), "Asked this computer to sync now.");

        answerNext("Remove");
        answerNext("OK");
        w.removeSetup();
        QCOMPARE(boxesSeen().value(3).text, "This computer no longer syncs with 192.0.2.2. Its "
                                            "time settings are back to what they were before "
                                            "setup.");
        QCOMPARE(status->text(), "Removed — no longer syncing with 192.0.2.2.");
        QCOMPARE(w.serverList()->table()->cellWidget(0, 3)->findChild<InstChip*>()->text(),
                 "READY");
        QVERIFY(!buttonNamed(&w, "Remove…")->isEnabled());
    }

    // This computer's own address: a server of this computer listed, but not a steady one.
    void typedAddressOfThisComputer()
    {
        auto watcher = stillWatcher(time);
        ConnectWindow w(watcher.get());
        w.onFound({{.address = LabPeer::clientAddress(), .synced = true, .thisComputer = true}});
        answerNext("OK", LabPeer::clientAddress());
        answerNext("OK");
        w.setupManual();
        QCOMPARE(boxesSeen().value(1).text,
                 LabPeer::clientAddress() +
                     " is this computer. The server on it cannot be followed from this same "
                     "computer: the two would chase each other. Update Tessavel Server, then "
                     "search again.");
    }
};

int main(int argc, char** argv)
{
    return LabPeer::mainAsUser<QApplication, TestConnectWindow>(
        argc, argv,
        {{LabPeer::serverAddress(),
          {"--no-ntp", "--json",
           R"({"id":"lab","name":"Lab clock","synced":true,"accepting":true})"}}});
}

#include "tst_connectwindow_lab.moc"
