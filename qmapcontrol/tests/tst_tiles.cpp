#include "qmapcontrol/mapadapter.h"
#include "qmapcontrol/tilesource.h"

#include "support_tileserver.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace qmapcontrol;
using namespace std::chrono_literals;

namespace {

std::shared_ptr<MapAdapter> serverAdapter(const TestTileServer& server, int first = 0,
                                          int last = 17,
                                          const QString& path = QStringLiteral("/{z}/{x}/{y}.png"))
{
    return std::make_shared<MapAdapterTile>(server.urlTemplate(path), first, last,
                                            QStringLiteral("test"));
}

QRgb colourAt(const TileSource::Piece& piece, QPointF at)
{
    return piece.pixmap.toImage().pixel(at.toPoint());
}

QRgb tileRgb(int z, int x, int y)
{
    return TestTileServer::tileColor(z, x, y).rgb();
}

// A cached tile file of one colour, last modified the given minutes ago.
bool writeTileFile(const QString& path, QRgb colour, qint64 ageMinutes)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(colour);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(TestTileServer::png(image)) <= 0 ||
        !file.flush())
        return false;
    return file.setFileTime(QDateTime::currentDateTime().addSecs(-60 * ageMinutes),
                            QFileDevice::FileModificationTime);
}

// Lets queued requests and replies run their course.
void settle(TileSource& source)
{
    QTRY_VERIFY(source.requestsInFlight() == 0 && source.requestsQueued() == 0);
    QTest::qWait(50);
}

} // namespace

class TestTiles : public QObject
{
    Q_OBJECT

private slots:
    void adapters_data();
    void adapters();
    void cacheNamesOfOtherTemplates();
    void fetchesWithUserAgent();
    void followsRedirect();
    void persistentCacheReadOffline();
    void expiry_data();
    void expiry();
    void expiredTileKeptWhenRefreshFails();
    void badRepliesNeitherDrawnNorCached_data();
    void badRepliesNeitherDrawnNorCached();
    void ancestorPiece_data();
    void ancestorPiece();
    void refusal_data();
    void refusal();
    void silentServerTimesOut();
    void inFlightLimit();
    void setWantedAboveLastZoom();
    void setWantedDropsOthers();
};

void TestTiles::adapters_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<QString>("attribution");
    QTest::addColumn<QString>("cacheName");

    QTest::newRow("osm") << "osm"
                         << "https://tile.openstreetmap.org/4/3/5.png" << 0 << 19
                         << "© OpenStreetMap contributors"
                         << "osm";
    QTest::newRow("google roadmap")
        << "google"
        << "https://mt1.google.com/vt/lyrs=m&hl=ja&x=3&y=5&z=4" << 0 << 19 << "Map data © Google"
        << "google";
    QTest::newRow("google satellite")
        << "google-satellite"
        << "https://mt1.google.com/vt/lyrs=s&hl=ja&x=3&y=5&z=4" << 0 << 19 << "Map data © Google"
        << "google-s";
    QTest::newRow("stamen") << "otm"
                            << "https://tiles.stadiamaps.com/tiles/stamen_toner/4/3/5.png" << 0
                            << 18
                            << "© Stadia Maps © Stamen Design © OpenMapTiles © OpenStreetMap "
                               "contributors"
                            << "stamen";
    QTest::newRow("stamen with key")
        << "otm-key"
        << "https://tiles.stadiamaps.com/tiles/stamen_toner/4/3/5.png?api_key=K" << 0 << 18
        << "© Stadia Maps © Stamen Design © OpenMapTiles © OpenStreetMap contributors"
        << "stamen";
    QTest::newRow("gsi") << "jpn"
                         << "https://cyberjapandata.gsi.go.jp/xyz/blank/4/3/5.png" << 5 << 14
                         << "地理院タイル"
                         << "gsi";
}

