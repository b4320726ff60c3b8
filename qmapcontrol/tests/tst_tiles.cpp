#include "qmapcontrol/mapadapter.h"
#include "qmapcontrol/tilesource.h"

#include "support_tileserver.h"

#include <QBuffer>
#include <QDateTime>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(TestTileServer::Response)

using namespace qmapcontrol;
using namespace std::chrono_literals;

static std::shared_ptr<MapAdapter> serverAdapter(const TestTileServer& server, int last = 17,
                                                 const QString& path = "/{z}/{x}/{y}.png")
{
    return std::make_shared<MapAdapterTile>(server.urlTemplate(path), 0, last, "test");
}

static QRgb colourAt(const TileSource::Piece& piece, QPointF at = {128, 128})
{
    return piece.pixmap.toImage().pixel(at.toPoint());
}

// Lets queued requests and replies run their course.
static bool settle(TileSource& source)
{
    const bool idle = waitUntil(
        [&source] { return source.requestsInFlight() == 0 && source.requestsQueued() == 0; });
    QCoreApplication::processEvents();
    return idle;
}

static QByteArray pngOfSize(int w, int h)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QImage(w, h, QImage::Format_Mono).save(&buffer, "PNG");
    return bytes;
}

class TestTiles : public QObject
{
    Q_OBJECT
private slots:
    // The address of tile (4, 3, 5), the zooms of the tiles and the cache folder (which a
    // key in the address leaves alone); other templates get folders of their own, safely named.
    void adapters()
    {
        const auto describe = [](const MapAdapter& a) {
            return QStringLiteral("%1 %2-%3 %4")
                .arg(a.tileQuery(3, 5, 4).toString())
                .arg(a.tileZoomMinimum())
                .arg(a.tileZoomMaximum())
                .arg(a.cacheName());
        };
        QCOMPARE(describe(MapAdapterOSM()), "https://tile.openstreetmap.org/4/3/5.png 0-19 osm");
        const QString stadia = "https://tiles.stadiamaps.com/tiles/stamen_toner/";
        QCOMPARE(describe(MapAdapterOTM(stadia + "{z}/{x}/{y}.png?api_key=K")),
                 stadia + "4/3/5.png?api_key=K 0-18 stamen");
        const QStringList names{
            MapAdapterOSM("https://a.example.org/{z}/{x}/{y}.png").cacheName(),
            MapAdapterOSM("https://b.example.org/{z}/{x}/{y}.png").cacheName(),
            MapAdapterTile("https://a.example.org/s/{z}/{x}/{y}.png", 0, 19, {}).cacheName(),
            MapAdapterTile("http://../../{z}/{x}/{y}", 0, 19, {}).cacheName(), "osm"};
        QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), 5);
        const auto keyed = [](const QString& query) {
            return MapAdapterTile("https://a.example.org/{z}/{x}/{y}.png?s=1" + query, 0, 19, {})
                .cacheName();
        };
        QCOMPARE(keyed("&api_key=K"), keyed("")); // a new key keeps the tiles kept
        QCOMPARE(names.filter(QRegularExpression("^[A-Za-z0-9_][A-Za-z0-9._-]*$")), names);
    }
    void cacheAndReplies_data()
    {
        QTest::addColumn<int>("age");         // minutes, of tile 0/0/0 on disk as 5/3/4; -1: none
        QTest::addColumn<int>("expiry");      // minutes, 0: never
        QTest::addColumn<int>("status");      // 0: the server keeps silent
        QTest::addColumn<QByteArray>("body"); // empty: the real tile; redirect: where to
        QTest::addColumn<QRgb>("drawn");      // and kept on disk; 0: nothing

        const QByteArray png = TestTileServer::tilePng(5, 3, 4);
        const QRgb old = TestTileServer::tileColor(0, 0, 0).rgb();
        const QRgb fresh = TestTileServer::tileColor(5, 3, 4).rgb();
        QTest::newRow("redirected") << -1 << 0 << 302 << QByteArray("/moved/5/3/4.png") << fresh;
        QTest::newRow("never expires") << 400 * 24 * 60 << 0 << 200 << QByteArray() << old;
        QTest::newRow("young") << 30 << 60 << 200 << QByteArray() << old;
        QTest::newRow("expired") << 120 << 60 << 200 << QByteArray() << fresh;
        QTest::newRow("expired, refresh fails") << 2880 << 60 << 404 << png << old;
        QTest::newRow("404 with a picture") << -1 << 0 << 404 << png << QRgb(0);
        QTest::newRow("200 error page")
            << -1 << 0 << 200 << QByteArray("<html>busy</html>") << QRgb(0);
        QTest::newRow("200 broken picture") << -1 << 0 << 200 << png.left(40) << QRgb(0);
        QTest::newRow("silent server") << -1 << 0 << 0 << png << QRgb(0);
    }
    void cacheAndReplies()
    {
        QFETCH(int, age);
        QFETCH(int, expiry);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QRgb, drawn);
        const bool asked = age < 0 || (expiry > 0 && age > expiry);

        QTemporaryDir dir;
        TestTileServer server;
        server.setHolding(status == 0);
        if (!body.isEmpty())
            server.setResponse(
                "/5/3/4.png",
                {status, body.startsWith('<') ? "text/html" : "image/png", body, body});
        const auto adapter = serverAdapter(server);
        QFile file(dir.filePath(adapter->cacheName() + "/5/3/4"));
        if (age >= 0) {
            QVERIFY(QDir().mkpath(QFileInfo(file).path()) && file.open(QIODevice::WriteOnly));
            QVERIFY(file.write(TestTileServer::tilePng(0, 0, 0)) > 0 && file.flush() &&
                    file.setFileTime(QDateTime::currentDateTime().addSecs(-60 * age),
                                     QFileDevice::FileModificationTime));
            file.close();
        }
        TileSource source;
        source.setTransferTimeout(status ? 10s : 200ms);
        source.enablePersistentCache(std::chrono::minutes(expiry), QDir(dir.path()));
        QVERIFY(!source.tile(adapter, 5, 3, 4).exact); // read later: painting never waits
        QVERIFY(waitUntil([&] {
            return asked ? server.requestCount() > 0 : source.tile(adapter, 5, 3, 4).exact;
        }));
        QVERIFY(settle(source));
        source.tile(adapter, 5, 3, 4); // painting asks on: a failed URL waits for its back-off
        QVERIFY(settle(source));
        QCOMPARE(server.paths().count("/5/3/4.png"), int(asked));
        const QRegularExpression agent(QStringLiteral("^MivaroMap/\\d+(\\.\\d+)+ \\(Qt %1\\)$")
                                           .arg(QRegularExpression::escape(qVersion())));
        for (const auto& request : server.requests())
            QVERIFY2(agent.match(request.userAgent).hasMatch(), request.userAgent.constData());
        const TileSource::Piece piece = source.tile(adapter, 5, 3, 4);
        QCOMPARE(piece.pixmap.isNull() ? QRgb(0) : colourAt(piece), drawn);
        const bool stored = file.open(QIODevice::ReadOnly);
        QCOMPARE(stored ? QImage::fromData(file.readAll()).pixel(128, 128) : QRgb(0), drawn);
        // Written under a temporary name and renamed: nothing else is left.
        QCOMPARE(QFileInfo(file).dir().entryList(QDir::Files | QDir::Hidden).size(), int(stored));
    }
    void hostileServers_data()
    {
        QTest::addColumn<TestTileServer::Response>("response");
        QTest::addColumn<qint64>("maxBytes"); // -1: the default
        QTest::addColumn<QString>("reason");  // empty: the tile is good
        const QByteArray png = TestTileServer::tilePng(4, 1, 1);
        TestTileServer::Response r;
        r.body = png; // six megabytes announced
        r.noLength = true;
        r.stopAfter = 100;
        r.headers << "Content-Length: 6291456";
        QTest::newRow("6 MB") << r << qint64(-1) << "応答が 4 MB を超えました";
        r = {};
        r.body = QByteArray(3 * 1048576 / 2, 'x');
        r.noLength = true;
        QTest::newRow("no length") << r << qint64(1048576) << "応答が 1 MB を超えました";
        r = {};
        r.body = png + QByteArray(4096, '\0'); // bigger than the other tiles; still a picture
        QTest::newRow("at the byte limit") << r << qint64(r.body.size()) << "";
        QTest::newRow("a byte over")
            << r << qint64(r.body.size() - 1)
            << QStringLiteral("応答が %1 MB を超えました").arg((r.body.size() - 1) / 1048576.0);
        r.body = pngOfSize(1024, 1025);
        QTest::newRow("1025 high") << r << qint64(-1) << "画像が大きすぎます";
        r.body = pngOfSize(1025, 1024);
        QTest::newRow("1025 wide") << r << qint64(-1) << "画像が大きすぎます";
        r.body = pngOfSize(1024, 1024);
        QTest::newRow("1024 x 1024") << r << qint64(-1) << "";
        r.body = png;
        r.trickleMs = 20;
        QTest::newRow("trickling") << r << qint64(-1) << "応答が 0.3 秒で終わりません";
        r.trickleMs = 0;
        r.stopAfter = 10;
        QTest::newRow("stalled") << r << qint64(-1) << "応答が 0.15 秒止まりました";
    }
    // A server that sends too much, too big a picture, too slowly or nothing: the tile fails
    // (told with its reason), is never kept, and the other tiles load all the same.
    void hostileServers()
    {
        QFETCH(TestTileServer::Response, response);
        QFETCH(qint64, maxBytes);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        TestTileServer server;
        server.setResponse("/4/1/1.png", response);
        TileSource source;
        source.enablePersistentCache(std::chrono::minutes(0), QDir(dir.path()));
        // Short limits only where the row is about them: a loaded machine may be slow.
        source.setRequestDeadline(response.trickleMs ? 300ms : 10s);
        source.setTransferTimeout(response.stopAfter >= 0 ? 150ms : 10s);
        source.setRetryDelay(50ms);
        if (maxBytes >= 0)
            source.setMaxTileBytes(maxBytes);
        QSignalSpy told(&source, &TileSource::tileLoadError);
        const auto adapter = serverAdapter(server);
        const QVector<TileKey> view{{4, 1, 1}, {4, 2, 1}, {4, 3, 1}};
        source.setWanted(adapter, view);
        QVERIFY(waitUntil([&] {
            return source.tile(adapter, 4, 2, 1).exact && source.tile(adapter, 4, 3, 1).exact;
        }));
        QVERIFY(settle(source));
        QCOMPARE(source.tile(adapter, 4, 1, 1).exact, reason.isEmpty());
        QCOMPARE(QFileInfo::exists(dir.filePath(adapter->cacheName() + "/4/1/1")),
                 reason.isEmpty());
        QVERIFY(reason.isEmpty() ? told.isEmpty() : waitUntil([&] { return !told.isEmpty(); }));
        if (reason.isEmpty())
            return;
        QCOMPARE(told.first().first().toString(), reason);
        // Asked again after the back-off; once it loads, the note is taken back.
        server.setResponse("/4/1/1.png", {200, "image/png", TestTileServer::tilePng(4, 1, 1), {}});
        QVERIFY(waitUntil([&] { return source.tile(adapter, 4, 1, 1).exact; }));
        QVERIFY(waitUntil([&] { return told.last().first().toString().isEmpty(); }));
    }
};

QTEST_MAIN(TestTiles)
#include "tst_tiles.moc"
