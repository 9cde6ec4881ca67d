// The composite widgets: status chips, readouts, the appearance selector, tabs and check rows.

#include "inst/instappearanceselector.h"
#include "inst/instbezel.h"
#include "inst/instcheckrow.h"
#include "inst/instchip.h"
#include "inst/instdot.h"
#include "inst/instled.h"
#include "inst/instmoduleheader.h"
#include "inst/instreadout.h"
#include "inst/instreadoutbar.h"
#include "inst/inststatus.h"
#include "inst/insttabs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

class TestInstWidgets : public QObject
{
    Q_OBJECT
private slots:
    void statusSplitsAtTheFirstSeparator_data();
    void statusSplitsAtTheFirstSeparator();
    void readoutShowsFiguresOrWords_data();
    void readoutShowsFiguresOrWords();
    void readoutIdleIsDimmedUntilAValueComes();
    void readoutBarMarksItsFirstReadout();
    void selectorSegmentAt_data();
    void selectorSegmentAt();
    void selectorTellsItsOwnerOfANewChoice();
    void tabsSwitchPages();
    void checkRowsShareColumns();
    void headerAndBezelLayout();
};

void TestInstWidgets::statusSplitsAtTheFirstSeparator_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("main");
    QTest::addColumn<QString>("detail"); // empty: the detail chip hides
    QTest::newRow("no separator") << ""
                                  << "In sync"
                                  << "IN SYNC"
                                  << "";
    QTest::newRow("state and detail") << ""
                                      << "Server not heard - Last synced 5 min ago"
                                      << "SERVER NOT HEARD"
                                      << "LAST SYNCED 5 MIN AGO";
    QTest::newRow("first separator only") << ""
                                          << "Clock is off - 2 min - behind"
                                          << "CLOCK IS OFF"
                                          << "2 MIN - BEHIND";
    QTest::newRow("hyphen without spaces") << ""
                                           << "Re-sync due"
                                           << "RE-SYNC DUE"
                                           << "";
    QTest::newRow("nothing after the separator") << ""
                                                 << "Clock is off - "
                                                 << "CLOCK IS OFF"
                                                 << "";
    QTest::newRow("detail goes away") << "Lost - since 12:00"
                                      << "In sync"
                                      << "IN SYNC"
                                      << "";
}

void TestInstWidgets::statusSplitsAtTheFirstSeparator()
{
    QFETCH(QString, before);
    QFETCH(QString, text);
    QFETCH(QString, main);
    QFETCH(QString, detail);
    InstStatus status;
    status.setText(before);
    status.setText(text);
    QCOMPARE(status.text(), text);
    QCOMPARE(status.mainChip()->text(), main);
    QCOMPARE(!status.detailChip()->isHidden(), !detail.isEmpty());
    if (!detail.isEmpty()) QCOMPARE(status.detailChip()->text(), detail);
    status.setTone(InstChip::Warn);
    status.setDetailTone(InstChip::Neutral);
    QCOMPARE(status.mainChip()->tone(), InstChip::Warn);
    QCOMPARE(status.detailChip()->tone(), InstChip::Neutral);
}

void TestInstWidgets::readoutShowsFiguresOrWords_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<bool>("onLed");
    QTest::addColumn<QString>("shownUnit"); // empty: the unit label hides
    QTest::newRow("figure and unit") << "1.234"
                                     << "s" << true << "s";
    QTest::newRow("figure alone") << "-.---"
                                  << "" << true << "";
    QTest::newRow("words") << "4 min ago"
                           << "" << false << "";
    QTest::newRow("words drop the unit") << "not heard"
                                         << "s" << false << "";
    QTest::newRow("empty value") << ""
                                 << "s" << false << "";
}