void TestTiles::adapters()
{
    QFETCH(QString, kind);
    std::unique_ptr<MapAdapter> adapter;
    if (kind == QLatin1String("osm"))
        adapter = std::make_unique<MapAdapterOSM>();
    else if (kind == QLatin1String("google"))
        adapter = std::make_unique<MapAdapterGoogle>(MapAdapterGoogle::GoogleLayerType(0));
    else if (kind == QLatin1String("google-satellite"))
        adapter = std::make_unique<MapAdapterGoogle>(MapAdapterGoogle::GoogleLayerType::SATELLITE);
    else if (kind == QLatin1String("otm"))
        adapter = std::make_unique<MapAdapterOTM>();
    else if (kind == QLatin1String("otm-key"))
        adapter = std::make_unique<MapAdapterOTM>(QStringLiteral(
            "https://tiles.stadiamaps.com/tiles/stamen_toner/{z}/{x}/{y}.png?api_key=K"));
    else
        adapter = std::make_unique<MapAdapterJPN>();

    QTEST(adapter->tileQuery(3, 5, 4).toString(), "url");
    QTEST(adapter->tileZoomMinimum(), "first");
    QTEST(adapter->tileZoomMaximum(), "last");
    QTEST(adapter->attribution(), "attribution");
    QTEST(adapter->cacheName(), "cacheName");
}

void TestTiles::cacheNamesOfOtherTemplates()
{
    const QRegularExpression safe(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9._-]*$"));
    const MapAdapterOSM a(QStringLiteral("https://a.example.org/{z}/{x}/{y}.png"));
    const MapAdapterOSM b(QStringLiteral("https://b.example.org/{z}/{x}/{y}.png"));
    const MapAdapterOSM a2(QStringLiteral("https://a.example.org/{z}/{x}/{y}.png"));
    const MapAdapterTile sameHostOtherLayer(
        QStringLiteral("https://a.example.org/sat/{z}/{x}/{y}.png"), 0, 19, QString());
    const MapAdapterTile hostile(QStringLiteral("http://../../{z}/{x}/{y}"), 0, 19, QString());

    QVERIFY(a.cacheName() != QLatin1String("osm"));
    QVERIFY(a.cacheName() != b.cacheName());
    QVERIFY(a.cacheName() != sameHostOtherLayer.cacheName());
    QCOMPARE(a.cacheName(), a2.cacheName());
    for (const MapAdapter* adapter :
         QVector<const MapAdapter*>{&a, &b, &sameHostOtherLayer, &hostile})
        QVERIFY2(safe.match(adapter->cacheName()).hasMatch(), qPrintable(adapter->cacheName()));

    MapAdapterOSM changed;
    changed.setUrlTemplate(QStringLiteral("https://b.example.org/{z}/{x}/{y}.png"));
    QCOMPARE(changed.cacheName(), b.cacheName());
}

void TestTiles::fetchesWithUserAgent()
{
    TestTileServer server;
    QVERIFY(server.isListening());
    TileSource source;
    QSignalSpy ready(&source, &TileSource::tileReady);
    const auto adapter = serverAdapter(server);

    QVERIFY(source.tile(adapter, 3, 1, 2).pixmap.isNull());
    source.tile(adapter, 3, 2, 2);
    source.tile(adapter, 3, 1, 3);
    QTRY_VERIFY(source.tile(adapter, 3, 1, 2).exact && source.tile(adapter, 3, 2, 2).exact &&
                source.tile(adapter, 3, 1, 3).exact);
    QVERIFY(ready.count() >= 1);

    QStringList paths = server.paths();
    paths.sort();
    QCOMPARE(paths, QStringList({"/3/1/2.png", "/3/1/3.png", "/3/2/2.png"}));
    const QRegularExpression agent(QStringLiteral("^MivaroMap/\\d+(\\.\\d+)+ \\(Qt %1\\)$")
                                       .arg(QRegularExpression::escape(qVersion())));
    for (const auto& request : server.requests())
        QVERIFY2(agent.match(QString::fromLatin1(request.userAgent())).hasMatch(),
                 request.userAgent().constData());

    const TileSource::Piece piece = source.tile(adapter, 3, 2, 2);
    QCOMPARE(piece.source, QRectF(0, 0, 256, 256));
    QCOMPARE(colourAt(piece, {128, 128}), tileRgb(3, 2, 2));
    settle(source);
    QCOMPARE(server.requestCount(), 3);
}

