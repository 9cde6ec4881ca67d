// The style sheet text, and that its rules reach the widgets the toolkit dresses.

#include "inst/instformat.h"
#include "inst/inststyle.h"
#include "inst/inststylesheet.h"
#include "inst/insttokens.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>
#include <QVBoxLayout>

namespace {

using Member = QColor Inst::Tokens::*;

// Style-sheet colours come back at 8 bits a channel; the tokens are kept at 16.
QString rgb(const QColor& colour)
{
    return colour.name(QColor::HexArgb);
}

// A window dressed the way the main window dresses its body.
struct Dressed
{
    QWidget window;
    QVBoxLayout* column = new QVBoxLayout(&window);

    template <typename W> W* add(W* widget)
    {
        column->addWidget(widget);
        return widget;
    }
    void apply()
    {
        Inst::applyTo(&window);
        window.ensurePolished();
        for (QWidget* w : window.findChildren<QWidget*>())
            w->ensurePolished();
    }
};

} // namespace

class TestInstStyleSheet : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { Inst::setDark(true); }
    void appearances_data();
    void noPlaceholderIsLeft_data() { appearances_data(); }
    void noPlaceholderIsLeft();
    void shortNamesLeaveLongerOnesWhole_data() { appearances_data(); }
    void shortNamesLeaveLongerOnesWhole();
    void everyImageIsAResource_data() { appearances_data(); }
    void everyImageIsAResource();
    void buttonRulesReachTheButton_data();
    void buttonRulesReachTheButton();
    void toneChangesRepolish();
    void tablePulseColoursTheSelectedRow_data();
    void tablePulseColoursTheSelectedRow();
    void applyToFollowsTheTokens();
};

void TestInstStyleSheet::appearances_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

void TestInstStyleSheet::noPlaceholderIsLeft()
{
    QFETCH(bool, dark);
    Inst::setDark(dark);
    const QString sheet = Inst::styleSheet();
    const QRegularExpressionMatch left = QRegularExpression(QStringLiteral("%\\w+%")).match(sheet);
    QVERIFY2(!left.hasMatch(), qPrintable(left.captured()));
    QVERIFY(!sheet.contains(u'%'));
}

void TestInstStyleSheet::shortNamesLeaveLongerOnesWhole()
{
    QFETCH(bool, dark);
    Inst::setDark(dark);
    const Inst::Tokens& t = *Inst::tokens();
    const QString sheet = Inst::styleSheet();
    // "%led%" replaced inside "%led14%" would leave a colour name followed by digits.
    const QRegularExpressionMatch glued =
        QRegularExpression(QStringLiteral("#[0-9a-f]{6}\\w")).match(sheet);
    QVERIFY2(!glued.hasMatch(), qPrintable(glued.captured()));
    const std::pair<Member, double> tints[] = {
        {&Inst::Tokens::led, 0.14},  {&Inst::Tokens::led, 0.5},     {&Inst::Tokens::red, 0.3},
        {&Inst::Tokens::amber, 0.4}, {&Inst::Tokens::accent, 0.14}, {&Inst::Tokens::grid, 1.0}};
    for (const auto& [token, alpha] : tints)
        QVERIFY2(sheet.contains(Inst::rgba(t.*token, alpha)),
                 qPrintable(Inst::rgba(t.*token, alpha)));
    QVERIFY(sheet.contains(QStringLiteral("color: %1;").arg(t.led.name())));
}

void TestInstStyleSheet::everyImageIsAResource()
{
    QFETCH(bool, dark);
    Inst::setDark(dark);
    const QString sheet = Inst::styleSheet();
    const QString mode = QLatin1String(dark ? "-dark.png" : "-light.png");
    int images = 0;
    QRegularExpressionMatchIterator it =
        QRegularExpression(QStringLiteral("url\\(([^)]*)\\)")).globalMatch(sheet);
    while (it.hasNext()) {
        const QString path = it.next().captured(1);
        QVERIFY2(path.endsWith(mode), qPrintable(path));
        QVERIFY2(QFile::exists(path), qPrintable(path));
        QString doubled = path;
        doubled.insert(doubled.size() - 4, QLatin1String("@2x"));
        QVERIFY2(QFile::exists(doubled), qPrintable(doubled));
        ++images;
    }
    QVERIFY(images >= 3);
}

void TestInstStyleSheet::buttonRulesReachTheButton_data()
{
    QTest::addColumn<int>("member");
    QTest::addColumn<int>("alarm"); // 0 untouched, 1 on, 2 on then off
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<Member>("text");
    const int plain = int(Inst::Button::Plain);
    QTest::newRow("plain") << plain << 0 << true << &Inst::Tokens::pri;
    QTest::newRow("go") << int(Inst::Button::Go) << 0 << true << &Inst::Tokens::led;
    QTest::newRow("primary") << int(Inst::Button::Primary) << 0 << true << &Inst::Tokens::accent;
    QTest::newRow("alarm") << int(Inst::Button::Alarm) << 0 << true << &Inst::Tokens::red;
    QTest::newRow("seg") << int(Inst::Button::Seg) << 0 << true << &Inst::Tokens::sec;
    QTest::newRow("help") << int(Inst::Button::Help) << 0 << true << &Inst::Tokens::sec;
    QTest::newRow("disabled go") << int(Inst::Button::Go) << 0 << false << &Inst::Tokens::mut;
    QTest::newRow("plain in alarm") << plain << 1 << true << &Inst::Tokens::red;
    QTest::newRow("plain after its alarm") << plain << 2 << true << &Inst::Tokens::pri;
}

