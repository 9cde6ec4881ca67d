// The instrument toolkit: its sheet and palette, the rules in rules.txt, and the painted widgets.

#include "inst/inst.h"

#include <QtTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

namespace {

// Style-sheet colours come back at 8 bits a channel; the tokens are kept at 16.
const auto rgb = [](const QColor& colour) { return colour.name(QColor::HexArgb); };

// What a widget shows, its children joined by '|': "_" when hidden, "~" before a dimmed LED.
QString describe(const QWidget* w)
{
    if (w->isHidden() && !w->isWindow()) return u"_"_s;
    if (auto* l = qobject_cast<const InstLed*>(w)) return u"~"_s.repeated(l->isDim()) + l->text();
    if (auto* chip = qobject_cast<const InstChip*>(w)) return chip->text();
    if (auto* label = qobject_cast<const QLabel*>(w)) return label->text();
    QStringList parts;
    for (const QWidget* child : w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        parts << describe(child);
    return parts.join(u'|');
}

// Segments a..g of an LED's first cell after it showed each text in turn, then dimmed: the
// letter when lit, "." a ghost, "_" dark, "?" else.
QString segments(const QString& texts, bool dim)
{
    const double h = 40, s = 0.12 * h, t = 0.55 * s, w = 0.56 * h, b = 0.75 * h - t / 2;
    const QPointF middles[7] = {{w / 2, t}, {w - t, h / 4 + t / 2}, {w - t, b},    {w / 2, h - t},
                                {t, b},     {t, h / 4 + t / 2},     {w / 2, h / 2}};
    InstLed led(h);
    led.setReserve(u"8"_s);
    QImage image(led.sizeHint(), QImage::Format_ARGB32);
    for (const QString& text : texts.split(u';') + QStringList(u"~"_s).mid(!dim)) {
        text == u"~" ? led.setDim(true) : led.setText(text);
        image.fill(Qt::black);
        led.render(&image, {}, {}, {});
    }
    const int full = qMax(Inst::tokens()->led.red(), Inst::tokens()->led.green());
    QString lit;
    for (int i = 0; i < 7; ++i) {
        const QColor c = image.pixelColor((middles[i] + QPointF(s / 2, s / 2)).toPoint());
        const int seen = qMax(c.red(), qMax(c.green(), c.blue()));
        const bool on = dim ? seen >= full / 5 && seen <= full / 2 : seen >= full * 9 / 10;
        lit += on ? QChar(u'a' + i) : seen == 0 ? u'_' : seen < full / 8 ? u'.' : u'?';
    }
    return lit;
}

// A shown LED that changes its text ("~": dims) draws again only the cells that changed: the
// window must then show what a full repaint would, not stale cells.
QString repaints(const QString& from, const QString& to)
{
    InstLed led(34);
    led.setText(from);
    led.show();
    if (!QTest::qWaitForWindowExposed(&led)) return u"not shown"_s;
    QTest::qWait(30);
    to == u"~" ? led.setDim(true) : led.setText(to);
    QTest::qWait(30);
    const auto pixels = [](const QPixmap& p) {
        return p.toImage().convertToFormat(QImage::Format_RGB32);
    };
    return pixels(led.screen()->grabWindow(led.winId())) == pixels(led.grab()) ? u"same"_s
                                                                               : u"stale"_s;
}

// The rule named by kind applied to the input (steps separated by ';'), as a line.
QString outcome(const QString& kind, const QString& in)
{
    const QStringList steps = in.split(u';');
    if (kind == u"span") return Inst::span(in.toLongLong());
    if (kind == u"name") return Inst::appearanceName(Inst::appearanceFromName(in));
    if (kind == u"canShow") return InstLed::canShow(in) ? u"yes"_s : u"no"_s;
    if (kind == u"segments" || kind == u"dim") return segments(in, kind == u"dim");
    if (kind == u"repaints") return repaints(steps[0], steps[1]);
    if (kind == u"split") {
        QString number = u"stale"_s, unit = number;
        const bool holds = InstValue::split(in, &number, &unit);
        InstValue::split(in, nullptr, nullptr);
        return (holds ? ""_L1 : "no "_L1) + number + u'|' + unit;
    }
    if (kind == u"mono") { // weight; letter spacing
        const QFont f = Inst::mono(12, QFont::Weight(steps[0].toInt()), steps.value(1).toDouble());
        const QFontInfo i(f);
        const bool absolute = f.letterSpacingType() == QFont::AbsoluteSpacing;
        return u"%1 %2, %3 pitch, spaced %4 %5"_s.arg(
            i.family(), i.styleName(), i.fixedPitch() ? "fixed"_L1 : "proportional"_L1,
            QString::number(f.letterSpacing(), 'f', 1), absolute ? "px"_L1 : "%"_L1);
    }
    if (kind == u"columns") { // two rows, name;value each, the first given the second's widths
        InstCheckRow a(steps[0], steps[1], u"old"_s), b(steps[2], steps[3], u"old"_s);
        a.setColumns(b.nameWidth(), b.valueWidth());
        b.setColumns(1, 1);
        return (a.sizeHint() == b.sizeHint() ? "lined up: "_L1 : "apart: "_L1) + a.accessibleName();
    }
    if (kind == u"stored") { // the stored text, "-" for none; then what storing Light leaves
        QCoreApplication::setOrganizationName(u"Ondavix"_s); // as main names the application
        QCoreApplication::setApplicationName(u"Tessavel Veridir"_s);
        QSettings settings;
        in == u"-" ? settings.remove(u"app.appearance"_s)
                   : settings.setValue(u"app.appearance"_s, in);
        const QString read = Inst::appearanceName(Inst::storedAppearance());
        Inst::storeAppearance(Inst::Appearance::Light);
        return read + u' ' + settings.value(u"app.appearance"_s).toString();
    }
    if (kind == u"wantsDark") { // appearance; grey of the system's windows
        const QPalette saved = QGuiApplication::palette();
        QGuiApplication::setPalette(QPalette(QColor::fromHsl(0, 0, steps[1].toInt())));
        Inst::setAppearance(Inst::appearanceFromName(steps[0]));
        const bool dark = Inst::wantsDark();
        QGuiApplication::setPalette(saved);
        return Inst::appearanceName(Inst::appearance()) + (dark ? " dark"_L1 : " light"_L1);
    }
    if (kind == u"run") { // this program again with the argument: its output and warnings
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {in});
        child.waitForFinished(60000);
        const QString errors = QString::fromUtf8(child.readAllStandardError())
                                   .remove(QRegularExpression(u"QStandardPaths:[^\n]*\n"_s));
        return QString::fromUtf8(child.readAllStandardOutput()) + u'|' + errors.trimmed();
    }
    InstLed led(34);
    led.setText(steps[0]);
    led.setReserve(steps.value(1));
    if (kind == u"hint") return u"%1x%2"_s.arg(led.sizeHint().width()).arg(led.sizeHint().height());
    InstStatus status;
    InstValue value(24);
    InstReadout readout(u"Offset"_s);
    InstTabs tabs;
    for (int i = 0; i < 3; ++i)
        tabs.addTab(new QWidget, QString::number(i));
    QSignalSpy changed(&tabs, &InstTabs::currentChanged);
    InstAppearanceSelector selector; // chosen dark
    selector.resize(86, 22);
    selector.setAppearance(Inst::Appearance::Dark);
    QStringList picked;
    selector.setPickHandler([&](Inst::Appearance a) { picked << Inst::appearanceName(a); });
    for (const QString& s : steps) {
        if (kind == u"status") status.setText(s);
        if (kind == u"value") value.setText(s);
        if (kind == u"readout") // "value|unit", or "~text" for idle
            s.startsWith(u'~') ? readout.setIdle(s.mid(1))
                               : readout.setValue(s.section(u'|', 0, 0), s.section(u'|', 1));
        // "cN" clicks tab N, "N" asks for tab N
        if (kind == u"tabs")
            s.startsWith(u'c') ? tabs.tabButton(s.mid(1).toInt())->click()
                               : tabs.setCurrentIndex(s.toInt());
        // "x" a click there, "x>y" a drag
        if (kind == u"pick")
            QTest::mousePress(&selector, Qt::LeftButton, {}, {s.section(u'>', 0, 0).toInt(), 10});
        if (kind == u"pick")
            QTest::mouseRelease(&selector, Qt::LeftButton, {}, {s.section(u'>', -1).toInt(), 10});
    }
    if (kind == u"status") return describe(&status);
    if (kind == u"value")
        return describe(&value) + u" unnamed"_s.repeated(value.accessibleName() != steps.last());
    if (kind == u"readout") return describe(&readout);
    if (kind == u"pick")
        return picked.join(u',') + u'|' + Inst::appearanceName(selector.appearance());
    const bool checked = tabs.tabButton(tabs.currentIndex())->isChecked();
    if (kind == u"tabs")
        return u"tab %1 %2, told %3"_s.arg(tabs.currentIndex())
            .arg(checked ? "checked"_L1 : "unchecked"_L1)
            .arg(changed.count());
    if (kind != u"segmentAt") return u"no such kind"_s;
    return QString::number(selector.segmentAt({steps[0].toInt(), steps[1].toInt()}));
}

// The sheet, the palette, the two tokens only painting uses, and dressed widgets, as one text.
QString appearanceDump(QLabel* label, QPushButton* b)
{
    const QPalette p = Inst::palette();
    const QMetaEnum roles = QMetaEnum::fromType<QPalette::ColorRole>();
    QString dump = Inst::styleSheet();
    for (int g = 0; g < QPalette::NColorGroups; ++g)
        for (int r = 0; r < QPalette::NColorRoles; ++r)
            if (p.isBrushSet(QPalette::ColorGroup(g), QPalette::ColorRole(r)))
                dump += u"%1 %2 %3\n"_s.arg(g).arg(
                    roles.valueToKey(r),
                    rgb(p.color(QPalette::ColorGroup(g), QPalette::ColorRole(r))));
    for (const QString& tone : u"sec muted go warn bad bad info -"_s.split(u' ')) {
        Inst::setTone(label, tone == u"-" ? nullptr : qPrintable(tone));
        const QString colour = rgb(label->palette().color(QPalette::WindowText));
        dump += u"tone %1 %2 %3\n"_s.arg(tone, colour).arg(label->property("tone").isValid());
    }
    // Each member restyled from Go; then ",off" disabled (its face too), ",alarm" in alarm,
    // ",quiet" out of it.
    const QStringList members = u"plain go primary seg help alarm"_s.split(u' ');
    const QStringList more = u"go,off plain,off seg,off help,off plain,alarm,off plain,alarm "
                             u"plain,alarm,quiet"_s.split(u' ');
    for (const QString& v : members + more) {
        Inst::style(b, Inst::Button::Go);
        Inst::style(b, Inst::Button(members.indexOf(v.section(u',', 0, 0))));
        b->setEnabled(!v.contains(u"off"));
        Inst::setAlarm(b, v.contains(u"alarm") && !v.contains(u"quiet"));
        const QPalette::ColorGroup group = b->isEnabled() ? QPalette::Active : QPalette::Disabled;
        QString colour = rgb(b->palette().color(group, QPalette::ButtonText));
        if (!b->isEnabled()) colour += u' ' + rgb(b->palette().color(group, QPalette::Button));
        const bool hand = b->cursor() == Qt::PointingHandCursor && b->focusPolicy() == Qt::TabFocus;
        dump += u"button %1 %2 %3\n"_s.arg(v, colour).arg(hand);
    }
    const Inst::Tokens& t = *Inst::tokens();
    return dump + u"hairline %1\nwell %2\n"_s.arg(Inst::rgba(t.hairline, 1), rgb(t.well));
}

} // namespace