void TestTiles::followsRedirect()
{
    TestTileServer server;
    TestTileServer::Response moved;
    moved.status = 302;
    moved.contentType = "text/html";
    moved.headers.append(qMakePair(QByteArray("Location"), QByteArray("/moved/3/1/2.png")));
    server.setResponse(QStringLiteral("/3/1/2.png"), moved);
    TileSource source;
    const auto adapter = serverAdapter(server);

    source.tile(adapter, 3, 1, 2);
    QTRY_VERIFY(source.tile(adapter, 3, 1, 2).exact);
    QCOMPARE(server.paths(), QStringList({"/3/1/2.png", "/moved/3/1/2.png"}));
}

void TestTiles::persistentCacheReadOffline()
{
    QTemporaryDir dir;
    auto server = std::make_unique<TestTileServer>();
    const auto adapter = serverAdapter(*server);
    const QString folder = dir.path() + QLatin1Char('/') + adapter->cacheName();
    {
        TileSource source;
        source.enablePersistentCache(0min, QDir(dir.path()));
        source.tile(adapter, 4, 8, 5);
        QTRY_VERIFY(source.tile(adapter, 4, 8, 5).exact);
    }
    QFile file(folder + QStringLiteral("/4/8/5"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), TestTileServer::tilePng(4, 8, 5));
    // Nothing but the tile itself: no temporary file left behind.
    QCOMPARE(QDir(folder + QStringLiteral("/4/8")).entryList(QDir::Files | QDir::Hidden),
             QStringList({"5"}));

    server->stop();
    TileSource offline;
    QSignalSpy ready(&offline, &TileSource::tileReady);
    offline.enablePersistentCache(0min, QDir(dir.path()));
    // The disk is read later, never during the call (that would stall painting).
    QVERIFY(!offline.tile(adapter, 4, 8, 5).exact);
    QTRY_VERIFY(offline.tile(adapter, 4, 8, 5).exact);
    QVERIFY(ready.count() >= 1);
    QCOMPARE(colourAt(offline.tile(adapter, 4, 8, 5), {128, 128}), tileRgb(4, 8, 5));
}

void TestTiles::expiry_data()
{
    QTest::addColumn<int>("expiryMinutes");
    QTest::addColumn<int>("ageMinutes");
    QTest::addColumn<bool>("refetched");

    QTest::newRow("never expires") << 0 << 60 * 24 * 400 << false;
    QTest::newRow("young") << 60 << 30 << false;
    QTest::newRow("expired") << 60 << 120 << true;
}

void TestTiles::expiry()
{
    QFETCH(int, expiryMinutes);
    QFETCH(int, ageMinutes);
    QFETCH(bool, refetched);

    QTemporaryDir dir;
    TestTileServer server;
    const auto adapter = serverAdapter(server);
    const QString path = dir.path() + QStringLiteral("/%1/5/3/4").arg(adapter->cacheName());
    const QRgb old = qRgb(255, 0, 0);
    QVERIFY(writeTileFile(path, old, ageMinutes));

    TileSource source;
    source.enablePersistentCache(std::chrono::minutes(expiryMinutes), QDir(dir.path()));
    source.tile(adapter, 5, 3, 4);
    QTRY_VERIFY(source.tile(adapter, 5, 3, 4).exact);
    settle(source);

    const QRgb fresh = tileRgb(5, 3, 4);
    QCOMPARE(server.requestCount(), refetched ? 1 : 0);
    QCOMPARE(colourAt(source.tile(adapter, 5, 3, 4), {128, 128}), refetched ? fresh : old);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll() == TestTileServer::tilePng(5, 3, 4), refetched);
}

