// The main window's rules and list against a still watcher, its flows answered through the
// dialogs seam; the setup is whatever job file the test leaves in its own test root.

#include "tests/ui/uitest.h"
#include "ui/alertwindow.h"
#include "ui/clienttray.h"
#include "ui/clockpanel.h"
#include "ui/connectwindow.h"
#include "ui/dialogs.h"
#include "ui/serverrules.h"

#include "discovery/app/discoveryanswer.h"
#include "discovery/app/discoveryclient.h"
#include "net/datagram.h"

#include "inst/inststatus.h"
#include "inst/insttoggle.h"

#include "engine/enginepaths.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QTest>
#include <QTextDocumentFragment>

namespace {

// Flags as letters: s synced, a accepting, n answering, t this computer, y steady.
DiscoveredServer server(const QString& id, const QString& address, const char* flags)
{
    DiscoveredServer s;
    s.id = id;
    s.name = "Server " + id;
    s.address = address;
    const QByteArray f(flags);
    s.synced = f.contains('s'), s.accepting = f.contains('a'), s.answering = f.contains('n');
    s.thisComputer = f.contains('t'), s.steady = f.contains('y');
    return s;
}

// A ready server as the application reads it from an announcement that carries this name.
DiscoveredServer announced(const QString& name, const QString& address)
{
    const QJsonObject payload{{"name", name}, {"synced", true}, {"accepting", true}};
    const std::string datagram =
        discovery::frame(discovery::kTypeAnnounce,
                         QJsonDocument(payload).toJson(QJsonDocument::Compact).toStdString());
    return readDiscoveryAnswer(QByteArray::fromStdString(datagram), {}, address).value();
}

// What a label or tool tip shows of its text: Qt renders a text it takes for markup.
QString rendered(const QString& text, Qt::TextFormat format = Qt::AutoText)
{
    const bool rich =
        format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(text));
    return rich ? QTextDocumentFragment::fromHtml(text).toPlainText() : text;
}

// Whether part shows the name: whole, or its beginning cut short with "…" for want of room.
bool showsName(const QString& part, const QString& name)
{
    return part == name ||
           (part.size() > 1 && part.endsWith("…") && name.startsWith(part.chopped(1)));
}

// What a menu shows of an entry's text: each "&" marks the next character as its shortcut.
QString menuShows(QString text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] == '&') text.remove(i, 1);
    return text;
}

constexpr qint64 kNow = 1'700'000'000'000; // 2023-11-14 22:13:20 UTC

} // namespace

class TestConnectWindow : public QObject
{
    Q_OBJECT
    FakeTime time{kNow};
    QTemporaryDir root;

    static int selectedRow(ConnectWindow& w) { return w.table->selectedRanges().value(0).topRow(); }

private slots:
    void initTestCase() // this computer is set up with 192.0.2.9
    {
        qputenv("TESSAVEL_CONNECT_TEST_ROOT", root.path().toUtf8());
        qputenv("TV_RECORD_FILE", root.filePath("args").toUtf8());
        QDir().mkpath(QFileInfo(Engine::Paths::jobPlist()).path());
        QFile job(Engine::Paths::jobPlist());
        QVERIFY(job.open(QIODevice::WriteOnly));
        job.write("<plist><dict><key>ProgramArguments</key><array><string>--server</string>"
                  "<string>192.0.2.9</string></array></dict></plist>\n");
    }

