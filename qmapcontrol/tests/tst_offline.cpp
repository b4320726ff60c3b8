#include "qmapcontrol/offlinetiles.h"
#include "qmapcontrol/tilesource.h"

#include "support_offline.h"
#include "support_tileserver.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace qmapcontrol;
using Files = QHash<QString, QByteArray>;

// Every file under a folder with its content: nothing may change while a map is read.
static Files snapshot(const QString& root)
{
    Files files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        files.insert(path, QCryptographicHash::hash(file.readAll(), QCryptographicHash::Md5));
    }
    return files;
}

// Asks for a tile until the source has it from the worker.
static TileSource::Piece waitForTile(TileSource& source, const std::shared_ptr<MapAdapter>& adapter,
                                     int z, int x, int y)
{
    TileSource::Piece piece;
    for (int i = 0; i < 500; ++i) {
        piece = source.tile(adapter, z, x, y);
        if (piece.exact || (z > adapter->tileZoomMaximum() && !piece.pixmap.isNull()))
            break;
        QTest::qWait(5);
    }
    return piece;
}

class TestOffline : public QObject
{
    Q_OBJECT
private slots:
    void rightTileAtRightPlace_data();
    void rightTileAtRightPlace();
    void metadata_data();
    void metadata();
    void badInput_data();
    void badInput();
    void failuresWhileReading();
};

void TestOffline::rightTileAtRightPlace_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("MBTiles") << "mbtiles";
    QTest::newRow("folder, XYZ rows") << "xyz";
    QTest::newRow("folder, TMS rows") << "tms";
}

void TestOffline::rightTileAtRightPlace()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(kind == "mbtiles" ? "map.mbtiles" : "tiles");
    if (kind == "mbtiles")
        testoffline::writeMBTiles(path, 0, 3);
    else
        testoffline::writeTileFolder(path, 0, 3, kind == "tms");
    const Files before = snapshot(dir.path());

    QString error;
    const auto adapter =
        makeOfflineAdapter(path, kind == "tms" ? TileRowOrder::Tms : TileRowOrder::Xyz, &error);
    QVERIFY2(adapter, qPrintable(error));
    QCOMPARE(adapter->tileZoomMinimum(), 0);
    QCOMPARE(adapter->tileZoomMaximum(), 3);

    TileSource source;
    QVector<TileKey> all;
    for (int z = 0; z <= 3; ++z) {
        for (int x = 0; x < (1 << z); ++x) {
            for (int y = 0; y < (1 << z); ++y)
                all.append({z, x, y});
        }
    }
    source.setWanted(adapter, all);
    QTRY_COMPARE(source.requestsQueued(), 0);
    for (int z = 0; z <= 3; ++z) {
        for (int x = 0; x < (1 << z); ++x) {
            for (int y = 0; y < (1 << z); ++y) {
                const TileSource::Piece piece = waitForTile(source, adapter, z, x, y);
                QVERIFY(piece.exact);
                QCOMPARE(piece.pixmap.toImage().pixel(128, 200),
                         TestTileServer::tileColor(z, x, y).rgb());
            }
        }
    }
    // Past the last zoom the tile of that zoom stands in, its top right quarter.
    const TileSource::Piece over = waitForTile(source, adapter, 4, 13, 2);
    QVERIFY(!over.exact);
    QCOMPARE(over.source, QRectF(128, 0, 128, 128));
    QCOMPARE(over.pixmap.toImage().pixel(200, 64), TestTileServer::tileColor(3, 6, 1).rgb());

    QTRY_COMPARE(source.requestsQueued(), 0);
    QCOMPARE(snapshot(dir.path()), before);
}

