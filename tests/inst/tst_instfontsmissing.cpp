// A bundle whose font resources went missing: the system's fixed font and one warning.

#include "inst/instfonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QTest>

namespace {

QStringList warnings;

void collect(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type != QtDebugMsg && type != QtInfoMsg) warnings << message;
}

} // namespace

class TestInstFontsMissing : public QObject
{
    Q_OBJECT
private slots:
    void monoFallsBackToAFixedFontWithOneWarning();
};

void TestInstFontsMissing::monoFallsBackToAFixedFontWithOneWarning()
{
    Q_CLEANUP_RESOURCE(inst);
    QVERIFY(!QFile::exists(QStringLiteral(":/inst/fonts/IBMPlexMono-Regular.ttf")));

    const QtMessageHandler previous = qInstallMessageHandler(collect);
    // A font asked for before registration registers first, rather than get no family.
    const QFont font = Inst::mono(12, QFont::DemiBold, 0.6);
    Inst::registerFonts();
    Inst::mono(10.5);
    qInstallMessageHandler(previous);

    QCOMPARE(warnings, QStringList{QStringLiteral(
                           "Instrument: IBM Plex Mono is missing from the app's resources; using "
                           "the system fixed font")});
    QCOMPARE(Inst::monoFamily(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    QCOMPARE(font.family(), Inst::monoFamily());
    QVERIFY(QFontInfo(font).fixedPitch());
}

QTEST_MAIN(TestInstFontsMissing)
#include "tst_instfontsmissing.moc"
