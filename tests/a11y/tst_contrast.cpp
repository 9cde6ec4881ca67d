// Every text colour of the toolkit against every face it is drawn on, light and dark, the clock
// alert's, and the menu-bar lamp against both bars, as WCAG 2.1 AA asks.

#include "inst/inst.h"
#include "inst/instcontrast.h"
#include "ui/lamp.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

constexpr double kBody = 4.5;
constexpr double kLarge = 3.0; // large text, and marks such as the lamp

// The menu bars as the lamp's face is drawn for them: each takes the other's ink.
const QColor kLightBar(0xEC, 0xED, 0xF0);
const QColor kDarkBar(0x1C, 0x1E, 0x22);

using Named = QList<std::pair<QString, QColor>>;

// A chip's face as it paints it, read back from the pixels above its words.
QColor chipFace(InstChip::Tone tone, const QColor& ground)
{
    InstChip chip(u"WORD"_s, tone);
    chip.resize(chip.sizeHint());
    QImage image(chip.size(), QImage::Format_ARGB32);
    image.fill(ground);
    chip.render(&image, {}, {}, QWidget::DrawChildren);
    return image.pixelColor(chip.width() / 2, 1);
}

// A button's face: its ink at 14% over the ground.
QColor buttonFace(QColor ink, const QColor& ground)
{
    ink.setAlphaF(ink.alphaF() * 0.14f);
    return Inst::over(ink, ground);
}

void row(const QString& name, const QColor& fg, const QColor& bg, double least)
{
    QTest::newRow(qPrintable(name)) << fg << bg << least;
}

// Each ink on each face.
void rows(const QString& mode, const Named& inks, const Named& faces, double least)
{
    for (const auto& [ink, fg] : inks)
        for (const auto& [face, bg] : faces)
            row(u"%1: %2 on %3"_s.arg(mode, ink, face), fg, bg, least);
}

} // namespace

class TstContrast : public QObject
{
    Q_OBJECT

private slots:
    void ratioOfKnownPairs_data()
    {
        QTest::addColumn<QColor>("foreground");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<double>("ratio");
        QTest::newRow("white on black, the lighter counted first")
            << QColor(Qt::white) << QColor(Qt::black) << 21.0;
        // #767676 on white is the grey the guidelines quote at 4.54:1.
        QTest::newRow("the quoted grey") << QColor(0x76, 0x76, 0x76) << QColor(Qt::white) << 4.54;
        // Below the 0.04045 knee a channel is divided by 12.92; the curve would give 1.02.
        QTest::newRow("near black under the knee")
            << QColor(0x02, 0x02, 0x02) << QColor(Qt::black) << 1.01;
        QTest::newRow("pure green weighs most") << QColor(Qt::green) << QColor(Qt::black) << 15.3;
        QTest::newRow("half-clear black over white is mid grey")
            << QColor::fromRgbF(0, 0, 0, 0.5f) << QColor(Qt::white) << 3.98;
    }

    void ratioOfKnownPairs()
    {
        QFETCH(QColor, foreground);
        QFETCH(QColor, background);
        QFETCH(double, ratio);
        QCOMPARE(qRound(Inst::contrastRatio(foreground, background) * 100) / 100.0, ratio);
    }

    void tokens_data()
    {
        QTest::addColumn<QColor>("foreground");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<double>("least");
        for (const bool dark : {false, true}) {
            Inst::setDark(dark);
            const Inst::Tokens t = *Inst::tokens();
            const QString mode = dark ? u"dark"_s : u"light"_s;
            const Named window{{u"panel"_s, t.panel}, {u"section"_s, t.section}};
            const Named screens{{u"section"_s, t.section}, {u"canvas"_s, t.canvas}};
            // Plain texts go on any face.
            rows(mode, {{u"pri"_s, t.pri}, {u"sec"_s, t.sec}, {u"mut"_s, t.mut}},
                 window + Named{{u"deck"_s, t.deck}, {u"canvas"_s, t.canvas}, {u"well"_s, t.well}},
                 kBody);
            rows(mode, {{u"screen"_s, t.screen}}, {{u"canvas"_s, t.canvas}}, kBody);
            rows(mode, {{u"panel (chosen segment, selection)"_s, t.panel}},
                 {{u"accent"_s, t.accent}}, kBody);
            // Toned words: labels on the window, its sections and screens; chips on their own
            // face in the status screen and the server table; buttons on their own tint.
            const QList<std::pair<QString, InstChip::Tone>> tones{{u"led"_s, InstChip::Go},
                                                                  {u"accent"_s, InstChip::Info},
                                                                  {u"amber"_s, InstChip::Warn},
                                                                  {u"red"_s, InstChip::Bad},
                                                                  {u"sec"_s, InstChip::Neutral}};
            for (const auto& [name, tone] : tones) {
                const QColor ink = InstChip::colorOf(tone);
                if (tone != InstChip::Neutral)
                    rows(mode, {{name, ink}}, window + Named{{u"canvas"_s, t.canvas}}, kBody);
                for (const auto& [face, ground] : screens)
                    row(u"%1: %2 chip on %3"_s.arg(mode, name, face), ink, chipFace(tone, ground),
                        kBody);
                if (tone != InstChip::Neutral && tone != InstChip::Warn)
                    for (const auto& [face, ground] : window)
                        row(u"%1: %2 button on %3"_s.arg(mode, name, face), ink,
                            buttonFace(ink, ground), kBody);
            }
            // The LED's figures are large: the clock on its screen, readouts on their well.
            rows(mode, {{u"led LED"_s, t.led}, {u"amber LED"_s, t.amber}, {u"red LED"_s, t.red}},
                 {{u"canvas"_s, t.canvas}, {u"well"_s, t.well}}, kLarge);
        }
        // The clock alert's own look: its words on its face, what is typed on its fields.
        const Inst::Alarm& a = Inst::alarm();
        rows(u"alarm"_s, {{u"text"_s, a.text}, {u"bright"_s, a.bright}, {u"caption"_s, a.caption}},
             {{u"face"_s, a.face}}, kBody);
        rows(u"alarm"_s, {{u"bright"_s, a.bright}}, {{u"field"_s, a.field}}, kBody);
        rows(u"alarm"_s, {{u"ink"_s, a.ink}}, {{u"red"_s, a.red}}, kBody);
        for (const ClockState s : {ClockState::Sync, ClockState::Lost, ClockState::Wrong}) {
            row(u"lamp %1 on a dark bar"_s.arg(stateWords(s)), lampColor(s), kDarkBar, kLarge);
            row(u"lamp %1 on a light bar"_s.arg(stateWords(s)), lampColor(s, false), kLightBar,
                kLarge);
        }
        row(u"lamp's words on a dark bar"_s, lampWordsColor(true), kDarkBar, kBody);
        row(u"lamp's words on a light bar"_s, lampWordsColor(false), kLightBar, kBody);
    }

    void tokens()
    {
        QFETCH(QColor, foreground);
        QFETCH(QColor, background);
        QFETCH(double, least);
        const double ratio = Inst::contrastRatio(foreground, background);
        QVERIFY2(
            ratio >= least,
            qPrintable(u"%1 on %2: %3:1"_s.arg(foreground.name(QColor::HexArgb), background.name())
                           .arg(ratio, 0, 'f', 2)));
    }
};

QTEST_MAIN(TstContrast)
#include "tst_contrast.moc"