void TestInstWidgets::readoutShowsFiguresOrWords()
{
    QFETCH(QString, value);
    QFETCH(QString, unit);
    QFETCH(bool, onLed);
    QFETCH(QString, shownUnit);
    InstReadout readout(QStringLiteral("Offset"));
    QCOMPARE(readout.captionLabel()->text(), QStringLiteral("OFFSET"));
    readout.setValue(QStringLiteral("9.999"), QStringLiteral("ms"));
    readout.setValue(value, unit);
    QCOMPARE(!readout.led()->isHidden(), onLed);
    QCOMPARE(!readout.wordsLabel()->isHidden(), !onLed);
    if (onLed) {
        QCOMPARE(readout.led()->text(), value);
        QVERIFY(!readout.led()->isDim());
    } else {
        QCOMPARE(readout.wordsLabel()->text(), value);
    }
    QCOMPARE(!readout.unitLabel()->isHidden(), !shownUnit.isEmpty());
    QCOMPARE(readout.unitLabel()->text(), shownUnit);
}

void TestInstWidgets::readoutIdleIsDimmedUntilAValueComes()
{
    InstReadout readout(QStringLiteral("Offset"));
    readout.setValue(QStringLiteral("not heard"));
    readout.setWordsTone("sec");
    QCOMPARE(readout.wordsLabel()->property("tone").toString(), QStringLiteral("sec"));
    readout.setIdle(QStringLiteral("-.---"));
    QVERIFY(readout.wordsLabel()->isHidden());
    QVERIFY(readout.unitLabel()->isHidden());
    QVERIFY(!readout.led()->isHidden());
    QVERIFY(readout.led()->isDim());
    QCOMPARE(readout.led()->text(), QStringLiteral("-.---"));
    readout.setValue(QStringLiteral("0.012"), QStringLiteral("s"));
    QVERIFY(!readout.led()->isDim());
}

void TestInstWidgets::readoutBarMarksItsFirstReadout()
{
    InstReadoutBar bar;
    InstReadout* first = bar.addReadout(QStringLiteral("Offset"));
    InstReadout* second = bar.addReadout(QStringLiteral("Last sync"), 2);
    QVERIFY(first->isFirst());
    QVERIFY(!second->isFirst());
    QCOMPARE(first->parentWidget(), &bar);
    QCOMPARE(bar.count(), 2);
}

void TestInstWidgets::selectorSegmentAt_data()
{
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<int>("segment");
    QTest::newRow("left frame") << QPoint(0, 10) << 0;
    QTest::newRow("system") << QPoint(14, 10) << 0;
    QTest::newRow("light") << QPoint(43, 10) << 1;
    QTest::newRow("light on the top frame") << QPoint(43, 0) << 1;
    QTest::newRow("dark") << QPoint(70, 10) << 2;
    QTest::newRow("right frame") << QPoint(85, 10) << 2;
    QTest::newRow("outside") << QPoint(86, 10) << -1;
    QTest::newRow("above") << QPoint(43, -1) << -1;
}

void TestInstWidgets::selectorSegmentAt()
{
    QFETCH(QPoint, point);
    QFETCH(int, segment);
    InstAppearanceSelector selector;
    selector.resize(86, 22);
    QCOMPARE(selector.segmentAt(point), segment);
    QCOMPARE(selector.accessibleName(), QStringLiteral("Appearance"));
}

void TestInstWidgets::selectorTellsItsOwnerOfANewChoice()
{
    InstAppearanceSelector selector;
    selector.resize(selector.sizeHint());
    QList<Inst::Appearance> picked;
    selector.setPickHandler([&](Inst::Appearance a) { picked << a; });
    selector.setAppearance(Inst::Appearance::Dark);
    QVERIFY(picked.isEmpty());

    const QPoint light = selector.rect().center();
    QTest::mouseClick(&selector, Qt::LeftButton, {}, light);
    QCOMPARE(picked, QList<Inst::Appearance>{Inst::Appearance::Light});
    QCOMPARE(selector.appearance(), Inst::Appearance::Light);
    // The segment already chosen tells nobody.
    QTest::mouseClick(&selector, Qt::LeftButton, {}, light);
    QCOMPARE(picked.size(), 1);
    // Pressed on one segment and let go over another: no choice.
    QTest::mousePress(&selector, Qt::LeftButton, {}, QPoint(4, 10));
    QTest::mouseRelease(&selector, Qt::LeftButton, {}, QPoint(selector.width() - 4, 10));
    QCOMPARE(picked.size(), 1);
    QTest::keyClick(&selector, Qt::Key_Right);
    QCOMPARE(picked.last(), Inst::Appearance::Dark);
    QCOMPARE(InstAppearanceSelector::segmentName(0), QStringLiteral("System default"));
}