void TestTiles::expiredTileKeptWhenRefreshFails()
{
    QTemporaryDir dir;
    TestTileServer server;
    TestTileServer::Response gone;
    gone.status = 404;
    server.setResponse(QStringLiteral("/5/3/4.png"), gone);
    const auto adapter = serverAdapter(server);
    const QString path = dir.path() + QStringLiteral("/%1/5/3/4").arg(adapter->cacheName());
    QVERIFY(writeTileFile(path, qRgb(255, 0, 0), 2 * 24 * 60));

    TileSource source;
    source.enablePersistentCache(60min, QDir(dir.path()));
    source.tile(adapter, 5, 3, 4);
    QTRY_COMPARE(server.requestCount(), 1);
    settle(source);
    const TileSource::Piece piece = source.tile(adapter, 5, 3, 4);
    QVERIFY(piece.exact);
    QCOMPARE(colourAt(piece, {128, 128}), qRgb(255, 0, 0));
    QVERIFY(QFile::exists(path));
}

void TestTiles::badRepliesNeitherDrawnNorCached_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");

    const QByteArray tile = TestTileServer::tilePng(3, 1, 1);
    QTest::newRow("404 with a picture") << 404 << QByteArray("image/png") << tile;
    QTest::newRow("500 with a picture") << 500 << QByteArray("image/png") << tile;
    QTest::newRow("200 error page")
        << 200 << QByteArray("text/html") << QByteArray("<html><body>Rate limited</body></html>");
    QTest::newRow("200 garbage") << 200 << QByteArray("image/png")
                                 << QByteArray("\x89PNG\r\n\x1a\n garbage", 18);
    QTest::newRow("200 empty") << 200 << QByteArray("image/png") << QByteArray();
}

void TestTiles::badRepliesNeitherDrawnNorCached()
{
    QFETCH(int, status);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);

    QTemporaryDir dir;
    TestTileServer server;
    server.setResponse(QStringLiteral("/3/1/1.png"), {status, contentType, body, {}});
    TileSource source;
    source.setRetryDelay(400ms);
    source.enablePersistentCache(0min, QDir(dir.path()));
    QSignalSpy ready(&source, &TileSource::tileReady);
    const auto adapter = serverAdapter(server);

    source.tile(adapter, 3, 1, 1);
    QTRY_COMPARE(server.requestCount(), 1);
    settle(source);
    // Painting goes on asking; the failed URL is not asked again at once.
    for (int i = 0; i < 20; ++i) {
        QVERIFY(source.tile(adapter, 3, 1, 1).pixmap.isNull());
        QTest::qWait(5);
    }
    settle(source);
    QCOMPARE(server.requestCount(), 1);
    QCOMPARE(ready.count(), 0);
    QVERIFY(!QFile::exists(dir.path() + QStringLiteral("/%1/3/1/1").arg(adapter->cacheName())));

    // After the back-off one more try is allowed.
    QTest::qWait(450);
    source.tile(adapter, 3, 1, 1);
    QTRY_COMPARE(server.requestCount(), 2);
}

void TestTiles::ancestorPiece_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<QVector<int>>("known"); // z, x, y of a tile fetched first
    QTest::addColumn<QVector<int>>("ask");
    QTest::addColumn<QString>("requested");  // what asking fetches (empty: nothing)
    QTest::addColumn<QVector<int>>("drawn"); // the tile whose part is drawn (empty: nothing)
    QTest::addColumn<QRectF>("rect");

    QTest::newRow("child missing")
        << 0 << 17 << QVector<int>{2, 1, 1} << QVector<int>{4, 5, 6} << "/4/5/6.png"
        << QVector<int>{2, 1, 1} << QRectF(64, 128, 64, 64);
    QTest::newRow("above last zoom, ancestor known")
        << 0 << 3 << QVector<int>{3, 2, 3} << QVector<int>{5, 9, 13} << QString()
        << QVector<int>{3, 2, 3} << QRectF(64, 64, 64, 64);
    QTest::newRow("above last zoom, ancestor fetched")
        << 0 << 3 << QVector<int>() << QVector<int>{6, 40, 20} << "/3/5/2.png"
        << QVector<int>{3, 5, 2} << QRectF(0, 128, 32, 32);
    QTest::newRow("below first zoom") << 5 << 14 << QVector<int>() << QVector<int>{3, 1, 1}
                                      << QString() << QVector<int>() << QRectF();
}

