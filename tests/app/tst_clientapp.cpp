#include "app/clientapp.h"
#include "app/platform/platform.h"
#include "clock/clockwatcher.h"
#include "contract/contract.h"
#include "engine/enginepaths.h"
#include "engine/enginetesting.h"
#include "tests/ui/uitest.h"
#include "ui/alertwindow.h"
#include "ui/connectwindow.h"

#include <QLocalServer>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

class TestClientApp : public QObject
{
    Q_OBJECT
    QTemporaryDir home;

public:
    enum Squat { OpenRuntime, RootsRuntime, OwnLink, File, Folder, SilentInTmp };
    Q_ENUM(Squat)
    enum Place { Outside, CopyThere, Blocked, Inside }; // where the program lies, and its home
    Q_ENUM(Place)

private slots:
    void initTestCase()
    {
        // Settings, autostart entry, socket and tool paths stay in here, for the program too.
        qputenv("TESSAVEL_CONNECT_TEST_ROOT", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.filePath("config"));
    }

    void init()
    {
        for (const char* name : {"HOME", "TMPDIR"})
            qputenv(name, home.path().toUtf8());
        qunsetenv("XDG_RUNTIME_DIR"); // the socket in a folder of its own in TMPDIR
        unregisterLoginItem();
        QSettings().remove("clock");
        dropAnswers();
        boxesSeen().clear();
    }

    void secondCopyShowsTheFirst()
    {
        QLocalServer* server = nullptr;
        QCOMPARE(ClientApp::claimSingleInstance(&server), ClientApp::Instance::Running);
        ClientApp first(false);
        first.adoptSingleInstance(server);
        first.mainWindow()->hide();

        // The kernel takes the connection while this loop waits; 1.5 s: the 300 ms and a start.
        QProcess second;
        second.start(TV_APP_PROGRAM, {});
        QVERIFY(second.waitForFinished(1500));
        QCOMPARE(second.exitCode(), 0);
        QTRY_VERIFY(first.mainWindow()->isVisible());
    }

    // The socket lies in the runtime folder when that is this user's alone, else in a folder
    // that the program makes in the temporary folder, never in one that another made.
    void singleInstance_data()
    {
        QTest::addColumn<Squat>("squat");
        QTest::addColumn<QString>("listensIn"); // "run": the runtime folder, "own": its own
        QTest::addColumn<QString>("error");     // why it does not start; %1: the path it names

        const QString alone = "The folder %1 is not this user's alone.";
        QTest::newRow("a silent socket in TMPDIR: no copy") << SilentInTmp << "run" << QString();
        QTest::newRow("runtime folder that others may enter") << OpenRuntime << "own" << QString();
        QTest::newRow("runtime folder root's, of mode 0700") << RootsRuntime << "own" << QString();
        QTest::newRow("no runtime folder, own one a link") << OwnLink << "" << alone;
        QTest::newRow("a stale file in the socket's place: removed") << File << "run" << QString();
        QTest::newRow("a folder in the socket's place") << Folder << ""
                                                        << "Its socket %1 could not be made (";
    }

    void singleInstance()
    {
        QFETCH(Squat, squat);
        QFETCH(QString, listensIn);
        QFETCH(QString, error);
        const QTemporaryDir tmp(QDir::tempPath() + "/t-XXXXXX"); // a socket's path is short
        const QString run = tmp.filePath("run"), name = "/com.tessavel.connect.app.instance";
        const QString own = tmp.filePath("tessavel-veridir-" + QString::number(getuid()));
        QCOMPARE(::mkdir(QFile::encodeName(run), squat == OpenRuntime ? 0755 : 0700), 0);
        QLocalServer squatter;
        if (squat == OwnLink) QVERIFY(QFile::link(run, own));
        if (squat == File) QVERIFY(QFile(run + name).open(QIODevice::WriteOnly));
        if (squat == Folder) QVERIFY(QDir().mkpath(run + name + "/inside"));
        if (squat == SilentInTmp) QVERIFY(squatter.listen(tmp.path() + name));
        const QString runtime = squat == OwnLink ? "" : squat == RootsRuntime ? "/root" : run;
        qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
        qputenv("TMPDIR", tmp.path().toUtf8());

        QLocalServer* server = nullptr;
        QString said;
        const ClientApp::Instance claim = ClientApp::claimSingleInstance(&server, &said);
        const std::unique_ptr<QLocalServer> running(server);
        const QString folder = listensIn == "run" ? run : listensIn == "own" ? own : "";
        QCOMPARE(server ? QFileInfo(server->fullServerName()).path() : "", folder);
        QCOMPARE(claim,
                 error.isEmpty() ? ClientApp::Instance::Running : ClientApp::Instance::Unsure);
        error = error.arg(squat == Folder ? run + name : own);
        QCOMPARE(said.section("\n\n", 1).left(error.size()), error);
    }