class TestInst : public QObject
{
    Q_OBJECT
private slots:
    // The offscreen platform says this of every window it shows; it is not ours.
    void init() { QTest::failOnWarning(QRegularExpression(u"^(?!.*propagateSizeHints)"_s)); }
    void sheetAndPaletteOfBothAppearances();
    void rules_data();
    void rules();
};

// The golden texts, and a window dressed again at each switch of appearance.
void TestInst::sheetAndPaletteOfBothAppearances()
{
    QWidget window;
    auto* column = new QVBoxLayout(&window);
    auto* label = new QLabel(u"words"_s);
    auto* table = new QTableWidget(1, 1); // a widget a rule matches takes the application's palette
    auto* button = new QPushButton(u"SET UP"_s);
    for (QWidget* w : QWidgetList{button, label, table})
        column->addWidget(w);
    table->selectRow(0);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPoint at =
        table->viewport()->mapTo(&window, table->visualRect(table->model()->index(0, 0)).center());
    QLocale::setDefault(QLocale::German); // a style sheet needs the point whatever the locale
    for (const auto& [dark, changes] :
         {std::pair{true, false}, {false, true}, {false, false}, {true, true}}) {
        QCOMPARE(Inst::setDark(dark), changes);
        Inst::applyTo(&window);
        QCOMPARE(rgb(table->palette().color(QPalette::Text)), rgb(Inst::tokens()->pri));
        QString dump = appearanceDump(label, button);
        // The selected row: accent 0.14 over the panel, amber 0.4 when bright, 0.16 when dim.
        for (const char* pulse : {"bright", "dim", static_cast<const char*>(nullptr)}) {
            Inst::setTablePulse(table, pulse);
            dump += u"pulse %1 %2\n"_s.arg(pulse, rgb(window.grab().toImage().pixelColor(at)));
        }
        QFile golden(TV_SOURCE_DIR "/tests/inst/appearance-"_L1 + (dark ? "dark"_L1 : "light"_L1) +
                     ".txt"_L1);
        QVERIFY(golden.open(QIODevice::ReadOnly));
        QCOMPARE(dump.split(u'\n'), QString::fromUtf8(golden.readAll()).split(u'\n'));
    }
    QLocale::setDefault(QLocale::c());
    Inst::applyTo(nullptr);
}

void TestInst::rules_data()
{
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("expected");
    QStandardPaths::setTestModeEnabled(true);
    QFile file(TV_SOURCE_DIR "/tests/inst/rules.txt"_L1);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts))
        if (line.count(u'\t') == 2) // not a comment
            QTest::newRow(qPrintable(line.section(u'\t', 0, 0)))
                << line.section(u'\t', 1, 1) << line.section(u'\t', 2);
}

void TestInst::rules()
{
    QFETCH(QString, in);
    QFETCH(QString, expected);
    QCOMPARE(outcome(QString::fromUtf8(QTest::currentDataTag()).section(u':', 0, 0), in), expected);
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (app.arguments().value(1) != u"no fonts") {
        TestInst test;
        return QTest::qExec(&test, argc, argv);
    }
    Q_CLEANUP_RESOURCE(inst); // a bundle whose font resources went missing
    const QFont font = Inst::mono(12, QFont::DemiBold, 0.6); // asked for before registration
    Inst::registerFonts();
    Inst::mono(10.5);
    const QString fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    QTextStream(stdout) << (font.family() == fixed ? "system fixed family" : "other family")
                        << (QFontInfo(font).fixedPitch() ? ", fixed pitch" : ", proportional");
}

#include "tst_inst.moc"
