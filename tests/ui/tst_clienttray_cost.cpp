// What the menu-bar item redraws while it waits: the icon only for a new look, the menu only
// when it is seen.

#include "tests/ui/uitest.h"
#include "ui/clienttray.h"
#include "ui/plaintext.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>

class TestClientTrayCost : public QObject
{
    Q_OBJECT

private slots:
    void iconOnlyForANewLook_data()
    {
        QTest::addColumn<QList<int>>("burst"); // states told one after another, from Sync
        QTest::addColumn<int>("sets");
        QTest::newRow("the same state again") << QList<int>{int(ClockState::Sync)} << 0;
        QTest::newRow("another state") << QList<int>{int(ClockState::Lost)} << 1;
        QTest::newRow("a burst: drawn once, as it ends")
            << QList<int>{int(ClockState::Lost), int(ClockState::None), int(ClockState::Wrong)}
            << 1;
        QTest::newRow("a burst back where it was")
            << QList<int>{int(ClockState::Lost), int(ClockState::Sync)} << 0;
    }
    void iconOnlyForANewLook()
    {
        QFETCH(QList<int>, burst);
        QFETCH(int, sets);
        FakeTime time;
        auto watcher = stillWatcher(time);
        watcher->state = ClockState::Sync;
        ClientTray tray(watcher.get(), nullptr);
        const int before = tray.iconsSet();
        for (int state : burst) {
            watcher->state = ClockState(state);
            emit watcher->changed();
        }
        QCOMPARE(tray.iconsSet(), before); // not before the loop comes round
        QCoreApplication::processEvents();
        QCOMPARE(tray.iconsSet(), before + sets);
        const ClockState last = watcher->state;
        QCOMPARE(tray.icon()->icon().cacheKey(),
                 lampIcon(last, true, menuBarIsDark(), true).cacheKey());
        QCOMPARE(tray.icon()->toolTip(),
                 PlainText::trayToolTip("Tessavel Veridir: " + stateWords(last)));
        if (lampMoves(last)) // every beat of the pulse is a new look
            QTRY_VERIFY_WITH_TIMEOUT(tray.iconsSet() >= before + sets + 2, 3000);
    }

    void menuFreshWhenSeen_data()
    {
        QTest::addColumn<bool>("open");
        QTest::newRow("closed: filled as it is about to show") << false;
        QTest::newRow("open: follows the change") << true;
    }
    void menuFreshWhenSeen()
    {
        QFETCH(bool, open);
        FakeTime time;
        auto watcher = stillWatcher(time);
        ClientTray tray(watcher.get(), nullptr);
        QMenu* menu = tray.contextMenu();
        if (open) menu->popup({0, 0});
        QVERIFY(QTest::qWaitFor([&] { return menu->isVisible() == open; }));
        watcher->setServer(QStringLiteral("192.0.2.7"), QStringLiteral("Lab"));
        watcher->lastSyncUtcMs = 1'700'000'000'999;
        watcher->state = ClockState::Wrong;
        emit watcher->changed();
        QCoreApplication::processEvents();
        if (!open) emit menu->aboutToShow();
        const QList<QAction*> a = menu->actions();
        QCOMPARE(a[0]->text() + '|' + a[1]->text(),
                 "Clock wrong · Lab|Last sync Tue 14 Nov, 22:13:20");
        QVERIFY(a[3]->isVisible()); // show the clock alert
    }
};

QTEST_MAIN(TestClientTrayCost)
#include "tst_clienttray_cost.moc"
