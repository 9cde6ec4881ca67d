// The osascript stand-in takes the application's one statement form and nothing else.
#include <QProcess>
#include <QtTest>

class TestOsascriptStandIn : public QObject
{
    Q_OBJECT

    static QProcess* run(const QStringList& args)
    {
        auto* p = new QProcess;
        p->start(QStringLiteral(TV_OSASCRIPT), args);
        p->waitForFinished();
        return p;
    }

private slots:
    void forms_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("out");
        const QString ok =
            "do shell script \"printf '%s|' a\\\\\\\"b\" with prompt \"p\\\"q\" with "
            "administrator privileges";
        QTest::newRow("the application's form") << QStringList{"-e", ok} << 0 << "a\"b|";
        QTest::newRow("no -e") << QStringList{ok} << 1 << "";
        QTest::newRow("two statements") << QStringList{"-e", ok, "-e", ok} << 1 << "";
        QTest::newRow("without administrator privileges")
            << QStringList{"-e", "do shell script \"echo x\" with prompt \"p\""} << 1 << "";
        QTest::newRow("text after the statement")
            << QStringList{"-e", "do shell script \"echo x\" with prompt \"p\" with administrator "
                                 "privileges and more"}
            << 1 << "";
        QTest::newRow("unterminated string")
            << QStringList{"-e", "do shell script \"echo x\\\""} << 1 << "";
        QTest::newRow("a failing command")
            << QStringList{"-e", "do shell script \"echo out; echo err >&2; exit 3\" with prompt "
                                 "\"p\" with administrator privileges"}
            << 1 << "";
    }

    void forms()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exit);
        QFETCH(QString, out);
        std::unique_ptr<QProcess> p(run(args));
        QCOMPARE(p->exitCode(), exit);
        QCOMPARE(QString::fromUtf8(p->readAllStandardOutput()), out);
        const QString err = QString::fromUtf8(p->readAllStandardError());
        if (exit != 0) QVERIFY(err.contains("error"));
        if (QByteArray(QTest::currentDataTag()) == "a failing command")
            QVERIFY2(QRegularExpression("^0:\\d+: execution error: err \\(3\\)\\n$")
                         .match(err)
                         .hasMatch(),
                     qPrintable(err));
    }
};

QTEST_GUILESS_MAIN(TestOsascriptStandIn)
#include "tst_osascriptstandin.moc"