    void loginDetection_data()
    {
        QTest::addColumn<qint64>("secondsSince"); // since the console changed hands
        QTest::addColumn<bool>("login");

        QTest::newRow("just now") << qint64(0) << true;
        QTest::newRow("119 s ago") << qint64(119) << true;
        QTest::newRow("120 s ago: too long for a login") << qint64(120) << false;
        QTest::newRow("in the future: the clock was set back since") << qint64(-1) << false;
    }

    void loginDetection()
    {
        QFETCH(qint64, secondsSince);
        QFETCH(bool, login);
        QCOMPARE(consoleChangeIsLogin(secondsSince), login);
    }

    void loginArgumentMeansLogin() { QVERIFY(launchedAtLogin({"veridir", "--login"})); }

    void startUp_data()
    {
        QTest::addColumn<bool>("atLogin");
        QTest::addColumn<bool>("watch");
        QTest::addColumn<bool>("windowShown");

        QTest::newRow("at login while watching: the menu bar only") << true << true << false;
        QTest::newRow("at login without watching: the window") << true << false << true;
        QTest::newRow("by hand while watching: the window too") << false << true << true;
    }

    void startUp()
    {
        QFETCH(bool, atLogin);
        QFETCH(bool, watch);
        QFETCH(bool, windowShown);
        QSettings().setValue("menuBar/watch", watch);
        QVERIFY(registerLoginItem());
        // Set up with 192.0.2.9, which was last heard of as "Lab".
        QVERIFY(setUpWith("192.0.2.9"));
        QSettings().setValue("server/address", "192.0.2.9");
        QSettings().setValue("server/name", "Lab");
        ClientApp app(atLogin);
        // The menu bar alone builds no window, and follows the set-up server all the same.
        QCOMPARE(app.mainWindowBuilt(), windowShown);
        const ClockWatcher* watcher = app.findChild<ClockWatcher*>();
        QCOMPARE(watcher->serverAddressText + " " + watcher->serverName, QString("192.0.2.9 Lab"));
        QCOMPARE(app.mainWindow()->isVisible(), windowShown);
        QCOMPARE(app.menuBarItem() != nullptr, watch);

        // Turning watching off takes the menu-bar item and start at login, had it been on.
        app.setWatching(false);
        QVERIFY(!app.menuBarItem());
        QCOMPARE(isLoginItemRegistered(), !watch);
        QVERIFY(!buttonNamed(app.mainWindow(), "Start Veridir at login")->isChecked());
    }

    // Outside Applications no row reaches a copy that works, so only inside does start at login
    // come on: this program lies in TV_INSIDE_HOME/Applications, and a copy would open this test.
    void startAtLogin_data()
    {
        QTest::addColumn<bool>("offered"); // watching turned on, else the login switch
        QTest::addColumn<Place>("place");
        QTest::addColumn<bool>("accept");       // the first box; a warning then gets OK
        QTest::addColumn<QStringList>("texts"); // of the boxes; %1: $HOME/Applications
        QTest::addColumn<QString>("explains");  // how the first box's explanation ends

        const QString offer = "Start Veridir at login?", move = "Move Veridir to Applications?";
        const QString failed = "The folder %1 could not be made.";
        const QString moving = "The copy you opened stays where it is.";
        const QString trash = "The copy of Veridir already in Applications goes to the Trash.";
        const QString back = "each time you log in to this computer.";
        QTest::newRow("offered with a copy there: it goes to the Trash")
            << true << CopyThere << false << QStringList{offer} << trash;
        QTest::newRow("offered, accepted, the copy fails: asked once")
            << true << Blocked << true << QStringList{offer, failed} << moving;
        QTest::newRow("offered inside Applications: registered")
            << true << Inside << true << QStringList{offer} << back;
        QTest::newRow("switched on outside, declined")
            << false << Outside << false << QStringList{move} << moving;
        QTest::newRow("switched on, accepted, the copy fails")
            << false << Blocked << true << QStringList{move, failed} << moving;
    }

