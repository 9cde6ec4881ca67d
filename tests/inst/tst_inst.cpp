// The instrument toolkit: sheet and palette, the rules of rules.txt, and the painted widgets.

#include "inst.h"

#include <QtTest>
#include <QtWidgets>

namespace {

using T = Inst::Tokens;

// Style-sheet colours come back at 8 bits a channel; the tokens are kept at 16.
QString rgb(const QColor& colour)
{
    return colour.name(QColor::HexArgb);
}

// The token a widget shows, by name, so that rows read as the rules do.
QString tokenOf(const QColor& c)
{
    const T& t = *Inst::tokens();
    for (const auto& [name, token] : {std::pair{"pri", t.pri},
                                      {"sec", t.sec},
                                      {"mut", t.mut},
                                      {"led", t.led},
                                      {"accent", t.accent},
                                      {"red", t.red},
                                      {"amber", t.amber}})
        if (rgb(token) == rgb(c)) return QLatin1String(name);
    return rgb(c);
}

QString shown(const QWidget* child, const QString& text)
{
    return child->isHidden() ? QStringLiteral("_") : text;
}

// Segments a..g of an LED's first cell: the letter when lit, "." a ghost, "_" dark, "?" else.
QString segments(const QString& text, bool dim)
{
    const double h = 40, s = 0.12 * h, t = 0.55 * s, w = 0.56 * h;
    const double up = (t + h / 2) / 2, down = (1.5 * h - t) / 2;
    const QPointF middles[7] = {{w / 2, t}, {w - t, up}, {w - t, down}, {w / 2, h - t},
                                {t, down},  {t, up},     {w / 2, h / 2}};
    InstLed led(h);
    led.setText(text);
    led.setDim(dim);
    QImage image(led.sizeHint(), QImage::Format_ARGB32);
    image.fill(Qt::black);
    led.render(&image, {}, {}, {});
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

struct LayoutRequests : QObject
{
    int count = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        count += e->type() == QEvent::LayoutRequest;
        return false;
    }
};

// Whether setting the LED's text moves its parent's layout: steps reserve, before, after.
QString relayout(const QStringList& steps)
{
    QWidget parent;
    auto* led = new InstLed(34, &parent);
    led->setReserve(steps[0]);
    led->setText(steps[1]);
    parent.show();
    if (!QTest::qWaitForWindowExposed(&parent)) return QStringLiteral("not shown");
    QCoreApplication::sendPostedEvents();
    LayoutRequests requests;
    parent.installEventFilter(&requests);
    led->setText(steps[2]);
    QCoreApplication::sendPostedEvents(&parent, QEvent::LayoutRequest);
    return QLatin1String(led->text() != steps[2] ? "lost" : requests.count ? "moves" : "stays");
}

// The text colour of a dressed button: member, then "off" (disabled), "alarm", "quiet".
QString button(const QStringList& words)
{
    QWidget window;
    auto* b = new QPushButton(&window);
    Inst::applyTo(&window);
    const int member =
        QStringList{"plain", "go", "primary", "seg", "help", "alarm"}.indexOf(words[0]);
    Inst::style(b, Inst::Button::Go); // windows restyle buttons: the old member must go
    Inst::style(b, Inst::Button(member));
    b->setEnabled(!words.contains(u"off"));
    if (words.contains(u"alarm")) Inst::setAlarm(b, true);
    if (words.contains(u"quiet")) Inst::setAlarm(b, false);
    const bool pointing =
        b->cursor().shape() == Qt::PointingHandCursor && b->focusPolicy() == Qt::TabFocus;
    const auto group = b->isEnabled() ? QPalette::Active : QPalette::Disabled;
    return tokenOf(b->palette().color(group, QPalette::ButtonText)) +
           (pointing ? "" : " pointless");
}

// An appearance selector chosen dark, then steps: "x" a click, "x>y" a drag, "left", "right".
QString pick(const QStringList& steps)
{
    InstAppearanceSelector s;
    s.resize(86, 22);
    s.setAppearance(Inst::Appearance::Dark);
    QStringList picked;
    s.setPickHandler([&](Inst::Appearance a) { picked << Inst::appearanceName(a); });
    for (const QString& step : steps) {
        if (step == u"left" || step == u"right") {
            QTest::keyClick(&s, step == u"left" ? Qt::Key_Left : Qt::Key_Right);
            continue;
        }
        QTest::mousePress(&s, Qt::LeftButton, {}, {step.section(u'>', 0, 0).toInt(), 10});
        QTest::mouseRelease(&s, Qt::LeftButton, {}, {step.section(u'>', -1).toInt(), 10});
    }
    return picked.join(u',') + u'|' + Inst::appearanceName(s.appearance());
}

QString outcome(const QString& kind, const QString& in)
{
    const QStringList steps = in.split(u';');
    if (kind == u"span") return Inst::span(in.toLongLong());
    if (kind == u"name") return Inst::appearanceName(Inst::appearanceFromName(in));
    if (kind == u"canShow") return QLatin1String(InstLed::canShow(in) ? "yes" : "no");
    if (kind == u"width") return QString::number(InstLed(34).widthOf(in), 'f', 2);
    if (kind == u"segments" || kind == u"dim") return segments(in, kind == u"dim");
    if (kind == u"relayout") return relayout(steps);
    if (kind == u"button") return button(in.split(u','));
    if (kind == u"pick") return pick(steps);
    if (kind == u"segmentName") return InstAppearanceSelector::segmentName(in.toInt());
    if (kind == u"segmentAt") {
        InstAppearanceSelector s;
        s.resize(86, 22);
        return QString::number(s.segmentAt({steps[0].toInt(), steps[1].toInt()})) +
               QLatin1String(s.accessibleName() == u"Appearance" ? "" : " unnamed");
    }
    if (kind == u"hint") {
        InstLed led(34);
        led.setText(steps[0]);
        led.setReserve(steps.value(1));
        return QStringLiteral("%1x%2").arg(led.sizeHint().width()).arg(led.sizeHint().height());
    }
    if (kind == u"wantsDark") { // appearance; grey of the system's windows
        const QPalette saved = QGuiApplication::palette();
        QPalette system = saved;
        system.setColor(QPalette::Window,
                        QColor(steps[1].toInt(), steps[1].toInt(), steps[1].toInt()));
        QGuiApplication::setPalette(system);
        Inst::setAppearance(Inst::appearanceFromName(steps[0]));
        const bool dark = Inst::wantsDark();
        QGuiApplication::setPalette(saved);
        return Inst::appearanceName(Inst::appearance()) + QLatin1String(dark ? " dark" : " light");
    }
    if (kind == u"split") {
        QString number = QStringLiteral("stale"), unit = number;
        const bool holds = InstValue::split(in, &number, &unit);
        InstValue::split(in, nullptr, nullptr);
        return QLatin1String(holds ? "" : "no ") + number + u'|' + unit;
    }
    if (kind == u"status") {
        InstStatus s;
        for (const QString& step : steps)
            s.setText(step);
        return s.mainChip()->text() + u'|' + shown(s.detailChip(), s.detailChip()->text());
    }
    if (kind == u"tone") {
        QWidget window;
        auto* label = new QLabel(&window);
        Inst::applyTo(&window);
        for (const QString& step : steps)
            Inst::setTone(label, step.isEmpty() ? nullptr : qPrintable(step));
        return tokenOf(label->palette().color(QPalette::WindowText)) +
               QLatin1String(label->property("tone").isValid() ? "" : " untoned");
    }
    if (kind == u"value") {
        InstValue v(24);
        for (const QString& step : steps)
            v.setText(step);
        return shown(v.led(), v.led()->text()) + u'|' +
               shown(v.textLabel(), v.textLabel()->text()) + u'|' +
               shown(v.unitLabel(), v.unitLabel()->text()) +
               QLatin1String(v.accessibleName() == steps.last() ? "" : " misnamed");
    }
    // A readout: steps "value|unit", or "~text" for idle; "~" marks a dimmed LED.
    InstReadout r(QStringLiteral("Offset"));
    for (const QString& step : steps) {
        if (step.startsWith(u'~'))
            r.setIdle(step.mid(1));
        else
            r.setValue(step.section(u'|', 0, 0), step.section(u'|', 1));
    }
    return QLatin1String(r.led()->isDim() ? "~" : "") + shown(r.led(), r.led()->text()) + u'|' +
           shown(r.wordsLabel(), r.wordsLabel()->text()) + u'|' +
           shown(r.unitLabel(), r.unitLabel()->text());
}

// The sheet, the palette and the two tokens only painting uses, as one text.
QString appearanceDump()
{
    const QPalette p = Inst::palette();
    QString dump = Inst::styleSheet();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        for (QPalette::ColorRole r :
             {QPalette::Window, QPalette::WindowText, QPalette::Base, QPalette::AlternateBase,
              QPalette::Text, QPalette::Button, QPalette::ButtonText, QPalette::Highlight,
              QPalette::HighlightedText, QPalette::PlaceholderText, QPalette::Link})
            dump += QStringLiteral("%1 %2 %3\n")
                        .arg(g)
                        .arg(QMetaEnum::fromType<QPalette::ColorRole>().valueToKey(r),
                             rgb(p.color(g, r)));
    const T& t = *Inst::tokens();
    return dump +
           QStringLiteral("hairline %1\nwell %2\n").arg(Inst::rgba(t.hairline, 1), rgb(t.well));
}

} // namespace

