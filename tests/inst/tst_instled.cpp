// The LED's measures, what it accepts, and which segments it lights on a painted image.

#include "inst/instled.h"
#include "inst/insttokens.h"

#include <QImage>
#include <QTest>
#include <cmath>

namespace {

// Where the middle of each segment a..g of the first cell lands, from the stated geometry.
QPointF segmentMiddle(int segment, double h, double w)
{
    const double s = 0.12 * h;
    const double t = 0.55 * s;
    const double g = 0.066 * h;
    const QLineF lines[7] = {{t + g, t, w - t - g, t},
                             {w - t, t + g, w - t, 0.5 * h - g},
                             {w - t, 0.5 * h + g, w - t, h - t - g},
                             {t + g, h - t, w - t - g, h - t},
                             {t, 0.5 * h + g, t, h - t - g},
                             {t, t + g, t, 0.5 * h - g},
                             {t + g, 0.5 * h, w - t - g, 0.5 * h}};
    return lines[segment].center() + QPointF(s / 2, s / 2);
}

int brightness(const QImage& image, QPointF at)
{
    const QColor c = image.pixelColor(at.toPoint());
    return qMax(c.red(), qMax(c.green(), c.blue()));
}

class LayoutRequests : public QObject
{
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::LayoutRequest) ++count;
        return false;
    }
};

} // namespace

class TestInstLed : public QObject
{
    Q_OBJECT
private slots:
    void widthOf_data();
    void widthOf();
    void sizeHint_data();
    void sizeHint();
    void canShow_data();
    void canShow();
    void litSegments_data();
    void litSegments();
    void setTextMovesTheLayoutOnlyForANewWidth_data();
    void setTextMovesTheLayoutOnlyForANewWidth();
};

void TestInstLed::widthOf_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("empty text") << 34 << "" << 0.0;
    QTest::newRow("12:34 at 34") << 34 << "12:34" << 34 * (0.56 * 4 + 0.3) + 4 * 0.07 * 34;
    QTest::newRow("one digit") << 40 << "8" << 0.56 * 40;
    QTest::newRow("a point is narrow") << 40 << "." << 0.3 * 40;
    QTest::newRow("a space is a full cell") << 40 << " 1" << 2 * 0.56 * 40 + 0.07 * 40;
    QTest::newRow("a letter is a full cell") << 20 << "A:" << 0.56 * 20 + 0.3 * 20 + 0.07 * 20;
}

void TestInstLed::widthOf()
{
    QFETCH(int, height);
    QFETCH(QString, text);
    QFETCH(double, expected);
    QVERIFY(qAbs(InstLed(height).widthOf(text) - expected) < 1e-9);
}

void TestInstLed::sizeHint_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reserve");
    QTest::addColumn<QSize>("expected");
    // H = 34, s = 4.08: ceil(width + s) by ceil(34 + s) = 39.
    QTest::newRow("no text") << ""
                             << "" << QSize(5, 39);
    QTest::newRow("text without a reserve") << "12:34"
                                            << "" << QSize(100, 39);
    QTest::newRow("reserve wider than the text") << "1"
                                                 << "00:00" << QSize(100, 39);
    QTest::newRow("reserve narrower than the text")
        << "12:34:56"
        << "0" << QSize(int(std::ceil(0.56 * 34 + 4.08)), 39);
}

void TestInstLed::sizeHint()
{
    QFETCH(QString, text);
    QFETCH(QString, reserve);
    QFETCH(QSize, expected);
    InstLed led(34);
    led.setText(text);
    led.setReserve(reserve);
    QCOMPARE(led.sizeHint(), expected);
    QCOMPARE(led.sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
}

void TestInstLed::canShow_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");
    QTest::newRow("empty") << "" << false;
    QTest::newRow("time of day") << "12:34:56" << true;
    QTest::newRow("negative decimal") << "-1.5" << true;
    QTest::newRow("minus sign") << QString(QChar(0x2212)) + "0.25" << true;
    QTest::newRow("leading space") << " 7" << true;
    QTest::newRow("idle dashes") << "-.---" << true;
    QTest::newRow("Arabic-Indic digits") << QString(QChar(0x0663)) + QChar(0x0667) << true;
    QTest::newRow("unit letter") << "12s" << false;
    QTest::newRow("plus sign") << "+1" << false;
    QTest::newRow("slash") << "1/2" << false;
    QTest::newRow("words") << "no answer" << false;
}

