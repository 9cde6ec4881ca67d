// What the toolkit's painted widgets tell a screen reader in each of their states, and which
// of their changes are announced.

#include "inst/inst.h"
#include "inst/instaccessible.h"
#include "inst/instspoken.h"

#include <QAccessible>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QString roleName(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::StaticText:
        return u"text"_s;
    case QAccessible::CheckBox:
        return u"check"_s;
    case QAccessible::Grouping:
        return u"group"_s;
    case QAccessible::Graphic:
        return u"graphic"_s;
    case QAccessible::RadioButton:
        return u"radio"_s;
    default:
        return QString::number(role);
    }
}

// One element as a line: role 'name' = 'value' and its states, then its children.
QString describe(QAccessibleInterface* a)
{
    if (!a) return u"none"_s;
    QString line = u"%1 '%2'"_s.arg(roleName(a->role()), a->text(QAccessible::Name));
    if (!a->text(QAccessible::Value).isEmpty())
        line += u" = '%1'"_s.arg(a->text(QAccessible::Value));
    const QAccessible::State s = a->state();
    if (s.checkable) line += s.checked ? u" on"_s : u" off"_s;
    if (QAccessibleTextInterface* text = a->textInterface())
        line += u" text '%1'"_s.arg(text->text(0, text->characterCount()));
    QStringList children;
    for (int i = 0; i < a->childCount(); ++i)
        children << describe(a->child(i));
    if (!children.isEmpty()) line += u" {"_s + children.join(u", "_s) + u'}';
    return line;
}

QStringList events;

void record(QAccessibleEvent* event)
{
    QAccessibleInterface* a = event->accessibleInterface();
    const QString who = a ? a->text(QAccessible::Name) : u"?"_s;
    switch (event->type()) {
    case QAccessible::NameChanged:
        events << u"name "_s + who;
        break;
    case QAccessible::TextUpdated:
        events << u"text %1 '%2'"_s.arg(
            who, static_cast<QAccessibleTextUpdateEvent*>(event)->textInserted());
        break;
    case QAccessible::StateChanged:
        events << u"state %1 %2"_s.arg(who, a && a->state().checked ? u"on"_s : u"off"_s);
        break;
    default:
        break;
    }
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
        if (verb == u"value") { // value:figure|unit
            static_cast<InstReadout*>(w.get())->setValue(arg.section(u'|', 0, 0),
                                                         arg.section(u'|', 1));
        } else if (verb == u"idle") {
            static_cast<InstReadout*>(w.get())->setIdle(arg);
        } else if (verb == u"text") {
            if (auto* led = qobject_cast<InstLed*>(w.get())) led->setText(arg);
            if (auto* chip = qobject_cast<InstChip*>(w.get())) chip->setText(arg);
            if (auto* status = qobject_cast<InstStatus*>(w.get())) status->setText(arg);
            if (auto* value = qobject_cast<InstValue*>(w.get())) value->setText(arg);
        } else if (verb == u"colour") {
            static_cast<InstDot*>(w.get())->setColor(QColor(arg));
        } else if (verb == u"name") {
            w->setAccessibleName(arg);
        } else if (verb == u"quiet") {
            Inst::setQuiet(w.get());
        } else if (verb == u"key") {
            w->setFocus();
            QTest::keyClick(w.get(), QKeySequence(arg)[0].key());
        } else if (verb == u"press") { // the press action of a child
            QAccessibleInterface* child =
                QAccessible::queryAccessibleInterface(w.get())->child(arg.toInt());
            child->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        } else if (verb == u"appearance") {
            static_cast<InstAppearanceSelector*>(w.get())->setAppearance(
                Inst::appearanceFromName(arg));
        } else if (verb == u"clear") {
            events.clear();
        }
    }
    return w;
}

} // namespace

class TstAccessible : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void spoken_data();
    void spoken();
    void widgets_data();
    void widgets();
    void announcements_data();
    void announcements();
};