class TestInst : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { Inst::setDark(true); }
    void sheetAndPaletteOfBothAppearances();
    void arrowsMatchTheGenerator();
    void rules_data();
    void rules();
    void storedAppearance();
    void monoUsesTheResourceFaces();
    void dressedWindow();
};

void TestInst::initTestCase()
{
    QVERIFY(Inst::tokens()->dark);
    QStandardPaths::setTestModeEnabled(true);
}

void TestInst::init()
{
    // The offscreen platform says this of every window it shows; it is not ours.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("^(?!.*propagateSizeHints)")));
}

void TestInst::sheetAndPaletteOfBothAppearances()
{
    // A style sheet needs the point, whatever the user's locale writes.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    for (const auto& [dark, changes] :
         {std::pair{true, false}, {false, true}, {false, false}, {true, true}}) {
        QCOMPARE(Inst::setDark(dark), changes);
        const QString name = QLatin1String(dark ? "appearance-dark.txt" : "appearance-light.txt");
        QFile golden(QStringLiteral(TV_SOURCE_DIR "/tests/inst/") + name);
        QVERIFY(golden.open(QIODevice::ReadOnly));
        const QString dump = appearanceDump();
        if (dump == QString::fromUtf8(golden.readAll())) continue;
        QFile actual(QStringLiteral(TV_BINARY_DIR "/") + name);
        QVERIFY(actual.open(QIODevice::WriteOnly) && actual.write(dump.toUtf8()) > 0);
        QFAIL(qPrintable(QLatin1String("not the golden text; see ") + actual.fileName()));
    }
    QLocale::setDefault(QLocale::c());
}

