// Tokens, appearance, stored choice, fonts and the small texts of the theme.

#include "inst/instappearance.h"
#include "inst/instfonts.h"
#include "inst/instformat.h"
#include "inst/insttokens.h"

#include <QFontInfo>
#include <QGuiApplication>
#include <QPalette>
#include <QSettings>
#include <QStandardPaths>
#include <QStyleHints>
#include <QTest>
#include <climits>

namespace {

QStringList warnings;

void collect(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type != QtDebugMsg && type != QtInfoMsg) warnings << message;
}

QSettings appSettings()
{
    return QSettings(QStringLiteral("Ondavix"), QStringLiteral("Tessavel Veridir"));
}

} // namespace

class TestInstTheme : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    // Runs first: nothing has touched the tokens yet.
    void tokensAreDarkBeforeAnythingRuns();
    void setDarkRebuildsOnlyOnChange();
    void appearanceFromName_data();
    void appearanceFromName();
    void appearanceNamesRoundTrip();
    void wantsDark_data();
    void wantsDark();
    void storedAppearance();
    void rgba_data();
    void rgba();
    void span_data();
    void span();
    void monoUsesTheResourceFaces_data();
    void monoUsesTheResourceFaces();
};

void TestInstTheme::tokensAreDarkBeforeAnythingRuns()
{
    const Inst::Tokens& t = *Inst::tokens();
    QVERIFY(t.dark);
    QCOMPARE(t.panel, QColor::fromRgbF(0.027f, 0.035f, 0.047f));
    QCOMPARE(t.grid, QColor::fromRgbF(1, 1, 1, 0.09f));
}

void TestInstTheme::setDarkRebuildsOnlyOnChange()
{
    QVERIFY(Inst::tokens()->dark);
    QVERIFY(!Inst::setDark(true));
    QCOMPARE(Inst::tokens()->accent, QColor::fromRgbF(0.27f, 0.78f, 0.96f));

    QVERIFY(Inst::setDark(false));
    const Inst::Tokens& light = *Inst::tokens();
    QVERIFY(!light.dark);
    QCOMPARE(light.panel, QColor::fromRgbF(0.955f, 0.957f, 0.962f));
    QCOMPARE(light.amber, QColor::fromRgbF(0.8f, 0.45f, 0));
    QCOMPARE(light.hairline, QColor::fromRgbF(0, 0, 0, 0.14f));
    QVERIFY(!Inst::setDark(false));
    QCOMPARE(Inst::tokens()->panel, QColor::fromRgbF(0.955f, 0.957f, 0.962f));

    QVERIFY(Inst::setDark(true));
    QCOMPARE(Inst::tokens()->panel, QColor::fromRgbF(0.027f, 0.035f, 0.047f));
}

void TestInstTheme::appearanceFromName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Inst::Appearance>("expected");
    QTest::newRow("light") << "light" << Inst::Appearance::Light;
    QTest::newRow("system") << "system" << Inst::Appearance::System;
    QTest::newRow("dark") << "dark" << Inst::Appearance::Dark;
    QTest::newRow("empty text") << "" << Inst::Appearance::Dark;
    QTest::newRow("names are case-sensitive") << "Light" << Inst::Appearance::Dark;
    QTest::newRow("padded name") << " system" << Inst::Appearance::Dark;
    QTest::newRow("unknown name") << "sepia" << Inst::Appearance::Dark;
}

void TestInstTheme::appearanceFromName()
{
    QFETCH(QString, name);
    QFETCH(Inst::Appearance, expected);
    QCOMPARE(Inst::appearanceFromName(name), expected);
}

void TestInstTheme::appearanceNamesRoundTrip()
{
    QCOMPARE(Inst::appearanceName(Inst::Appearance::System), QStringLiteral("system"));
    QCOMPARE(Inst::appearanceName(Inst::Appearance::Light), QStringLiteral("light"));
    QCOMPARE(Inst::appearanceName(Inst::Appearance::Dark), QStringLiteral("dark"));
    for (auto a : {Inst::Appearance::System, Inst::Appearance::Light, Inst::Appearance::Dark})
        QCOMPARE(Inst::appearanceFromName(Inst::appearanceName(a)), a);
}

void TestInstTheme::wantsDark_data()
{
    QTest::addColumn<Inst::Appearance>("appearance");
    QTest::addColumn<QColor>("systemWindow");
    QTest::addColumn<bool>("expected");
    const QColor darkWindow(30, 30, 32);
    const QColor lightWindow(236, 236, 236);
    QTest::newRow("dark whatever the system") << Inst::Appearance::Dark << lightWindow << true;
    QTest::newRow("light whatever the system") << Inst::Appearance::Light << darkWindow << false;
    QTest::newRow("system with a dark window") << Inst::Appearance::System << darkWindow << true;
    QTest::newRow("system with a light window") << Inst::Appearance::System << lightWindow << false;
    QTest::newRow("system at lightness 127")
        << Inst::Appearance::System << QColor(127, 127, 127) << true;
    QTest::newRow("system at lightness 128")
        << Inst::Appearance::System << QColor(128, 128, 128) << false;
}