void TestTiles::ancestorPiece()
{
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(QVector<int>, known);
    QFETCH(QVector<int>, ask);
    QFETCH(QString, requested);
    QFETCH(QVector<int>, drawn);
    QFETCH(QRectF, rect);

    TestTileServer server;
    TileSource source;
    const auto adapter = serverAdapter(server, first, last);
    if (!known.isEmpty()) {
        source.tile(adapter, known[0], known[1], known[2]);
        QTRY_VERIFY(source.tile(adapter, known[0], known[1], known[2]).exact);
        server.clearRequests();
    }

    server.setHolding(true);
    TileSource::Piece piece = source.tile(adapter, ask[0], ask[1], ask[2]);
    QVERIFY(!piece.exact);
    if (requested.isEmpty()) {
        QTest::qWait(100);
        QCOMPARE(server.requestCount(), 0);
    } else {
        QTRY_COMPARE(server.requestCount(), 1);
        QCOMPARE(server.paths().first(), requested);
    }
    if (known.isEmpty()) {
        QVERIFY(piece.pixmap.isNull());
        server.setHolding(false);
        settle(source);
        piece = source.tile(adapter, ask[0], ask[1], ask[2]);
    }

    if (drawn.isEmpty()) {
        QVERIFY(piece.pixmap.isNull());
        return;
    }
    QVERIFY(!piece.exact);
    QCOMPARE(piece.source, rect);
    QCOMPARE(colourAt(piece, rect.center()), tileRgb(drawn[0], drawn[1], drawn[2]));
}

void TestTiles::refusal_data()
{
    QTest::addColumn<int>("status");
    QTest::newRow("401") << 401;
    QTest::newRow("403") << 403;
}

void TestTiles::refusal()
{
    QFETCH(int, status);

    TestTileServer server;
    server.setHandler([status](const TestTileServer::Request& request) {
        QRegularExpression tile(QStringLiteral("/(\\d+)/(\\d+)/(\\d+)\\.png$"));
        const auto match = tile.match(request.path);
        if (request.path.startsWith(QLatin1String("/keyed/")))
            return TestTileServer::Response{status, "text/plain", "key needed", {}};
        return TestTileServer::tileResponse(match.captured(1).toInt(), match.captured(2).toInt(),
                                            match.captured(3).toInt());
    });
    TileSource source;
    QSignalSpy refused(&source, &TileSource::providerRefused);
    const auto keyed = serverAdapter(server, 0, 17, QStringLiteral("/keyed/{z}/{x}/{y}.png"));
    const auto open = serverAdapter(server);

    for (int x = 0; x < 3; ++x)
        source.tile(keyed, 3, x, 0);
    QTRY_COMPARE(refused.count(), 1);
    settle(source);
    const int asked = server.requestCount();
    QVERIFY(asked >= 1 && asked <= 3);
    const QString text = refused.first().first().toString();
    QVERIFY2(text.contains(QString::number(status)) && text.contains(QLatin1String("127.0.0.1")),
             qPrintable(text));

    for (int x = 0; x < 8; ++x)
        QVERIFY(source.tile(keyed, 3, x, 1).pixmap.isNull());
    source.setWanted(keyed, {{4, 1, 1}, {4, 2, 1}});
    settle(source);
    QCOMPARE(server.requestCount(), asked);
    QCOMPARE(refused.count(), 1);

    // Another provider on the same source is not affected.
    source.tile(open, 3, 1, 1);
    QTRY_VERIFY(source.tile(open, 3, 1, 1).exact);
}

