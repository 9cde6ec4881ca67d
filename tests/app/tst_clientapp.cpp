#include "app/clientapp.h"
#include "app/platform/platform.h"
#include "ui/clienttray.h"
#include "ui/connectwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
const QString kInstance = QStringLiteral("com.tessavel.connect.app.instance");
}

class TestClientApp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void secondCopyShowsTheFirst();
    void staleSocketDoesNotStopAFirstCopy();
    void startUp_data();
    void startUp();
    void loginItemEntry();

private:
    QTemporaryDir home;
};

void TestClientApp::initTestCase()
{
    // Settings, the autostart entry, the socket and the tool's paths all stay in here; the
    // real program inherits the same.
    QVERIFY(home.isValid());
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

    QProcess second;
    QElapsedTimer running;
    connect(&second, &QProcess::started, this, [&] { running.start(); });
    second.start(TV_APP_PROGRAM, {});
    QTRY_COMPARE(second.state(), QProcess::NotRunning);
    // Beyond the 300 ms wait, a start-up of the program itself.
    QVERIFY2(running.elapsed() < 1500, qPrintable(QString::number(running.elapsed())));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QTRY_VERIFY(first.mainWindow()->isVisible());
}

void TestClientApp::staleSocketDoesNotStopAFirstCopy()
{
    // A socket bound and never listened on: what a crashed copy leaves behind.
    const QByteArray path = QDir(QDir::tempPath()).filePath(kInstance).toUtf8();
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, path.constData(), sizeof address.sun_path);
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);

    QProcess first;
    first.start(TV_APP_PROGRAM, {"--login"});
    QVERIFY(first.waitForStarted());
    auto stop = qScopeGuard([&] {
        first.kill();
        first.waitForFinished();
    });
    const auto answers = [] {
        QLocalSocket socket;
        socket.connectToServer(kInstance);
        return socket.waitForConnected(100);
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
    QCOMPARE(app.mainWindow()->closesToMenuBar, watch);
    QCOMPARE(QApplication::quitOnLastWindowClosed(), !watch);

    // Turning watching off drops the menu-bar item and, had it been on, start at login.
    QVERIFY(registerLoginItem());
    app.setWatching(false);
    QVERIFY(!app.menuBarItem());
    QCOMPARE(isLoginItemRegistered(), !watch);
    QVERIFY(unregisterLoginItem());
}

void TestClientApp::loginItemEntry()
{
    QVERIFY(!isLoginItemRegistered());
    QVERIFY(registerLoginItem());
    QVERIFY(isLoginItemRegistered());
    QFile entry(home.filePath("config/autostart/tessavel-veridir.desktop"));
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QByteArray text = entry.readAll();
    QVERIFY2(text.contains("Exec=\"" + QApplication::applicationFilePath().toUtf8()
                           + "\" --login\n"), text);
    QVERIFY(unregisterLoginItem());
    QVERIFY(!isLoginItemRegistered());
    QVERIFY(!entry.exists());
}

QTEST_MAIN(TestClientApp)
#include "tst_clientapp.moc"
