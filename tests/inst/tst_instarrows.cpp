// The arrow images in the resources are what the generator draws from today's tokens.

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestInstArrows : public QObject
{
    Q_OBJECT
private slots:
    void resourcesMatchTheGenerator_data();
    void resourcesMatchTheGenerator();

private:
    QTemporaryDir drawn;
    bool generated = false;
};

void TestInstArrows::resourcesMatchTheGenerator_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    for (const char* direction : {"up", "down"}) {
        for (const char* mode : {"light", "dark"}) {
            const QString base =
                QStringLiteral("%1-%2").arg(QLatin1String(direction), QLatin1String(mode));
            QTest::newRow(qPrintable(base)) << base + ".png" << QSize(8, 5);
            QTest::newRow(qPrintable(base + "@2x")) << base + "@2x.png" << QSize(16, 10);
        }
    }
}

void TestInstArrows::resourcesMatchTheGenerator()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    if (!generated) {
        QVERIFY(drawn.isValid());
        QCOMPARE(QProcess::execute(QStringLiteral(INST_MAKEARROWS), {drawn.path()}), 0);
        generated = true;
    }
    const QImage committed(QStringLiteral(":/inst/arrows/") + name);
    const QImage fresh(drawn.filePath(name));
    QCOMPARE(committed.size(), size);
    QVERIFY2(committed.convertToFormat(QImage::Format_ARGB32) ==
                 fresh.convertToFormat(QImage::Format_ARGB32),
             "stale arrow image: run the inst_arrows build target");
}

QTEST_MAIN(TestInstArrows)
#include "tst_instarrows.moc"
