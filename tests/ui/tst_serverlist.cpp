// The server list on its own: the rules over one server, what a new list shows and selects,
// and the quiet refresh when the window comes back.

#include "ui/serverlist.h"
#include "ui/serverrules.h"

#include <QLabel>
#include <QTableWidget>
#include <QTest>

namespace {

using Servers = QList<DiscoveredServer>;

DiscoveredServer ready(const QString& id, const QString& address)
{
    return {.id = id, .address = address, .synced = true, .accepting = true, .answering = true};
}

// The status words of the chips that show; a replaced chip must not.
QStringList chipWords(const QTableWidget* table)
{
    QStringList words;
    for (const InstChip* c : table->findChildren<InstChip*>())
        if (!c->parentWidget()->isHidden()) words << c->text();
    return words;
}

} // namespace

class TestServerList : public QObject
{
    Q_OBJECT
    QWidget window;

private slots:
    void serverRules_data()
    {
        QTest::addColumn<DiscoveredServer>("server");
        QTest::addColumn<bool>("inUse");
        QTest::addColumn<QString>("word");
        QTest::addColumn<int>("tone");        // an InstChip::Tone
        QTest::addColumn<int>("ready");       // what the server adds to the ready count
        QTest::addColumn<QString>("tooltip"); // none: can be set up with
        const QString none, notReady = "This server is not ready yet.";
        const QString why = "This server is on this computer, and this version of it cannot be "
                            "followed from here. Update Tessavel Server.";
        DiscoveredServer here = ready("h", "127.0.0.1");
        here.thisComputer = true;
        QTest::newRow("ready") << ready("a", "10.0.0.5") << false << "READY" << 0 << 1 << none;
        QTest::newRow("in use even when not synced")
            << DiscoveredServer{.accepting = true} << true << "IN USE" << 1 << 0
            << "This computer is already set up with this server.";
        QTest::newRow("unsteady server here") << here << false << "THIS COMPUTER" << 4 << 0 << why;
        here.steady = true;
        QTest::newRow("steady server here") << here << false << "READY" << 0 << 1 << none;
        QTest::newRow("not accepting before not synced")
            << DiscoveredServer{.answering = true} << false << "NOT ACCEPTING" << 4 << 0
            << notReady;
        QTest::newRow("not synced") << DiscoveredServer{.accepting = true, .answering = true}
                                    << false << "NOT SYNCED YET" << 4 << 0 << notReady;
        QTest::newRow("silent, yet can be set up")
            << DiscoveredServer{.synced = true, .accepting = true} << false << "NOT ANSWERING" << 4
            << 0 << none;
    }

    void serverRules()
    {
        QFETCH(DiscoveredServer, server);
        QFETCH(bool, inUse);
        const QString current = inUse ? server.address : QString("10.0.0.6");
        InstChip::Tone tone = InstChip::Go;
        QTEST(serverStatusWord(server, current, &tone), "word");
        QTEST(int(tone), "tone");
        QTEST(readyCount({server}), "ready");
        QTEST(setupTooltip(&server, current), "tooltip");
        QCOMPARE(canSetUpWith(server, current), setupTooltip(&server, current).isEmpty());
    }

    void nothingSelected()
    {
        QCOMPARE(setupTooltip(nullptr, {}), "Select a server in the list first.");
    }

    void take_data()
    {
        QTest::addColumn<Servers>("before");
        QTest::addColumn<int>("selectedBefore"); // -1: none
        QTest::addColumn<Servers>("list");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("status");
        const DiscoveredServer b = ready("b", "192.0.2.7"), c = ready("c", "192.0.2.8");
        DiscoveredServer own = ready("own", "127.0.0.1");
        own.thisComputer = true;
        const QString pick = " Select one, then click Set up this computer.";
        QTest::newRow("the only row to set up with selects itself")
            << Servers{} << -1 << Servers{own, ready("used", "192.0.2.9"), b} << 2
            << QStringList{"THIS COMPUTER", "IN USE", "READY"} << "Found 3 servers (2 ready).";
        QTest::newRow("two to choose from: the user picks")
            << Servers{} << -1 << Servers{b, c} << -1 << QStringList{"READY", "READY"}
            << "Found 2 servers (2 ready)." + pick;
        QTest::newRow("the selection follows its server by id")
            << Servers{b, c} << 0 << Servers{c, b} << 1 << QStringList{"READY", "READY"}
            << "Found 2 servers (2 ready).";
        QTest::newRow("none") << Servers{b} << 0 << Servers{} << -1 << QStringList{}
                              << "No servers found. Turn on \"Advertise on network\" on the "
                                 "server, or use \"Enter IP address…\".";
    }

    void take()
    {
        QFETCH(Servers, before);
        QFETCH(int, selectedBefore);
        QFETCH(Servers, list);
        ServerList servers(&window);
        servers.setCurrentAddress("192.0.2.9");
        servers.take(before);
        servers.table()->clearSelection();
        if (selectedBefore >= 0) servers.table()->selectRow(selectedBefore);
        servers.take(list);
        QTEST(servers.selectedRow(), "selected");
        QTEST(chipWords(servers.table()), "words");
        QTEST(servers.statusLine()->text(), "status");
    }

    void quietRefresh()
    {
        ServerList fresh(&window);
        fresh.take({});
        QVERIFY(!fresh.refreshInBackground()); // a list just in is not stale

        ServerList servers(&window, 0); // every list is stale at once
        servers.take({});
        servers.statusLine()->setText("Asked this computer to sync now.");
        QVERIFY(servers.refreshInBackground());
        QTRY_VERIFY_WITH_TIMEOUT(!servers.isScanning(), 5000); // nothing new found
        QCOMPARE(servers.statusLine()->text(), "Asked this computer to sync now.");
        // The alert's "Search for a server" shows as a search, though no second scan starts.
        QVERIFY(servers.refreshInBackground());
        servers.startScan();
        QCOMPARE(servers.statusLine()->text(), "Searching for time servers…");
        QTRY_VERIFY_WITH_TIMEOUT(!servers.isScanning(), 5000);
        QVERIFY(servers.statusLine()->text().startsWith("No servers found."));
    }
};

QTEST_MAIN(TestServerList)
#include "tst_serverlist.moc"
