#include "app/clientapp.h"
#include "app/platform/platform.h"
#include "engine/enginetesting.h"
#include "tests/ui/uitest.h"
#include "ui/alertwindow.h"
#include "ui/connectwindow.h"
#include "ui/dialogs.h"

#include <QLabel>
#include <QLocalServer>
#include <QLocalSocket>
#include <QtTest>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

static QString question(const QString& text, const QString& informative, const QString& yes)
{
    return "Tessavel Veridir | " + text + " | " + informative + " | " + yes +
           " (Accept), Not Now (Reject) | " + yes + " | Not Now";
}

class TestClientApp : public QObject
{
    Q_OBJECT
    QTemporaryDir home;

private slots:
    void initTestCase()
    {
        // Settings, autostart entry, socket and tool paths stay in here, for the program too.
        for (const char* name : {"HOME", "TMPDIR", "TESSAVEL_CONNECT_TEST_ROOT"})
            qputenv(name, home.path().toUtf8());
        QCOMPARE(::mkdir(QFile::encodeName(home.filePath("run")), 0700), 0);
        qputenv("XDG_RUNTIME_DIR", home.filePath("run").toUtf8());
        qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.filePath("config"));
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
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QTRY_VERIFY(first.mainWindow()->isVisible());
    }

    void staleSocketDoesNotStopAFirstCopy()
    {
        // A socket bound and never listened on: what a crashed copy leaves behind.
        sockaddr_un address{AF_UNIX, {}};
        const QByteArray path = QFile::encodeName(singleInstanceSocket(nullptr));
        qstrncpy(address.sun_path, path.constData(), sizeof address.sun_path);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);

        QProcess first;
        first.start(TV_APP_PROGRAM, {"--login"});
        QVERIFY(first.waitForStarted());
        auto stop = qScopeGuard([&] { first.kill(), first.waitForFinished(); });
        const auto answers = [] {
            QLocalSocket socket;
            return socket.connectToServer(singleInstanceSocket(nullptr)),
                   socket.waitForConnected(100);
        };
        QTRY_VERIFY_WITH_TIMEOUT(answers(), 10000);
    }

    void loginDetection_data()
    {
        QTest::addColumn<qint64>("secondsSince");
        QTest::addColumn<bool>("login");

        QTest::newRow("the console changed hands just now") << qint64(0) << true;
        QTest::newRow("119 s ago") << qint64(119) << true;
        QTest::newRow("120 s ago: too long for a login") << qint64(120) << false;
        QTest::newRow("in the future: the clock was set back since") << qint64(-1) << false;
    }

    void loginDetection()
    {
        QFETCH(qint64, secondsSince);
        QFETCH(bool, login);
        QCOMPARE(consoleChangeIsLogin(secondsSince), login);
        QVERIFY(launchedAtLogin({"veridir", "--login"}));
    }

    // Where the running copy listens, in runtime folder $RUN or in $OWN, which it makes in the
    // temporary folder $TMP, and what stands in its way; $N is the socket's name, $U the words
    // of a copy that does not start.
    void singleInstance_data()
    {
        QTest::addColumn<QString>("runtime"); // XDG_RUNTIME_DIR; $RUN is made with mode 0700
        QTest::addColumn<QString>("made");    // "PATH KIND" made before
        QTest::addColumn<QString>("want");    // "in FOLDER", "another runs", or the reason why not
        const QString alone = "$UThe folder $OWN is not this user's alone.";
        const struct
        {
            const char* row;
            QString runtime, made, want;
        } rows[] = {
            {"a silent socket in the shared folder: no copy", "$RUN", "$TMP$N silent", "in $RUN"},
            {"runtime folder that others may enter", "$RUN", "$RUN open", "in $OWN"},
            {"runtime folder root's, of mode 0700 too", "/root", "", "in $OWN"},
            {"own folder made by another, open: refused", "", "$OWN open", alone},
            {"own folder a link: refused", "", "$OWN link", alone},
            {"a file in the socket's place: removed", "$RUN", "$RUN$N file", "in $RUN"},
            {"a folder in the socket's place: refused", "$RUN", "$RUN$N folder",
             "$UIts socket $RUN$N could not be made (..."},
            {"a socket that never answers: a copy", "$RUN", "$RUN$N silent", "another runs"},
        };
        for (const auto& r : rows)
            QTest::newRow(r.row) << r.runtime << r.made << r.want;
    }

    void singleInstance()
    {
        QFETCH(QString, runtime);
        QFETCH(QString, made);
        QFETCH(QString, want);
        const QTemporaryDir tmp(QDir::tempPath() + "/t-XXXXXX"); // a socket's path is short
        const QString own = tmp.filePath("tessavel-veridir-" + QString::number(getuid()));
        const auto place = [&](QString s) {
            return s.replace("$N", "/com.tessavel.connect.app.instance")
                .replace("$U", "Tessavel Veridir could not make sure it runs only once, so it "
                               "does not start.\n\n")
                .replace("$RUN", tmp.filePath("run"))
                .replace("$OWN", own)
                .replace("$TMP", tmp.path());
        };
        const QByteArray path = QFile::encodeName(place(made.section(' ', 0, 0)));
        const QString kind = made.section(' ', 1);
        QLocalServer squatter;
        QCOMPARE(::mkdir(QFile::encodeName(tmp.filePath("run")), 0700), 0);
        if (kind == "open") QVERIFY(QDir().mkpath(path) && ::chmod(path, 0755) == 0);
        if (kind == "link") QVERIFY(QFile::link(tmp.filePath("run"), path));
        if (kind == "file") QVERIFY(QFile(path).open(QIODevice::WriteOnly));
        if (kind == "folder") QVERIFY(QDir().mkpath(path + "/inside"));
        if (kind == "silent") QVERIFY(squatter.listen(path));
        qputenv("XDG_RUNTIME_DIR", place(runtime).toUtf8());
        qputenv("TMPDIR", tmp.path().toUtf8());
        auto restore = qScopeGuard([&] {
            qputenv("XDG_RUNTIME_DIR", home.filePath("run").toUtf8());
            qputenv("TMPDIR", home.path().toUtf8());
        });

        QLocalServer* server = nullptr;
        QString error;
        const ClientApp::Instance claim = ClientApp::claimSingleInstance(&server, &error);
        const std::unique_ptr<QLocalServer> running(server);
        QString got = server ? "in " + QFileInfo(server->fullServerName()).path()
                      : claim == ClientApp::Instance::AnotherRuns ? "another runs"
                                                                  : error;
        want = place(want);
        if (want.endsWith("...")) got = got.left(want.size() - 3) + "...";
        QCOMPARE(got, want);
    }

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
        ClientApp app(atLogin);
        QCOMPARE(app.mainWindow()->isVisible(), windowShown);
        QCOMPARE(app.menuBarItem() != nullptr, watch);

        // Turning watching off withdraws start at login, had watching been on.
        QVERIFY(registerLoginItem() && isLoginItemRegistered());
        QFile entry(home.filePath("config/autostart/tessavel-veridir.desktop"));
        QVERIFY(entry.open(QIODevice::ReadOnly));
        QVERIFY(entry.readAll().contains("Exec=\"" + QApplication::applicationFilePath().toUtf8() +
                                         "\" --login\n"));
        app.setWatching(false);
        QCOMPARE(entry.exists(), !watch);
        QVERIFY(unregisterLoginItem() && !isLoginItemRegistered());
    }

    void startAtLogin_data()
    {
        QTest::addColumn<QString>("toggle"); // the switch the user turns on
        // $HOME/Applications: run "inside" it, a "copy", a "file"
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QStringList>("boxes"); // %1: $HOME/Applications
        QTest::addColumn<bool>("on");           // the login switch, and the login item

        const QString watch = "Keep watching in the menu bar", login = "Start Veridir at login";
        const QString offer = "Start Veridir at login?", move = "Move to Applications";
        const QString moving = "For that, Veridir has to be in the Applications folder. It can "
                               "copy itself there now and reopen from there. The copy you opened "
                               "stays where it is.";
        const QString moveFirst = question("Move Veridir to Applications?", moving, move);
        const QString failed =
            "Tessavel Veridir | The folder %1 could not be made. |  | OK (Accept) |  | OK";
        QTest::newRow("offered with a copy there: it goes to the Trash")
            << watch << "copy" << QStringList{"Not Now"}
            << QStringList{question(offer,
                                    moving + " The copy of Veridir already in Applications "
                                             "goes to the Trash.",
                                    move)}
            << false;
        QTest::newRow("offered, moving accepted, $HOME/Applications a file: asked once")
            << watch << "file" << QStringList{move, "OK"}
            << QStringList{question(offer, moving, move), failed} << false;
        QTest::newRow("offered inside Applications: registered")
            << watch << "inside" << QStringList{"Start at Login"}
            << QStringList{question(offer,
                                    "Veridir then comes back in the menu bar by itself each "
                                    "time you log in to this computer.",
                                    "Start at Login")}
            << true;
        QTest::newRow("switched on outside, not now")
            << login << "" << QStringList{"Not Now"} << QStringList{moveFirst} << false;
        QTest::newRow("switched on, moving accepted, the copy fails")
            << login << "file" << QStringList{move, "OK"} << QStringList{moveFirst, failed}
            << false;
    }

    void startAtLogin()
    {
        QFETCH(QString, toggle);
        QFETCH(QString, folder);
        QFETCH(QStringList, answers);
        QFETCH(QStringList, boxes);
        QFETCH(bool, on);
        // This program lies in TV_INSIDE_HOME/Applications. No row may reach a copy that works:
        // it would open a copy of this test once this one ends.
        const QTemporaryDir outside;
        const QString inside = QFileInfo(TV_INSIDE_HOME).canonicalFilePath();
        qputenv("HOME", (folder == "inside" ? inside : outside.path()).toUtf8());
        QStringList seen; // outlives restore, which answers what a failed row left
        auto restore = qScopeGuard([&] {
            qputenv("HOME", home.path().toUtf8());
            unregisterLoginItem();
            for (QMessageBox rest; Dialogs::hasPendingAnswers();) // a failed row's answers
                Dialogs::exec(rest);
        });
        const QString applications = QDir::homePath() + "/Applications";
        if (folder == "copy") QVERIFY(QDir().mkpath(applications + "/Tessavel Veridir.app"));
        if (folder == "file") QVERIFY(QFile(applications).open(QIODevice::WriteOnly));

        QSettings().setValue("menuBar/watch", toggle != "Keep watching in the menu bar");
        ClientApp app(false);
        for (const QString& answer : answers)
            answerNext(&seen, answer);
        buttonNamed(app.mainWindow(), toggle)->click();
        QCOMPARE(seen, boxes.replaceInStrings("%1", applications));
        QCOMPARE(buttonNamed(app.mainWindow(), "Start Veridir at login")->isChecked(), on);
        QCOMPARE(isLoginItemRegistered(), on);
    }

    void wrongClock()
    {
        // An hour before the last sync, with the grant to set the clock without a password.
        QSettings().setValue("clock/lastSyncUtcMs",
                             QDateTime::currentMSecsSinceEpoch() + 3'600'000);
        const QString grant =
            home.filePath("Library/Application Support/Tessavel Veridir/set-time-request");
        QVERIFY(QDir().mkpath(QFileInfo(grant).path()) && QFile(grant).open(QFile::WriteOnly));
        auto tidy = qScopeGuard([&] { QFile::remove(grant), QSettings().remove("clock"); });
        ClientApp app(false);
        AlertWindow* alert = app.alertWindow();

        // Unticking the box withdraws the grant; unconfirmed, the box says it still holds.
        Engine::setAnswerDeadlineForTests(300);
        QStringList seen;
        answerNext(&seen, "OK");
        QAbstractButton* box = buttonNamed(alert, "Don't ask for the password again");
        box->click();
        QCOMPARE(seen, QStringList{"Tessavel Veridir | This Mac did not confirm it. It may still "
                                   "set the clock from here without a password. |  | OK (Accept) "
                                   "|  | OK"});
        QVERIFY(box->isChecked());

        // Put away, the alert leaves a link in the main window that brings it back.
        alert->hide();
        QLabel* link = nullptr;
        for (QLabel* l : app.mainWindow()->findChildren<QLabel*>())
            if (l->text().contains(">Show the clock alert</a>")) link = l;
        QTRY_VERIFY(link && link->isVisible() && link->height() > 0);
        for (int y = 1; y < link->height() && !alert->isVisible(); y += 3)
            for (int x = link->width(); x > 0 && !alert->isVisible(); x -= 3)
                QTest::mouseClick(link, Qt::LeftButton, {}, {x, y}); // until one finds the link
        QVERIFY(alert->isVisible() && !link->isVisible());
    }

    void moveThenReopen()
    {
        // Outside Applications, start at login moves the application there and quits; the new
        // copy, opened from there, registers itself. This program plays both: see main.
        const QTemporaryDir outside;
        QSettings().setValue("menuBar/watch", true);
        qputenv("HOME", outside.path().toUtf8());
        const int moved = QProcess::execute(QApplication::applicationFilePath(), {"--move"});
        qputenv("HOME", home.path().toUtf8());
        QCOMPARE(moved, 0);
        QFile entry(home.filePath("config/autostart/tessavel-veridir.desktop"));
        QTRY_VERIFY_WITH_TIMEOUT(entry.exists(), 10000); // written whole, then renamed
        const QString copy = QFileInfo(outside.path()).canonicalFilePath() + "/Applications/" +
                             QApplication::applicationFilePath().section('/', -4);
        QVERIFY(entry.open(QIODevice::ReadOnly) && entry.readAll().contains(copy.toUtf8()));
        QVERIFY(unregisterLoginItem());
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tessavel Veridir");
    QApplication::setOrganizationName("Ondavix");
    // moveThenReopen's copy that moves itself: it turns start at login on and should quit.
    if (app.arguments().contains("--move")) {
        ClientApp moving(false);
        answerNext(nullptr, "Move to Applications");
        answerNext(nullptr, "OK"); // a failed copy's warning
        QTimer::singleShot(
            0, [&] { buttonNamed(moving.mainWindow(), "Start Veridir at login")->click(); });
        QTimer::singleShot(10000, [] { QApplication::exit(1); });
        return QApplication::exec();
    }
    if (QFileInfo(argv[0]).fileName() == "Tessavel Veridir") { // its new copy, as opened
        const ClientApp reopened(false);
        return 0;
    }
    TestClientApp test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_clientapp.moc"