void TstAccessible::initTestCase()
{
    Inst::installAccessibility();
    Inst::setNoticeListener(record);
}

void TstAccessible::spoken_data()
{
    QTest::addColumn<QString>("figure");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("words");
    QTest::newRow("part of a second in milliseconds") << "0.003"
                                                      << "s"
                                                      << "3 milliseconds";
    QTest::newRow("no offset at all") << "0.000"
                                      << "s"
                                      << "0 milliseconds";
    QTest::newRow("one millisecond is singular") << "0.001"
                                                 << "s"
                                                 << "1 millisecond";
    QTest::newRow("seconds keep their fraction") << "1.500"
                                                 << "s"
                                                 << "1.5 seconds";
    QTest::newRow("whole seconds lose the point") << "2.000"
                                                  << "s"
                                                  << "2 seconds";
    QTest::newRow("the words after the unit stay") << "2"
                                                   << "s ago"
                                                   << "2 seconds ago";
    QTest::newRow("one second ago") << "1"
                                    << "s ago"
                                    << "1 second ago";
    QTest::newRow("minutes ago") << "3"
                                 << "min ago"
                                 << "3 minutes ago";
    QTest::newRow("a span in hours") << "5"
                                     << "h"
                                     << "5 hours";
    QTest::newRow("a time of day as it stands") << "11:05:53"
                                                << ""
                                                << "11:05:53";
    QTest::newRow("a minus sign is said") << "\u22120.250"
                                          << "s"
                                          << "minus 250 milliseconds";
    QTest::newRow("non-ASCII digits count") << "\u0663"
                                            << "s"
                                            << "3 seconds";
    QTest::newRow("an unknown unit stands") << "12"
                                            << "ppm"
                                            << "12 ppm";
    QTest::newRow("placeholders say nothing") << "-.---"
                                              << ""
                                              << "";
}

void TstAccessible::spoken()
{
    QFETCH(QString, figure);
    QFETCH(QString, unit);
    QFETCH(QString, words);
    QCOMPARE(Inst::spoken(figure, unit), words);
}