    void serverRules_data()
    {
        QTest::addColumn<QString>("flags");
        QTest::addColumn<bool>("inUse");
        QTest::addColumn<QString>("word");
        QTest::addColumn<int>("tone");
        QTest::addColumn<int>("ready");       // what the server adds to the ready count
        QTest::addColumn<QString>("tooltip"); // "" : can be set up with
        const QString notReady = "This server is not ready yet.";
        const QString inUse = "This computer is already set up with this server.";
        const QString here = "This server is on this computer, and this version of it cannot be "
                             "followed from here. Update Tessavel Server.";
        QTest::newRow("ready") << "san" << false << "READY" << 0 << 1 << "";
        QTest::newRow("in use even when not synced") << "a" << true << "IN USE" << 1 << 0 << inUse;
        QTest::newRow("unsteady server here")
            << "sant" << false << "THIS COMPUTER" << 4 << 0 << here;
        QTest::newRow("steady server here") << "santy" << false << "READY" << 0 << 1 << "";
        QTest::newRow("not accepting before not synced")
            << "n" << false << "NOT ACCEPTING" << 4 << 0 << notReady;
        QTest::newRow("not synced") << "an" << false << "NOT SYNCED YET" << 4 << 0 << notReady;
        QTest::newRow("silent, yet can be set up")
            << "sa" << false << "NOT ANSWERING" << 4 << 0 << "";
    }

    void serverRules()
    {
        QFETCH(QString, flags);
        QFETCH(bool, inUse);
        const DiscoveredServer s = server("a", "10.0.0.5", flags.toLatin1());
        const QString current = inUse ? s.address : QString("10.0.0.6");
        InstChip::Tone tone = InstChip::Go;
        QTEST(serverStatusWord(s, current, &tone), "word");
        QTEST(int(tone), "tone");
        QTEST(readyCount({s}), "ready");
        QTEST(setupTooltip(&s, current), "tooltip");
        QCOMPARE(canSetUpWith(s, current), setupTooltip(&s, current).isEmpty());
    }

    void clockPanel_data()
    {
        QTest::addColumn<ClockState>("state");
        QTest::addColumn<qint64>("offsetMs");      // server minus this clock; 0x7fff…: no answer
        QTest::addColumn<qint64>("lastSyncAgoMs"); // -1: never
        QTest::addColumn<qint64>("heardAgoMs");
        QTest::addColumn<QString>("texts"); // status | offset | last sync | heard
        const qint64 none = std::numeric_limits<qint64>::max();
        QTest::newRow("never synced, no server")
            << ClockState::None << none << -1ll << -1ll << "No server||never|never";
        QTest::newRow("in sync, sign never shown")
            << ClockState::Sync << -1234ll << 5000ll << 99'999ll
            << "In sync - Lab|1.234 s|22:13:15|99 s ago";
        QTest::newRow("off and ahead, offset as a span")
            << ClockState::Off << -12'345ll << 3'600'000ll << 100'000ll
            << "Clock is off - 12 s ahead of Lab|12 s|21:13:20|1 min ago";
        QTest::newRow("off and behind, under ten seconds")
            << ClockState::Off << 9999ll << 3'600'000ll << 0ll
            << "Clock is off - 9 s behind Lab|9.999 s|21:13:20|0 s ago";
        QTest::newRow("lost, synced on an earlier day")
            << ClockState::Lost << none << 2 * 86'400'000ll << -1ll
            << "Server not heard - Last synced 2 days ago||12 Nov 2023|no answer";
        QTest::newRow("wrong")
            << ClockState::Wrong << 5ll << 3000ll << 1000ll
            << "Clock wrong - Earlier than its last sync|0.005 s|22:13:17|1 s ago";
    }

    void clockPanel()
    {
        QFETCH(ClockState, state);
        QFETCH(qint64, offsetMs);
        QFETCH(qint64, lastSyncAgoMs);
        const bool answered = offsetMs != std::numeric_limits<qint64>::max();
        const qint64 last = lastSyncAgoMs < 0 ? 0 : kNow - lastSyncAgoMs;
        QFETCH(qint64, heardAgoMs);
        const ClockPanelView v = clockPanelView({state,
                                                 {kNow, answered, answered ? offsetMs : 0, last},
                                                 "Lab",
                                                 state != ClockState::None,
                                                 heardAgoMs});
        QTEST(QStringList({v.status, (v.offset + " " + v.offsetUnit).trimmed(), v.lastSync,
                           (v.heard + " " + v.heardUnit).trimmed()})
                  .join('|'),
              "texts");
        QCOMPARE(v.ledBad, state == ClockState::Wrong);
        QVERIFY(v.dateLine.startsWith("Tuesday, November 14, 2023  ·  "));
    }

