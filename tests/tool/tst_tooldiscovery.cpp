// The tool's acceptance of discovery answers, its query bytes, sorting, listing and the
// reading of a choice.
#include "discovery/datagram.h"
#include "tool/discovery/tooldiscovery.h"
#include "tool/values.h"

#include <QRegularExpression>
#include <QtTest>

#include <iostream>
#include <sstream>

namespace {

std::string datagram(uint8_t type, const std::string& payload, int lengthField = -1,
                     const std::string& after = {})
{
    std::string d = discovery::frame(type, "");
    const size_t n = lengthField < 0 ? payload.size() : size_t(lengthField);
    d[6] = char(n >> 8);
    d[7] = char(n & 0xFF);
    return d + payload + after;
}

} // namespace

class TestToolDiscovery : public QObject
{
    Q_OBJECT

private slots:
    void accept_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("accepted");
        const std::string r = R"({"nonce":"0a1b2c3d","id":"x"})";
        auto row = [](const char* name, const std::string& d, bool ok) {
            QTest::newRow(name) << QByteArray::fromStdString(d) << ok;
        };
        row("reply with the nonce", datagram(3, r), true);
        row("announcement needs no nonce", datagram(2, R"({"id":"x"})"), true);
        row("stale nonce", datagram(3, R"({"nonce":"0a1b2c3e","id":"x"})"), false);
        row("nonce in capitals", datagram(3, R"({"nonce":"0A1B2C3D","id":"x"})"), false);
        row("reply without nonce", datagram(3, R"({"id":"x"})"), false);
        row("nonce not a string", datagram(3, R"({"nonce":1,"id":"x"})"), false);
        row("length 10 with 12 bytes following", datagram(2, R"({"id":"x"}  )", 10), true);
        row("payload shorter than its length", datagram(3, r, int(r.size()) + 1), false);
        row("length field 1025", datagram(2, std::string(1025, ' '), 1025), false);
        row("length field 1025, short datagram", datagram(2, R"({"id":"x"})", 1025), false);
        row("1024-byte payload", datagram(2, R"({"id":"x"})" + std::string(1014, ' ')), true);
        row("query type", datagram(1, r), false);
        row("report type", datagram(4, r), false);
        row("heard type", datagram(5, r), false);
        row("seven bytes", datagram(2, "").substr(0, 7), false);
        std::string magic = datagram(2, R"({"id":"x"})");
        magic[0] = 't';
        row("wrong magic", magic, false);
        std::string version = datagram(2, R"({"id":"x"})");
        version[4] = 2;
        row("version 2", version, false);
        row("JSON array", datagram(2, "[1]"), false);
        row("not JSON", datagram(2, "{\"id\":"), false);
    }

    void accept()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, accepted);
        const auto s = tool::acceptAnswer(bytes.toStdString(), "0a1b2c3d", "192.0.2.3");
        QCOMPARE(s.has_value(), accepted);
        if (s) QCOMPARE(s->id, std::string("x"));
    }

    void defaults()
    {
        const auto s = tool::acceptAnswer(
            datagram(2, R"({"stratum":"1","clients":2.5,"synced":1,"accepting":true,"ver":7})"), "",
            "192.0.2.4");
        QVERIFY(s);
        QCOMPARE(s->id, std::string("192.0.2.4")); // no id: the sender's address
        QCOMPARE(s->name, std::string("(unnamed)"));
        QCOMPARE(s->ver, std::string());
        QCOMPARE(s->stratum, 0);
        QCOMPARE(s->clients, 0);
        QCOMPARE(s->synced, false);
        QCOMPARE(s->accepting, true);
        QCOMPARE(s->address, std::string("192.0.2.4"));
        // The address is the sender's, whatever the payload claims.
        const auto t =
            tool::acceptAnswer(datagram(2, R"({"address":"10.0.0.1"})"), "", "192.0.2.5");
        QCOMPARE(t->address, std::string("192.0.2.5"));
    }

    void query()
    {
        const std::string q = tool::buildQuery("0123abcd");
        const std::string payload = R"j({"nonce":"0123abcd","client":"Tessavel Veridir (macOS)"})j";
        QCOMPARE(q.substr(0, 8), std::string("TSVL\x01\x01\x00", 7) + char(payload.size()));
        QCOMPARE(q.substr(8), payload);
        static const QRegularExpression nonce("^[0-9a-f]{8}$");
        for (int i = 0; i < 20; ++i)
            QVERIFY(nonce.match(QString::fromStdString(tool::randomNonce())).hasMatch());
    }

    void broadcastTargets()
    {
        const auto t = tool::broadcastTargets();
        QVERIFY(std::find(t.begin(), t.end(), "255.255.255.255") != t.end());
        QVERIFY(std::find(t.begin(), t.end(), "127.0.0.1") != t.end());
    }

    void sort()
    {
        std::vector<tool::DiscoveredServer> s(6);
        const char* names[] = {"beta", "Alpha", "alpha", "\xC3\x89toile", "zeta", "\xC3\xA9toile"};
        for (size_t i = 0; i < s.size(); ++i) {
            s[i].name = names[i];
            s[i].id = std::to_string(i);
        }
        tool::sortByName(s);
        QStringList order;
        for (const auto& x : s)
            order << QString::fromStdString(x.id);
        // Equal lower-case names keep discovery order; É lowers to é, after every ASCII letter.
        QCOMPARE(order, (QStringList{"1", "2", "0", "4", "3", "5"}));
    }

    void selection_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("index"); // -1: invalid
        QTest::newRow("2 with spaces") << " 2 " << 1;
        QTest::newRow("plus sign") << "+1" << 0;
        QTest::newRow("last") << "3\r" << 2;
        QTest::newRow("zero") << "0" << -1;
        QTest::newRow("negative") << "-1" << -1;
        QTest::newRow("too large") << "4" << -1;
        QTest::newRow("letters") << "two" << -1;
        QTest::newRow("number then letters") << "2x" << -1;
        QTest::newRow("empty line") << "" << -1;
        QTest::newRow("huge") << "99999999999999999999999" << -1;
    }

    void selection()
    {
        QFETCH(QString, line);
        QFETCH(int, index);
        const auto got = tool::parseSelection(line.toStdString(), 3);
        QCOMPARE(got ? int(*got) : -1, index);
    }

    void printServers()
    {
        std::vector<tool::DiscoveredServer> s(3);
        s[0] = {"a", "Lab", "2.4", 1, true, true, "GPS", 3, "192.168.1.20"};
        s[1] = {"b", "One", "1", 2, true, true, "PPS", 1, "192.0.2.3"};
        s[2] = {"c", "None", "", 0, true, true, "", 0, "192.0.2.4"};
        std::ostringstream out;
        auto* old = std::cout.rdbuf(out.rdbuf());
        tool::printServers(s);
        std::cout.rdbuf(old);
        QCOMPARE(QString::fromStdString(out.str()),
                 QString("  [1] Lab  \u2014  192.168.1.20  (stratum 1, GPS, v2.4, 3 clients)\n"
                         "  [2] One  \u2014  192.0.2.3  (stratum 2, PPS, v1, 1 client)\n"
                         "  [3] None  \u2014  192.0.2.4  (stratum 0, , v, 0 clients)\n"));
    }
};

QTEST_GUILESS_MAIN(TestToolDiscovery)
#include "tst_tooldiscovery.moc"