void TestTiles::silentServerTimesOut()
{
    TestTileServer server;
    server.setHolding(true);
    TileSource source;
    source.setTransferTimeout(300ms);
    const auto adapter = serverAdapter(server);

    source.tile(adapter, 2, 1, 1);
    QTRY_COMPARE(server.heldCount(), 1);
    QTRY_COMPARE(source.requestsInFlight(), 0);
    QVERIFY(source.tile(adapter, 2, 1, 1).pixmap.isNull());
    QTest::qWait(100);
    QCOMPARE(server.requestCount(), 1);
}

void TestTiles::inFlightLimit()
{
    TestTileServer server;
    server.setHolding(true);
    TileSource source;
    const auto adapter = serverAdapter(server);
    for (int x = 0; x < 16; ++x)
        source.tile(adapter, 4, x, 7);

    int answered = 0;
    while (answered < 16) {
        QTRY_VERIFY(server.heldCount() == qMin(TileSource::maxRequestsInFlight, 16 - answered));
        QTest::qWait(30);
        QVERIFY(server.heldCount() <= TileSource::maxRequestsInFlight);
        QVERIFY(source.requestsInFlight() <= TileSource::maxRequestsInFlight);
        answered += server.heldCount();
        server.releaseHeld();
    }
    for (int x = 0; x < 16; ++x)
        QTRY_VERIFY(source.tile(adapter, 4, x, 7).exact);
    QCOMPARE(server.requestCount(), 16);
}

void TestTiles::setWantedDropsOthers()
{
    TestTileServer server;
    server.setHolding(true);
    TileSource source;
    const auto adapter = serverAdapter(server);
    QVector<TileKey> keys;
    for (int x = 0; x < 10; ++x)
        keys.append({4, x, 3});
    source.setWanted(adapter, keys);
    QTRY_COMPARE(server.heldCount(), TileSource::maxRequestsInFlight);
    QCOMPARE(source.requestsQueued(), 10 - TileSource::maxRequestsInFlight);

    // Keep two running (x 0, 1), two queued (x 8, 9), and one new tile.
    source.setWanted(adapter, {{4, 0, 3}, {4, 1, 3}, {4, 8, 3}, {4, 9, 3}, {4, 0, 4}});
    QTRY_COMPARE(server.abandonedCount(), 4);
    QTRY_COMPARE(server.requestCount(), 9);
    server.setHolding(false);
    settle(source);

    QStringList paths = server.paths();
    paths.sort();
    QCOMPARE(paths,
             QStringList({"/4/0/3.png", "/4/0/4.png", "/4/1/3.png", "/4/2/3.png", "/4/3/3.png",
                          "/4/4/3.png", "/4/5/3.png", "/4/8/3.png", "/4/9/3.png"}));
    for (const TileKey& key :
         QVector<TileKey>{{4, 0, 3}, {4, 1, 3}, {4, 8, 3}, {4, 9, 3}, {4, 0, 4}})
        QVERIFY(source.tile(adapter, key.z, key.x, key.y).exact);
    QVERIFY(!source.tile(adapter, 4, 2, 3).exact);
}

void TestTiles::setWantedAboveLastZoom()
{
    TestTileServer server;
    TileSource source;
    const auto adapter = serverAdapter(server, 5, 14);
    QVector<TileKey> keys;
    for (int x = 0; x < 4; ++x) {
        for (int y = 0; y < 2; ++y)
            keys.append({16, x, y});
    }
    keys.append({3, 0, 0});
    source.setWanted(adapter, keys);
    settle(source);
    QCOMPARE(server.paths(), QStringList({"/14/0/0.png"}));
    QVERIFY(!source.tile(adapter, 16, 3, 1).exact);
    QCOMPARE(colourAt(source.tile(adapter, 16, 3, 1), {224, 96}), tileRgb(14, 0, 0));
}

QTEST_MAIN(TestTiles)
#include "tst_tiles.moc"
