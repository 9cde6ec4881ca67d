// The clock's history window on fake time over a history in a folder of the test's own, and the
// application's record of its own start and quit.

#include "app/clientapp.h"
#include "inst/inst.h"
#include "tests/ui/uitest.h"
#include "ui/clockpanel.h"
#include "ui/connectwindow.h"
#include "ui/historystrip.h"
#include "ui/historywindow.h"

#include <QDir>
#include <QPushButton>
#include <QtTest>

namespace {

constexpr qint64 kNow = 1'700'000'000'000; // 2023-11-14 22:13:20 UTC
constexpr qint64 kMin = 60'000;
constexpr qint64 kOlder = kNow - 40 * kMin, kNewer = kNow - 20 * kMin;

// Pixels of the trace's ink: its blue stands well clear of the canvas, the grid and the hatch.
bool ink(QRgb c)
{
    return qBlue(c) - qRed(c) > 60 && qGreen(c) > 60;
}

// Sends keys by name, one after another, to a widget, or to a window's focus.
void press(QWidget* to, const QString& keys)
{
    const QMap<QString, Qt::Key> codes{{"Left", Qt::Key_Left},     {"Right", Qt::Key_Right},
                                       {"Home", Qt::Key_Home},     {"End", Qt::Key_End},
                                       {"Escape", Qt::Key_Escape}, {"Space", Qt::Key_Space},
                                       {"Enter", Qt::Key_Enter},   {"Return", Qt::Key_Return},
                                       {"Tab", Qt::Key_Tab},       {"Backtab", Qt::Key_Backtab}};
    for (const QString& k : keys.split(' ', Qt::SkipEmptyParts))
        if (codes.contains(k)) QTest::keyClick(to->isWindow() ? to->focusWidget() : to, codes[k]);
}

// The shown labels of a window with this text.
QList<QLabel*> showing(QWidget* window, const QString& text)
{
    QList<QLabel*> found;
    for (QLabel* l : window->findChildren<QLabel*>())
        if (l->isVisible() && l->text() == text) found << l;
    return found;
}

} // namespace

class TestHistoryWindow : public QObject
{
    Q_OBJECT

    FakeTime time{kNow};
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<ClockHistory> history;
    std::unique_ptr<HistoryWindow> window;

