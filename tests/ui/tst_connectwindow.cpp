// The main window against a still watcher, its flows answered through the dialogs seam; the
// setup is whatever job file the test leaves in its own test root.

#include "tests/ui/uitest.h"
#include "ui/alertwindow.h"
#include "ui/clienttray.h"
#include "ui/clockpanel.h"
#include "ui/connectwindow.h"
#include "ui/serverlist.h"

#include "discovery/app/discoveryanswer.h"
#include "discovery/app/serveraddress.h"
#include "inst/inststatus.h"
#include "net/datagram.h"

#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QRegularExpression>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QTextDocumentFragment>

namespace {

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

// A window on a watcher that stands still, in a state the test sets, recording its history.
struct Window
{
    FakeTime time{1'700'000'000'000};
    QTemporaryDir dir;
    ClockHistory history{dir.filePath("history.sqlite")};
    std::unique_ptr<ClockWatcher> watcher = stillWatcher(time);
    ConnectWindow w{watcher.get()};
    Window() { watcher->setHistory(&history); }
    QString status() const { return w.serverList()->statusLine()->text(); }
    QStringList syncsRecorded() const // where each recorded "Sync now" was asked
    {
        QStringList where;
        for (const HistoryEvent& e : history.chart(0, time.utc + 1, 1).events)
            if (e.kind == HistoryEventKind::SyncNow) where << e.detail;
        return where;
    }
    void set(ClockState state)
    {
        watcher->state = state;
        emit watcher->changed();
        w.updateStatus(); // a hidden window draws only when it shows or is asked
    }
};

// What the recording tool answers: done, set up but the server silent, or failing; or the
// password prompt before it cancelled.
enum class Tool { Done, Silent, Fails, Cancelled };
enum class Step { Sync, SyncChasingItsOwn, Manual, ManualRefused, Remove };

} // namespace

class TestConnectWindow : public QObject
{
    Q_OBJECT
    QTemporaryDir root;

private slots:
    void initTestCase() // this computer is set up with 192.0.2.9
    {
        qputenv("TESSAVEL_CONNECT_TEST_ROOT", root.path().toUtf8());
        qputenv("TV_RECORD_FILE", root.filePath("args").toUtf8());
        QVERIFY(setUpWith("192.0.2.9"));
    }
    void init() { boxesSeen().clear(); }
    void cleanup() { dropAnswers(); }

    void listedServerInUseIsRemembered()
    {
        Window t;
        t.w.onFound({announced("Lab", "192.0.2.9")});
        QCOMPARE(t.watcher->serverName, QString("Lab"));
        QCOMPARE(QSettings().value("server/name").toString(), QString("Lab"));
        QVERIFY(labelStarting(&t.w, "Set up. This computer syncs with Lab on its own, at "));
    }

    void watchingOffTakesStartAtLogin()
    {
        Window t;
        QAbstractButton* login = buttonNamed(&t.w, "Start Veridir at login");
        QSignalSpy loginFlips(&t.w, &ConnectWindow::startAtLoginToggled);
        t.w.setWatching(true);
        t.w.setStartAtLogin(true);
        t.w.setCanStartAtLogin(false);
        QVERIFY(labelStarting(&t.w, "Moves Veridir to Applications first"));
        buttonNamed(&t.w, "Keep watching in the menu bar")->click();
        QVERIFY(!login->isChecked());
        QVERIFY(!login->isEnabled());
        QCOMPARE(loginFlips.size(), 0); // the application is not told
    }

    // Names anyone on the network can give a server, through every place that shows one.
    void hostileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("saved"); // read back from the settings at start, not heard
        const QString image = "<img src=\"file:///dev/zero\">", amp = "R&D";
        const QString cut = QString(63, 'W') + "…", face = "\U0001F600"; // two UTF-16 units
        QTest::newRow("an image of an endless file") << image << image << false;
        QTest::newRow("a right-to-left override, zero-width characters")
            << "Lab \u202e1.2.0.291\u200b\u200d\u2060\ufeff"
            << "Lab 1.2.0.291" << false;
        QTest::newRow("an ampersand") << amp << amp << false;
        QTest::newRow("line breaks and controls shown") << "Lab\nclock\t\u2028"
                                                        << "Lab\ufffdclock\ufffd\ufffd" << false;
        QTest::newRow("the longest name an answer carries") << QString(960, 'W') << cut << false;
        QTest::newRow("faces cut whole") << face.repeated(40) << face.repeated(31) + "…" << false;
        QTest::newRow("saved, read back at start by the same rules")
            << "\u202e" + QString(10'000, 'W') << cut << true;
    }

    void hostileNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        QFETCH(bool, saved);
        Window usual; // beside a window with a short name
        usual.w.onFound({announced("Lab", "192.0.2.9")});
        usual.set(ClockState::Sync);
        QSettings settings;
        settings.remove("server");
        if (saved) {
            settings.setValue("server/address", "192.0.2.9"); // the server in use
            settings.setValue("server/name", name);
        }
        Window t;
        if (!saved) t.w.onFound({announced(name, "192.0.2.9")});
        t.set(ClockState::Sync);
        ClientTray tray(t.watcher.get(), nullptr);
        AlertWindow alert(t.watcher.get());

