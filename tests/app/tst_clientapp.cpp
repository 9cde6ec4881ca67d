#include "app/clientapp.h"
#include "app/platform/platform.h"
#include "ui/connectwindow.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QtTest>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

static const QString kInstance = QStringLiteral("com.tessavel.connect.app.instance");

class TestClientApp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void secondCopyShowsTheFirst();
    void staleSocketDoesNotStopAFirstCopy();
    void startUp_data();
    void startUp();

private:
    QTemporaryDir home;
};

void TestClientApp::initTestCase()
{
    // Settings, autostart entry, socket and tool paths stay in here, for the program too.
    for (const char* name : {"HOME", "TMPDIR", "TESSAVEL_CONNECT_TEST_ROOT"})
        qputenv(name, home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.filePath("config"));
    QApplication::setApplicationName("Tessavel Veridir");
    QApplication::setOrganizationName("Ondavix");
}

void TestClientApp::secondCopyShowsTheFirst()
{
    QLocalServer* server = nullptr;
    QVERIFY(ClientApp::claimSingleInstance(&server));
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

void TestClientApp::staleSocketDoesNotStopAFirstCopy()
{
    // A socket bound and never listened on: what a crashed copy leaves behind.
    sockaddr_un address{AF_UNIX, {}};
    qstrncpy(address.sun_path, QDir(QDir::tempPath()).filePath(kInstance).toUtf8().constData(),
             sizeof address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);

    QProcess first;
    first.start(TV_APP_PROGRAM, {"--login"});
    QVERIFY(first.waitForStarted());
    auto stop = qScopeGuard([&] { first.kill(), first.waitForFinished(); });
    const auto answers = [] {
        QLocalSocket socket;
        return socket.connectToServer(kInstance), socket.waitForConnected(100);
    };
    QTRY_VERIFY_WITH_TIMEOUT(answers(), 10000);
    QCOMPARE(first.state(), QProcess::Running);
}

void TestClientApp::startUp_data()
{
    QTest::addColumn<bool>("atLogin");
    QTest::addColumn<bool>("watch");
    QTest::addColumn<bool>("windowShown");

    QTest::newRow("at login while watching: the menu bar only") << true << true << false;
    QTest::newRow("at login without watching: the window") << true << false << true;
    QTest::newRow("by hand while watching: the window too") << false << true << true;
}

void TestClientApp::startUp()
{
    QFETCH(bool, atLogin);
    QFETCH(bool, watch);
    QFETCH(bool, windowShown);
    QSettings().setValue("menuBar/watch", watch);
    ClientApp app(atLogin);
    QCOMPARE(app.mainWindow()->isVisible(), windowShown);
    QCOMPARE(app.menuBarItem() != nullptr, watch);

    // Turning watching off drops the menu-bar item and, had it been on, start at login.
    QVERIFY(registerLoginItem() && isLoginItemRegistered());
    QFile entry(home.filePath("config/autostart/tessavel-veridir.desktop"));
    QVERIFY(entry.open(QIODevice::ReadOnly));
    QVERIFY(entry.readAll().contains("Exec=\"" + QApplication::applicationFilePath().toUtf8()
                                     + "\" --login\n"));
    app.setWatching(false);
    QVERIFY(!app.menuBarItem());
    QCOMPARE(entry.exists(), !watch);
    QVERIFY(unregisterLoginItem() && !isLoginItemRegistered());
}

QTEST_MAIN(TestClientApp)
#include "tst_clientapp.moc"