    void listKeepsSelectionAndQuietText()
    {
        auto watcher = stillWatcher(time);
        ConnectWindow w(watcher.get());
        QVERIFY(w.syncButton->isEnabled() && w.removeButton->isEnabled());

        // Watching off takes the login switch with it, without telling the application.
        QSignalSpy login(&w, &ConnectWindow::startAtLoginToggled);
        w.setWatching(true);
        w.setStartAtLogin(true);
        w.watchToggle->click();
        QVERIFY(!w.loginToggle->isChecked() && !w.loginToggle->isEnabled());
        QCOMPARE(login.size(), 0);
        QCOMPARE(w.watchNote->text(), QString("Optional"));

        // Only one row can be set up with: it is selected by itself.
        const QList<DiscoveredServer> first{server("here", "127.0.0.1", "sant"),
                                            server("used", "192.0.2.9", "san"),
                                            server("b", "192.0.2.7", "san")};
        w.onFound(first);
        QCOMPARE(selectedRow(w), 2);
        QCOMPARE(w.statusLine->text(), QString("Found 3 servers (2 ready)."));
        QCOMPARE(w.table->cellWidget(1, 3)->findChild<InstChip*>()->text(), QString("IN USE"));
        QVERIFY(w.setupLine->text().startsWith("Set up. This computer syncs with Server used "));
        QCOMPARE(QSettings().value("server/name").toString(), QString("Server used"));

        // The selected server stays selected by its id after it moved.
        const QList<DiscoveredServer> moved{server("b", "192.0.2.7", "san"),
                                            server("c", "192.0.2.8", "san")};
        w.onFound(moved);
        w.table->selectRow(0);
        w.onFound(QList<DiscoveredServer>{moved[1], moved[0]});
        QCOMPARE(selectedRow(w), 1);
        int shown = 0; // the replaced chips wait for deletion: none may show
        for (InstChip* c : w.table->findChildren<InstChip*>())
            shown += !c->parentWidget()->isHidden();
        QCOMPARE(shown, 2);
        QCOMPARE(w.statusLine->text(), QString("Found 2 servers (2 ready)."));
        w.table->clearSelection();
        w.onFound(moved);
        QCOMPARE(
            w.statusLine->text(),
            QString("Found 2 servers (2 ready). Select one, then click Set up this computer."));

        // A quiet refresh leaves a flow's word alone unless the list's text changed.
        w.statusLine->setText("Asked this computer to sync now.");
        w.quietRefresh = true;
        w.onFound(moved);
        QCOMPARE(w.statusLine->text(), QString("Asked this computer to sync now."));
        w.quietRefresh = true;
        w.onFound({});
        QCOMPARE(w.statusLine->text(),
                 QString("No servers found. Turn on \"Advertise on network\" on "
                         "the server, or use \"Enter IP address…\"."));
    }

    void searchAskedDuringAQuietRefresh()
    {
        // Back after a minute hidden, the window refreshes quietly; a search asked for now (the
        // alert's "Search for a server") must show as one, though no second scan starts.
        auto watcher = stillWatcher(time);
        ConnectWindow w(watcher.get());
        w.show();
        QTRY_VERIFY_WITH_TIMEOUT(!w.discovery->isScanning(), 5000);
        w.hide();
        w.sinceList.invalidate(); // the list counts as a minute old
        w.show();
        QVERIFY(w.quietRefresh && w.discovery->isScanning());
        w.startScan();
        QCOMPARE(w.statusLine->text(), QString("Searching for time servers…"));
        QTRY_VERIFY_WITH_TIMEOUT(!w.discovery->isScanning(), 5000);
        QVERIFY(w.statusLine->text().startsWith("No servers found."));
    }

