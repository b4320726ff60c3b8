// Readers and writers of other tools' files, on small hand-written files of each
// kind, the round trip of the shipped list, and input meant to hurt.
#include "formats/coordinates.h"
#include "formats/formats.h"
#include "records/placefile.h"
#include "testsupport.h"

#include <QtTest>

using namespace formats;

namespace {

QStringList rows(const ImportResult& r)
{
    QStringList out;
    for (const auto& p : r.places) {
        QStringList f;
        for (int c = 0; c < 8; ++c)
            f << p->field(c);
        out << f.join('|');
    }
    return out;
}

QByteArray dataFile(const QString& name)
{
    return readAll(QStringLiteral(TEST_DATA_DIR "/formats/") + name);
}

ClassStyles styles()
{
    ClassStyles s{QVector<QString>(200), QVector<QColor>(200, Qt::gray),
                  QVector<QColor>(200, Qt::white)};
    s.back[5] = QColor(255, 0, 0);
    return s;
}

// Read with class 5 red, as styles() writes it.
ImportResult import(const QByteArray& bytes, bool routes = false)
{
    ImportOptions options;
    options.routesAndTracks = routes;
    options.classBack = styles().back;
    return importBytes(bytes, options);
}

QByteArray exported(const PlaceList& list, Format format, const ClassStyles& s = {})
{
    std::vector<const PlaceRecord*> out;
    for (const auto& p : list)
        out.push_back(p.get());
    const ExportResult result = exportPlaces(out, format, s);
    return result.ok && result.leftOut == 0 ? result.bytes : QByteArray("failed");
}

} // namespace