void TestInstWidgets::tabsSwitchPages()
{
    InstTabs tabs;
    QCOMPARE(tabs.currentIndex(), -1);
    QCOMPARE(tabs.addTab(new QLabel(QStringLiteral("one")), QStringLiteral("ONE")), 0);
    QCOMPARE(tabs.addTab(new QLabel(QStringLiteral("two")), QStringLiteral("TWO")), 1);
    QCOMPARE(tabs.addTab(new QLabel(QStringLiteral("three")), QStringLiteral("THREE")), 2);
    QCOMPARE(tabs.currentIndex(), 0);
    QVERIFY(tabs.tabButton(0)->isChecked());
    QCOMPARE(tabs.tabButton(1)->property("inst").toString(), QStringLiteral("tab"));

    QSignalSpy changed(&tabs, &InstTabs::currentChanged);
    tabs.show();
    QTest::mouseClick(tabs.tabButton(2), Qt::LeftButton);
    QCOMPARE(tabs.currentIndex(), 2);
    QVERIFY(tabs.tabButton(2)->isChecked());
    QVERIFY(!tabs.tabButton(0)->isChecked());
    tabs.setCurrentIndex(7);
    tabs.setCurrentIndex(2);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(tabs.currentIndex(), 2);
}

void TestInstWidgets::checkRowsShareColumns()
{
    InstCheckRow shortRow(QStringLiteral("lab"), QStringLiteral("10.0.0.7"), QStringLiteral("old"));
    InstCheckRow longRow(QStringLiteral("backup-server"), QStringLiteral("192.0.2.10"),
                         QStringLiteral("slow"));
    QCOMPARE(shortRow.accessibleName(), QStringLiteral("lab 10.0.0.7 old"));
    QVERIFY(longRow.nameWidth() > shortRow.nameWidth());
    const int name = qMax(shortRow.nameWidth(), longRow.nameWidth());
    const int value = qMax(shortRow.valueWidth(), longRow.valueWidth());
    const int before = shortRow.sizeHint().width();
    shortRow.setColumns(name, value);
    longRow.setColumns(name, value);
    QCOMPARE(shortRow.nameColumn(), longRow.nameColumn());
    QCOMPARE(shortRow.valueColumn(), longRow.valueColumn());
    QVERIFY(shortRow.sizeHint().width() > before);
    // Columns narrower than the row's own texts are not taken.
    longRow.setColumns(1, 1);
    QCOMPARE(longRow.nameColumn(), longRow.nameWidth());

    QVERIFY(!shortRow.isChecked());
    shortRow.resize(shortRow.sizeHint());
    QTest::mouseClick(&shortRow, Qt::LeftButton);
    QVERIFY(shortRow.isChecked());
}

void TestInstWidgets::headerAndBezelLayout()
{
    InstModuleHeader header(QStringLiteral("Tessavel Veridir"));
    auto* notice = new QLabel(QStringLiteral("notice"));
    header.addNotice(notice);
    header.setInfo(QStringLiteral("v1.7.0"));
    auto* row = qobject_cast<QHBoxLayout*>(header.layout());
    QVERIFY(row);
    QCOMPARE(row->indexOf(notice) + 2, row->indexOf(header.infoLabel()));
    QCOMPARE(row->itemAt(row->indexOf(notice) + 1)->spacerItem()->sizeHint().width(), 6);
    QCOMPARE(header.dot()->size(), QSize(8, 8));

    InstBezel bezel(QStringLiteral("This computer"));
    QCOMPARE(bezel.captionLabel()->text(), QStringLiteral("THIS COMPUTER"));
    bezel.setRowOnly();
    bezel.setRowOnly();
    QVERIFY(!bezel.captionLabel());
    QCOMPARE(bezel.column()->count(), 0);
}

QTEST_MAIN(TestInstWidgets)
#include "tst_instwidgets.moc"