    void flows()
    {
        // A silent server: the warning, then "Set up anyway" leads to the question.
        auto watcher = stillWatcher(time);
        ConnectWindow w(watcher.get());
        w.onFound({server("q", "127.0.0.1", "san")});
        QStringList seen;
        answerNext(&seen, "Set up anyway");
        answerNext(&seen, "Cancel");
        w.setupSelected();
        // The address first, the name apart on a line of its own: no name can pass for it.
        QCOMPARE(seen, QStringList({"Tessavel Veridir | The server at 127.0.0.1 did not answer a "
                                    "time request just now.\n\nIts name on the network: \"Server "
                                    "q\" | It may have a new address, or not be serving time yet. "
                                    "Search again to find it where it is now. | Search again "
                                    "(Accept), Cancel (Reject), Set up anyway (Destructive) | "
                                    "Search again | Cancel",
                                    "Set up syncing | Set this computer to sync its clock with the "
                                    "server at 127.0.0.1?\n\nIts name on the network: \"Server "
                                    "q\"\n\nYou'll be asked for an administrator password. |  | "
                                    "OK (Accept), Cancel (Reject) |  | Cancel"}));
    }

    // Names anyone on the network can give a server, through every place that shows one.
    void hostileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("saved"); // read back from the settings at start, not heard
        const QString endless = "<img src=\"file:///dev/zero\">";
        const QString fake = "Studio clock\" (192.0.2.2)? …<span style=\"font-size:1px\">";
        const QString link = "<a href=\"https://x\">x</a>";
        const QString cut = QString(63, 'W') + "…";
        QTest::newRow("an image of an endless file") << endless << endless << false;
        QTest::newRow("an image of a private file") << "<img src=\"file:///etc/passwd\">"
                                                    << "<img src=\"file:///etc/passwd\">" << false;
        QTest::newRow("a fake address, the rest in hidden type") << fake << fake << false;
        QTest::newRow("a link") << link << link << false;
        QTest::newRow("a right-to-left override") << "Lab \u202e1.2.0.291"
                                                  << "Lab 1.2.0.291" << false;
        QTest::newRow("zero-width characters") << "Lab\u200b\u200d clock\u2060\ufeff"
                                               << "Lab clock" << false;
        QTest::newRow("an ampersand") << "R&D"
                                      << "R&D" << false;
        QTest::newRow("line breaks and controls shown") << "Lab\nclock\t\u2028"
                                                        << "Lab\ufffdclock\ufffd\ufffd" << false;
        QTest::newRow("the longest name an answer carries") << QString(960, 'W') << cut << false;
        const QString face = "\U0001F600"; // two UTF-16 units: cut whole
        QTest::newRow("faces cut whole") << face.repeated(40) << face.repeated(31) + "…" << false;
        QTest::newRow("saved, read back at start") << endless + "\u202e" << endless << true;
        QTest::newRow("saved, ten thousand characters") << QString(10'000, 'W') << cut << true;
    }

    void hostileNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        QFETCH(bool, saved);
        auto calm = stillWatcher(time); // beside a window with a short name
        ConnectWindow usual(calm.get());
        usual.onFound({announced("Lab", "192.0.2.9")});
        calm->state = ClockState::Sync;
        emit calm->changed();
        QSettings settings;
        settings.remove("server");
        if (saved) {
            settings.setValue("server/address", "192.0.2.9"); // the server in use
            settings.setValue("server/name", name);
        }
        auto watcher = stillWatcher(time);
        ConnectWindow w(watcher.get());
        if (!saved) w.onFound({announced(name, "192.0.2.9")});
        watcher->state = ClockState::Sync;
        emit watcher->changed();
        ClientTray tray(watcher.get(), nullptr);
        AlertWindow alert(watcher.get());