class TestFormats : public QObject
{
    Q_OBJECT
private slots:
    void coordinates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("kept"); // the text a place keeps; empty: refused
        for (const char* row :
             {" 135.525|135.525|135.525", "-0.5|-0.5|-0.5",
              "35°41'22.5\"N|35.689583333|35.68958333", "35度41分22.5秒|35.689583333|35.68958333",
              "北緯35度30分|35.5|35.5", "N35.6896|35.6896|35.6896", "139.5W|-139.5|-139.5",
              "１３５．５|135.5|135.5", "35°60'|0|", "nan|0|", "inf|0|", "東京|0|"}) {
            const QStringList f = QString(row).split('|');
            QTest::newRow(row) << f[0] << f[1].toDouble() << f[2];
        }
    }
    void coordinates()
    {
        QFETCH(QString, text);
        QFETCH(QString, kept);
        const Coordinate c = parseCoordinate(text);
        QCOMPARE(c.ok, !kept.isEmpty());
        if (c.ok) {
            QFETCH(double, value);
            QVERIFY(std::fabs(c.value - value) < 1e-8);
            QCOMPARE(coordinateText(text, c), kept);
        }
    }

    // Binary and empty input are the bad input's rows; each format's file is a read row.
    void detect_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("format");
        for (auto [bytes, format] :
             {std::pair{"\xEF\xBB\xBF大坂城,135.5,34.6,1,1,Image,11,10\n", Format::PlaceList},
              {"a,135,35\n", Format::Csv},
              {"\xEF\xBB\xBF <kml/>", Format::Kml},
              {" {\"type\":\"Feature\"}", Format::GeoJson}})
            QTest::newRow(bytes) << QByteArray(bytes) << int(format);
    }
    void detect()
    {
        QFETCH(QByteArray, bytes);
        QTEST(int(detectFormat(bytes)), "format");
    }

    // Each hand-written file: its places (all eight fields), skipped lines and other features.
    void read_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("routes");
        QTest::addColumn<QStringList>("places");
        QTest::addColumn<QString>("skippedLines");
        QTest::addColumn<int>("others");
        // Places as "name|x|y" with our defaults, or all eight fields, split at ';'.
        const auto row = [](const char* file, bool routes, const QString& places,
                            const char* skipped, int others) {
            QStringList all = places.split(';');
            for (QString& p : all)
                p += p.count('|') == 2 ? "|0|1|Image|11|10" : "";
            QTest::addRow("%s%s", file, routes ? ", routes" : "")
                << QString(file) << routes << all << QString(skipped) << others;
        };
        const QString gpx = "富士山|138.7274|35.3606;大坂城|135.5259|34.6873|7|2|Circle|14|12";
        row("cp932_latfirst.csv", false, "大坂城|135.5259|34.6873;姫路城|134.6939|34.8394", "4", 0);
        row("header.tsv", false,
            "富士山|138.7274|35.3606|0|2|Image|11|10;quoted\ttab|139.1|35.1|0|3|Image|11|10", "",
            0);
        row("dms.csv", false, "江戸城|139.75280556|35.68519444;名古屋城|136.8995|35.18561111", "3",
            0);
        row("waypoints.gpx", false, gpx, "10", 2);
        row("waypoints.gpx", true, gpx + ";R 1|139.0|35.0;峠|139.1|35.1;T 1|140.0|36.0", "10", 0);
        // A point moved in another tool keeps its new position and the rest of our fields.
        row("moved.gpx", false, "a|139.5|35.5|9|3|Circle|12|11", "", 0);
        row("folders.kml", false,
            "大坂城|135.5259|34.6873|5|4|Image|11|10;two points|139.1|35.1;two points|139.2|35.2",
            "20 21", 1);
        row("mixed.geojson", false,
            "大坂城|135.5259|34.6873|5|1|Image|11|10;pair|139.1|35.1;pair|139.2|35.2", "0 0", 2);
    }
    void read()
    {
        QFETCH(QString, file);
        QFETCH(bool, routes);
        const ImportResult r = import(dataFile(file), routes);
        QVERIFY2(r.ok, qPrintable(r.error));
        QTEST(rows(r), "places");
        QStringList skipped;
        for (const Skipped& s : r.skipped)
            skipped << QString::number(s.line);
        QTEST(skipped.join(' '), "skippedLines");
        QTEST(int(r.otherFeatures), "others");
    }

    void csvLayoutDetected()
    {
        const ImportResult r = importBytes(dataFile("cp932_latfirst.csv"));
        QCOMPARE(r.csv.encoding, QByteArray("Shift_JIS"));
        QCOMPARE(r.csvHeader, QStringList({"名称", "緯度", "経度", "備考"}));
        QCOMPARE(r.skipped.front().reason, "座標が数ではありません（経度 北緯、緯度 35.0）");
        QCOMPARE(importBytes("135.5;34.6\n136;35\n").csv.delimiter, QChar(';'));
    }

    // Every format gives back the shipped list byte for byte, and a list of awkward names.
    void roundTrip_data()
    {
        QTest::addColumn<QString>("extension");
        for (const char* e : {"gpx", "kml", "kmz", "geojson", "json", "csv"})
            QTest::newRow(e) << e;
    }
    void roundTrip()
    {
        QFETCH(QString, extension);
        const QByteArray shipped = readAll(SOURCE_DIST_DIR "/castlelist.csv");
        QVERIFY(shipped.size() > 1000);
        const PlaceList lists[] = {
            parsePlaceLines(decodePlaceText("\xEF\xBB\xBF" + shipped).split('\n')),
            parsePlaceLines({"\"a,b \"\"c\"\"\nd 🏯 <&>\",135,35,,2,,,x ", "b,136,90,1,1,,,"})};
        for (const PlaceList& list : lists) {
            const ImportResult back =
                import(exported(list, formatForOutput("a." + extension, true), styles()));
            QVERIFY2(back.ok, qPrintable(back.error));
            QCOMPARE(exported(back.places, Format::PlaceList), exported(list, Format::PlaceList));
        }
    }

    // The spreadsheet CSV: a mark, a header, CR LF, and read back whole.
    void spreadsheetCsv()
    {
        const QByteArray out = exported(parsePlaceLines({"\"x,\"\"y\"\"\",135.5,35,,2,Circle,9,"}),
                                        Format::SpreadsheetCsv);
        QCOMPARE(out, QByteArray("\xEF\xBB\xBF") +
                          "名称,経度,緯度,色,レイヤー,部品型,文字サイズ,レベル\r\n"
                          "\"x,\"\"y\"\"\",135.5,35,,2,Circle,9,\r\n");
        QCOMPARE(rows(importBytes(out)), QStringList({"x,\"y\"|135.5|35||2|Circle|9|"}));
    }

    void kmlStylesAndForeignCopies()
    {
        const PlaceList list =
            parsePlaceLines({"a,135,35,5,2,Image,11,10", "b,136,36,0,1,Image,11,10"});
        QString kml = exported(list, Format::Kml, styles());
        QVERIFY(
            kml.contains("<Style id=\"class-5\">\n   <IconStyle>\n    <color>ff0000ff</color>"));
        QVERIFY(kml.indexOf("<name>レイヤー 1</name>") < kml.indexOf("<name>レイヤー 2</name>"));
        // Another viewer's copy without our data still has the classes by colour.
        kml.remove(QRegularExpression("<ExtendedData>.*?</ExtendedData>",
                                      QRegularExpression::DotMatchesEverythingOption));
        QString json = exported(list, Format::GeoJson, styles());
        json.remove(QRegularExpression(",?\\s*\"mivaromap\":\\s*\\{[^}]*\\}"));
        ImportOptions options;
        std::tie(options.classBack, options.color) = std::pair(styles().back, "9");
        QCOMPARE(rows(importBytes(kml.replace("class-5", "c").toUtf8(), options)) +
                     rows(importBytes(json.toUtf8(), options)),
                 QStringList({"b|136|36|0|1|Image|11|10", "a|135|35|5|1|Image|11|10",
                              "a|135|35|5|1|Image|11|10", "b|136|36|0|1|Image|11|10"}));
    }

    // The zip library stops at the size a lying header gives; the rest is a broken entry.
    void badInput_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("error");
        for (auto [file, error] :
             {std::pair{"empty.csv", "ファイルが空です"},
              {"elf.bin",
               "対応していない形式です（GPX、KML、KMZ、GeoJSON、CSV のどれでもありません）"},
              {"broken.gpx", "GPX を読めません（3 行 6 列）"},
              {"broken.json", "GeoJSON を読めません（2 行 16 列）"},
              {"nokind.json", "GeoJSON の Feature も FeatureCollection もありません"},
              {"entitybomb.kml", "DTD を含む XML は読み込みません（安全のため）"},
              {"nokml.kmz", "KMZ の中に KML がありません"},
              {"notzip.kmz", "KMZ（zip）を開けません"},
              {"bomb.kmz", "KMZ の中の KML が展開すると 256 MB を超えるため読み込みません"},
              {"lyingbomb.kmz", "KMZ の中の doc.kml が壊れています"},
              {"nocoords.csv", "経度と緯度の列が見つかりません"}})
            QTest::newRow(file) << QString(file) << QString(error);
    }
    void badInput()
    {
        QFETCH(QString, file);
        QFETCH(QString, error);
        const ImportResult r = importBytes(dataFile("bad/" + file));
        QVERIFY(!r.ok && r.places.empty());
        QVERIFY2(r.error.startsWith(error), qPrintable(r.error));
    }

    // Bad input and names are the command line's tests; here the write that fails.
    void convert()
    {
        QTemporaryDir dir;
        const QString in = dir.filePath("in.gpx"), out = dir.filePath("out.csv"),
                      kml = dir.filePath("out.kml");
        writeAll(in, dataFile("waypoints.gpx"));
        QString reason;
        QVERIFY(convertFile(in, out, styles(), &reason));
        FileSizeLimit full(100);
        QVERIFY(!convertFile(in, kml, styles(), &reason));
        QVERIFY(reason.startsWith(kml + " に保存できませんでした"));
        QVERIFY(!QFile::exists(kml));
    }
};

QTEST_GUILESS_MAIN(TestFormats)
#include "tst_formats.moc"