void TestOffline::metadata_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("meta");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("attribution");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<QRectF>("bounds");
    QTest::addColumn<QString>("format");
    const QByteArray full =
        R"({"name": "房総の城", "attribution": "<a href=\"https://x\">© 地図屋</a>",
        "minzoom": "1", "maxzoom": "2", "bounds": "139.5,34.8,140.9,36.1", "format": "png"})";
    const QRectF boso(QPointF(139.5, 34.8), QPointF(140.9, 36.1));
    QTest::newRow("MBTiles with metadata") << "mbtiles" << full << "房総の城"
                                           << "© 地図屋" << 1 << 2 << boso << "png";
    // Without metadata: the file's name, the zooms and the extent of its tiles, the
    // format of its bytes.
    const QRectF world(QPointF(-180, -85.0511287798066), QPointF(180, 85.0511287798066));
    QTest::newRow("MBTiles without") << "mbtiles" << QByteArray("{}") << "map"
                                     << "" << 0 << 3 << world << "png";
    QTest::newRow("MBTiles, zooms not numbers")
        << "mbtiles" << QByteArray(R"({"minzoom": "x", "maxzoom": "", "bounds": "1,2,3"})") << "map"
        << "" << 0 << 3 << world << "png";
    // Only the north-west tile at the first zoom: rows counted from the south.
    QTest::newRow("MBTiles, one first tile")
        << "mbtiles-nw" << QByteArray("{}") << "map"
        << "" << 1 << 3 << QRectF(QPointF(-180, 0), QPointF(0, 85.0511287798066)) << "png";
    QTest::newRow("folder with metadata.json") << "xyz" << full << "房総の城"
                                               << "© 地図屋" << 0 << 3 << boso << "png";
    // A folder's own extent: its tiles at the first zoom, the whole world here.
    QTest::newRow("folder without") << "xyz" << QByteArray() << "tiles"
                                    << "" << 0 << 3 << world << "png";
}

void TestOffline::metadata()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, meta);
    QTemporaryDir dir;
    QString path;
    if (kind == "mbtiles-nw") {
        path = dir.filePath("map.mbtiles");
        testoffline::writeMBTiles(path, 1, 3, {}, {{"1/1/0", {}}, {"1/0/1", {}}, {"1/1/1", {}}});
    } else if (kind == "mbtiles") {
        path = dir.filePath("map.mbtiles");
        QHash<QString, QString> rows;
        const QJsonObject object = QJsonDocument::fromJson(meta).object();
        for (auto it = object.begin(); it != object.end(); ++it)
            rows.insert(it.key(), it.value().toString());
        testoffline::writeMBTiles(path, 0, 3, rows);
    } else {
        path = dir.filePath("tiles");
        testoffline::writeTileFolder(path, 0, 3, false);
        if (!meta.isEmpty()) {
            QFile file(path + "/metadata.json");
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(meta);
        }
    }
    QString error;
    const auto adapter = makeOfflineAdapter(path, TileRowOrder::Xyz, &error);
    QVERIFY2(adapter, qPrintable(error));
    const OfflineMapInfo& info = adapter->info();
    QTEST(info.name, "name");
    QTEST(info.attribution, "attribution");
    QCOMPARE(adapter->attribution(), info.attribution);
    QTEST(adapter->tileZoomMinimum(), "first");
    QTEST(adapter->tileZoomMaximum(), "last");
    QFETCH(QRectF, bounds);
    QCOMPARE(info.bounds.isValid(), bounds.isValid());
    if (bounds.isValid()) {
        QVERIFY(qAbs(info.bounds.left() - bounds.left()) < 1e-9);
        QVERIFY(qAbs(info.bounds.top() - bounds.top()) < 1e-9);
        QVERIFY(qAbs(info.bounds.right() - bounds.right()) < 1e-9);
        QVERIFY(qAbs(info.bounds.bottom() - bounds.bottom()) < 1e-9);
    }
    QTEST(info.format, "format");
}

