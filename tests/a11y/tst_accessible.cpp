// What a screen reader is told: figures in words, each painted widget's role, name, value and
// state, which changes are announced, the clock panel as it ticks, and the order Tab walks each
// window in.

#include "inst/inst.h"
#include "inst/instaccessible.h"
#include "inst/instspoken.h"
#include "tests/ui/uitest.h"
#include "ui/alertwindow.h"
#include "ui/clockpanel.h"
#include "ui/connectwindow.h"

#include <QAccessible>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kNow = 1'700'000'000'000; // 22:13:20 UTC

const QHash<QAccessible::Role, QString> kRoles{{QAccessible::StaticText, u"text"_s},
                                               {QAccessible::CheckBox, u"check"_s},
                                               {QAccessible::Grouping, u"group"_s},
                                               {QAccessible::Graphic, u"graphic"_s},
                                               {QAccessible::RadioButton, u"radio"_s}};

// A row of three texts.
void row(const char* name, const QString& first, const QString& second, const QString& third)
{
    QTest::newRow(name) << first << second << third;
}

QString text(QWidget* w, QAccessible::Text which)
{
    return QAccessible::queryAccessibleInterface(w)->text(which);
}

// One element as a line: role 'name' = 'value', on or off, its text, then its children.
QString describe(QAccessibleInterface* a)
{
    QString line = u"%1 '%2'"_s.arg(kRoles.value(a->role()), a->text(QAccessible::Name));
    if (!a->text(QAccessible::Value).isEmpty())
        line += u" = '%1'"_s.arg(a->text(QAccessible::Value));
    if (a->state().checkable) line += a->state().checked ? u" on"_s : u" off"_s;
    if (QAccessibleTextInterface* text = a->textInterface())
        line += u" text '%1'"_s.arg(text->text(0, text->characterCount()));
    QStringList children;
    for (int i = 0; i < a->childCount(); ++i)
        children << describe(a->child(i));
    if (!children.isEmpty()) line += u" {"_s + children.join(u", "_s) + u'}';
    return line;
}

// What the toolkit told screen readers, one line a notice.
QStringList events;

void record(QAccessibleEvent* event)
{
    QAccessibleInterface* a = event->accessibleInterface();
    const QString who = a ? a->text(QAccessible::Name) : u"?"_s;
    if (event->type() == QAccessible::NameChanged) events << u"name "_s + who;
    if (event->type() == QAccessible::StateChanged)
        events << u"state %1 %2"_s.arg(who, a && a->state().checked ? u"on"_s : u"off"_s);
    if (event->type() == QAccessible::TextUpdated)
        events << u"text %1 '%2'"_s.arg(
            who, static_cast<QAccessibleTextUpdateEvent*>(event)->textInserted());
}

// Builds the widget a row names and runs its steps ("verb:argument", separated by ';').
std::unique_ptr<QWidget> build(const QString& kind, const QString& steps)
{
    std::unique_ptr<QWidget> w;
    if (kind == u"readout") w = std::make_unique<InstReadout>(u"Server heard"_s);
    if (kind == u"led") w = std::make_unique<InstLed>(34);
    if (kind == u"chip") w = std::make_unique<InstChip>(QString(), InstChip::Go);
    if (kind == u"status") w = std::make_unique<InstStatus>();
    if (kind == u"dot") w = std::make_unique<InstDot>(8);
    if (kind == u"toggle") w = std::make_unique<InstToggle>(u"Keep watching"_s);
    if (kind == u"bezel") w = std::make_unique<InstBezel>(u"This computer"_s);
    if (kind == u"selector") w = std::make_unique<InstAppearanceSelector>();
    if (kind == u"value") w = std::make_unique<InstValue>(20);
    w->show();
    for (const QString& step : steps.split(u';', Qt::SkipEmptyParts)) {
        const QString verb = step.section(u':', 0, 0);
        const QString arg = step.section(u':', 1);
        if (verb == u"value") // value:figure|unit
            static_cast<InstReadout*>(w.get())->setValue(arg.section(u'|', 0, 0),
                                                         arg.section(u'|', 1));
        if (verb == u"idle") static_cast<InstReadout*>(w.get())->setIdle(arg);
        if (verb == u"text") {
            if (auto* led = qobject_cast<InstLed*>(w.get())) led->setText(arg);
            if (auto* chip = qobject_cast<InstChip*>(w.get())) chip->setText(arg);
            if (auto* status = qobject_cast<InstStatus*>(w.get())) status->setText(arg);
            if (auto* value = qobject_cast<InstValue*>(w.get())) value->setText(arg);
        }
        if (verb == u"colour") static_cast<InstDot*>(w.get())->setColor(QColor(arg));
        if (verb == u"name") w->setAccessibleName(arg);
        if (verb == u"quiet") Inst::setQuiet(w.get());
        if (verb == u"key") {
            w->setFocus();
            QTest::keyClick(w.get(), QKeySequence(arg)[0].key());
        }
        if (verb == u"press") // the press action of a child
            QAccessible::queryAccessibleInterface(w.get())
                ->child(arg.toInt())
                ->actionInterface()
                ->doAction(QAccessibleActionInterface::pressAction());
        if (verb == u"appearance")
            static_cast<InstAppearanceSelector*>(w.get())->setAppearance(
                Inst::appearanceFromName(arg));
        if (verb == u"clear") events.clear();
    }
    return w;
}

} // namespace

