// Asking the place-name services: the pure rules (query address, answers,
// Retry-After, the pause between requests), then the client against a server
// on 127.0.0.1 that answers in each service's real shape.
#include "net/geocoder.h"
#include "support_tileserver.h"
#include "testsupport.h"

#include <QTcpServer>
#include <QtTest>

using geocoding::Match;
using geocoding::Place;
using geocoding::ServiceId;

Q_DECLARE_METATYPE(TestTileServer::Response)

namespace {

const QByteArray gsiCastle =
    R"([{"geometry":{"coordinates":[137.968857,36.238583],"type":"Point"},"type":"Feature",)"
    R"("properties":{"addressCode":"","title":"松本城"}}])";
const QByteArray nominatimCastle =
    R"([{"place_id":1,"lat":"36.2385","lon":"137.9688","category":"historic","type":"castle",)"
    R"("name":"松本城","display_name":"松本城, 丸の内, 松本市, 長野県, 日本"}])";

TestTileServer::Response json(const QByteArray& body, int status = 200)
{
    TestTileServer::Response r;
    r.status = status;
    r.contentType = "application/json";
    r.body = body;
    return r;
}

// One answer, waited for.
Geocoder::Answer askAndWait(Geocoder& geocoder, ServiceId id, const QString& query)
{
    QSignalSpy spy(&geocoder, &Geocoder::answered);
    const int ticket = geocoder.ask(id, query);
    [&] { QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 20000); }();
    if (spy.isEmpty())
        return {};
    Q_ASSERT(spy.at(0).at(0).toInt() == ticket);
    return spy.at(0).at(1).value<Geocoder::Answer>();
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
        const int g = int(ServiceId::Gsi), n = int(ServiceId::Nominatim);
        QTest::newRow("gsi") << g << gsiCastle << 1 << "松本城"
                             << "住所・地名";
        QTest::newRow("nominatim") << n << nominatimCastle << 1 << "松本城"
                                   << "松本城, 丸の内, 松本市, 長野県, 日本";
        QTest::newRow("nominatim without name")
            << n
            << QByteArray(
                   R"([{"lat":"35","lon":"139","display_name":"Tokyo, Japan","category":"place","type":"city"}])")
            << 1 << "Tokyo"
            << "Tokyo, Japan";
        QTest::newRow("empty answer") << g << QByteArray("[]") << 0 << ""
                                      << "";
        QTest::newRow("not json") << g << QByteArray("<html>busy</html>") << -1 << ""
                                  << "";
        QTest::newRow("object, not array") << n << QByteArray(R"({"error":"x"})") << -1 << ""
                                           << "";
        QTest::newRow("cut short") << g << gsiCastle.left(40) << -1 << ""
                                   << "";
        QTest::newRow("hostile entries skipped")
            << g
            << QByteArray(
                   R"([1,"x",null,{"geometry":{"coordinates":["a","b"]},"properties":{"title":"t"}},)"
                   R"({"geometry":{"coordinates":[500,10]},"properties":{"title":"far"}},)"
                   R"({"geometry":{"coordinates":[139]},"properties":{"title":"half"}},)"
                   R"({"geometry":{"coordinates":[139,35]},"properties":{"title":""}},)"
                   R"({"geometry":{"coordinates":[139,35]},"properties":{"title":"ok\u0000\nline\u2028end"}}])")
            << 1 << "ok line end"
            << "住所・地名";
        QTest::newRow("nominatim coordinates not numbers")
            << n
            << QByteArray(
                   R"([{"lat":"north","lon":"139","name":"x"},{"lat":"91","lon":"0","name":"y"}])")
            << 0 << ""
            << "";
        QString many = "[";
        for (int i = 0; i < 500; ++i)
            many += QString(R"(%1{"lat":"35","lon":"139","name":"%2"})")
                        .arg(i ? "," : "")
                        .arg(QString(2000, 'a'));
        QTest::newRow("too many, too long")
            << n << many.append(']').toUtf8() << geocoding::maxPlaces << QString(300, 'a') << "";
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
        const QString base = "https://example.org/s?format=jsonv2&q={q}&limit=5";
        QTest::newRow("japanese")
            << base << " 松本城 "
            << QByteArray(
                   "https://example.org/s?format=jsonv2&q=%E6%9D%BE%E6%9C%AC%E5%9F%8E&limit=5");
        QTest::newRow("delimiters")
            << base << "A&B #1?x=y+z/"
            << QByteArray(
                   "https://example.org/s?format=jsonv2&q=A%26B%20%231%3Fx%3Dy%2Bz%2F&limit=5");
        QTest::newRow("percent stays text")
            << base << "100%25"
            << QByteArray("https://example.org/s?format=jsonv2&q=100%2525&limit=5");
        QTest::newRow("no {q}") << "https://example.org/s?q="
                                << "x" << QByteArray();
        QTest::newRow("local file") << "file:///etc/passwd?{q}"
                                    << "x" << QByteArray();
        QTest::newRow("no host") << "http:///s?q={q}"
                                 << "x" << QByteArray();
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
        QTest::newRow("zero") << QByteArray("0") << qint64(0);
        QTest::newRow("negative") << QByteArray("-5") << qint64(-1);
        QTest::newRow("garbage") << QByteArray("soon") << qint64(-1);
        QTest::newRow("http date") << QByteArray("Sun, 06 Dec 2026 12:00:05 GMT") << qint64(5000);
        QTest::newRow("date passed") << QByteArray("Sun, 06 Dec 2026 11:00:00 GMT") << qint64(0);
    }
    void retryAfter()
    {
        QFETCH(QByteArray, value);
        const QDateTime now(QDate(2026, 12, 6), QTime(12, 0), Qt::UTC);
        QTEST(geocoding::retryAfterMs(value, now).value_or(-1), "ms");
    }

    void classify_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("match");
        QTest::addColumn<QString>("first");
        const QString castle = "松本城";
        QTest::newRow("none") << castle << QStringList() << int(Match::None) << "";
        QTest::newRow("one") << castle << QStringList{"松本市丸の内"} << int(Match::Clear)
                             << "松本市丸の内";
        QTest::newRow("one exact among others")
            << castle << QStringList{"松本城バス停", "松本城"} << int(Match::Clear) << "松本城";
        QTest::newRow("width and case folded")
            << "matsumoto 城" << QStringList{"x", "ＭＡＴＳＵＭＯＴＯ　城"} << int(Match::Clear)
            << "ＭＡＴＳＵＭＯＴＯ　城";
        QTest::newRow("two exact")
            << castle << QStringList{"松本城", "松本城"} << int(Match::Several) << "松本城";
        QTest::newRow("none exact")
            << castle << QStringList{"a", "b"} << int(Match::Several) << "a";
    }
    void classify()
    {
        QFETCH(QString, query);
        QFETCH(QStringList, names);
        QVector<Place> places;
        for (const QString& name : names)
            places.append({name, {}, 1, 2, ServiceId::Gsi});
        QTEST(int(geocoding::classify(query, places)), "match");
        if (!places.isEmpty())
            QTEST(places.front().name, "first");
    }

    void rateLimiter()
    {
        qint64 now = 5000;
        geocoding::RateLimiter limiter([&now] { return now; }, 1000);
        QCOMPARE(limiter.waitMs(), 0);
        limiter.sent();
        QCOMPARE(limiter.waitMs(), 1000);
        now += 999;
        QCOMPARE(limiter.waitMs(), 1);
        now += 1;
        QCOMPARE(limiter.waitMs(), 0);
        limiter.sent();
        limiter.holdFor(5000);
        now += 1000;
        QCOMPARE(limiter.waitMs(), 4000);
        limiter.holdFor(10); // a shorter pause does not cut a longer one short
        QCOMPARE(limiter.waitMs(), 4000);
    }

    // What reaches the server: the encoded query, our own User-Agent; the answer parsed.
    void requestAtServer()
    {
        QTemporaryDir cache;
        Geocoder geocoder(gsi(), nominatim(), cache.path());
        server.clearRequests();
        server.setResponse("/gsi?q=%E6%9D%BE%E6%9C%AC%E5%9F%8E%20%26%20%231%3F", json(gsiCastle));
        const Geocoder::Answer answer = askAndWait(geocoder, ServiceId::Gsi, "松本城 & #1?");
        QCOMPARE(answer.error, QString());
        QCOMPARE(answer.places.size(), 1);
        QCOMPARE(answer.places.front().longitude, 137.968857);
        QCOMPARE(server.requestCount(), 1);
        QVERIFY(server.requests().front().userAgent.startsWith("MivaroMap/"));
    }

    // No two requests to one service within a second, wherever they come from;
    // the other service is not held up by it.
    void rateAtServer()
    {
        Geocoder geocoder(gsi(), nominatim(), QString());
        server.clearRequests();
        for (const char* q : {"a", "b", "c"})
            server.setResponse(QString("/gsi?q=") + q, json("[]"));
        server.setResponse("/n?format=jsonv2&q=d", json("[]"));
        QSignalSpy spy(&geocoder, &Geocoder::answered);
        for (const char* q : {"a", "b", "c"})
            geocoder.ask(ServiceId::Gsi, q);
        geocoder.ask(ServiceId::Nominatim, "d");
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 4, 10000);
        QStringList order;
        QList<qint64> gsiTimes;
        for (const auto& r : server.requests()) {
            order << r.path.section('=', -1);
            if (r.path.startsWith("/gsi"))
                gsiTimes << r.receivedMs;
        }
        QCOMPARE(order, QStringList({"a", "d", "b", "c"}));
        QVERIFY2(
            gsiTimes[1] - gsiTimes[0] >= 1000 && gsiTimes[2] - gsiTimes[1] >= 1000,
            qPrintable(QString("%1 %2 %3").arg(gsiTimes[0]).arg(gsiTimes[1]).arg(gsiTimes[2])));
    }

    // A repeated search asks no one, also after a restart; a failed one is not kept.
    void cache()
    {
        QTemporaryDir cache;
        server.clearRequests();
        server.setResponse("/n?format=jsonv2&q=kept", json(nominatimCastle));
        {
            Geocoder geocoder(gsi(), nominatim(), cache.path());
            QVERIFY(!askAndWait(geocoder, ServiceId::Nominatim, "kept").fromCache);
            const Geocoder::Answer again = askAndWait(geocoder, ServiceId::Nominatim, " kept");
            QVERIFY(again.fromCache);
            QCOMPARE(again.places.front().name, QString("松本城"));
        }
        Geocoder restarted(gsi(), nominatim(), cache.path());
        QVERIFY(askAndWait(restarted, ServiceId::Nominatim, "kept").fromCache);
        QCOMPARE(server.requestCount(), 1);

        server.setResponse("/n?format=jsonv2&q=broken", json("{oops"));
        QVERIFY(!askAndWait(restarted, ServiceId::Nominatim, "broken").error.isEmpty());
        QVERIFY(!askAndWait(restarted, ServiceId::Nominatim, "broken").error.isEmpty());
        QCOMPARE(server.requestCount(), 3);
    }

    // A 429 with Retry-After: nothing more before the pause is over, then the answer.
    void retryAfterObeyed()
    {
        Geocoder geocoder(gsi(), nominatim(), QString());
        server.clearRequests();
        TestTileServer::Response busy = json("", 429);
        busy.headers << "Retry-After: 2";
        server.setResponse("/gsi?q=busy", busy);
        QSignalSpy spy(&geocoder, &Geocoder::answered);
        geocoder.ask(ServiceId::Gsi, "busy");
        QTRY_COMPARE(server.requestCount(), 1);
        server.setResponse("/gsi?q=busy", json(gsiCastle));
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 10000);
        const auto answer = spy.at(0).at(1).value<Geocoder::Answer>();
        QCOMPARE(answer.error, QString());
        QCOMPARE(answer.places.size(), 1);
        QCOMPARE(server.requestCount(), 2);
        QVERIFY(server.requests()[1].receivedMs - server.requests()[0].receivedMs >= 2000);
    }

    void failures_data()
    {
        QTest::addColumn<TestTileServer::Response>("response");
        QTest::addColumn<QString>("error"); // a part of the message
        TestTileServer::Response r = json("oops", 500);
        QTest::newRow("server error") << r << "エラーが返されました（HTTP 500）";
        r = json("", 429);
        r.headers << "Retry-After: 3600";
        QTest::newRow("long pause asked") << r << "3600 秒ほど待って";
        QTest::newRow("not json") << json("<html>") << "応答を読み取れませんでした";
        QTest::newRow("huge") << json(QByteArray(5000, ' ')) << "応答が";
        r = json(gsiCastle);
        r.stopAfter = 10;
        QTest::newRow("stalls") << r << "止まりました";
        r = json(QByteArray(5000, ' '));
        r.noLength = true;
        QTest::newRow("huge without length") << r << "MB を超えました";
    }
    void failures()
    {
        QFETCH(TestTileServer::Response, response);
        QFETCH(QString, error);
        Geocoder geocoder(gsi(), nominatim(), QString());
        geocoder.setReplyLimits({std::chrono::milliseconds(500), std::chrono::seconds(5), 1000});
        server.setResponse("/gsi?q=fail", response);
        const Geocoder::Answer answer = askAndWait(geocoder, ServiceId::Gsi, "fail");
        QVERIFY2(answer.error.startsWith("国土地理院：") && answer.error.contains(error),
                 qPrintable(answer.error));
        QVERIFY(answer.places.isEmpty());
    }

    void noServer()
    {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        const quint16 port = closed.serverPort();
        closed.close();
        Geocoder geocoder(QString("http://127.0.0.1:%1/?q={q}").arg(port), "ftp://x/{q}",
                          QString());
        QCOMPARE(askAndWait(geocoder, ServiceId::Gsi, "x").error,
                 QString("国土地理院：接続を拒否されました"));
        QVERIFY(askAndWait(geocoder, ServiceId::Nominatim, "x")
                    .error.contains("[geocoder] nominatim="));
    }

    void publicServices()
    {
        QVERIFY(geocoding::service(ServiceId::Gsi, "").isPublic());
        QVERIFY(geocoding::service(ServiceId::Nominatim, " ").isPublic());
        QVERIFY(!geocoding::service(ServiceId::Nominatim, nominatim()).isPublic());
    }
};

QTEST_MAIN(TestGeocoding)
#include "tst_geocoding.moc"