void TestInst::arrowsMatchTheGenerator()
{
    QTemporaryDir drawn;
    QCOMPARE(QProcess::execute(QStringLiteral(INST_MAKEARROWS), {drawn.path()}), 0);
    for (const char* base : {"up-light", "up-dark", "down-light", "down-dark"})
        for (const char* scale : {"", "@2x"}) {
            const QString name = QLatin1String(base) + QLatin1String(scale) + QLatin1String(".png");
            const QImage committed(QStringLiteral(":/inst/arrows/") + name);
            QCOMPARE(committed.size(), *scale ? QSize(16, 10) : QSize(8, 5));
            QVERIFY2(committed.convertToFormat(QImage::Format_ARGB32) ==
                         QImage(drawn.filePath(name)).convertToFormat(QImage::Format_ARGB32),
                     qPrintable(name + QLatin1String(" is stale: build the inst_arrows target")));
        }
}

void TestInst::rules_data()
{
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("expected");
    QFile file(QStringLiteral(TV_SOURCE_DIR "/tests/inst/rules.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.split(u'\t');
        if (!line.startsWith(u'#')) QTest::newRow(qPrintable(f[0])) << f.value(1) << f.value(2);
    }
}

void TestInst::rules()
{
    QFETCH(QString, in);
    QFETCH(QString, expected);
    const QString kind = QString::fromUtf8(QTest::currentDataTag()).section(u':', 0, 0);
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    if (kind == u"wantsDark" &&
        QGuiApplication::styleHints()->colorScheme() != Qt::ColorScheme::Unknown)
        QSKIP("the platform reports its own colour scheme");
#endif
    QCOMPARE(outcome(kind, in), expected);
}

void TestInst::storedAppearance()
{
    QSettings settings(QStringLiteral("Ondavix"), QStringLiteral("Tessavel Veridir"));
    settings.remove(QStringLiteral("app.appearance"));
    QCOMPARE(Inst::storedAppearance(), Inst::Appearance::Dark);
    Inst::storeAppearance(Inst::Appearance::Light);
    QCOMPARE(settings.value(QStringLiteral("app.appearance")), QStringLiteral("light"));
    QCOMPARE(Inst::storedAppearance(), Inst::Appearance::Light);
    settings.setValue(QStringLiteral("app.appearance"), QStringLiteral("purple"));
    QCOMPARE(Inst::storedAppearance(), Inst::Appearance::Dark);
}

void TestInst::monoUsesTheResourceFaces()
{
    QCOMPARE(Inst::monoFamily(), QStringLiteral("IBM Plex Mono"));
    for (QFont::Weight weight : {QFont::Normal, QFont::Medium, QFont::DemiBold}) {
        const QFontInfo info(Inst::mono(12, weight));
        QVERIFY(info.family() == Inst::monoFamily() && info.fixedPitch() &&
                info.weight() == weight);
    }
    const QFont spaced = Inst::mono(12, QFont::Normal, 1.2);
    QCOMPARE(spaced.letterSpacingType(), QFont::AbsoluteSpacing);
    QVERIFY(qAbs(spaced.letterSpacing() - 1.2) <= 1.0 / 64); // Qt keeps 1/64 px
    QCOMPARE(Inst::mono(12).letterSpacing(), 0.0);
}

// Every widget in one window, switched between appearances as the selector does.
void TestInst::dressedWindow()
{
    QWidget window;
    auto* column = new QVBoxLayout(&window);
    auto* led = new InstLed(34);
    led->setText(QStringLiteral("12:34:56"));
    auto* value = new InstValue(24);
    value->setText(QStringLiteral("+1.234 s"));
    auto* bar = new InstReadoutBar;
    InstReadout* first = bar->addReadout(QStringLiteral("Offset"));
    first->setValue(QStringLiteral("0.012"), QStringLiteral("s"));
    InstReadout* second = bar->addReadout(QStringLiteral("Heard"), 2);
    second->setValue(QStringLiteral("yes"));
    auto* status = new InstStatus;
    status->setText(QStringLiteral("Lost - since 12:00"));
    auto* combo = new InstCombo;
    combo->addItem(QStringLiteral("Hourly"));
    auto* tabs = new InstTabs;
    for (int i = 0; i < 3; ++i)
        QCOMPARE(tabs->addTab(new QLabel(QStringLiteral("page")), QString::number(i)), i);
    auto* screen = new InstScreen;
    screen->setMinimumSize(60, 30);
    auto* primary = new QPushButton(QStringLiteral("SET UP"));
    Inst::style(primary, Inst::Button::Primary);
    auto* date = new QDateEdit;
    date->setCalendarPopup(true);
    auto* header = new InstModuleHeader(QStringLiteral("Tessavel Veridir"));
    auto* notice = new QLabel;
    header->addNotice(notice);
    auto* bezel = new InstBezel(QStringLiteral("This computer"));
    auto* shortRow =
        new InstCheckRow(QStringLiteral("lab"), QStringLiteral("10.0.0.7"), QStringLiteral("old"));
    auto* longRow =
        new InstCheckRow(QStringLiteral("backup-server"), QStringLiteral("192.0.2.10"), {});
    auto* label = new QLabel(QStringLiteral("words"));
    auto* table = new QTableWidget(1, 1); // a widget a rule matches takes the application's palette
    const QList<QWidget*> widgets = {led,
                                     value,
                                     bar,
                                     new InstDot(12),
                                     new InstChip(QStringLiteral("READY"), InstChip::Go),
                                     status,
                                     new InstAppearanceSelector,
                                     header,
                                     bezel,
                                     new InstSection(QStringLiteral("Servers")),
                                     screen,
                                     new InstToggle(QStringLiteral("Keep watching")),
                                     new InstCheck(QStringLiteral("Ask")),
                                     shortRow,
                                     longRow,
                                     combo,
                                     tabs,
                                     primary,
                                     table,
                                     new QLineEdit(QStringLiteral("192.0.2.2")),
                                     new QSpinBox,
                                     date,
                                     new QSlider(Qt::Horizontal),
                                     new QProgressBar,
                                     label};
    for (QWidget* w : widgets)
        column->addWidget(w);
    QList<QImage> faces[2];
    for (bool dark : {false, true}) {
        Inst::setDark(dark);
        Inst::applyTo(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.autoFillBackground() && window.styleSheet() == Inst::styleSheet());
        QCOMPARE(window.palette(), Inst::palette());
        QCOMPARE(rgb(label->palette().color(QPalette::WindowText)), rgb(Inst::tokens()->pri));
        QCOMPARE(rgb(table->palette().color(QPalette::Text)), rgb(Inst::tokens()->pri));
        for (QWidget* w : widgets)
            faces[dark] << w->grab().toImage();
    }
    // Painted from the tokens at paint time: the other appearance shows after an update.
    for (int i = 0; i < widgets.size(); ++i)
        QVERIFY2(faces[0][i] != faces[1][i], widgets[i]->metaObject()->className());
    Inst::applyTo(nullptr);

    // The selected row over the panel: accent 0.14, amber 0.4 bright, amber 0.16 dim.
    const T& t = *Inst::tokens();
    table->selectRow(0);
    for (const auto& [pulse, tint, alpha] :
         {std::tuple{"bright", t.amber, 0.4}, {"dim", t.amber, 0.16}, {nullptr, t.accent, 0.14}}) {
        Inst::setTablePulse(table, pulse);
        const QRect cell = table->visualRect(table->model()->index(0, 0));
        const QColor seen =
            window.grab().toImage().pixelColor(table->viewport()->mapTo(&window, cell.center()));
        int off = 0;
        for (auto channel : {&QColor::redF, &QColor::greenF, &QColor::blueF})
            off += qAbs((seen.*channel)() -
                        ((t.panel.*channel)() * (1 - alpha) + (tint.*channel)() * alpha)) *
                   255;
        QVERIFY2(off <= 6, pulse);
    }

    QVERIFY(InstTabs().currentIndex() == -1 && tabs->currentIndex() == 0 &&
            tabs->tabButton(0)->isChecked());
    QSignalSpy changed(tabs, &InstTabs::currentChanged);
    QTest::mouseClick(tabs->tabButton(2), Qt::LeftButton);
    tabs->setCurrentIndex(7);
    tabs->setCurrentIndex(2);
    QVERIFY(changed.count() == 1 && tabs->currentIndex() == 2 && tabs->tabButton(2)->isChecked());
    QVERIFY(!tabs->tabButton(0)->isChecked() &&
            tabs->tabButton(1)->property("inst").toString() == u"tab");

    QCOMPARE(shortRow->accessibleName(), QStringLiteral("lab 10.0.0.7 old"));
    const int before = shortRow->sizeHint().width();
    shortRow->setColumns(longRow->nameWidth(), longRow->valueWidth());
    QVERIFY(shortRow->nameColumn() == longRow->nameColumn() &&
            shortRow->valueColumn() == longRow->valueColumn());
    QVERIFY(shortRow->sizeHint().width() > before);
    longRow->setColumns(1, 1); // narrower than its own texts: not taken
    QVERIFY(longRow->nameColumn() == longRow->nameWidth() &&
            longRow->valueColumn() == longRow->valueWidth());
    QTest::mouseClick(shortRow, Qt::LeftButton);
    QVERIFY(shortRow->isChecked());

    auto* row = qobject_cast<QHBoxLayout*>(header->layout());
    QCOMPARE(row->indexOf(notice) + 2, row->indexOf(header->infoLabel()));
    QCOMPARE(row->itemAt(row->indexOf(notice) + 1)->spacerItem()->sizeHint().width(), 6);
    QCOMPARE(header->dot()->size(), QSize(8, 8));
    QCOMPARE(bezel->captionLabel()->text(), QStringLiteral("THIS COMPUTER"));
    bezel->setRowOnly();
    bezel->setRowOnly();
    QVERIFY(!bezel->captionLabel() && bezel->column()->count() == 0);
    QVERIFY(first->isFirst() && !second->isFirst() && second->parentWidget() == bar &&
            bar->count() == 2);
    QCOMPARE(first->captionLabel()->text(), QStringLiteral("OFFSET"));
    first->setWordsTone("bad");
    QCOMPARE(first->wordsLabel()->property("tone"), QStringLiteral("bad"));
    status->setTone(InstChip::Warn);
    status->setDetailTone(InstChip::Bad);
    QVERIFY(status->mainChip()->tone() == InstChip::Warn &&
            status->detailChip()->tone() == InstChip::Bad);
    QVERIFY(led->sizePolicy() == QSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed));
}

QTEST_MAIN(TestInst)
#include "tst_inst.moc"