class TstAccessible : public QObject
{
    Q_OBJECT
    QTemporaryDir root; // where the windows look for the tool's files

private slots:

    void initTestCase()
    {
        qputenv("TZ", "UTC");
        qputenv("TESSAVEL_CONNECT_TEST_ROOT", root.path().toUtf8());
        Inst::installAccessibility();
        Inst::setNoticeListener(record);
    }

    void spoken_data()
    {
        QTest::addColumn<QString>("figure");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("words");
        row("part of a second in milliseconds, one is singular", "0.001", "s", "1 millisecond");
        row("from a second on, the fraction kept", "1.500", "s", "1.5 seconds");
        row("whole seconds lose the point", "2.000", "s", "2 seconds");
        row("the words after the unit stay", "1", "s ago", "1 second ago");
        row("a short unit in words", "3", "min", "3 minutes");
        row("a span with colons read as it stands", "1:05", "min", "1:05 min");
        row("a minus sign is said", "\u22120.250", "s", "minus 250 milliseconds");
        row("non-ASCII digits count", "\u0663", "s", "3 seconds");
        row("an unknown unit stands", "12", "ppm", "12 ppm");
    }

    void spoken()
    {
        QFETCH(QString, figure);
        QFETCH(QString, unit);
        QTEST(Inst::spoken(figure, unit), "words");
    }

