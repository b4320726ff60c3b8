#include "qmapcontrol/offlinetiles.h"
#include "qmapcontrol/tilesource.h"

#include "support_offline.h"
#include "support_tileserver.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using namespace qmapcontrol;

static const QByteArray full =
    "{\"name\": \"房総の城\", \"attribution\": \"<a href=\\\"https://x\\\">© 地図屋</a>\", "
    "\"minzoom\": \"1\", \"maxzoom\": \"2\", \"bounds\": \"139.5,34.8,140.9,36.1\", "
    "\"format\": \"png\"}";

// Tiles in the right place in both row orders, and nothing written into the map:
// tst_offlinemap, through the window.
class TestOffline : public QObject
{
    Q_OBJECT
private slots:

    void metadata_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("meta");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("attribution");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<QRectF>("bounds");
        const QRectF boso(QPointF(139.5, 34.8), QPointF(140.9, 36.1));
        const double top = 85.0511287798066;
        QTest::newRow("MBTiles") << "mbtiles" << full << "房総の城"
                                 << "© 地図屋" << 1 << 2 << boso;
        // Values that are no zooms or bounds: the file's name, the zooms and extent of its tiles.
        QTest::newRow("MBTiles, no usable metadata")
            << "mbtiles" << QByteArray(R"({"minzoom": "x", "bounds": "1,2,3"})") << "map"
            << "" << 0 << 3 << QRectF(QPointF(-180, -top), QPointF(180, top));
        // Only the north-west tile at the first zoom: rows counted from the south.
        QTest::newRow("MBTiles, one first tile")
            << "nw" << QByteArray("{}") << "map"
            << "" << 1 << 3 << QRectF(QPointF(-180, 0), QPointF(0, top));
        QTest::newRow("folder") << "xyz" << full << "房総の城"
                                << "© 地図屋" << 0 << 3 << boso;
    }

    void metadata()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, meta);
        QTemporaryDir dir;
        QString path = dir.filePath(kind == "xyz" ? "tiles" : "map.mbtiles");
        QHash<QString, QString> rows;
        const QJsonObject object = QJsonDocument::fromJson(meta).object();
        for (auto it = object.begin(); it != object.end(); ++it)
            rows.insert(it.key(), it.value().toString());
        if (kind == "nw") {
            testoffline::writeMBTiles(path, 1, 3, {},
                                      {{"1/1/0", {}}, {"1/0/1", {}}, {"1/1/1", {}}});
        } else if (kind == "mbtiles") {
            testoffline::writeMBTiles(path, 0, 3, rows);
        } else {
            testoffline::writeTileFolder(path, 0, 3, false);
            QFile file(path + "/metadata.json");
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(meta);
        }
        QString error;
        const auto adapter = makeOfflineAdapter(path, TileRowOrder::Xyz, &error);
        QVERIFY2(adapter, qPrintable(error));
        const OfflineMapInfo& info = adapter->info();
        QTEST(info.name, "name");
        QTEST(adapter->attribution(), "attribution");
        QTEST(adapter->tileZoomMinimum(), "first");
        QTEST(adapter->tileZoomMaximum(), "last");
        QTEST(info.bounds, "bounds");
        QCOMPARE(info.format, "png");
    }

    void badInput_data()
    {
        QTest::addColumn<QString>("make");
        QTest::addColumn<QString>("message");
        const std::pair<const char*, const char*> rows[] = {
            {"text", "SQLite のデータベースではありません"},
            {"notimage", "地図タイルが画像ではありません"},
            {"empty", "タイルがありません"},
            {"pbf", "ベクトルタイル (pbf)"},
            {"missing", "見つかりません"},
            {"emptydir", "地図タイルのフォルダではありません"}};
        for (const auto& [make, message] : rows)
            QTest::newRow(make) << make << message;
    }

    void badInput()
    {
        QFETCH(QString, make);
        QTemporaryDir dir;
        QString path = dir.filePath("map.mbtiles");
        const auto write = [](const QString& path, const QByteArray& bytes) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        };
        if (make == "text") {
            write(path, "name,x,y\n姫路城,134.69,34.84\n");
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
        }

        QString error = "stale";
        QVERIFY(!makeOfflineAdapter(path, TileRowOrder::Xyz, &error));
        QFETCH(QString, message);
        QVERIFY2(error.contains(message), qPrintable(error));
        QVERIFY2(error.contains(QFileInfo(path).fileName()), qPrintable(error));
    }

    // Trouble after the map was opened: the tile stays blank, the view says why, nothing crashes.
    void failuresWhileReading()
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
        QVERIFY(waitUntil([&] { return source.requestsQueued() == 0 && !told.isEmpty(); }));
        QVERIFY2(told.last().at(0).toString().contains("地図タイルが画像ではありません (1/1/0)"),
                 qPrintable(told.last().at(0).toString()));
        QVERIFY(source.tile(adapter, 1, 0, 0).exact);
        QVERIFY(!source.tile(adapter, 1, 1, 0).exact);
    }
};

QTEST_MAIN(TestOffline)
#include "tst_offline.moc"
