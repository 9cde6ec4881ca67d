// What the menu-bar item redraws while it waits: the icon only for a new look, the menu only
// when it is seen.

#include "tests/ui/uitest.h"
#include "ui/clienttray.h"
#include "ui/lamp.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>

class TestClientTrayCost : public QObject
{
    Q_OBJECT

private slots:
    void drawsOnlyWhatChanged_data()
    {
        QTest::addColumn<QList<ClockState>>("burst"); // told one after another, from in sync
        QTest::addColumn<int>("sets");
        QTest::addColumn<bool>("open"); // the menu, while it happens
        using S = ClockState;
        QTest::newRow("the same state again") << QList{S::Sync} << 0 << false;
        QTest::newRow("another state, the menu open") << QList{S::Lost} << 1 << true;
        QTest::newRow("a burst: drawn once, as it ends")
            << QList{S::Lost, S::None, S::Wrong} << 1 << false;
        QTest::newRow("a burst back where it was") << QList{S::Lost, S::Sync} << 0 << true;
    }
    void drawsOnlyWhatChanged()
    {
        QFETCH(QList<ClockState>, burst);
        QFETCH(int, sets);
        QFETCH(bool, open);
        FakeTime time;
        auto watcher = stillWatcher(time);
        watcher->setServer(QStringLiteral("192.0.2.7"), QStringLiteral("Lab"));
        watcher->state = ClockState::Sync;
        ClientTray tray(watcher.get(), nullptr);
        QMenu* menu = tray.contextMenu();
        if (open) menu->popup({0, 0});
        const int before = tray.iconsSet();
        for (ClockState state : burst) {
            watcher->state = state;
            emit watcher->changed();
        }
        QCOMPARE(tray.iconsSet(), before); // not before the loop comes round
        QCoreApplication::processEvents();
        QCOMPARE(tray.iconsSet(), before + sets);
        const ClockState last = burst.last();
        QCOMPARE(tray.icon()->icon().cacheKey(),
                 lampIcon(last, true, menuBarIsDark(), true).cacheKey());
        if (!open) emit menu->aboutToShow();
        QCOMPARE(menu->actions()[0]->text(), stateWords(last) + " · Lab");
        QCOMPARE(menu->actions()[3]->isVisible(), last == ClockState::Wrong); // show the alert
        if (lampMoves(last)) // every beat of the pulse is a new look
            QTRY_VERIFY_WITH_TIMEOUT(tray.iconsSet() >= before + sets + 2, 3000);
    }
};

QTEST_MAIN(TestClientTrayCost)
#include "tst_clienttray_cost.moc"
