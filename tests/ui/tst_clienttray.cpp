// The lamp's pictures pixel by pixel, the menu-bar item's menu read directly, and what the item
// redraws while it waits: the icon only for a new look, the menu only when it is seen.

#include "tests/ui/uitest.h"
#include "ui/clienttray.h"
#include "ui/lamp.h"

#include <QMenu>
#include <QSystemTrayIcon>

struct Tray
{
    FakeTime time;
    std::unique_ptr<ClockWatcher> watcher = stillWatcher(time);
    ClientTray tray;
    QTimer* blink = tray.findChild<QTimer*>();
    QList<QAction*> actions = tray.contextMenu()->actions();
    explicit Tray(bool words = true) : tray(watcher.get(), nullptr, words) {}
    void set(ClockState state, const QString& address = {}, const QString& name = {})
    {
        watcher->setServer(address, name);
        watcher->state = state;
        emit watcher->changed();
        QCoreApplication::processEvents(); // a burst is drawn once, as the loop comes round
    }
    int lampAlpha() const // at the lamp's centre; the words-free states only
    {
        return tray.icon()->icon().pixmap(18).toImage().pixelColor(13, 12).alpha();
    }
};

class TestClientTray : public QObject
{
    Q_OBJECT

private slots:
    void pictures_data()
    {
        QTest::addColumn<ClockState>("state");
        QTest::addColumn<QColor>("color");
        QTest::newRow("none: red") << ClockState::None << QColor(0xFF453A);
        QTest::newRow("sync: green, light bar") << ClockState::Sync << QColor(0x38E07A);
        QTest::newRow("lost, as off: amber") << ClockState::Lost << QColor(0xFF9F0A);
        QTest::newRow("wrong: red, with words") << ClockState::Wrong << QColor(0xFF453A);
        QTest::newRow("an unknown number: as none") << ClockState(9) << QColor(0xFF453A);
    }
    void pictures()
    {
        QFETCH(ClockState, state);
        QFETCH(QColor, color);
        const bool dark = state != ClockState::Sync;
        for (bool lit : {true, false}) {
            const QPixmap one = lampPixmap(state, lit, dark, 18, 1.0, true);
            const QImage two = lampPixmap(state, lit, dark, 18, 2.0, true).toImage();
            QCOMPARE(QSize(one.height(), two.height()), QSize(18, 36));
            QCOMPARE(one.width() > 18 + 6, state == ClockState::Wrong); // words only when wrong
            QVERIFY(qAbs(two.width() - 2 * one.width()) <= 1); // twice the extra, rounded once
            QCOMPARE(two.pixelColor(27, 25).alpha(), lit ? 255 : 77); // lamp centre; dimmed 0.3
            QVERIFY(qAbs(two.pixelColor(27, 25).hue() - color.hue()) <= 2);
            QCOMPARE(two.pixelColor(15, 7), dark ? QColor(0xECEDF0) : QColor(0x1C1E22)); // face top
            // A transparent ring between lamp and face, though the face's circle crosses it.
            for (double a = 1.6; a < 5.9; a += 0.2)
                QCOMPARE(two.pixelColor(27.2 + 9 * std::cos(a), 25.8 + 9 * std::sin(a)).alpha(), 0);
        }
    }
    void menu_data()
    {
        QTest::addColumn<ClockState>("state");
        QTest::addColumn<QStringList>("server"); // address, name
        QTest::addColumn<qint64>("last");
        QTest::addColumn<QStringList>("lines"); // the status, the last sync, sync now's tooltip
        QTest::addColumn<bool>("syncNow");      // offered
        const QStringList lab{"192.0.2.7", "Lab"};
        const QString never = "Never synced", epoch = "Last sync Thu 1 Jan, 00:00:00";
        const QString take = "Have this computer take the time from its server now, instead of "
                             "at its next sync.";
        QTest::newRow("none: bare words")
            << ClockState::None << lab << 0ll << QStringList{"No server", never, take} << true;
        QTest::newRow("lost, no server") << ClockState::Lost << QStringList{"", ""} << 1ll
                                         << QStringList{"Server not heard", epoch, take} << false;
        QTest::newRow("by name") << ClockState::Sync << lab << 1'700'000'000'999ll
                                 << QStringList{"In sync · Lab", "Last sync Tue 14 Nov, 22:13:20",
                                                take}
                                 << true;
        QTest::newRow("wrong, by address")
            << ClockState::Wrong << QStringList{"192.0.2.7", ""} << 2ll
            << QStringList{"Clock wrong · 192.0.2.7", epoch, take} << true;
        QTest::newRow("its own unsteady server: no sync, and why")
            << ClockState::Sync << QStringList{"127.0.0.1", "Here"} << 0ll
            << QStringList{"In sync · Here", never,
                           "Not while this computer follows the server it runs itself."}
            << false;
    }
    void menu()
    {
        QFETCH(ClockState, state);
        QFETCH(QStringList, server);
        QFETCH(qint64, last);
        Tray t;
        t.watcher->lastSyncUtcMs = last;
        t.set(state, server[0], server[1]);
        emit t.tray.contextMenu()->aboutToShow();
        const QAction* sync = t.actions[5];
        QTEST(QStringList({t.actions[0]->text(), t.actions[1]->text(), sync->toolTip()}), "lines");
        QTEST(sync->isEnabled(), "syncNow");
        QCOMPARE(t.actions[3]->isVisible(), state == ClockState::Wrong); // show the clock alert
    }
    void drawsOnlyWhatChanged_data()
    {
        QTest::addColumn<QList<ClockState>>("burst"); // told one after another, from in sync
        QTest::addColumn<int>("sets");
        QTest::addColumn<bool>("open");  // the menu, while it happens
        QTest::addColumn<bool>("words"); // the bar makes room for them
        using S = ClockState;
        QTest::newRow("another state, the menu open") << QList{S::Lost} << 1 << true << true;
        QTest::newRow("a burst: drawn once, as it ends")
            << QList{S::Lost, S::None, S::Wrong} << 1 << false << true;
        QTest::newRow("wrong, no room for words") << QList{S::Wrong} << 1 << false << false;
        QTest::newRow("a burst back where it was") << QList{S::Lost, S::Sync} << 0 << true << true;
    }
    void drawsOnlyWhatChanged()
    {
        QFETCH(QList<ClockState>, burst);
        QFETCH(int, sets);
        QFETCH(bool, open);
        QFETCH(bool, words);
        Tray t(words);
        t.set(ClockState::Sync, "192.0.2.7", "Lab");
        if (open) t.tray.contextMenu()->popup({0, 0});
        const int before = t.tray.iconsSet();
        for (ClockState state : burst) {
            t.watcher->state = state;
            emit t.watcher->changed();
        }
        QCOMPARE(t.tray.iconsSet(), before); // not before the loop comes round
        QCoreApplication::processEvents();
        QCOMPARE(t.tray.iconsSet(), before + sets);
        const ClockState last = burst.last();
        // Words only in the wrong state: any other is the one words-free icon.
        const bool drawn = words && last == ClockState::Wrong;
        QCOMPARE(t.tray.icon()->icon().cacheKey(),
                 lampIcon(last, true, menuBarIsDark(), drawn).cacheKey());
        if (!open) emit t.tray.contextMenu()->aboutToShow();
        QCOMPARE(t.actions[0]->text(), stateWords(last) + " · Lab");
        if (lampMoves(last)) // every beat of the pulse is a new look
            QTRY_VERIFY_WITH_TIMEOUT(t.tray.iconsSet() >= before + sets + 2, 3000);
    }
    void pulse()
    {
        Tray t;
        t.set(ClockState::Off);
        QCOMPARE(t.blink->interval(), 900);
        QTest::qWait(200);
        const int left = t.blink->remainingTime();
        t.set(ClockState::Off); // the once-a-second refresh keeps the rhythm: no restart
        QVERIFY(t.blink->remainingTime() <= left);
        QTRY_VERIFY_WITH_TIMEOUT(t.lampAlpha() < 255, 1000);
        t.set(ClockState::Wrong); // a new pace at once
        QCOMPARE(t.blink->interval(), 450);
        t.set(ClockState::Sync); // caught dimmed, left lit and steady
        QVERIFY(!t.blink->isActive());
        QCOMPARE(t.lampAlpha(), 255);
    }
};

QTEST_MAIN(TestClientTray)
#include "tst_clienttray.moc"
