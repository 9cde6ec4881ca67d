// Every text colour of the toolkit against every face it is drawn on, light and dark, and the
// menu-bar lamp against both bars, as WCAG 2.1 AA asks.

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

QColor tint(QColor c, double alpha)
{
    c.setAlphaF(float(c.alphaF() * alpha));
    return c;
}

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

void row(const QString& name, const QColor& fg, const QColor& bg, double least)
{
    QTest::newRow(qPrintable(name)) << fg << bg << least;
}

} // namespace

class TstContrast : public QObject
{
    Q_OBJECT

private slots:
    void ratioOfKnownPairs_data();
    void ratioOfKnownPairs();
    void tokens_data();
    void tokens();
};

void TstContrast::ratioOfKnownPairs_data()
{
    QTest::addColumn<QColor>("foreground");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<double>("ratio");
    QTest::newRow("black on white is the most") << QColor(Qt::black) << QColor(Qt::white) << 21.0;
    QTest::newRow("white on black, either way round")
        << QColor(Qt::white) << QColor(Qt::black) << 21.0;
    QTest::newRow("a colour on itself is the least")
        << QColor(0x77, 0x10, 0xAA) << QColor(0x77, 0x10, 0xAA) << 1.0;
    // #767676 on white is the grey the guidelines quote at 4.54:1.
    QTest::newRow("the quoted grey") << QColor(0x76, 0x76, 0x76) << QColor(Qt::white) << 4.54;
    // Below the 0.04045 knee a channel is divided by 12.92; the curve would give 1.02.
    QTest::newRow("near black under the knee")
        << QColor(0x02, 0x02, 0x02) << QColor(Qt::black) << 1.01;
    QTest::newRow("pure green weighs most") << QColor(Qt::green) << QColor(Qt::black) << 15.3;
    QTest::newRow("half-clear black over white is mid grey")
        << QColor::fromRgbF(0, 0, 0, 0.5f) << QColor(Qt::white) << 3.98;
}

void TstContrast::ratioOfKnownPairs()
{
    QFETCH(QColor, foreground);
    QFETCH(QColor, background);
    QFETCH(double, ratio);
    QCOMPARE(qRound(Inst::contrastRatio(foreground, background) * 100) / 100.0, ratio);
}

void TstContrast::tokens_data()
{
    QTest::addColumn<QColor>("foreground");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<double>("least");
    for (const bool dark : {false, true}) {
        Inst::setDark(dark);
        const Inst::Tokens t = *Inst::tokens();
        const QString mode = dark ? u"dark"_s : u"light"_s;
        const QList<std::pair<QString, QColor>> faces{{u"panel"_s, t.panel},
                                                      {u"deck"_s, t.deck},
                                                      {u"section"_s, t.section},
                                                      {u"canvas"_s, t.canvas},
                                                      {u"well"_s, t.well}};
        // Plain texts go on any face.
        for (const auto& [text, ink] :
             {std::pair{u"pri"_s, t.pri}, {u"sec"_s, t.sec}, {u"mut"_s, t.mut}})
            for (const auto& [face, ground] : faces)
                row(u"%1: %2 on %3"_s.arg(mode, text, face), ink, ground, kBody);
        row(mode + u": screen on canvas"_s, t.screen, t.canvas, kBody);
        // Toned words: labels on the window, its sections and screens, and chips in the
        // status screen and the server table.
        const QList<std::pair<InstChip::Tone, QString>> tones{{InstChip::Go, u"led"_s},
                                                              {InstChip::Info, u"accent"_s},
                                                              {InstChip::Warn, u"amber"_s},
                                                              {InstChip::Bad, u"red"_s},
                                                              {InstChip::Neutral, u"sec"_s}};
        for (const auto& [tone, text] : tones) {
            const QColor ink = InstChip::colorOf(tone);
            for (const auto& [face, ground] : faces.mid(0, 4)) {
                if (face == u"deck") continue;
                if (tone != InstChip::Neutral)
                    row(u"%1: %2 on %3"_s.arg(mode, text, face), ink, ground, kBody);
                if (face != u"panel")
                    row(u"%1: %2 chip on %3"_s.arg(mode, text, face), ink, chipFace(tone, ground),
                        kBody);
            }
        }
        // Buttons: their words on their own tint over the window and a section.
        for (const auto& [name, ink] :
             {std::pair{u"go"_s, t.led}, {u"primary"_s, t.accent}, {u"alarm"_s, t.red}})
            for (const auto& [face, ground] : faces.mid(0, 3))
                if (face != u"deck")
                    row(u"%1: %2 button on %3"_s.arg(mode, name, face), ink,
                        Inst::over(tint(ink, 0.14), ground), kBody);
        row(mode + u": panel on accent (chosen segment, selection)"_s, t.panel, t.accent, kBody);
        // The LED's figures are large: the clock on its screen, readouts on their well.
        for (const auto& [name, ink] :
             {std::pair{u"led"_s, t.led}, {u"amber"_s, t.amber}, {u"red"_s, t.red}}) {
            row(u"%1: %2 LED on canvas"_s.arg(mode, name), ink, t.canvas, kLarge);
            row(u"%1: %2 LED on well"_s.arg(mode, name), ink, t.well, kLarge);
        }
    }
    for (const ClockState s : {ClockState::Sync, ClockState::Lost, ClockState::Wrong}) {
        row(u"lamp %1 on a dark bar"_s.arg(stateWords(s)), lampColor(s), kDarkBar, kLarge);
        row(u"lamp %1 on a light bar"_s.arg(stateWords(s)), lampColor(s, false), kLightBar, kLarge);
    }
    row(u"lamp's words on a dark bar"_s, lampWordsColor(true), kDarkBar, kBody);
    row(u"lamp's words on a light bar"_s, lampWordsColor(false), kLightBar, kBody);
}

void TstContrast::tokens()
{
    QFETCH(QColor, foreground);
    QFETCH(QColor, background);
    QFETCH(double, least);
    const double ratio = Inst::contrastRatio(foreground, background);
    QVERIFY2(ratio >= least,
             qPrintable(u"%1 on %2: %3:1"_s.arg(foreground.name(QColor::HexArgb), background.name())
                            .arg(ratio, 0, 'f', 2)));
}

QTEST_MAIN(TstContrast)
#include "tst_contrast.moc"