void TestOffline::badInput_data()
{
    QTest::addColumn<QString>("make");
    QTest::addColumn<QString>("message");
    QTest::newRow("not SQLite") << "text"
                                << "SQLite のデータベースではありません";
    QTest::newRow("SQLite without tiles") << "notiles"
                                          << "タイルの表 tiles がありません";
    QTest::newRow("corrupt page") << "corrupt"
                                  << "壊れている可能性があります";
    QTest::newRow("tile not an image") << "notimage"
                                       << "地図タイルが画像ではありません";
    QTest::newRow("no tiles at all") << "empty"
                                     << "タイルがありません";
    QTest::newRow("vector tiles") << "pbf"
                                  << "ベクトルタイル (pbf)";
    QTest::newRow("missing file") << "missing"
                                  << "見つかりません";
    QTest::newRow("folder without tiles") << "emptydir"
                                          << "地図タイルのフォルダではありません";
    QTest::newRow("folder of non-images") << "junkdir"
                                          << "地図タイルが画像ではありません";
}

void TestOffline::badInput()
{
    QFETCH(QString, make);
    QTemporaryDir dir;
    QString path = dir.filePath("map.mbtiles");
    auto write = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    };
    if (make == "text") {
        write(path, "name,x,y\n姫路城,134.69,34.84\n");
    } else if (make == "notiles") {
        testoffline::writeMBTiles(path, 0, 0);
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "drop");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec("DROP TABLE tiles"));
        db.close();
    } else if (make == "corrupt") {
        testoffline::writeMBTiles(path, 0, 2);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.seek(100); // past the header: the schema's page
        file.write(QByteArray(2000, '\xA5'));
    } else if (make == "notimage") {
        testoffline::writeMBTiles(path, 0, 1, {}, {{"0/0/0", "<html>Not found</html>"}});
    } else if (make == "empty") {
        testoffline::writeMBTiles(path, 0, -1);
    } else if (make == "pbf") {
        testoffline::writeMBTiles(path, 0, 0, {{"format", "pbf"}});
    } else if (make == "missing") {
        path = dir.filePath("gone.mbtiles");
    } else if (make == "emptydir") {
        path = dir.filePath("tiles");
        QDir().mkpath(path + "/3/1");
    } else if (make == "junkdir") {
        path = dir.filePath("tiles");
        QDir().mkpath(path + "/3/1");
        write(path + "/3/1/2.png", "not a picture");
    }
    QSqlDatabase::removeDatabase("drop");

    QString error = "stale";
    QVERIFY(!makeOfflineAdapter(path, TileRowOrder::Xyz, &error));
    QFETCH(QString, message);
    QVERIFY2(error.contains(message), qPrintable(error));
    QVERIFY2(error.contains(QFileInfo(path).fileName()), qPrintable(error));
}

// Trouble after the map was opened: the tile stays blank, the view says why, nothing crashes.
void TestOffline::failuresWhileReading()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("map.mbtiles");
    testoffline::writeMBTiles(path, 0, 2, {}, {{"1/1/0", "garbage"}});
    QString error;
    const auto adapter = makeOfflineAdapter(path, TileRowOrder::Xyz, &error);
    QVERIFY2(adapter, qPrintable(error));

    TileSource source;
    QSignalSpy told(&source, &TileSource::tileLoadError);
    source.setWanted(adapter, {{1, 1, 0}, {1, 0, 0}});
    QTRY_COMPARE(source.requestsQueued(), 0);
    QTRY_VERIFY(!told.isEmpty());
    QVERIFY2(told.last().at(0).toString().contains("地図タイルが画像ではありません (1/1/0)"),
             qPrintable(told.last().at(0).toString()));
    QVERIFY(source.tile(adapter, 1, 0, 0).exact);
    QVERIFY(!source.tile(adapter, 1, 1, 0).exact);

    // The file goes while the map is shown: what is open stays readable or fails quietly.
    QVERIFY(QFile::remove(path));
    source.setWanted(adapter, {{2, 0, 0}, {2, 3, 3}});
    QTRY_COMPARE(source.requestsQueued(), 0);
    QCOMPARE(waitForTile(source, adapter, 2, 3, 3).pixmap.toImage().pixel(128, 200),
             TestTileServer::tileColor(2, 3, 3).rgb());

    // A map opened anew cannot start from a file that is gone.
    QVERIFY(!makeOfflineAdapter(path, TileRowOrder::Xyz, &error));
}

QTEST_MAIN(TestOffline)
#include "tst_offline.moc"
