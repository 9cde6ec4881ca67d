// ClientApp in the lab with its real watcher, engine and tool, as nobody: the tool stays in
// self-test mode. Of three lab servers, the first logs beacon reports, the second SNTP requests.
#include "app/clientapp.h"
#include "tests/lab/labpeer.h"
#include "tests/ui/uitest.h"
#include "ui/alertwindow.h"
#include "ui/clienttray.h"
#include "ui/connectwindow.h"

#include <QApplication>
#include <QMenu>

static const QString kLabDir = qEnvironmentVariable("LAB_DIR");
static const qint64 kHourAhead = QDateTime::currentMSecsSinceEpoch() + 3'600'000;

static QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class TestClientAppLab : public QObject
{
    Q_OBJECT
    QTemporaryDir root;

    // Keeping watch, started at login or by hand, its watcher following lab server peer.
    std::unique_ptr<ClientApp> start(bool atLogin, qint64 lastSyncUtcMs, int peer)
    {
        QSettings().setValue("menuBar/watch", true);
        QSettings().setValue("clock/lastSyncUtcMs", lastSyncUtcMs);
        auto app = std::make_unique<ClientApp>(atLogin);
        app->findChild<ClockWatcher*>()->setServer(LabPeer::spareAddresses().value(peer), "");
        return app;
    }

private slots:
    void initTestCase()
    {
        qputenv("TESSAVEL_CONNECT_TEST_ROOT", root.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", root.filePath("config").toUtf8());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, root.filePath("config"));
    }

    void alertFollowsWrong()
    {
        // Wrong at start: the alert comes at once, in the menu bar alone, and goes by itself.
        const auto app = start(true, kHourAhead, 2);
        auto* watcher = app->findChild<ClockWatcher*>();
        QVERIFY(app->alertWindow()->isVisible());
        watcher->forgetLastSync();
        QVERIFY(!app->alertWindow()->isVisible());

        // Wrong while it runs, the server agreeing with this clock: accept the server's time.
        QTRY_COMPARE_WITH_TIMEOUT(watcher->state, ClockState::Sync, 15000);
        watcher->lastSyncUtcMs = kHourAhead;
        QTRY_VERIFY(app->alertWindow()->isVisible());
        buttonNamed(app->alertWindow(), "Accept the server's time")->click();
        QVERIFY(!app->alertWindow()->isVisible());
    }

    void setClockAsksTheServerAtOnce()
    {
        // Only this case follows the second server. Without the 10 s probe, every request
        // after the first is one that setting the clock sent.
        const auto app = start(true, 0, 1);
        for (QTimer* t : app->findChild<ClockWatcher*>()->findChildren<QTimer*>())
            if (t->interval() == 10'000) t->stop();
        QTRY_COMPARE(contents(kLabDir + "/requests").count('\n'), 1);
        answerNext("OK"); // a refusal's warning must not hold the test up
        const QDateTime now = QDateTime::currentDateTimeUtc();
        app->setClock(now, false);
        // The tool got it through the password step; in self-test mode it only writes it down.
        QCOMPARE(contents(root.filePath("clock-set-to")),
                 now.toString("yyyy-MM-ddTHH:mm:ss'Z'\n").toUtf8());
        QTRY_COMPARE(contents(kLabDir + "/requests").count('\n'), 2);
    }

    void closing_data()
    {
        QTest::addColumn<bool>("stopWatching"); // the window's watch switch turned off first
        QTest::addColumn<bool>("fromMenu");     // Quit in the menu-bar item's menu, else closing
        QTest::newRow("watching: closing hides the window") << false << false;
        QTest::newRow("watching turned off: closing quits") << true << false;
        QTest::newRow("watching: Quit in the menu closes the window") << false << true;
    }

    void closing()
    {
        QFETCH(bool, stopWatching);
        QFETCH(bool, fromMenu);
        // Only the row that stops watching follows the first server: any farewell is its own.
        const auto app = start(false, 0, stopWatching ? 0 : 2);
        ConnectWindow* window = app->mainWindow();
        QSignalSpy hidden(window, &ConnectWindow::closedToMenuBar);
        if (stopWatching) buttonNamed(window, "Keep watching in the menu bar")->click();
        if (stopWatching) // a farewell, whose keys come sorted: "bye" first
            QTRY_VERIFY(contents(kLabDir + "/reports").contains("unicast {\"bye\":true,"));

        // Quitting ends the event loop with 0; without a quit, this test ends it with 1 after 2 s.
        QObject marker; // takes its timers along, should the loop end first
        QTimer::singleShot(2000, &marker, [] { qApp->exit(1); });
        QTimer::singleShot(0, &marker, [&] {
            if (fromMenu)
                emit app->menuBarItem()->quitRequested(); // its menu's Quit
            else
                window->close();
        });
        const bool quit = QApplication::exec() == 0;
        QCOMPARE(quit, stopWatching || fromMenu);
        QVERIFY(!window->isVisible());
        QCOMPARE(hidden.size(), quit ? 0 : 1); // hidden to the menu bar, or really closed
    }
};

int main(int argc, char** argv)
{
    const QStringList spare = LabPeer::spareAddresses();
    return LabPeer::mainAsUser<QApplication, TestClientAppLab>(
        argc, argv,
        {{spare.value(0), {"--no-discovery", "--report-log", kLabDir + "/reports"}},
         {spare.value(1), {"--no-discovery", "--ntp-log", kLabDir + "/requests"}},
         {spare.value(2), {"--no-discovery"}}});
}

#include "tst_clientapp_lab.moc"
