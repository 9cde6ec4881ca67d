// The clock alert against a watcher on fake time, local time pinned to +05:30.

#include "tests/ui/uitest.h"
#include "ui/alertwindow.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QPushButton>

constexpr qint64 kNow = 1'700'000'000'000;       // 2023-11-15 03:43:20 local
constexpr qint64 kLast = kNow + 3'600'000 + 500; // an hour later, half way into 04:43:20

class TestAlertWindow : public QObject
{
    Q_OBJECT
    FakeTime time{kNow};
    QTemporaryDir root; // where the tool's files are looked for

private slots:
    void initTestCase()
    {
        qputenv("TZ", "Asia/Kolkata");
        qputenv("TESSAVEL_CONNECT_TEST_ROOT", root.path().toUtf8());
    }
    void wordings_data()
    {
        QTest::addColumn<bool>("followed"); // a server, here on loopback, is followed
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("steady"); // the server may be followed from this computer
        QTest::addColumn<qint64>("serverAhead");
        QTest::addColumn<QString>("with"); // how the sentence names the server
        QTest::addColumn<QString>("advice");
        QTest::addColumn<QString>("action");    // empty: none shown
        QTest::addColumn<QString>("heldBack");  // why the action is disabled
        QTest::addColumn<QByteArray>("signal"); // the action's; none: a click emits nothing
        const QString answering = "127.0.0.1 is answering. This computer takes its time at the "
                                  "next sync; sync now, or set the clock by hand.";
        QTest::newRow("server agrees with the wrong clock")
            << true << "Lab <1>" << false << 0ll << ", with Lab &lt;1&gt;"
            << "It agrees with Lab <1>, so it is the server's time that has gone back. If that "
               "is right, accept it."
            << "Accept the server's time" << QString()
            << QByteArray(SIGNAL(acceptServerTimeRequested()));
        QTest::newRow("nameless steady server answers the right time")
            << true << QString() << true << kLast - kNow << ", with 127.0.0.1" << answering
            << "Sync now" << QString() << QByteArray(SIGNAL(syncNowRequested()));
        QTest::newRow("its own unsteady server: sync now held back")
            << true << QString() << false << kLast - kNow << ", with 127.0.0.1" << answering
            << "Sync now"
            << "Not while this computer follows the server it runs itself." << QByteArray();
        QTest::newRow("no server")
            << false << QString() << false << 0ll << QString()
            << "No time server is answering. Set the clock by hand, or find a server." << QString()
            << QString() << QByteArray();
    }
    void wordings()
    {
        QFETCH(bool, followed);
        QFETCH(QString, name);
        QFETCH(bool, steady);
        QFETCH(qint64, serverAhead);
        QFETCH(QString, with);
        QFETCH(QString, action);
        QFETCH(QByteArray, signal);
        SntpPeer peer(time);
        peer.offsetMs = serverAhead;
        auto watcher = stillWatcher(time, kLast, peer.port());
        watcher->serverSteady = steady;
        if (followed) watcher->setServer("127.0.0.1", name);
        QTRY_COMPARE_WITH_TIMEOUT(watcher->inputs().answered, followed, 3000);
        AlertWindow w(watcher.get());
        w.show();
        QStringList shown;
        for (const QLabel* l : w.findChildren<QLabel*>())
            shown << l->text();
        QVERIFY(shown.filter("November 15, 2023 at 04:43:20" + with + ". A clock").size());
        QFETCH(QString, advice);
        QVERIFY(shown.contains(advice));
        QPushButton* button = w.findChildren<QPushButton*>().last();
        QCOMPARE(button->isVisible() ? button->text() : QString(), action);
        QTEST(button->isEnabled() ? QString() : button->toolTip(), "heldBack");
        QSignalSpy spy(&w, signal.isEmpty() ? SIGNAL(syncNowRequested()) : signal.constData());
        if (button->isVisible()) button->click();
        QCOMPARE(spy.count(), signal.isEmpty() ? 0 : 1);
    }
    void entry() // two showings: the first without the password-free grant, the second with it
    {
        auto watcher = stillWatcher(time, kLast);
        AlertWindow w(watcher.get());
        QSignalSpy sets(&w, &AlertWindow::setClockRequested);
        QSignalSpy giveUp(&w, &AlertWindow::giveUpDontAskAgainRequested);
        auto* date = w.findChild<QDateEdit*>();
        auto* clock = w.findChild<QTimeEdit*>();
        auto* box = w.findChild<QCheckBox*>();
        QPushButton* set = w.findChildren<QPushButton*>().first();
        QCOMPARE(date->minimumDate(), QDate(2023, 11, 15)); // the last sync's local date
        const QString dir = root.path() + "/Library/Application Support/Tessavel Veridir";
        for (bool grant : {false, true}) {
            w.show(); // filled from the last sync each time
            QCOMPARE(date->text() + ' ' + clock->text(), "2023-11-15 04:43:20");
            set->click(); // the last sync's own second, though the sync came half way into it
            clock->setTime(QTime(4, 43, 19));
            QVERIFY(!set->isEnabled()); // a second earlier
            emit watcher->changed();    // a refresh keeps what was typed
            QCOMPARE(clock->time(), QTime(4, 43, 19));
            QCOMPARE(box->isChecked(), grant); // shown as it stands
            box->setChecked(true);             // the program's change is no click
            QTest::mouseClick(box, Qt::LeftButton, {}, {box->width() - 5, 5}); // on the words
            QCOMPARE(giveUp.count(), grant ? 1 : 0); // nothing to give up without the grant
            QVERIFY(QDir().mkpath(dir) && QFile(dir + "/set-time-request").open(QFile::WriteOnly));
            w.hide();
        }
        QCOMPARE(sets.count(), 2); // the entered local time, in UTC, and the box as it was
        QCOMPARE(sets[0][0].toDateTime(), QDateTime::fromMSecsSinceEpoch(kLast - 500));
        QVERIFY(!sets[0][1].toBool() && sets[1][1].toBool());
    }
};

QTEST_MAIN(TestAlertWindow)
#include "tst_alertwindow.moc"
