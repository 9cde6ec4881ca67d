// The application's acceptance of discovery answers and its choice of an address.
#include "discovery/app/discoveryanswer.h"
#include "discovery/app/serveraddress.h"
#include "discovery/datagram.h"

#include <QtTest>

namespace {

QByteArray datagram(uint8_t type, const QByteArray& payload, int lengthField = -1,
                    const QByteArray& after = {})
{
    std::string d = discovery::frame(type, "");
    const int n = lengthField < 0 ? int(payload.size()) : lengthField;
    d[6] = char(n >> 8);
    d[7] = char(n & 0xFF);
    return QByteArray::fromStdString(d) + payload + after;
}

} // namespace

class TestDiscoveryAnswer : public QObject
{
    Q_OBJECT

private slots:
    void accept_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("accepted");
        const QByteArray r = R"({"nonce":"1f","id":"x"})";
        QTest::newRow("reply with the nonce") << datagram(3, r) << true;
        QTest::newRow("announcement") << datagram(2, R"({"id":"x"})") << true;
        QTest::newRow("stale nonce") << datagram(3, R"({"nonce":"1e","id":"x"})") << false;
        QTest::newRow("nonce as a number") << datagram(3, R"({"nonce":31,"id":"x"})") << false;
        QTest::newRow("missing nonce") << datagram(3, R"({"id":"x"})") << false;
        QTest::newRow("length 10 with 12 bytes following")
            << datagram(2, R"({"id":"x"})", 10, "  ") << false;
        QTest::newRow("length 1025") << datagram(2, QByteArray(1025, ' '), 1025) << false;
        QTest::newRow("query, report and heard types")
            << datagram(1, r) + datagram(4, r) + datagram(5, r) << false;
        QTest::newRow("type 4") << datagram(4, r) << false;
        QTest::newRow("type 5") << datagram(5, r) << false;
        QTest::newRow("top level array") << datagram(2, "[]") << false;
    }

    void accept()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, accepted);
        QCOMPARE(readDiscoveryAnswer(bytes, "1f", "192.0.2.3").has_value(), accepted);
    }

    void fields()
    {
        const auto s = readDiscoveryAnswer(
            datagram(2, R"({"name":"Lab","stratum":"1","clients":3,"synced":1,"accepting":true,)"
                        R"("steady":"true","ver":"2.4","source":"GPS"})"),
            "", "::ffff:192.0.2.7");
        QVERIFY(s);
        QCOMPARE(s->address, QString("192.0.2.7"));
        QCOMPARE(s->id, QString("192.0.2.7"));
        QCOMPARE(s->name, QString("Lab"));
        QCOMPARE(s->stratum, 0); // a string is no integer
        QCOMPARE(s->clients, 3);
        QCOMPARE(s->synced, false); // 1 is no boolean
        QCOMPARE(s->accepting, true);
        QCOMPARE(s->steady, false);
        QCOMPARE(s->ver, QString("2.4"));
        QCOMPARE(s->source, QString("GPS"));
        QVERIFY(!s->answering && !s->thisComputer);
        QCOMPARE(readDiscoveryAnswer(datagram(2, "{}"), "", "192.0.2.8")->name,
                 QString("(unnamed)"));
    }

    void choose_data()
    {
        QTest::addColumn<QStringList>("addresses");
        QTest::addColumn<QStringList>("answered");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("answering");
        QTest::newRow("first that answered")
            << QStringList{"192.0.2.3", "192.0.2.4", "192.0.2.5"}
            << QStringList{"192.0.2.5", "192.0.2.4"} << "192.0.2.4" << true;
        QTest::newRow("loopback first, answered there")
            << QStringList{"127.0.0.1", "192.0.2.1"} << QStringList{"192.0.2.1", "127.0.0.1"}
            << "127.0.0.1" << true;
        QTest::newRow("none answered: first not loopback")
            << QStringList{"127.0.0.1", "192.0.2.1"} << QStringList{} << "192.0.2.1" << false;
        QTest::newRow("text that does not parse is not loopback")
            << QStringList{"127.0.0.1", "nonsense"} << QStringList{} << "nonsense" << false;
        QTest::newRow("only loopback")
            << QStringList{"127.0.0.1"} << QStringList{} << "127.0.0.1" << false;
        QTest::newRow("nothing") << QStringList{} << QStringList{"192.0.2.3"} << "" << false;
    }

    void choose()
    {
        QFETCH(QStringList, addresses);
        QFETCH(QStringList, answered);
        QFETCH(QString, address);
        QFETCH(bool, answering);
        const ChosenAddress c = chooseServerAddress(addresses, answered);
        QCOMPARE(c.address, address);
        QCOMPARE(c.answered, answering);
    }
};

QTEST_GUILESS_MAIN(TestDiscoveryAnswer)
#include "tst_discoveryanswer.moc"
