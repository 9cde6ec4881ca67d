// The verdict rules at their boundaries, and ClockState as a meta-type.

#include "clock/clockjudgement.h"

#include <QDataStream>
#include <QTest>
#include <QVariant>

Q_DECLARE_METATYPE(ClockInputs)

namespace {

constexpr qint64 kNow = 1'700'000'000'000;

ClockInputs in(qint64 now, bool answered, qint64 offset, qint64 lastSync)
{
    return ClockInputs{now, answered, offset, lastSync};
}

} // namespace

class TestClockJudgement : public QObject
{
    Q_OBJECT

private slots:
    void judge_data();
    void judge();
    void serverWentBackwards_data();
    void serverWentBackwards();
    void askOsToSync_data();
    void askOsToSync();
    void stateAsMetaType();
    void stateWords_data();
    void stateWords();
};

void TestClockJudgement::judge_data()
{
    QTest::addColumn<ClockInputs>("inputs");
    QTest::addColumn<ClockState>("expected");
    const qint64 min = std::numeric_limits<qint64>::min();

    QTest::newRow("never synced, tiny clock: not wrong") << in(1, false, 0, 0) << ClockState::None;
    QTest::newRow("negative last sync counts as never") << in(1, true, 0, -5) << ClockState::Sync;
    QTest::newRow("now + 2000 == last sync: not wrong")
        << in(kNow, true, 0, kNow + 2000) << ClockState::Sync;
    QTest::newRow("one ms further back: wrong")
        << in(kNow, true, 0, kNow + 2001) << ClockState::Wrong;
    QTest::newRow("wrong before the server is looked at")
        << in(kNow, false, 9999, kNow + 2001) << ClockState::Wrong;
    QTest::newRow("offset 500 in sync") << in(kNow, true, 500, 0) << ClockState::Sync;
    QTest::newRow("offset -500 in sync") << in(kNow, true, -500, 0) << ClockState::Sync;
    QTest::newRow("offset 501 off") << in(kNow, true, 501, 0) << ClockState::Off;
    QTest::newRow("offset -501 off") << in(kNow, true, -501, 0) << ClockState::Off;
    QTest::newRow("most negative offset off") << in(kNow, true, min, 0) << ClockState::Off;
    QTest::newRow("silent after a sync: lost, offset ignored")
        << in(kNow, false, 0, kNow - 1) << ClockState::Lost;
    QTest::newRow("silent, never synced: none") << in(kNow, false, 99999, 0) << ClockState::None;
    QTest::newRow("last sync in the future but within 2 s")
        << in(kNow, false, 0, kNow + 1500) << ClockState::Lost;
}

void TestClockJudgement::judge()
{
    QFETCH(ClockInputs, inputs);
    QFETCH(ClockState, expected);
    QCOMPARE(judgeClock(inputs), expected);
}

void TestClockJudgement::serverWentBackwards_data()
{
    QTest::addColumn<ClockInputs>("inputs");
    QTest::addColumn<bool>("expected");
    const qint64 behind = kNow + 2001;
    QTest::newRow("wrong, agrees with the server") << in(kNow, true, 500, behind) << true;
    QTest::newRow("wrong, agrees the other way") << in(kNow, true, -500, behind) << true;
    QTest::newRow("wrong, 501 from the server") << in(kNow, true, 501, behind) << false;
    QTest::newRow("wrong, server silent") << in(kNow, false, 0, behind) << false;
    QTest::newRow("exactly 2 s behind: not wrong") << in(kNow, true, 0, kNow + 2000) << false;
    QTest::newRow("never synced") << in(kNow, true, 0, 0) << false;
}

void TestClockJudgement::serverWentBackwards()
{
    QFETCH(ClockInputs, inputs);
    QFETCH(bool, expected);
    QCOMPARE(::serverWentBackwards(inputs), expected);
}

void TestClockJudgement::askOsToSync_data()
{
    QTest::addColumn<ClockState>("previous");
    QTest::addColumn<ClockState>("current");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<bool>("expected");
    using S = ClockState;
    QTest::newRow("lost to sync: heard again") << S::Lost << S::Sync << true << true;
    QTest::newRow("sync to sync") << S::Sync << S::Sync << true << false;
    QTest::newRow("none to sync") << S::None << S::Sync << true << false;
    QTest::newRow("lost to lost") << S::Lost << S::Lost << true << false;
    QTest::newRow("none to off") << S::None << S::Off << true << true;
    QTest::newRow("off to off") << S::Off << S::Off << true << true;
    QTest::newRow("sync to wrong") << S::Sync << S::Wrong << true << true;
    QTest::newRow("wrong to wrong") << S::Wrong << S::Wrong << true << true;
    QTest::newRow("lost to wrong") << S::Lost << S::Wrong << true << true;
    QTest::newRow("unanswered wrong") << S::Sync << S::Wrong << false << false;
    QTest::newRow("unanswered off") << S::Sync << S::Off << false << false;
    QTest::newRow("unanswered lost to sync") << S::Lost << S::Sync << false << false;
}

void TestClockJudgement::askOsToSync()
{
    QFETCH(ClockState, previous);
    QFETCH(ClockState, current);
    QFETCH(bool, answered);
    QFETCH(bool, expected);
    QCOMPARE(shouldAskOsToSync(previous, current, in(kNow, answered, 0, 0)), expected);
}

void TestClockJudgement::stateAsMetaType()
{
    registerClockStateMetaType();
    const QMetaType type = QMetaType::fromType<ClockState>();
    QVERIFY(type.isValid());
    QVERIFY(type.hasRegisteredDataStreamOperators());
    QVERIFY(type.isEqualityComparable());
    QVERIFY(type.isOrdered());
    const QVariant off = QVariant::fromValue(ClockState::Off);
    const QVariant wrong = QVariant::fromValue(ClockState::Wrong);
    QCOMPARE(QVariant::compare(off, wrong), QPartialOrdering::Less);
    QVERIFY(off == QVariant::fromValue(ClockState::Off));

    // One 32-bit big-endian integer on a data stream, and back.
    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        QVERIFY(type.save(out, wrong.constData()));
    }
    QCOMPARE(bytes, QByteArray::fromHex("00000004"));
    QDataStream back(bytes);
    ClockState read = ClockState::None;
    QVERIFY(type.load(back, &read));
    QCOMPARE(read, ClockState::Wrong);
}

void TestClockJudgement::stateWords_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("word");
    QTest::newRow("0") << 0 << "none";
    QTest::newRow("1") << 1 << "sync";
    QTest::newRow("2") << 2 << "lost";
    QTest::newRow("3") << 3 << "off";
    QTest::newRow("4") << 4 << "wrong";
    QTest::newRow("5 reads as none") << 5 << "none";
    QTest::newRow("-1 reads as none") << -1 << "none";
}

void TestClockJudgement::stateWords()
{
    QFETCH(int, number);
    QFETCH(QString, word);
    QCOMPARE(clockStateWord(ClockState(number)), word);
}

QTEST_GUILESS_MAIN(TestClockJudgement)
#include "tst_clockjudgement.moc"
