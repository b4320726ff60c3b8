#include "net/geocoder.h"
#include "support_tileserver.h"
#include "testsupport.h"

#include <QtTest>

using geocoding::ServiceId;

Q_DECLARE_METATYPE(TestTileServer::Response)

namespace {

const QByteArray gsiCastle =
    R"([{"geometry":{"coordinates":[137.968857,36.238583],"type":"Point"},"type":"Feature",)"
    R"("properties":{"addressCode":"","title":"松本城"}}])";
const QByteArray nominatimCastle =
    R"([{"place_id":1,"lat":"36.2385","lon":"137.9688","category":"historic","type":"castle",)"
    R"("name":"松本城","display_name":"松本城, 丸の内, 松本市, 長野県, 日本"}])";

// One answer, waited for.
Geocoder::Answer askAndWait(Geocoder& geocoder, ServiceId id, const QString& query)
{
    QSignalSpy spy(&geocoder, &Geocoder::answered);
    geocoder.ask(id, query);
    return waitUntil([&] { return !spy.isEmpty(); }) ? spy.at(0).at(1).value<Geocoder::Answer>()
                                                     : Geocoder::Answer();
}

} // namespace

class TestGeocoding : public QObject
{
    Q_OBJECT
    TestTileServer server;

    QString gsi() const { return server.urlTemplate("/gsi?q={q}"); }
    QString nominatim() const { return server.urlTemplate("/n?format=jsonv2&q={q}"); }

private slots:
    void parse_data()
    {
        QTest::addColumn<int>("service");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("count"); // -1: unreadable
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("detail");
        const auto row = [](const char* tag, ServiceId id, const QByteArray& body, int count,
                            const QString& name = {}, const QString& detail = {}) {
            QTest::newRow(tag) << int(id) << body << count << name << detail;
        };
        const auto g = ServiceId::Gsi, n = ServiceId::Nominatim;
        row("gsi", g, gsiCastle, 1, "松本城", "住所・地名");
        row("nominatim", n, nominatimCastle, 1, "松本城", "松本城, 丸の内, 松本市, 長野県, 日本");
        row("nominatim without name", n,
            R"([{"lat":"35","lon":"139","display_name":"Tokyo, Japan","type":"city"}])", 1, "Tokyo",
            "Tokyo, Japan");
        row("empty answer", g, "[]", 0);
        row("hostile entries skipped", g,
            R"([1,"x",null,{"geometry":{"coordinates":["a","b"]},"properties":{"title":"t"}},)"
            R"({"geometry":{"coordinates":[500,10]},"properties":{"title":"far"}},)"
            R"({"geometry":{"coordinates":[139]},"properties":{"title":"half"}},)"
            R"({"geometry":{"coordinates":[139,35]},"properties":{"title":""}},)"
            R"({"geometry":{"coordinates":[139,35]},"properties":{"title":"ok\u0000\nx\u2028y"}}])",
            1, "ok x y", "住所・地名");
        row("nominatim coordinates not numbers", n,
            R"([{"lat":"north","lon":"139","name":"x"},{"lat":"91","lon":"0","name":"y"}])", 0);
        QString many = "[";
        for (int i = 0; i <= geocoding::maxPlaces; ++i)
            many += QString(R"(%1{"lat":"35","lon":"139","name":"%2"})")
                        .arg(i ? "," : "", QString(2000, 'a'));
        row("too many, too long", n, many.append(']').toUtf8(), geocoding::maxPlaces,
            QString(300, 'a'));
    }
    void parse()
    {
        QFETCH(int, service);
        QFETCH(QByteArray, body);
        QFETCH(int, count);
        const auto places = geocoding::parse(ServiceId(service), body);
        QCOMPARE(places ? places->size() : -1, count);
        if (count > 0) {
            QTEST(places->front().name, "name");
            QTEST(places->front().detail, "detail");
        }
    }