void TstAccessible::widgets_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("read");
    QTest::newRow("readout figure and unit") << "readout"
                                             << "value:2|s ago"
                                             << "text 'Server heard' = '2 seconds ago' "
                                                "text '2 seconds ago'";
    QTest::newRow("readout in words") << "readout"
                                      << "value:no answer"
                                      << "text 'Server heard' = 'no answer' text 'no answer'";
    QTest::newRow("readout idle") << "readout"
                                  << "idle:-.---"
                                  << "text 'Server heard' = 'not measured yet' "
                                     "text 'not measured yet'";
    QTest::newRow("readout back from idle")
        << "readout"
        << "idle:-.---;value:0.012|s"
        << "text 'Server heard' = '12 milliseconds' text '12 milliseconds'";
    QTest::newRow("readout back from words, its old unit gone")
        << "readout"
        << "value:7|min ago;value:never;value:4"
        << "text 'Server heard' = '4' text '4'";
    QTest::newRow("readout named by its owner") << "readout"
                                                << "name:Heard;value:3|s ago"
                                                << "text 'Heard' = '3 seconds ago' "
                                                   "text '3 seconds ago'";
    QTest::newRow("LED time of day") << "led"
                                     << "text:11:05:53"
                                     << "text '11:05:53' = '11:05:53'";
    QTest::newRow("LED before its first figure") << "led"
                                                 << "text:--:--:--"
                                                 << "text 'no reading' = 'no reading'";
    QTest::newRow("chip capitals said plainly") << "chip"
                                                << "text:NOT SYNCED YET"
                                                << "text 'Not synced yet' = 'Not synced yet'";
    QTest::newRow("status as one line, its chips not again")
        << "status"
        << "text:In sync - STUDIO CLOCK"
        << "text 'In sync - Studio clock' = 'In sync - Studio clock'";
    QTest::newRow("status without detail") << "status"
                                           << "text:No server"
                                           << "text 'No server' = 'No server'";
    QTest::newRow("dot by its colour") << "dot"
                                       << "colour:#ff453a"
                                       << "graphic 'red' = 'red'";
    QTest::newRow("dot follows the led token") << "dot"
                                               << ""
                                               << "graphic 'green' = 'green'";
    QTest::newRow("dot named for its state") << "dot"
                                             << "colour:#ff9f0a;name:Clock is off"
                                             << "graphic 'Clock is off' = 'Clock is off'";
    QTest::newRow("switch off") << "toggle"
                                << ""
                                << "check 'Keep watching' off";
    QTest::newRow("space turns a switch on") << "toggle"
                                             << "key:Space"
                                             << "check 'Keep watching' on";
    QTest::newRow("group named by its caption") << "bezel"
                                                << ""
                                                << "group 'This computer' "
                                                   "{text 'THIS COMPUTER'}";
    QTest::newRow("value figure in words") << "value"
                                           << "text:+1.234 s"
                                           << "text '1.234 seconds' = '1.234 seconds'";
    // The selector with its three segments, the chosen one on.
    const auto selector = [](const char* row, const char* steps, int chosen) {
        QStringList segments;
        for (int i = 0; i < 3; ++i)
            segments << u"radio '%1' %2"_s.arg(InstAppearanceSelector::segmentName(i),
                                               i == chosen ? u"on"_s : u"off"_s);
        QTest::newRow(row) << u"selector"_s << QString::fromLatin1(steps)
                           << u"group 'Appearance' = '%1' {%2}"_s.arg(
                                  InstAppearanceSelector::segmentName(chosen),
                                  segments.join(u", "_s));
    };
    selector("appearance as radio buttons", "appearance:light", 1);
    selector("right arrow moves the choice", "appearance:light;key:Right", 2);
    selector("up arrow moves it back", "appearance:light;key:Up", 0);
    selector("left arrow stops at the first", "appearance:system;key:Left", 0);
    selector("a segment's press action picks it", "appearance:dark;press:1", 1);
}

void TstAccessible::widgets()
{
    QFETCH(QString, kind);
    QFETCH(QString, steps);
    QFETCH(QString, read);
    const std::unique_ptr<QWidget> w = build(kind, steps);
    QCOMPARE(describe(QAccessible::queryAccessibleInterface(w.get())), read);
}

void TstAccessible::announcements_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("told");
    QTest::newRow("a readout tells each new value once")
        << "readout"
        << "clear;value:2|s ago;value:2|s ago;value:3|s ago"
        << QStringList{"text Server heard '2 seconds ago'", "text Server heard '3 seconds ago'"};
    QTest::newRow("the same words from another figure tell nothing")
        << "readout"
        << "value:0.0031|s;clear;value:0.003|s" << QStringList{};
    QTest::newRow("a quiet readout tells nothing")
        << "readout"
        << "quiet;clear;value:2|s ago;idle:-.---" << QStringList{};
    QTest::newRow("a status tells a new state, not its ticking detail")
        << "status"
        << "text:Server not heard - Last synced 5 s ago;clear;"
           "text:Server not heard - Last synced 6 s ago;text:In sync - ANNEX"
        << QStringList{"name In sync - Annex"};
    QTest::newRow("a dot tells a new colour word only")
        << "dot"
        << "clear;colour:#ff453a;colour:#ff4030;colour:#38e07a"
        << QStringList{"name red", "name green"};
    QTest::newRow("the appearance tells both segments")
        << "selector"
        << "appearance:light;clear;key:Right" << QStringList{"state Light off", "state Dark on"};
}

void TstAccessible::announcements()
{
    QFETCH(QString, kind);
    QFETCH(QString, steps);
    QFETCH(QStringList, told);
    const std::unique_ptr<QWidget> w = build(kind, steps);
    QCOMPARE(events, told);
}

QTEST_MAIN(TstAccessible)
#include "tst_accessible.moc"
