// Every widget paints offscreen in both appearances without a warning, and follows the tokens.

#include "inst/inst.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QVBoxLayout>
#include <functional>

namespace {

QStringList warnings;

void collect(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    // The offscreen platform says this of every window it shows; it is not ours.
    if (message.contains(QLatin1String("does not support propagateSizeHints"))) return;
    if (type != QtDebugMsg && type != QtInfoMsg) warnings << message;
}

using Factory = std::function<QWidget*()>;

QWidget* led()
{
    auto* l = new InstLed(34);
    l->setText(QStringLiteral("12:34:56"));
    return l;
}

QList<std::pair<const char*, Factory>> factories()
{
    return {
        {"InstLed", [] { return led(); }},
        {"InstValue",
         [] {
             auto* v = new InstValue(24);
             v->setText(QStringLiteral("+1.234 s"));
             return v;
         }},
        {"InstReadoutBar",
         [] {
             auto* bar = new InstReadoutBar;
             bar->addReadout(QStringLiteral("Offset"))
                 ->setValue(QStringLiteral("0.012"), QStringLiteral("s"));
             bar->addReadout(QStringLiteral("Heard"))->setValue(QStringLiteral("yes"));
             return bar;
         }},
        {"InstDot", [] { return new InstDot(12); }},
        {"InstChip", [] { return new InstChip(QStringLiteral("READY"), InstChip::Go); }},
        {"InstStatus",
         [] {
             auto* s = new InstStatus;
             s->setText(QStringLiteral("Lost - since 12:00"));
             return s;
         }},
        {"InstAppearanceSelector", [] { return new InstAppearanceSelector; }},
        {"InstModuleHeader",
         [] { return new InstModuleHeader(QStringLiteral("Tessavel Veridir")); }},
        {"InstBezel", [] { return new InstBezel(QStringLiteral("This computer")); }},
        {"InstSection", [] { return new InstSection(QStringLiteral("Time servers")); }},
        {"InstScreen",
         [] {
             auto* s = new InstScreen;
             s->setMinimumSize(60, 30);
             return s;
         }},
        {"InstToggle", [] { return new InstToggle(QStringLiteral("Keep watching")); }},
        {"InstCheck", [] { return new InstCheck(QStringLiteral("Don't ask again")); }},
        {"InstCheckRow",
         [] {
             return new InstCheckRow(QStringLiteral("lab"), QStringLiteral("10.0.0.7"),
                                     QStringLiteral("old"));
         }},
        {"InstCombo",
         [] {
             auto* c = new InstCombo;
             c->addItems({QStringLiteral("Hourly")});
             return c;
         }},
        {"InstTabs",
         [] {
             auto* t = new InstTabs;
             t->addTab(new QLabel(QStringLiteral("page")), QStringLiteral("CLOCK"));
             return t;
         }},
        {"styled buttons",
         [] {
             auto* b = new QPushButton(QStringLiteral("SET UP"));
             Inst::style(b, Inst::Button::Primary);
             return b;
         }},
        {"styled table",
         [] {
             auto* t = new QTableWidget(2, 2);
             t->selectRow(0);
             Inst::setTablePulse(t, "bright");
             return t;
         }},
        {"styled editors",
         [] {
             auto* box = new QWidget;
             auto* column = new QVBoxLayout(box);
             column->addWidget(new QLineEdit(QStringLiteral("192.0.2.2")));
             column->addWidget(new QSpinBox);
             auto* date = new QDateEdit;
             date->setCalendarPopup(true);
             column->addWidget(date);
             column->addWidget(new QSlider(Qt::Horizontal));
             column->addWidget(new QProgressBar);
             column->addWidget(new QComboBox);
             return box;
         }},
    };
}

} // namespace

class TestInstPaint : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { Inst::setDark(true); }
    void paintsWithoutWarnings_data();
    void paintsWithoutWarnings();
};

void TestInstPaint::paintsWithoutWarnings_data()
{
    QTest::addColumn<int>("index");
    const auto all = factories();
    for (int i = 0; i < all.size(); ++i)
        QTest::newRow(all[i].first) << i;
}

void TestInstPaint::paintsWithoutWarnings()
{
    QFETCH(int, index);
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collect);
    QWidget window;
    auto* column = new QVBoxLayout(&window);
    QWidget* widget = factories()[index].second();
    column->addWidget(widget);
    QImage faces[2];
    for (bool dark : {true, false}) {
        Inst::setDark(dark);
        Inst::applyTo(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QImage& face = faces[dark ? 0 : 1];
        face = QImage(widget->size(), QImage::Format_ARGB32);
        face.fill(Qt::magenta);
        widget->render(&face, QPoint(), QRegion(), QWidget::DrawChildren);
        // Something of the widget itself must be on the picture.
        bool painted = false;
        for (int y = 0; y < face.height() && !painted; ++y)
            for (int x = 0; x < face.width() && !painted; ++x)
                painted = face.pixel(x, y) != QColor(Qt::magenta).rgba();
        QVERIFY2(painted, dark ? "dark" : "light");
    }
    qInstallMessageHandler(previous);
    QCOMPARE(warnings, QStringList());
    // Painted from the tokens at paint time: the other appearance shows after an update.
    QVERIFY(faces[0] != faces[1]);
}

QTEST_MAIN(TestInstPaint)
#include "tst_instpaint.moc"