void TestInstTheme::wantsDark()
{
    QFETCH(Inst::Appearance, appearance);
    QFETCH(QColor, systemWindow);
    QFETCH(bool, expected);
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    if (QGuiApplication::styleHints()->colorScheme() != Qt::ColorScheme::Unknown &&
        appearance == Inst::Appearance::System)
        QSKIP("the platform reports its own colour scheme");
#endif
    const QPalette saved = QGuiApplication::palette();
    QPalette system = saved;
    system.setColor(QPalette::Window, systemWindow);
    QGuiApplication::setPalette(system);
    Inst::setAppearance(appearance);
    QCOMPARE(Inst::appearance(), appearance);
    QCOMPARE(Inst::wantsDark(), expected);
    Inst::setAppearance(Inst::Appearance::System);
    QGuiApplication::setPalette(saved);
}

void TestInstTheme::storedAppearance()
{
    appSettings().remove(QStringLiteral("app.appearance"));
    QCOMPARE(Inst::storedAppearance(), Inst::Appearance::Dark);

    Inst::storeAppearance(Inst::Appearance::Light);
    QCOMPARE(appSettings().value(QStringLiteral("app.appearance")).toString(),
             QStringLiteral("light"));
    QCOMPARE(Inst::storedAppearance(), Inst::Appearance::Light);
    Inst::storeAppearance(Inst::Appearance::System);
    QCOMPARE(Inst::storedAppearance(), Inst::Appearance::System);

    appSettings().setValue(QStringLiteral("app.appearance"), QStringLiteral("purple"));
    QCOMPARE(Inst::storedAppearance(), Inst::Appearance::Dark);
    appSettings().remove(QStringLiteral("app.appearance"));
}

void TestInstTheme::rgba_data()
{
    QTest::addColumn<QColor>("color");
    QTest::addColumn<double>("alpha");
    QTest::addColumn<QString>("expected");
    QTest::newRow("opaque colour") << QColor(255, 69, 58) << 1.0 << "rgba(255,69,58,1.000)";
    QTest::newRow("tint of an opaque colour")
        << QColor(56, 224, 122) << 0.14 << "rgba(56,224,122,0.140)";
    QTest::newRow("own alpha times the tint")
        << QColor(255, 255, 255, 51) << 0.5 << "rgba(255,255,255,0.100)";
    QTest::newRow("rounded to three decimals") << QColor(0, 0, 0) << 0.12345 << "rgba(0,0,0,0.123)";
    QTest::newRow("fully transparent") << QColor(1, 2, 3, 0) << 1.0 << "rgba(1,2,3,0.000)";
}

void TestInstTheme::rgba()
{
    QFETCH(QColor, color);
    QFETCH(double, alpha);
    QFETCH(QString, expected);
    QCOMPARE(Inst::rgba(color, alpha), expected);
    // A style sheet needs the point, whatever the user's locale writes.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(Inst::rgba(color, alpha), expected);
    QLocale::setDefault(QLocale::c());
}

void TestInstTheme::span_data()
{
    QTest::addColumn<qlonglong>("ms");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero") << 0LL << "0 s";
    QTest::newRow("last second count, 89,999 ms") << 89'999LL << "89 s";
    QTest::newRow("first minute count, 90,000 ms") << 90'000LL << "1 min";
    QTest::newRow("minus 95 s is its magnitude") << -95'000LL << "1 min";
    QTest::newRow("minus 89,999 ms") << -89'999LL << "89 s";
    QTest::newRow("last minute count") << 5'399'999LL << "89 min";
    QTest::newRow("first hour count, 1.5 h") << 5'400'000LL << "1 h";
    QTest::newRow("last hour count") << 129'599'999LL << "35 h";
    QTest::newRow("1.5 days, 129,600,000 ms") << 129'600'000LL << "1 days";
    QTest::newRow("ten days") << 864'000'000LL << "10 days";
    QTest::newRow("most negative value") << LLONG_MIN << "106751991167 days";
    QTest::newRow("largest value") << LLONG_MAX << "106751991167 days";
}

void TestInstTheme::span()
{
    QFETCH(qlonglong, ms);
    QFETCH(QString, expected);
    QCOMPARE(Inst::span(ms), expected);
}

void TestInstTheme::monoUsesTheResourceFaces_data()
{
    QTest::addColumn<int>("weight");
    QTest::newRow("regular") << int(QFont::Normal);
    QTest::newRow("medium") << int(QFont::Medium);
    QTest::newRow("semibold") << int(QFont::DemiBold);
}

void TestInstTheme::monoUsesTheResourceFaces()
{
    QFETCH(int, weight);
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collect);
    Inst::registerFonts();
    qInstallMessageHandler(previous);
    QCOMPARE(warnings, QStringList());
    QCOMPARE(Inst::monoFamily(), QStringLiteral("IBM Plex Mono"));

    const QFont font = Inst::mono(12, QFont::Weight(weight), 1.2);
    const QFontInfo info(font);
    QCOMPARE(info.family(), QStringLiteral("IBM Plex Mono"));
    QVERIFY(info.fixedPitch());
    QCOMPARE(info.weight(), weight);
    QCOMPARE(font.letterSpacingType(), QFont::AbsoluteSpacing);
    // Qt keeps the spacing in 1/64 px.
    QVERIFY(qAbs(font.letterSpacing() - 1.2) <= 1.0 / 64);
    QCOMPARE(Inst::mono(12, QFont::Weight(weight)).letterSpacing(), 0.0);
}

QTEST_MAIN(TestInstTheme)
#include "tst_insttheme.moc"
