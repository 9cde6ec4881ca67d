// The clock panel: its words for each reading of the watcher, and its clock and offset figures.

#include "ui/clockpanel.h"

#include "inst/instled.h"
#include "inst/instreadout.h"

#include <QTest>

namespace {

constexpr qint64 kNow = 1'700'000'000'000; // 2023-11-14 22:13:20 UTC
constexpr qint64 kNoAnswer = std::numeric_limits<qint64>::max();

enum class Report { Off, NotHeard, Heard };

} // namespace

class TestClockPanel : public QObject
{
    Q_OBJECT

private slots:
    void reading_data()
    {
        QTest::addColumn<ClockState>("state");
        QTest::addColumn<qint64>("offsetMs");      // server minus this clock
        QTest::addColumn<qint64>("lastSyncAgoMs"); // -1: never
        QTest::addColumn<qint64>("heardAgoMs");
        QTest::addColumn<Report>("report");
        // Status, offset (none while no answer counts), last sync, server heard and reported
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("never synced, no server")
            << ClockState::None << kNoAnswer << -1ll << -1ll << Report::Off
            << QStringList{"No server", "", "never", "never", "off"};
        QTest::newRow("in sync, sign never shown, report heard")
            << ClockState::Sync << -1234ll << 5000ll << 99'999ll << Report::Heard
            << QStringList{"In sync - Lab", "1.234 s", "22:13:15", "99 s ago", "yes"};
        QTest::newRow("off and ahead, offset as a span, report not heard")
            << ClockState::Off << -12'345ll << 3'600'000ll << 100'000ll << Report::NotHeard
            << QStringList{"Clock is off - 12 s ahead of Lab", "12 s", "21:13:20", "1 min ago",
                           "not heard"};
        QTest::newRow("off and behind, under ten seconds")
            << ClockState::Off << 9999ll << 3'600'000ll << 0ll << Report::Off
            << QStringList{"Clock is off - 9 s behind Lab", "9.999 s", "21:13:20", "0 s ago",
                           "off"};
        QTest::newRow("off by nothing reads ahead")
            << ClockState::Off << 0ll << 3'600'000ll << 0ll << Report::Off
            << QStringList{"Clock is off - 0 s ahead of Lab", "0.000 s", "21:13:20", "0 s ago",
                           "off"};
        QTest::newRow("lost, synced on an earlier day")
            << ClockState::Lost << kNoAnswer << 2 * 86'400'000ll << -1ll << Report::Off
            << QStringList{"Server not heard - Last synced 2 days ago", "", "12 Nov 2023",
                           "no answer", "off"};
        QTest::newRow("wrong") << ClockState::Wrong << 5ll << 3000ll << 1000ll << Report::Off
                               << QStringList{"Clock wrong - Earlier than its last sync", "0.005 s",
                                              "22:13:17", "1 s ago", "off"};
    }

    void reading()
    {
        QFETCH(ClockState, state);
        QFETCH(qint64, offsetMs);
        QFETCH(qint64, lastSyncAgoMs);
        QFETCH(qint64, heardAgoMs);
        QFETCH(Report, report);
        QFETCH(QStringList, texts);
        const bool answered = offsetMs != kNoAnswer;
        const ClockReading reading{
            state,
            {kNow, answered, answered ? offsetMs : 0, lastSyncAgoMs < 0 ? 0 : kNow - lastSyncAgoMs},
            "Lab",
            state != ClockState::None,
            heardAgoMs,
            report != Report::Off,
            report == Report::Heard};
        const ClockPanelView v = clockPanelView(reading);
        QCOMPARE(QStringList({v.status, (v.offset + " " + v.offsetUnit).trimmed(), v.lastSync,
                              (v.heard + " " + v.heardUnit).trimmed(), v.reported}),
                 texts);
        QCOMPARE(v.reportedTone, report == Report::Heard      ? "go"
                                 : report == Report::NotHeard ? "sec"
                                                              : "muted");
        QVERIFY(v.dateLine.startsWith("Tuesday, November 14, 2023  ·  "));

        // The clock lit from the first reading on, red when wrong; the offset's figure dimmed
        // while no answer counts.
        QWidget window;
        ClockPanel panel(&window);
        panel.show(reading);
        QCOMPARE(panel.clock()->text(), QString("22:13:20"));
        QVERIFY(!panel.clock()->isDim());
        QCOMPARE(panel.clock()->tone(), state == ClockState::Wrong ? InstLed::Bad : InstLed::Go);
        const InstLed* figure = panel.offset()->findChild<InstLed*>();
        QCOMPARE(figure->text(), answered ? texts[1].section(' ', 0, 0) : "-.---");
        QCOMPARE(figure->isDim(), !answered);
    }
};

QTEST_MAIN(TestClockPanel)
#include "tst_clockpanel.moc"
