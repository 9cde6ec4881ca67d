// InstValue: where a figure ends and its unit begins, and which child shows it.

#include "inst/instvalue.h"

#include <QLabel>
#include <QTest>

class TestInstValue : public QObject
{
    Q_OBJECT
private slots:
    void split_data();
    void split();
    void setText_data();
    void setText();
};

void TestInstValue::split_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("holds");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("unit");
    QTest::newRow("plus, decimal point, space and s") << "+1.234 s" << true << "1.234"
                                                      << "s";
    QTest::newRow("no answer") << "no answer" << false << ""
                               << "no answer";
    QTest::newRow("figure straight into a letter") << "12ms" << true << "12"
                                                   << "ms";
    QTest::newRow("figure straight into a slash") << "3/4" << false << ""
                                                  << "3/4";
    QTest::newRow("figure straight into a comma") << "1,5 s" << false << ""
                                                  << "1,5 s";
    QTest::newRow("figure straight into percent") << "98%" << true << "98"
                                                  << "%";
    QTest::newRow("figure straight into degrees") << "21\u00b0C" << true << "21"
                                                  << "\u00b0C";
    QTest::newRow("surrounding space trimmed") << "  42   %  " << true << "42"
                                               << "%";
    QTest::newRow("negative figure") << "-0.512 s" << true << "-0.512"
                                     << "s";
    QTest::newRow("time of day alone") << "12:34:56" << true << "12:34:56"
                                       << "";
    QTest::newRow("leading point") << ".5 s" << true << ".5"
                                   << "s";
    QTest::newRow("minus without a digit") << "- s" << false << ""
                                           << "- s";
    QTest::newRow("plus sign alone") << "+" << false << ""
                                     << "+";
    QTest::newRow("empty text") << "" << false << ""
                                << "";
    QTest::newRow("minus inside the figure") << "1-2" << false << ""
                                             << "1-2";
    QTest::newRow("Arabic-Indic figure")
        << QStringLiteral("\u0663\u0667 s") << true << QStringLiteral("\u0663\u0667") << "s";
}

void TestInstValue::split()
{
    QFETCH(QString, text);
    QFETCH(bool, holds);
    QFETCH(QString, number);
    QFETCH(QString, unit);
    QString gotNumber = QStringLiteral("stale");
    QString gotUnit = QStringLiteral("stale");
    QCOMPARE(InstValue::split(text, &gotNumber, &gotUnit), holds);
    QCOMPARE(gotNumber, number);
    QCOMPARE(gotUnit, unit);
    InstValue::split(text, nullptr, nullptr);
}

void TestInstValue::setText_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("led");   // empty: the LED hides
    QTest::addColumn<QString>("words"); // empty: the text label hides
    QTest::addColumn<QString>("unit");  // empty: the unit label hides
    QTest::newRow("figure with a unit") << ""
                                        << "1.234 s"
                                        << "1.234"
                                        << ""
                                        << "s";
    QTest::newRow("figure alone") << ""
                                  << "42"
                                  << "42"
                                  << ""
                                  << "";
    QTest::newRow("words") << ""
                           << "no answer"
                           << ""
                           << "no answer"
                           << "";
    QTest::newRow("words after a figure") << "1.234 s"
                                          << "no answer"
                                          << ""
                                          << "no answer"
                                          << "";
    QTest::newRow("figure after words") << "no answer"
                                        << "7 min"
                                        << "7"
                                        << ""
                                        << "min";
    QTest::newRow("unit dropped") << "7 min"
                                  << "12"
                                  << "12"
                                  << ""
                                  << "";
}

void TestInstValue::setText()
{
    QFETCH(QString, before);
    QFETCH(QString, text);
    QFETCH(QString, led);
    QFETCH(QString, words);
    QFETCH(QString, unit);
    InstValue value(24);
    value.setText(before);
    value.setText(text);
    QCOMPARE(value.text(), text);
    QCOMPARE(value.accessibleName(), text);
    QCOMPARE(!value.led()->isHidden(), !led.isEmpty());
    if (!led.isEmpty()) QCOMPARE(value.led()->text(), led);
    QCOMPARE(!value.textLabel()->isHidden(), !words.isEmpty());
    if (!words.isEmpty()) QCOMPARE(value.textLabel()->text(), words);
    QCOMPARE(!value.unitLabel()->isHidden(), !unit.isEmpty());
    if (!unit.isEmpty()) QCOMPARE(value.unitLabel()->text(), unit);
}

QTEST_MAIN(TestInstValue)
#include "tst_instvalue.moc"