    // The window over the history, shown, at the 1-hour range unless told otherwise.
    HistoryStrip* open(HistoryRange range = HistoryRange::Hour)
    {
        window = std::make_unique<HistoryWindow>(history.get(), time);
        window->setRange(range);
        window->show();
        QApplication::processEvents();
        return window->strip();
    }
    // Two samples 20 minutes apart, the second after a change of server and state.
    void twoSamples()
    {
        history->addSample({kOlder, 1234, 500, "192.0.2.2", ClockState::Sync});
        history->addEvent({kNewer - 3000, HistoryEventKind::Server, ClockState::Sync,
                           "<b>Annex</b> (192.0.2.3)"});
        history->addEvent({kNewer - 1000, HistoryEventKind::State, ClockState::Off, "from sync"});
        history->addSample({kNewer, -250, 3001, "192.0.2.3", ClockState::Off});
    }
    void moveTo(HistoryStrip* strip, qint64 t)
    {
        const QPoint at(strip->plotRect().left() + strip->columnOf(t), strip->height() / 2);
        QMouseEvent move(QEvent::MouseMove, at, strip->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(strip, &move);
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        time.utc = kNow;
        dir = std::make_unique<QTemporaryDir>();
        boxesSeen().clear();
        history = std::make_unique<ClockHistory>(dir->filePath("history.sqlite"));
    }
    void cleanup() { window.reset(), history.reset(); }

    void sampleLandsInItsColumn_data()
    {
        QTest::addColumn<int>("range");
        QTest::addColumn<qint64>("at");
        QTest::addColumn<qint64>("offsetUs");
        QTest::addColumn<qint64>("delayUs");
        QTest::newRow("1 hour: half a minute in")
            << 0 << kNow - 59 * kMin - 30'000 << 2000ll << 800ll;
        QTest::newRow("1 hour: the newest, behind") << 0 << kNow - 1000 << -1500ll << 3000ll;
        // Here a column holds minutes: a sample half way through one stands where it is.
        QTest::newRow("24 hours: mid-day, a long path")
            << 1 << kNow - 12 * 60 * kMin - 50'000 << 500ll << 9000ll;
    }
    void sampleLandsInItsColumn()
    {
        QFETCH(int, range);
        QFETCH(qint64, at);
        QFETCH(qint64, offsetUs);
        QFETCH(qint64, delayUs);
        history->addSample({at, offsetUs, delayUs, "192.0.2.2", ClockState::Sync});
        HistoryStrip* strip = open(HistoryRange(range));
        const QRect plot = strip->plotRect();
        QCOMPARE(strip->data().columns.size(), plot.width()); // one column a pixel
        const QImage image = strip->grab().toImage();
        int x = -1, most = 0, top = plot.bottom(), bottom = plot.top();
        for (int c = plot.left(); c <= plot.right(); ++c) {
            int n = 0;
            for (int y = plot.top(); y <= plot.bottom(); ++y)
                n += ink(image.pixel(c, y));
            if (n > most) most = n, x = c;
        }
        const qint64 rangeMs = range ? 86'400'000 : 3'600'000;
        QCOMPARE(x, plot.left() + int((at - (kNow - rangeMs)) * plot.width() / rangeMs));
        for (int y = plot.top(); y <= plot.bottom(); ++y)
            if (ink(image.pixel(x, y))) top = qMin(top, y), bottom = qMax(bottom, y);
        // Half the round trip either side of the offset, on the scale the axis is labelled in.
        QVERIFY(qAbs(top - strip->yOf(offsetUs + delayUs / 2.0)) <= 1.5);
        QVERIFY(qAbs(bottom + 1 - strip->yOf(offsetUs - delayUs / 2.0)) <= 1.5);
        QCOMPARE(strip->yOf(offsetUs) < strip->yOf(0), offsetUs > 0);
    }

    void cursorReadsTheNearestSample_data()
    {
        QTest::addColumn<QString>("action"); // "hover T", "click T" (minutes before now), keys
        QTest::addColumn<QString>("want");   // the readout's first lines
        const QString older = "2023-11-14 21:33:20.000 UTC\noffset +1.234 ms ± 250 µs\n"
                              "delay 500 µs\nIn sync · 192.0.2.2";
        const QString newer = "2023-11-14 21:53:20.000 UTC\noffset −250 µs ± 1.5005 ms\n"
                              "delay 3.001 ms\nClock is off · 192.0.2.3";
        QTest::newRow("no cursor: the latest") << "" << newer;
        QTest::newRow("hover over the older sample") << "hover 40" << older;
        QTest::newRow("click the newer: its events beside it, the name as it came")
            << "click 20"
            << newer + "\n21:53:17 server: <b>Annex</b> (192.0.2.3)\n"
                       "21:53:19 Clock is off: from sync";
        QTest::newRow("in the silence between: for how long")
            << "hover 30"
            << "No answer for 20 min\nfrom 21:33 UTC";
        QTest::newRow("before the first sample: nothing near") << "hover 55"
                                                               << "No measurement near 21:18 UTC";
        QTest::newRow("End, then Left: back to the older") << "End Left" << older;
        QTest::newRow("Home, Right, Right: stops at the newest") << "Home Right Right" << newer;
        QTest::newRow("Escape after Home: the latest again") << "Home Escape" << newer;
    }
    void cursorReadsTheNearestSample()
    {
        QFETCH(QString, action);
        QFETCH(QString, want);
        twoSamples();
        HistoryStrip* strip = open();
        const QString how = action.section(' ', 0, 0);
        const qint64 at = kNow - action.section(' ', 1, 1).toInt() * kMin;
        if (how == "hover") moveTo(strip, at);
        if (how == "click") {
            moveTo(strip, kNow); // away first: the click alone must move the cursor
            const QPoint point(strip->plotRect().left() + strip->columnOf(at), 50);
            QTest::mouseClick(strip, Qt::LeftButton, {}, point);
        }
        press(strip, action);
        QCOMPARE(strip->readout().section('\n', 0, int(want.count('\n'))), want);
        // The label beside the chart shows the same, never as markup.
        const QList<QLabel*> shown = showing(window.get(), strip->readout());
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0]->textFormat(), Qt::PlainText);
    }

    void rangesFromTheKeyboard_data()
    {
        QTest::addColumn<QString>("keys"); // sent to whichever has the focus, from "24 HOURS"
        QTest::addColumn<int>("range");
        QTest::addColumn<QString>("focus"); // the focused button's text
        QTest::newRow("Left, Space: 1 hour") << "Left Space" << 0 << "1 HOUR";
        QTest::newRow("Right, Enter: 7 days") << "Right Enter" << 2 << "7 DAYS";
        QTest::newRow("Right past the end, Return: 400 days")
            << "Right Right Right Return" << 3 << "400 DAYS";
        QTest::newRow("an arrow only moves the focus; Tab leaves, Backtab comes back to the "
                      "shown one")
            << "Right Tab Backtab" << 1 << "24 HOURS";
    }
    void rangesFromTheKeyboard()
    {
        QFETCH(QString, keys);
        QFETCH(int, range);
        QFETCH(QString, focus);
        twoSamples();
        HistoryStrip* strip = open(HistoryRange::Day);
        QCOMPARE(qobject_cast<QPushButton*>(window->focusWidget())->text(), "24 HOURS");
        time.advance(90'000); // the span read is the one ending at the switch
        press(window.get(), keys);
        QCOMPARE(int(strip->range()), range);
        const qint64 end = (range == 1 ? kNow : kNow + 90'000) + 1; // untouched: the first read
        const qint64 spans[] = {3'600'000, 86'400'000, 7 * 86'400'000ll, 400 * 86'400'000ll};
        QCOMPARE(strip->toMs(), end);
        QCOMPARE(strip->fromMs(), end - spans[range]);
        auto* focused = qobject_cast<QPushButton*>(window->focusWidget());
        QCOMPARE(focused ? focused->text() : QString("(not a button)"), focus);
        for (QPushButton* b : window->findChildren<QPushButton*>())
            if (b->text() != "Export…")
                QCOMPARE(b->isChecked(), b->text() == historyRangeName(HistoryRange(range)));
    }

    void exportWritesTheShownRange_data()
    {
        QTest::addColumn<QString>("answer"); // the save panel's button, a space, the file's name
        QTest::addColumn<int>("lines");      // the file's, its header too; -1: no file
        QTest::addColumn<bool>("why");       // a box says why it failed
        QTest::newRow("Save: the shown day, nothing older") << "Save mine.csv" << 5 << false;
        QTest::newRow("Cancel: nothing written") << "Cancel mine.csv" << -1 << false;
        QTest::newRow("a folder that is not there: why, in a box")
            << "Save missing/mine.csv" << -1 << true;
    }
    void exportWritesTheShownRange()
    {
        QFETCH(QString, answer);
        QFETCH(bool, why);
        twoSamples();
        history->addSample({kNow - 25 * 60 * kMin, 7, 500, "192.0.2.2", ClockState::Sync});
        open(HistoryRange::Day);
        const QString path = dir->filePath(answer.section(' ', 1));
        QString suggested;
        Dialogs::answerNext([&](const Dialogs::Seen& s) {
            suggested = QFileInfo(s.input).fileName();
            return Dialogs::Answer{answer.section(' ', 0, 0), path};
        });
        if (why) answerNext("OK");
        buttonNamed(window.get(), "Export…")->click();
        QCOMPARE(suggested, "clock-history-24h-to-2023-11-14T2213Z.csv"); // the range, its end
        QVERIFY(!Dialogs::hasPendingAnswers());
        QFile written(path);
        QTEST(written.open(QIODevice::ReadOnly) ? int(written.readAll().count("\r\n")) : -1,
              "lines");
        if (!why) return;
        QCOMPARE(boxesSeen().value(0).text, "The history could not be exported to " + path + ".");
        QVERIFY(!boxesSeen().value(0).informative.isEmpty());
    }

    void unusableHistoryShowsWhyAndNoChart()
    {
        QDir().mkpath(dir->filePath("folder.sqlite")); // one reason of those the history gives
        history = std::make_unique<ClockHistory>(dir->filePath("folder.sqlite"));
        QCOMPARE(open(), nullptr);
        QVERIFY(!buttonNamed(window.get(), "Export…"));
        const QList<QLabel*> says = showing(window.get(), history->error());
        QCOMPARE(says.size(), 1);
        QCOMPARE(says[0]->textFormat(), Qt::PlainText);
    }

    void hiddenWindowReadsNothing()
    {
        twoSamples();
        HistoryStrip* strip = open();
        window->hide();
        time.advance(10'000);
        history->addSample({time.utc, 42, 500, "192.0.2.3", ClockState::Sync});
        QTest::qWait(50);
        QCOMPARE(strip->toMs(), kNow + 1);
        window->show();
        QCOMPARE(strip->toMs(), kNow + 10'001); // and what came meanwhile is shown at once
        QVERIFY(strip->readout().startsWith("2023-11-14 22:13:30.000 UTC\noffset +42 µs"));
    }

    void driftFollowsTheRecord_data()
    {
        QTest::addColumn<double>("ppm"); // this clock's rate: fast when positive
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("sense");
        QTest::newRow("fast") << 12.5 << "12.50 ppm"
                              << "fast: gains 1.08 s a day";
        QTest::newRow("slow") << -3.0 << "-3.00 ppm"
                              << "slow: loses 259 ms a day";
    }
    void driftFollowsTheRecord()
    {
        QFETCH(double, ppm);
        QFETCH(QString, rate);
        QFETCH(QString, sense);
        // A sample a minute, 40 µs of noise either way: a rate needs twenty of them.
        auto add = [&](int k) {
            const qint64 offsetUs = qint64(-ppm * 60 * k) + (k % 2 ? 40 : -40);
            history->addSample(
                {kNow - 30 * kMin + k * kMin, offsetUs, 300, "192.0.2.2", ClockState::Sync});
        };
        for (int k = 0; k < 19; ++k)
            add(k);
        open();
        const auto value = [&] { return window->findChild<InstValue*>()->accessibleName(); };
        QCOMPARE(value(), "not enough data yet");
        for (int k = 19; k < 25; ++k)
            add(k);
        QTRY_COMPARE(value(), rate);
        QCOMPARE(showing(window.get(), sense).size(), 1);
    }

    void applicationRecordsItsRun_data()
    {
        QTest::addColumn<bool>("atLogin");
        QTest::addColumn<QString>("want");
        QTest::newRow("at login") << true << "start: at login, server: 127.0.0.1, quit";
        QTest::newRow("by hand") << false << "start, server: 127.0.0.1, quit";
    }
    void applicationRecordsItsRun()
    {
        QFETCH(bool, atLogin);
        QFETCH(QString, want);
        // Settings, history and the tool's files of the test's own; followed: a loopback server.
        const QTemporaryDir home;
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "TESSAVEL_CONNECT_TEST_ROOT"})
            qputenv(name, home.path().toUtf8());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
        QVERIFY(setUpWith("127.0.0.1"));
        QString path;
        {
            ClientApp app(atLogin);
            path = app.clockHistory()->path();
            QVERIFY(path.startsWith(home.path()));
            QCOMPARE(app.historyWindow(), nullptr); // made when first asked for
            app.mainWindow()->clockPanel()->historyButton()->click();
            HistoryWindow* shown = app.historyWindow();
            QVERIFY(shown && shown->isVisible());
            app.showHistory();
            QCOMPARE(app.historyWindow(), shown);
            // Not keeping watch, closing the main window quits, the history open or not.
            QVERIFY(!shown->testAttribute(Qt::WA_QuitOnClose));
        }
        const ClockHistory after(path);
        QStringList events;
        for (const HistoryEvent& e :
             after.chart(0, QDateTime::currentMSecsSinceEpoch() + 1, 1).events)
            if (e.kind != HistoryEventKind::State)
                events << historyEventWord(e.kind) + (e.detail.isEmpty() ? "" : ": " + e.detail);
        QCOMPARE(events.join(", "), want);
    }
};

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"