    void queryUrl_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QByteArray>("sent"); // empty: refused
        const auto row = [](const char* tag, const QString& query, const QByteArray& sent,
                            const QString& pattern = "https://example.org/s?q={q}&limit=5") {
            QTest::newRow(tag) << pattern << query << sent;
        };
        row("japanese", " 松本城 ", "https://example.org/s?q=%E6%9D%BE%E6%9C%AC%E5%9F%8E&limit=5");
        row("delimiters", "100%25 A&B #1?x=y+z/",
            "https://example.org/s?q=100%2525%20A%26B%20%231%3Fx%3Dy%2Bz%2F&limit=5");
        row("no {q}", "x", "", "https://example.org/s?q=");
        row("local file", "x", "", "file://localhost/etc/passwd?{q}");
    }
    void queryUrl()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, query);
        QFETCH(QByteArray, sent);
        QString error;
        const QUrl url = geocoding::queryUrl(pattern, query, &error);
        QCOMPARE(url.toEncoded(), sent);
        QCOMPARE(error.isEmpty(), !sent.isEmpty());
    }

    void retryAfter_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<qint64>("ms"); // -1: none
        QTest::newRow("seconds") << QByteArray(" 2 ") << qint64(2000);
        QTest::newRow("negative") << QByteArray("-5") << qint64(-1);
        QTest::newRow("http date") << QByteArray("Sun, 06 Dec 2026 12:00:05 GMT") << qint64(5000);
        QTest::newRow("date passed") << QByteArray("Sun, 06 Dec 2026 11:00:00 GMT") << qint64(0);
    }
    void retryAfter()
    {
        QFETCH(QByteArray, value);
        const QDateTime now(QDate(2026, 12, 6), QTime(12, 0), Qt::UTC);
        QTEST(geocoding::retryAfterMs(value, now).value_or(-1), "ms");
    }

    // The real pause between two requests to one service, the other service not held up
    // by it; meanwhile a 429's Retry-After is waited for and the question asked once more.
    void pacingAndRetryAfter()
    {
        Geocoder paced(gsi(), nominatim(), QString());
        Geocoder quick(gsi(), nominatim(), QString());
        quick.setRequestInterval(0);
        server.clearRequests();
        TestTileServer::Response busy = TestTileServer::json("", 429);
        busy.headers << "Retry-After: 1";
        server.setResponse("/gsi?q=busy", busy);
        QSignalSpy pacedSpy(&paced, &Geocoder::answered), quickSpy(&quick, &Geocoder::answered);
        for (const char* q : {"a", "b"})
            paced.ask(ServiceId::Gsi, q);
        paced.ask(ServiceId::Nominatim, "d");
        quick.ask(ServiceId::Gsi, "busy");
        QVERIFY(waitUntil([&] { return server.paths().contains("/gsi?q=busy"); }));
        server.setResponse("/gsi?q=busy", TestTileServer::json(gsiCastle));
        QVERIFY(waitUntil([&] { return pacedSpy.count() == 3 && quickSpy.count() == 1; }));
        QCOMPARE(quickSpy.at(0).at(1).value<Geocoder::Answer>().places.size(), 1);
        QStringList order;
        QList<qint64> gsiTimes, busyTimes;
        for (const auto& r : server.requests()) {
            const QString q = r.path.section('=', -1);
            (q == "busy" ? busyTimes : gsiTimes) << r.receivedMs;
            if (q != "busy")
                order << q;
        }
        gsiTimes.removeAt(1); // d
        QCOMPARE(order, QStringList({"a", "d", "b"}));
        QVERIFY(gsiTimes[1] - gsiTimes[0] >= 1000);
        QCOMPARE(busyTimes.size(), 2);
        QVERIFY(busyTimes[1] - busyTimes[0] >= 1000);
    }

    // A repeated search asks no one, also after a restart; a failed one is not kept.
    void cache()
    {
        QTemporaryDir cache;
        server.clearRequests();
        server.setResponse("/n?format=jsonv2&q=kept", TestTileServer::json(nominatimCastle));
        server.setResponse("/n?format=jsonv2&q=broken", TestTileServer::json("{oops"));
        for (int run = 0; run < 2; ++run) {
            Geocoder geocoder(gsi(), nominatim(), cache.path());
            geocoder.setRequestInterval(0);
            const Geocoder::Answer first = askAndWait(geocoder, ServiceId::Nominatim, " kept");
            QCOMPARE(first.fromCache, run == 1);
            QCOMPARE(first.places.value(0).name, QString("松本城"));
            QVERIFY(askAndWait(geocoder, ServiceId::Nominatim, "kept").fromCache);
            QVERIFY(!askAndWait(geocoder, ServiceId::Nominatim, "broken").error.isEmpty());
        }
        QCOMPARE(server.paths(),
                 QStringList({"/n?format=jsonv2&q=kept", "/n?format=jsonv2&q=broken",
                              "/n?format=jsonv2&q=broken"}));
    }

    void failures_data()
    {
        QTest::addColumn<TestTileServer::Response>("response");
        QTest::addColumn<QString>("error"); // a part of the message
        TestTileServer::Response r = TestTileServer::json("oops", 500);
        QTest::newRow("server error") << r << "エラーが返されました（HTTP 500）";
        r = TestTileServer::json("", 429);
        r.headers << "Retry-After: 3600";
        QTest::newRow("long pause asked") << r << "3600 秒ほど待って";
        QTest::newRow("not json") << TestTileServer::json("<html>") << "応答を読み取れませんでした";
        QTest::newRow("huge") << TestTileServer::json(QByteArray(5000, ' ')) << "応答が";
        r = TestTileServer::json(gsiCastle);
        r.stopAfter = 10;
        QTest::newRow("stalls") << r << "止まりました";
    }
    void failures()
    {
        QFETCH(TestTileServer::Response, response);
        QFETCH(QString, error);
        Geocoder geocoder(gsi(), nominatim(), QString());
        geocoder.setReplyLimits({std::chrono::milliseconds(200), std::chrono::seconds(5), 1000});
        server.setResponse("/gsi?q=fail", response);
        const Geocoder::Answer answer = askAndWait(geocoder, ServiceId::Gsi, "fail");
        QVERIFY2(answer.error.startsWith("国土地理院：") && answer.error.contains(error),
                 qPrintable(answer.error));
        QVERIFY(answer.places.isEmpty());
    }
};

QTEST_MAIN(TestGeocoding)
#include "tst_geocoding.moc"