    void startAtLogin()
    {
        QFETCH(bool, offered);
        QFETCH(Place, place);
        QFETCH(bool, accept);
        QFETCH(QStringList, texts);
        QFETCH(QString, explains);
        const QTemporaryDir outside;
        const QString inside = QFileInfo(TV_INSIDE_HOME).canonicalFilePath();
        qputenv("HOME", (place == Inside ? inside : outside.path()).toUtf8());
        const QString applications = QDir::homePath() + "/Applications";
        if (place == CopyThere) QVERIFY(QDir().mkpath(applications + "/Tessavel Veridir.app"));
        if (place == Blocked) QVERIFY(QFile(applications).open(QIODevice::WriteOnly));
        const QString yes = place == Inside ? "Start at Login" : "Move to Applications";

        QSettings().setValue("menuBar/watch", !offered);
        ClientApp app(false);
        for (const QString& button : accept ? QStringList{yes, "OK"} : QStringList{"Escape"})
            answerNext(button);
        const QString login = "Start Veridir at login";
        buttonNamed(app.mainWindow(), offered ? "Keep watching in the menu bar" : login)->click();
        QStringList shown;
        for (const Dialogs::Seen& box : boxesSeen())
            shown << box.text;
        QCOMPARE(shown, texts.replaceInStrings("%1", applications));
        QCOMPARE(buttonNamed(app.mainWindow(), login)->isChecked(), place == Inside);
        QCOMPARE(isLoginItemRegistered(), place == Inside);

        // A question: the accept button is the default, "Not Now" answers Escape.
        const Dialogs::Seen first = boxesSeen().value(0);
        QVERIFY2(first.informative.endsWith(explains), qPrintable(first.informative));
        QCOMPARE(first.buttons.join(", "), yes + " (Accept), Not Now (Reject)");
        QCOMPARE(first.defaultButton, yes);
        QCOMPARE(first.escapeButton, "Not Now");
    }

    void grantWithdrawnUnconfirmed()
    {
        // An hour before the last sync, and the grant: the alert comes with the box ticked.
        QSettings().setValue("clock/lastSyncUtcMs",
                             QDateTime::currentMSecsSinceEpoch() + 3'600'000);
        const QString grant = Engine::Paths::statePath(contract::kSetTimeRequestFile);
        QVERIFY(QDir().mkpath(QFileInfo(grant).path()) && QFile(grant).open(QFile::WriteOnly));
        auto tidy = qScopeGuard([&] { QFile::remove(grant); });
        ClientApp app(false);

        // Unticking the box withdraws the grant; unconfirmed, the box says it still holds.
        Engine::setAnswerDeadlineForTests(300);
        answerNext("OK");
        QAbstractButton* box = buttonNamed(app.alertWindow(), "Don't ask for the password again");
        box->click();
        QCOMPARE(boxesSeen().value(0).text,
                 QString("This Mac did not confirm it. It may still set the "
                         "clock from here without a password."));
        QVERIFY(box->isChecked());
    }

    void putAwayAlertLeavesALink()
    {
        // An hour before the last sync: the alert comes up; put away, the main window links it.
        QSettings().setValue("clock/lastSyncUtcMs",
                             QDateTime::currentMSecsSinceEpoch() + 3'600'000);
        ClientApp app(false);
        AlertWindow* alert = app.alertWindow();
        alert->hide();
        QLabel* link = nullptr;
        for (QLabel* l : app.mainWindow()->findChildren<QLabel*>())
            if (l->text().contains(">Show the clock alert</a>")) link = l;
        QTRY_VERIFY(link && link->isVisible());
        emit link->linkActivated("#alert"); // as a click on the link
        QVERIFY(alert->isVisible());
        QVERIFY(!link->isVisible());
    }

    void moveThenReopen()
    {
        // Outside Applications, start at login moves the application there and quits; the new
        // copy, opened from there, registers itself. This program plays both: see main.
        const QTemporaryDir outside;
        QSettings().setValue("menuBar/watch", true);
        qputenv("HOME", outside.path().toUtf8());
        QCOMPARE(QProcess::execute(QApplication::applicationFilePath(), {"--move"}), 0);
        QFile entry(home.filePath("config/autostart/tessavel-veridir.desktop"));
        QTRY_VERIFY_WITH_TIMEOUT(entry.exists(), 10000); // written whole, then renamed
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QString copy = QFileInfo(outside.path()).canonicalFilePath() + "/Applications/" +
                             QApplication::applicationFilePath().section('/', -4);
        QVERIFY(entry.readAll().contains("\nExec=\"" + copy.toUtf8() + "\" --login\n"));
        QTRY_VERIFY(!QFile::exists(singleInstanceSocket(nullptr))); // the new copy has ended
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tessavel Veridir");
    QApplication::setOrganizationName("Ondavix");
    // moveThenReopen's copy that moves itself: it accepts start at login and should quit.
    if (app.arguments().contains("--move")) {
        QLocalServer* server = nullptr; // as the program, it holds the instance to its end
        ClientApp::claimSingleInstance(&server);
        ClientApp moving(false);
        QTimer::singleShot(0, [&] { moving.setStartAtLogin(true, true); });
        QTimer::singleShot(10000, [] { QApplication::exit(1); });
        const int status = QApplication::exec();
        QThread::sleep(1); // a new copy opened before this one ends would find it running
        return status;
    }
    if (QFileInfo(argv[0]).fileName() == "Tessavel Veridir") { // its new copy, as opened
        QLocalServer* server = nullptr;
        if (ClientApp::claimSingleInstance(&server) != ClientApp::Instance::Running) return 1;
        ClientApp reopened(false);
        reopened.adoptSingleInstance(server);
        return 0;
    }
    TestClientApp test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_clientapp.moc"