void TestInstLed::canShow()
{
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(InstLed::canShow(text), expected);
}

void TestInstLed::litSegments_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("lit");
    QTest::addColumn<bool>("dim");
    const char* const digits[] = {"abcdef", "bc",     "abdeg", "abcdg",   "bcfg",
                                  "acdfg",  "acdefg", "abc",   "abcdefg", "abcdfg"};
    for (int d = 0; d < 10; ++d)
        QTest::addRow("digit %d", d) << QString::number(d) << digits[d] << false;
    QTest::newRow("hyphen") << "-"
                            << "g" << false;
    QTest::newRow("minus sign") << QString(QChar(0x2212)) << "g" << false;
    QTest::newRow("Arabic-Indic seven") << QString(QChar(0x0667)) << "abc" << false;
    QTest::newRow("letter paints ghosts only") << "A"
                                               << "" << false;
    QTest::newRow("dim eight") << "8"
                               << "abcdefg" << true;
}

void TestInstLed::litSegments()
{
    QFETCH(QString, text);
    QFETCH(QString, lit);
    QFETCH(bool, dim);
    const int h = 40;
    InstLed led(h);
    led.setText(text);
    led.setDim(dim);
    led.resize(led.sizeHint());
    QImage image(led.size(), QImage::Format_ARGB32);
    image.fill(Qt::black);
    led.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());

    const int full = qMax(Inst::tokens()->led.red(), Inst::tokens()->led.green());
    for (int i = 0; i < 7; ++i) {
        const QChar name(char16_t(u'a' + i));
        const int seen = brightness(image, segmentMiddle(i, h, 0.56 * h));
        if (lit.contains(name)) {
            const int low = dim ? full / 5 : full * 9 / 10;
            const int high = dim ? full / 2 : 255;
            QVERIFY2(seen >= low && seen <= high,
                     qPrintable(QStringLiteral("%1 lit at %2").arg(name).arg(seen)));
        } else {
            // A ghost: there, but far below a lit segment.
            QVERIFY2(seen > 0 && seen < full / 8,
                     qPrintable(QStringLiteral("%1 unlit at %2").arg(name).arg(seen)));
        }
    }
}

void TestInstLed::setTextMovesTheLayoutOnlyForANewWidth_data()
{
    QTest::addColumn<QString>("reserve");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<bool>("relayout");
    QTest::newRow("same text") << ""
                               << "12:34"
                               << "12:34" << false;
    QTest::newRow("other figures, same width") << ""
                                               << "12:34"
                                               << "56:78" << false;
    QTest::newRow("one more figure") << ""
                                     << "9:59"
                                     << "10:00" << true;
    QTest::newRow("colon becomes a digit") << ""
                                           << "12:34"
                                           << "12345" << true;
    QTest::newRow("reserve keeps the width") << "00:00:00"
                                             << "9:59"
                                             << "10:00:00" << false;
}

void TestInstLed::setTextMovesTheLayoutOnlyForANewWidth()
{
    QFETCH(QString, reserve);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(bool, relayout);
    QWidget parent;
    auto* led = new InstLed(34, &parent);
    led->setReserve(reserve);
    led->setText(before);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QCoreApplication::sendPostedEvents();
    LayoutRequests requests;
    parent.installEventFilter(&requests);
    led->setText(after);
    QCoreApplication::sendPostedEvents(&parent, QEvent::LayoutRequest);
    QCOMPARE(requests.count > 0, relayout);
    QCOMPARE(led->text(), after);
}

QTEST_MAIN(TestInstLed)
#include "tst_instled.moc"