        const QLabel* setupLine = labelStarting(&t.w, "Set up. ");
        QCOMPARE(setupLine->textFormat(), Qt::PlainText);
        QVERIFY(
            showsName(setupLine->text().section("syncs with ", 1).section(" on its", 0, 0), shown));
        InstChip* detail = t.w.clockPanel()->statusChips()->detailChip();
        QVERIFY(showsName(detail->text(), shown.toUpper()));
        if (!saved) QCOMPARE(t.w.serverList()->table()->item(0, 0)->text(), shown);
        // A menu takes each "&" for the mark of a shortcut, shown as the next character alone.
        QString entry = tray.contextMenu()->actions()[0]->text();
        QCOMPARE(entry.replace(QRegularExpression("&(.)"), "\\1"), "In sync · " + shown);
        QCOMPARE(rendered(tray.icon()->toolTip()), "Tessavel Veridir: In sync · " + shown);
        int named = 0; // the alert's sentence, the one of its labels that names the server here
        for (const QLabel* l : alert.findChildren<QLabel*>()) {
            const QString text = rendered(l->text(), l->textFormat());
            named += l->textFormat() != Qt::AutoText &&
                     showsName(text.section(", with ", 1).section(". A clock", 0, 0), shown);
        }
        QCOMPARE(named, 1);
        // No name widens the window.
        QVERIFY(t.w.minimumSizeHint().width() <= usual.w.minimumSizeHint().width());
        QVERIFY(t.w.sizeHint().width() <= usual.w.sizeHint().width());
        if (saved) return;