void TestInstStyleSheet::buttonRulesReachTheButton()
{
    QFETCH(int, member);
    QFETCH(int, alarm);
    QFETCH(bool, enabled);
    QFETCH(Member, text);
    Dressed d;
    auto* button = d.add(new QPushButton(QStringLiteral("SET UP")));
    button->setEnabled(enabled);
    d.apply();
    // Styled after the sheet is in place, as windows restyle buttons at run time.
    Inst::style(button, Inst::Button(member));
    if (alarm >= 1) Inst::setAlarm(button, true);
    if (alarm == 2) Inst::setAlarm(button, false);
    const QPalette::ColorGroup group = enabled ? QPalette::Active : QPalette::Disabled;
    QCOMPARE(rgb(button->palette().color(group, QPalette::ButtonText)), rgb(Inst::tokens()->*text));
    QCOMPARE(button->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(button->focusPolicy(), Qt::TabFocus);
}

void TestInstStyleSheet::toneChangesRepolish()
{
    Dressed d;
    auto* label = d.add(new QLabel(QStringLiteral("words")));
    d.apply();
    const Inst::Tokens& t = *Inst::tokens();
    QCOMPARE(rgb(label->palette().color(QPalette::WindowText)), rgb(t.pri));
    const std::pair<const char*, Member> tones[] = {{"warn", &Inst::Tokens::amber},
                                                    {"bad", &Inst::Tokens::red},
                                                    {"bad", &Inst::Tokens::red},
                                                    {"info", &Inst::Tokens::accent},
                                                    {nullptr, &Inst::Tokens::pri}};
    for (const auto& [tone, colour] : tones) {
        Inst::setTone(label, tone);
        QCOMPARE(rgb(label->palette().color(QPalette::WindowText)), rgb(t.*colour));
    }
    QVERIFY(!label->property("tone").isValid());
    Inst::setTone(nullptr, "warn");
}

void TestInstStyleSheet::tablePulseColoursTheSelectedRow_data()
{
    QTest::addColumn<QByteArray>("pulse");
    QTest::addColumn<Member>("token");
    QTest::addColumn<double>("alpha");
    QTest::newRow("no pulse") << QByteArray() << &Inst::Tokens::accent << 0.14;
    QTest::newRow("bright") << QByteArray("bright") << &Inst::Tokens::amber << 0.4;
    QTest::newRow("dim") << QByteArray("dim") << &Inst::Tokens::amber << 0.16;
}

void TestInstStyleSheet::tablePulseColoursTheSelectedRow()
{
    QFETCH(QByteArray, pulse);
    QFETCH(Member, token);
    QFETCH(double, alpha);
    Dressed d;
    auto* table = d.add(new QTableWidget(3, 1));
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->selectRow(1);
    d.apply();
    // Bright first, so that every row also proves the way back.
    Inst::setTablePulse(table, "bright");
    Inst::setTablePulse(table, pulse.isEmpty() ? nullptr : pulse.constData());
    d.window.resize(240, 200);
    d.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d.window));

    const QImage shot = d.window.grab().toImage();
    const QRect row = table->visualRect(table->model()->index(1, 0));
    const QPoint at =
        table->viewport()->mapTo(&d.window, row.center() + QPoint(row.width() / 4, 0));
    const QColor seen = shot.pixelColor(at);
    const QColor panel = Inst::tokens()->panel;
    const QColor tint = Inst::tokens()->*token;
    auto blend = [&](int under, int over) { return under + (over - under) * alpha; };
    QVERIFY2(qAbs(seen.red() - blend(panel.red(), tint.red())) <= 3, qPrintable(seen.name()));
    QVERIFY2(qAbs(seen.green() - blend(panel.green(), tint.green())) <= 3, qPrintable(seen.name()));
    QVERIFY2(qAbs(seen.blue() - blend(panel.blue(), tint.blue())) <= 3, qPrintable(seen.name()));
}

void TestInstStyleSheet::applyToFollowsTheTokens()
{
    Inst::applyTo(nullptr);
    Dressed d;
    auto* label = d.add(new QLabel(QStringLiteral("words")));
    // A widget a rule matches takes the application's palette, not its parent's.
    auto* table = d.add(new QTableWidget(1, 1));
    // Dark, then back and forth, as the appearance selector would switch it.
    for (bool dark : {true, false, true, false}) {
        Inst::setDark(dark);
        d.apply();
        QVERIFY(d.window.autoFillBackground());
        QCOMPARE(d.window.styleSheet(), Inst::styleSheet());
        QCOMPARE(d.window.palette().color(QPalette::Window), Inst::tokens()->panel);
        QCOMPARE(d.window.palette().color(QPalette::Disabled, QPalette::Text), Inst::tokens()->mut);
        QCOMPARE(rgb(label->palette().color(QPalette::WindowText)), rgb(Inst::tokens()->pri));
        QCOMPARE(rgb(table->palette().color(QPalette::Text)), rgb(Inst::tokens()->pri));
    }
}

QTEST_MAIN(TestInstStyleSheet)
#include "tst_inststylesheet.moc"
