// The application's reading of one discovery answer (the address choice is seen in the lab).
#include "discoveryanswer.h"

#include <QtTest>

namespace {

QByteArray datagram(char type, const QByteArray& payload, int length = -1)
{
    const int n = length < 0 ? int(payload.size()) : length;
    return QByteArray("TSVL\x01", 5) + type + char(n >> 8) + char(n) + payload;
}

// The whole record: id|name|address|source|ver|stratum|clients|synced accepting answering
// thisComputer steady.
QString text(const std::optional<DiscoveredServer>& s)
{
    if (!s) return "dropped";
    QString flags;
    for (bool f : {s->synced, s->accepting, s->answering, s->thisComputer, s->steady})
        flags += f ? '1' : '0';
    return QStringList{s->id,
                       s->name,
                       s->address,
                       s->source,
                       s->ver,
                       QString::number(s->stratum),
                       QString::number(s->clients),
                       flags}
        .join('|');
}

} // namespace

class TestDiscoveryAnswer : public QObject
{
    Q_OBJECT

private slots:
    // Each answer comes from ::ffff:192.0.2.7 to a scan whose nonce is 1f.
    void read_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("record");
        auto row = [](const char* name, const QByteArray& d, const char* record) {
            QTest::newRow(name) << d << QString(record);
        };
        const QByteArray all = R"({"id":"x","name":"Lab","source":"GPS","ver":"2.4","stratum":1,)"
                               R"("clients":3,"synced":true,"accepting":true,"steady":true)";
        const char* lab = "x|Lab|192.0.2.7|GPS|2.4|1|3|11001";
        const char* none = "192.0.2.7|(unnamed)|192.0.2.7|||0|0|00000";
        row("reply with the nonce", datagram(3, all + R"(,"nonce":"1f"})"), lab);
        row("announcement needs none", datagram(2, all + "}"), lab);
        row("defaults", datagram(2, "{}"), none);
        row("wrong types take the defaults",
            datagram(2, R"({"id":7,"stratum":"1","synced":1,"accepting":"true","steady":"1"})"),
            none);
        row("stale nonce", datagram(3, R"({"nonce":"1e"})"), "dropped");
        row("nonce as a number", datagram(3, R"({"nonce":31})"), "dropped");
        row("reply without nonce", datagram(3, "{}"), "dropped");
        row("length 10 with 12 bytes following", datagram(2, R"({"id":"x"}  )", 10), "dropped");
        row("length 1025", datagram(2, QByteArray(1025, ' '), 1025), "dropped");
        row("query type", datagram(1, "{}"), "dropped");
        row("report type", datagram(4, "{}"), "dropped");
        row("top level array", datagram(2, "[{}]"), "dropped");
    }

    void read()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, record);
        QCOMPARE(text(readDiscoveryAnswer(datagram, "1f", "::ffff:192.0.2.7")), record);
    }
};

QTEST_GUILESS_MAIN(TestDiscoveryAnswer)
#include "tst_discoveryanswer.moc"