    void widgets_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("read");
        row("readout idle", "readout", "idle:-.---",
            "text 'Server heard' = 'not measured yet' text 'not measured yet'");
        row("readout in words", "readout", "value:no answer",
            "text 'Server heard' = 'no answer' text 'no answer'");
        row("readout back from idle", "readout", "idle:-.---;value:0.012|s",
            "text 'Server heard' = '12 milliseconds' text '12 milliseconds'");
        row("readout back from words, its old unit gone", "readout",
            "value:7|min ago;value:never;value:4", "text 'Server heard' = '4' text '4'");
        row("readout named by its owner", "readout", "name:Heard;value:3|s ago",
            "text 'Heard' = '3 seconds ago' text '3 seconds ago'");
        row("LED before its first figure", "led", "text:--:--:--",
            "text 'no reading' = 'no reading'");
        row("chip capitals said plainly", "chip", "text:NOT SYNCED YET",
            "text 'Not synced yet' = 'Not synced yet'");
        row("status as one line, its chips not again", "status", "text:In sync - STUDIO CLOCK",
            "text 'In sync - Studio clock' = 'In sync - Studio clock'");
        row("dot by its colour", "dot", "colour:#ff453a", "graphic 'red' = 'red'");
        row("dot named for its state", "dot", "colour:#ff9f0a;name:Clock is off",
            "graphic 'Clock is off' = 'Clock is off'");
        row("space turns a switch on", "toggle", "key:Space", "check 'Keep watching' on");
        row("group named by its caption", "bezel", "",
            "group 'This computer' {text 'THIS COMPUTER'}");
        row("value figure in words", "value", "text:+1.234 s",
            "text '1.234 seconds' = '1.234 seconds'");
        row("down arrow moves the appearance on", "selector", "appearance:light;key:Down",
            "group 'Appearance' = 'Dark' {radio 'System default' off, radio 'Light' off, "
            "radio 'Dark' on}");
        row("up arrow moves it back", "selector", "appearance:light;key:Up",
            "group 'Appearance' = 'System default' {radio 'System default' on, radio 'Light' "
            "off, radio 'Dark' off}");
        row("a segment's press action picks it", "selector", "appearance:dark;press:1",
            "group 'Appearance' = 'Light' {radio 'System default' off, radio 'Light' on, "
            "radio 'Dark' off}");
    }

    void widgets()
    {
        QFETCH(QString, kind);
        QFETCH(QString, steps);
        const std::unique_ptr<QWidget> w = build(kind, steps);
        QTEST(describe(QAccessible::queryAccessibleInterface(w.get())), "read");
    }

    void announcements_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("told");
        const auto row = [](const char* name, const char* kind, const char* steps,
                            QStringList told) {
            QTest::newRow(name) << QString::fromUtf8(kind) << QString::fromUtf8(steps) << told;
        };
        row("a readout tells only new words", "readout",
            "clear;value:2|s ago;value:2|s ago;value:0.0031|s;value:0.003|s",
            {"text Server heard '2 seconds ago'", "text Server heard '3 milliseconds'"});
        row("a quiet readout tells nothing", "readout", "quiet;clear;value:2|s ago;idle:-.---", {});
        row("a status tells a new state, not its ticking detail", "status",
            "text:Server not heard - Last synced 5 s ago;clear;"
            "text:Server not heard - Last synced 6 s ago;text:In sync - ANNEX",
            {"name In sync - Annex"});
        row("a dot tells a new colour word only", "dot",
            "clear;colour:#ff453a;colour:#ff4030;colour:#38e07a", {"name red", "name green"});
        row("the appearance tells both segments", "selector", "appearance:light;clear;key:Right",
            {"state Light off", "state Dark on"});
    }

    void announcements()
    {
        QFETCH(QString, kind);
        QFETCH(QString, steps);
        const std::unique_ptr<QWidget> w = build(kind, steps);
        QTEST(events, "told");
    }

    // The panel in sync: its status and readouts read in words, its ticking figures quiet.
    void clockPanel()
    {
        ClockReading reading{
            ClockState::Sync, {kNow, true, -3, kNow - 5000}, u"LAB"_s, true, 2000, true, true};
        QWidget window;
        ClockPanel panel(&window);
        panel.show(reading);
        QCOMPARE(text(panel.clock(), QAccessible::Value), u"22:13:20"_s);
        QStringList read{text(panel.statusChips(), QAccessible::Name)};
        for (InstReadout* r : panel.screen()->findChildren<InstReadout*>())
            read << text(r, QAccessible::Value);
        QCOMPARE(read, QStringList({"In sync - Lab", "3 milliseconds", "22:13:15", "2 seconds ago",
                                    "yes"}));

        // A second later the clock and the time since the server was heard have moved: unsaid.
        events.clear();
        reading.inputs.nowUtcMs += 1000;
        reading.heardAgoMs += 1000;
        panel.show(reading);
        QCOMPARE(events, QStringList());
    }

    void tabOrder_data()
    {
        QTest::addColumn<bool>("alert");
        QTest::addColumn<QString>("order"); // the controls' names, in the order Tab reaches them
        QTest::newRow("main window")
            << false
            << u"Appearance › History… › Search again › Time servers › Keep watching in "
               "the menu bar › Start Veridir at login › Enter IP address… › "
               "Remove… › Sync now › SET UP THIS COMPUTER"_s;
        QTest::newRow("clock alert") << true
                                     << u"Date › Time › SET THE CLOCK › Don't ask for the password "
                                        "again › Search for a server › Accept the server's time"_s;
    }

    void tabOrder()
    {
        QFETCH(bool, alert);
        FakeTime time{kNow};
        SntpPeer peer(time); // it agrees with the clock: the alert offers to accept its time
        const auto watcher = stillWatcher(time, kNow + 3'600'000, peer.port());
        std::unique_ptr<QWidget> w;
        if (alert) {
            watcher->setServer(u"127.0.0.1"_s, u"Lab"_s);
            QTRY_VERIFY_WITH_TIMEOUT(watcher->inputs().answered, 3000);
            w = std::make_unique<AlertWindow>(watcher.get());
        } else {
            w = std::make_unique<ConnectWindow>(watcher.get());
        }
        // The focus chain as Tab walks it, disabled controls too; hidden ones are passed over.
        QStringList order;
        for (QWidget* c = w->nextInFocusChain(); c != w.get(); c = c->nextInFocusChain())
            if ((c->focusPolicy() & Qt::TabFocus) && !c->focusProxy() && c->isVisibleTo(w.get()))
                order << text(c, QAccessible::Name);
        QTEST(order.join(u" › "_s), "order");
    }
};

QTEST_MAIN(TstAccessible)
#include "tst_accessible.moc"