        QCOMPARE(w.setupLine->textFormat(), Qt::PlainText);
        QVERIFY(showsName(w.setupLine->text().section("syncs with ", 1).section(" on its", 0, 0),
                          shown));
        InstChip* detail = w.status->detailChip();
        QVERIFY(showsName(detail->text(), shown.toUpper()));
        if (!saved) QCOMPARE(w.table->item(0, 0)->text(), shown);
        QCOMPARE(menuShows(tray.contextMenu()->actions()[0]->text()), "In sync · " + shown);
        QCOMPARE(rendered(tray.icon()->toolTip()), "Tessavel Veridir: In sync · " + shown);
        int named = 0; // the alert's sentence, the one of its labels that names the server here
        for (const QLabel* l : alert.findChildren<QLabel*>()) {
            const QString text = rendered(l->text(), l->textFormat());
            named += l->textFormat() != Qt::AutoText &&
                     showsName(text.section(", with ", 1).section(". A clock", 0, 0), shown);
        }
        QCOMPARE(named, 1);
        // No name widens the window.
        QVERIFY(w.minimumSizeHint().width() <= usual.minimumSizeHint().width());
        QVERIFY(w.sizeHint().width() <= usual.sizeHint().width());
        if (saved) return;

        // The boxes, with a second server of that name to set up with.
        w.onFound({announced(name, "192.0.2.9"), announced(name, "127.0.0.1")});
        QList<Dialogs::Seen> boxes;
        for (QString button : {"Set up anyway", "Cancel"})
            Dialogs::answerNext([&boxes, button](const Dialogs::Seen& s) {
                boxes << s;
                return Dialogs::Answer{button, {}};
            });
        w.setupSelected();
        QCOMPARE(boxes.size(), 2);
        for (const Dialogs::Seen& s : boxes) {
            QVERIFY(s.plain);
            QVERIFY(s.text.contains("\n\nIts name on the network: \"" + shown + "\""));
        }
    }

    void adminSteps_data() // through the password prompt to the recording tool
    {
        QTest::addColumn<QString>("step");     // "sync here": while following this computer's own
        QTest::addColumn<QStringList>("tool"); // its output, its errors, its exit status
        QTest::addColumn<QString>("ran");      // its words
        QTest::addColumn<QString>("seen");     // the status line, then any box after a question
        const QString silent = "tessavel-connect-result: no-answer",
                      sync = "install --server 192.0.2.9";
        QTest::newRow("sync now through the password prompt")
            << "sync" << QStringList{"", "", "0"} << sync << "Synced with 192.0.2.9.";
        QTest::newRow("sync now, the server silent")
            << "sync" << QStringList{silent, "", "0"} << sync
            << "192.0.2.9 did not answer a time request.";
        QTest::newRow("sync now failing: the status line only")
            << "sync" << QStringList{"", "error: no", "1"} << sync << "The sync did not complete.";
        QTest::newRow("sync now, its own unsteady server followed: nothing runs")
            << "sync here" << QStringList{"", "", "0"} << QString() << QString();
        QTest::newRow("set up, the server silent: the did-not-answer box")
            << "install" << QStringList{silent, "", "0"} << "install --server 10.0.0.5"
            << "Set up, but 10.0.0.5 did not answer.\nTessavel Veridir | 10.0.0.5 did not answer a "
               "time request.\n\nThis computer is set up and keeps trying at startup and every 30 "
               "minutes. Check the address, and that Tessavel Server is running there. To undo "
               "the setup, click Remove…. |  | OK (Accept) |  | OK";
        QTest::newRow("removal failing: the tool's error in a box")
            << "remove" << QStringList{"", "error: the job stayed.", "1"} << "remove"
            << "Removal did not complete.\nTessavel Veridir | 0:N: execution error: error: the job "
               "stayed. (1) |  | OK (Accept) |  | OK";
    }

    void adminSteps()
    {
        QFETCH(QString, step);
        QFETCH(QStringList, tool);
        for (const char* name : {"TV_RECORD_OUT", "TV_RECORD_ERR", "TV_RECORD_EXIT"})
            qputenv(name, tool.takeFirst().toUtf8());
        QFile::remove(root.filePath("args"));
        auto watcher = stillWatcher(time);
        ConnectWindow w(watcher.get());
        watcher->serverIsThisComputer = step == "sync here";
        QStringList seen;
        if (!step.startsWith("sync"))
            answerNext(&seen, step == "remove" ? "Remove" : "OK", "10.0.0.5");
        answerNext(&seen, "OK");
        step == "remove" ? w.removeSetup() : step == "install" ? w.setupManual() : w.syncNow();
        QString got =
            (QStringList{w.statusLine->text()} + seen.mid(!step.startsWith("sync"))).join('\n');
        for (QMessageBox rest; Dialogs::hasPendingAnswers();)
            Dialogs::exec(rest); // an unused "OK"
        QTEST(got.replace(QRegularExpression("\\| 0:\\d+:"), "| 0:N:"), "seen");
        QFile args(root.filePath("args")); // NUL-ended words after the tool's path
        args.open(QIODevice::ReadOnly);    // none when nothing ran
        QTEST(QString(args.readAll()).section(QChar(0), 1, -2).replace(QChar(0), ' '), "ran");
    }

    void typedAddress_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("warning"); // "": goes on to the administrator step
        const QString notIpv4 = "That doesn't look like an IPv4 address. Enter it in the form "
                                "10.0.0.5.";
        const QString enter = " Enter the address of your Tessavel server on the network.";
        QTest::newRow("three parts") << "10.0.0" << notIpv4;
        QTest::newRow("leading zero: never read as octal 8.0.0.1")
            << "010.0.0.1"
            << "010.0.0.1 has a number with a leading zero, which some read as octal. Enter the "
               "numbers without leading zeros, in the form 10.0.0.5.";
        QTest::newRow("unspecified")
            << "0.0.0.0"
            << "0.0.0.0 stands for no address in particular, not for a server." + enter;
        QTest::newRow("broadcast") << "255.255.255.255"
                                   << "255.255.255.255 is the broadcast address: it reaches every "
                                      "computer on the network, not one server." +
                                          enter;
        const QString multicast =
            " is a multicast address: it names a group of computers, not one server." + enter;
        QTest::newRow("multicast, highest") << "239.255.255.255"
                                            << "239.255.255.255" + multicast;
        QTest::newRow("below multicast") << "223.255.255.255"
                                         << "";
        QTest::newRow("loopback, anywhere in 127/8")
            << "127.1.2.3"
            << "127.1.2.3 is a loopback address: it always means this computer "
               "itself." +
                   enter;
        QTest::newRow("spaces around an address") << " 10.0.0.5 "
                                                  << "";
    }

    void typedAddress()
    {
        QFETCH(QString, typed);
        QFETCH(QString, warning);
        auto watcher = stillWatcher(time);
        ConnectWindow w(watcher.get());
        QStringList seen;
        answerNext(&seen, "OK", typed);
        if (!warning.isEmpty()) answerNext(&seen, "OK");
        // A cancelled prompt: the status line says so and no box follows.
        qputenv("TESSAVEL_OSASCRIPT_CANCEL", "1");
        w.setupManual();
        qunsetenv("TESSAVEL_OSASCRIPT_CANCEL");
        QVERIFY(!Dialogs::hasPendingAnswers());
        QCOMPARE(warning.isEmpty() ? w.statusLine->text() : seen.value(1),
                 warning.isEmpty() ? QString("Setup did not complete.")
                                   : "Tessavel Veridir | " + warning + " |  | OK (Accept) |  | OK");
    }
};

QTEST_MAIN(TestConnectWindow)
#include "tst_connectwindow.moc"