        // The boxes, with a second server of that name to set up with: the address first, the
        // name apart on a line of its own, where no name can pass for it.
        t.w.onFound({announced(name, "192.0.2.9"), announced(name, "127.0.0.1")});
        answerNext("Set up anyway");
        answerNext("Cancel");
        t.w.setupSelected();
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr); // the wait is over
        const QString nameLine = "\n\nIts name on the network: \"" + shown + "\"";
        const Dialogs::Seen silent = boxesSeen().value(0), ask = boxesSeen().value(1);
        QCOMPARE(silent.text,
                 "The server at 127.0.0.1 did not answer a time request just now." + nameLine);
        QCOMPARE(silent.buttons, QStringList({"Search again (Accept)", "Cancel (Reject)",
                                              "Set up anyway (Destructive)"}));
        QCOMPARE(silent.defaultButton, "Search again");
        QCOMPARE(ask.text, "Set this computer to sync its clock with the server at 127.0.0.1?" +
                               nameLine + "\n\nYou'll be asked for an administrator password.");
        QVERIFY(silent.plain && ask.plain);
    }

    void adminSteps_data() // through the password prompt to the recording tool
    {
        QTest::addColumn<Step>("step");
        QTest::addColumn<Tool>("tool");
        QTest::addColumn<QString>("ran");    // the tool's words; none: it did not run
        QTest::addColumn<QString>("status"); // the status line
        QTest::addColumn<QString>("box");    // the box after any question; none: no box
        const QString sync = "install --server 192.0.2.9", none;
        const QString manual = "install --server 10.0.0.5";
        QTest::newRow("sync now through the password prompt")
            << Step::Sync << Tool::Done << sync << "Synced with 192.0.2.9." << none;
        QTest::newRow("sync now, the server silent")
            << Step::Sync << Tool::Silent << sync << "192.0.2.9 did not answer a time request."
            << none;
        QTest::newRow("sync now failing: the status line only")
            << Step::Sync << Tool::Fails << sync << "The sync did not complete." << none;
        QTest::newRow("sync now, its own unsteady server followed: nothing runs")
            << Step::SyncChasingItsOwn << Tool::Done << none << none << none;
        QTest::newRow("set up, the server silent: the did-not-answer box")
            << Step::Manual << Tool::Silent << manual << "Set up, but 10.0.0.5 did not answer."
            << "10.0.0.5 did not answer a time request.\n\nThis computer is set up and keeps "
               "trying at startup and every 30 minutes. Check the address, and that Tessavel "
               "Server is running there. To undo the setup, click Remove….";
        QTest::newRow("set up, the password prompt cancelled: no box")
            << Step::Manual << Tool::Cancelled << none << "Setup did not complete." << none;
        QTest::newRow("set up with a typed address refused: nothing runs")
            << Step::ManualRefused << Tool::Done << none << none
            << "That doesn't look like an IPv4 address. Enter it in the form 10.0.0.5.";
        QTest::newRow("removed, the earlier settings not saved: back to the platform's server")
            << Step::Remove << Tool::Done << "remove"
            << "Removed — no longer syncing with 192.0.2.9."
            << "This computer no longer syncs with 192.0.2.9. Its time settings are back to "
               "Apple's time server (time.apple.com).";
        QTest::newRow("removal failing: the tool's error in a box")
            << Step::Remove << Tool::Fails << "remove"
            << "Removal did not complete."
            << "0:N: execution error: error: the job stayed. (1)";
    }

    void adminSteps()
    {
        QFETCH(Step, step);
        QFETCH(Tool, tool);
        qputenv("TV_RECORD_OUT", tool == Tool::Silent ? "tessavel-connect-result: no-answer" : "");
        qputenv("TV_RECORD_ERR", tool == Tool::Fails ? "error: the job stayed." : "");
        qputenv("TV_RECORD_EXIT", tool == Tool::Fails ? "1" : "0");
        qputenv("TESSAVEL_OSASCRIPT_CANCEL", tool == Tool::Cancelled ? "1" : "");
        QFile::remove(root.filePath("args"));
        Window t;
        const bool chasing = step == Step::SyncChasingItsOwn;
        t.watcher->serverIsThisComputer = chasing;
        emit t.w.serverList()->selectionChanged(); // the buttons follow
        QCOMPARE(buttonNamed(&t.w, "Sync now")->isEnabled(), !chasing);
        QCOMPARE(labelStarting(&t.w, "This computer is set up to follow")->isHidden(), !chasing);
        const bool asks = step == Step::Manual || step == Step::ManualRefused;
        if (asks) answerNext("OK", step == Step::Manual ? " 10.0.0.5 " : "10.0.0");
        if (step == Step::Remove) answerNext("Remove");
        answerNext("OK");
        step == Step::Remove ? t.w.removeSetup() : asks ? t.w.setupManual() : t.w.syncNow();
        if (step == Step::Remove) QCOMPARE(boxesSeen().value(0).defaultButton, "Cancel");
        QTEST(t.status(), "status");
        QString box = boxesSeen().value(asks || step == Step::Remove).text;
        QTEST(box.replace(QRegularExpression("^0:\\d+:"), "0:N:"), "box");
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr); // the wait is over
        QVERIFY(buttonNamed(&t.w, "Enter IP address…")->isEnabled());
        QFile args(root.filePath("args")); // NUL-ended words after the tool's path
        args.open(QIODevice::ReadOnly);    // none when nothing ran
        QTEST(QString(args.readAll()).section(QChar(0), 1, -2).replace(QChar(0), ' '), "ran");
        QCOMPARE(t.syncsRecorded(),
                 step == Step::Sync ? QStringList{"from the main window"} : QStringList{});
    }

    // Nothing is drawn while hidden, and the window reads the clock's state as it shows.
    void hiddenWindowCatchesUpAsItShows()
    {
        Window t;
        t.w.show();
        t.w.hide();
        const InstStatus* chips = t.w.clockPanel()->statusChips();
        const QString before = chips->text();
        t.watcher->lastSyncUtcMs = t.time.utc + 60'000;
        t.watcher->state = ClockState::Wrong;
        emit t.watcher->changed();
        QCoreApplication::processEvents();
        QCOMPARE(chips->text(), before);
        t.w.show();
        QCOMPARE(chips->text(), "Clock wrong - Earlier than its last sync");
    }

    void typedAddress_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("address"); // none: refused
        QTest::addColumn<QString>("error");
        const QString none, enter = " Enter the address of your Tessavel server on the network.";
        QTest::newRow("below multicast") << "223.255.255.255"
                                         << "223.255.255.255" << none;
        QTest::newRow("multicast, highest")
            << "239.255.255.255" << none
            << "239.255.255.255 is a multicast address: it names a group of computers, not one "
               "server." +
                   enter;
        QTest::newRow("a host name")
            << "time.example.org" << none
            << "That doesn't look like an IPv4 address. Enter it in the form 10.0.0.5.";
        QTest::newRow("leading zero: never read as octal 8.0.0.1")
            << "010.0.0.1" << none
            << "010.0.0.1 has a number with a leading zero, which some read as octal. Enter the "
               "numbers without leading zeros, in the form 10.0.0.5.";
        QTest::newRow("unspecified")
            << "0.0.0.0" << none
            << "0.0.0.0 stands for no address in particular, not for a server." + enter;
        QTest::newRow("broadcast") << "255.255.255.255" << none
                                   << "255.255.255.255 is the broadcast address: it reaches every "
                                      "computer on the network, not one server." +
                                          enter;
        QTest::newRow("loopback, anywhere in 127/8")
            << "127.1.2.3" << none
            << "127.1.2.3 is a loopback address: it always means this computer itself." + enter;
    }

    void typedAddress()
    {
        QFETCH(QString, typed);
        QString error;
        QTEST(typedServerAddress(typed, &error), "address");
        QTEST(error, "error");
    }
};

QTEST_MAIN(TestConnectWindow)
#include "tst_connectwindow.moc"
