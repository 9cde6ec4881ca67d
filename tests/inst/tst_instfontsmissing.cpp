// A bundle whose font resources went missing: the system's fixed font and one warning.

#include "instfonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QTest>

class TestInstFontsMissing : public QObject
{
    Q_OBJECT
private slots:
    void monoFallsBackToAFixedFontWithOneWarning();
};

void TestInstFontsMissing::monoFallsBackToAFixedFontWithOneWarning()
{
    Q_CLEANUP_RESOURCE(inst);
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
    QTest::ignoreMessage(QtWarningMsg, "Instrument: IBM Plex Mono is missing from the app's "
                                       "resources; using the system fixed font");
    // A font asked for before registration registers first, rather than get no family.
    const QFont font = Inst::mono(12, QFont::DemiBold, 0.6);
    Inst::registerFonts();
    Inst::mono(10.5);
    QCOMPARE(Inst::monoFamily(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    QCOMPARE(font.family(), Inst::monoFamily());
    QVERIFY(QFontInfo(font).fixedPitch());
}

QTEST_MAIN(TestInstFontsMissing)
#include "tst_instfontsmissing.moc"
