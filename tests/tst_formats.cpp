// Readers and writers of other tools' files, on small hand-written files of each
// kind, the round trip of the shipped list, and input meant to hurt.
#include "formats/coordinates.h"
#include "formats/formats.h"
#include "records/placefile.h"
#include "testsupport.h"

#include <QBuffer>
#include <QtTest>

#include <quazip.h>
#include <quazipfile.h>
#include <quazipnewinfo.h>
#include <zlib.h>

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

QStringList skipped(const ImportResult& r)
{
    QStringList out;
    for (const Skipped& s : r.skipped)
        out << QString::number(s.line);
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

std::vector<const PlaceRecord*> pointers(const PlaceList& list)
{
    std::vector<const PlaceRecord*> out;
    for (const auto& p : list)
        out.push_back(p.get());
    return out;
}

// A KMZ holding one entry; `claimed` >= 0 writes `size` zero bytes deflated by
// hand and a header that says `claimed` instead.
QByteArray kmz(const QString& entry, const QByteArray& content, qint64 size = 0,
               qint64 claimed = -1)
{
    QByteArray zipped;
    QBuffer buffer(&zipped);
    QuaZip zip(&buffer);
    zip.open(QuaZip::mdCreate);
    QuaZipFile file(&zip);
    if (claimed < 0) {
        file.open(QIODevice::WriteOnly, QuaZipNewInfo(entry));
        file.write(content);
        file.close();
    } else {
        const QByteArray zeros(1 << 20, '\0');
        uLong crc = crc32(0, nullptr, 0);
        for (qint64 done = 0; done < size; done += zeros.size())
            crc = crc32(crc, reinterpret_cast<const Bytef*>(zeros.constData()), uInt(zeros.size()));
        QuaZipNewInfo info(entry);
        info.uncompressedSize = quint64(claimed);
        file.open(QIODevice::WriteOnly, info, nullptr, quint32(crc), Z_DEFLATED, 9, true);
        z_stream z{};
        deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
        QByteArray out(1 << 16, '\0');
        for (qint64 done = 0; done < size;) {
            z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.constData()));
            z.avail_in = uInt(zeros.size());
            done += zeros.size();
            const int flush = done >= size ? Z_FINISH : Z_NO_FLUSH;
            do {
                z.next_out = reinterpret_cast<Bytef*>(out.data());
                z.avail_out = uInt(out.size());
                deflate(&z, flush);
                file.write(out.constData(), out.size() - z.avail_out);
            } while (z.avail_out == 0);
        }
        deflateEnd(&z);
        file.close();
    }
    zip.close();
    return zipped;
}

} // namespace

class TestFormats : public QObject
{
    Q_OBJECT
private slots:
    void coordinates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("kept"); // the text a place keeps
        QTest::newRow("decimal") << " 135.525" << true << 135.525 << "135.525";
        QTest::newRow("negative") << "-0.5" << true << -0.5 << "-0.5";
        QTest::newRow("dms N") << "35°41'22.5\"N" << true << 35.689583333 << "35.68958333";
        QTest::newRow("dms 度分秒") << "35度41分22.5秒" << true << 35.689583333 << "35.68958333";
        QTest::newRow("北緯 prefix") << "北緯35度30分" << true << 35.5 << "35.5";
        QTest::newRow("letter first") << "N35.6896" << true << 35.6896 << "35.6896";
        QTest::newRow("west") << "139.5W" << true << -139.5 << "-139.5";
        QTest::newRow("full width") << "１３５．５" << true << 135.5 << "135.5";
        QTest::newRow("60 minutes") << "35°60'" << false << 0.0 << "";
        QTest::newRow("nan") << "nan" << false << 0.0 << "";
        QTest::newRow("inf") << "inf" << false << 0.0 << "";
        QTest::newRow("word") << "東京" << false << 0.0 << "";
    }
    void coordinates()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        const Coordinate c = parseCoordinate(text);
        QCOMPARE(c.ok, ok);
        if (!ok)
            return;
        QFETCH(double, value);
        QFETCH(QString, kept);
        QVERIFY(std::fabs(c.value - value) < 1e-8);
        QCOMPARE(coordinateText(text, c), kept);
    }

    void detect_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("format");
        QTest::newRow("our list with BOM")
            << QByteArray("\xEF\xBB\xBF大坂城,135.5,34.6,1,1,Image,11,10\n")
            << int(Format::PlaceList);
        QTest::newRow("header row")
            << QByteArray("name,x,y,color,layer,shape,font,level\n1,2,3,4,5,6,7,8\n")
            << int(Format::Csv);
        QTest::newRow("three columns") << QByteArray("a,135,35\n") << int(Format::Csv);
        QTest::newRow("gpx") << QByteArray("<?xml version='1.0'?>\n<gpx version='1.0'/>")
                             << int(Format::Gpx);
        QTest::newRow("kml") << QByteArray("\xEF\xBB\xBF <kml/>") << int(Format::Kml);
        QTest::newRow("other xml") << QByteArray("<html/>") << int(Format::Unknown);
        QTest::newRow("json") << QByteArray(" {\"type\":\"Feature\"}") << int(Format::GeoJson);
        QTest::newRow("zip") << QByteArray("PK\x03\x04rest", 8) << int(Format::Kmz);
        QTest::newRow("binary") << QByteArray("\x01\x00\x02\x03", 4) << int(Format::Unknown);
        QTest::newRow("empty") << QByteArray(" \n") << int(Format::Unknown);
    }
    void detect()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, format);
        QCOMPARE(int(detectFormat(bytes)), format);
    }

    // Each hand-written file: its places (all eight fields), skipped lines and other features.
    void read_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("routes");
        QTest::addColumn<QStringList>("places");
        QTest::addColumn<QStringList>("skippedLines");
        QTest::addColumn<int>("others");
        const QString d = "|0|1|Image|11|10";
        QTest::newRow("cp932, latitude first")
            << "cp932_latfirst.csv" << false
            << QStringList{"大坂城|135.5259|34.6873" + d, "姫路城|134.6939|34.8394" + d}
            << QStringList{"4"} << 0;
        QTest::newRow("tsv with header") << "header.tsv" << false
                                         << QStringList{"富士山|138.7274|35.3606|0|2|Image|11|10",
                                                        "quoted\ttab|139.1|35.1|0|3|Image|11|10"}
                                         << QStringList{} << 0;
        QTest::newRow("dms, semicolons, no header")
            << "dms.csv" << false
            << QStringList{"江戸城|139.75280556|35.68519444" + d,
                           "名古屋城|136.8995|35.18561111" + d}
            << QStringList{"3"} << 0;
        QTest::newRow("gpx") << "waypoints.gpx" << false
                             << QStringList{"富士山|138.7274|35.3606" + d,
                                            "大坂城|135.5259|34.6873|7|2|Circle|14|12"}
                             << QStringList{"10"} << 2;
        QTest::newRow("gpx with routes and tracks")
            << "waypoints.gpx" << true
            << QStringList{"富士山|138.7274|35.3606" + d,
                           "大坂城|135.5259|34.6873|7|2|Circle|14|12", "R 1|139.0|35.0" + d,
                           "峠|139.1|35.1" + d, "T 1|140.0|36.0" + d}
            << QStringList{"10"} << 0;
        QTest::newRow("kml") << "folders.kml" << false
                             << QStringList{"大坂城|135.5259|34.6873|5|4|Image|11|10",
                                            "two points|139.1|35.1" + d,
                                            "two points|139.2|35.2" + d}
                             << QStringList{"20", "21"} << 1;
        QTest::newRow("geojson") << "mixed.geojson" << false
                                 << QStringList{"大坂城|135.5259|34.6873|5|1|Image|11|10",
                                                "pair|139.1|35.1" + d, "pair|139.2|35.2" + d}
                                 << QStringList{"0", "0"} << 2;
    }
    void read()
    {
        QFETCH(QString, file);
        QFETCH(bool, routes);
        ImportOptions options;
        options.routesAndTracks = routes;
        options.classBack = styles().back;
        const ImportResult r = importBytes(dataFile(file), options);
        QVERIFY2(r.ok, qPrintable(r.error));
        QTEST(rows(r), "places");
        QTEST(skipped(r), "skippedLines");
        QTEST(int(r.otherFeatures), "others");
    }

    void csvLayoutDetected()
    {
        const ImportResult r = importBytes(dataFile("cp932_latfirst.csv"));
        QCOMPARE(r.csv.encoding, QByteArray("Shift_JIS"));
        QCOMPARE(r.csv.delimiter, QChar(','));
        QCOMPARE(r.csv.header, 1);
        QCOMPARE(r.csvHeader, QStringList({"名称", "緯度", "経度", "備考"}));
        QCOMPARE(r.skipped.front().reason, "座標が数ではありません（経度 北緯、緯度 35.0）");
        // Read as UTF-8 on the user's word, the headings are lost and the columns guessed.
        ImportOptions utf8;
        utf8.csv.encoding = "UTF-8";
        QCOMPARE(importBytes(dataFile("cp932_latfirst.csv"), utf8).csv.header, 0);
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
        PlaceList awkward =
            parsePlaceLines({"\"a,b \"\"c\"\"\nd 🏯 <&>\",135,35,,2,,,x ", "b,136,36,1,1,,,"});
        for (const QByteArray& original : {QByteArray("\xEF\xBB\xBF") + shipped, QByteArray()}) {
            const PlaceList list = original.isEmpty()
                                       ? std::move(awkward)
                                       : parsePlaceLines(decodePlaceText(original).split('\n'));
            const ExportResult out =
                exportPlaces(pointers(list), formatForOutput("a." + extension, true), styles());
            QVERIFY(out.ok && out.leftOut == 0);
            ImportOptions options;
            options.classBack = styles().back;
            const ImportResult back = importBytes(out.bytes, options);
            QVERIFY2(back.ok, qPrintable(back.error));
            QCOMPARE(exportPlaces(pointers(back.places), Format::PlaceList, {}).bytes,
                     exportPlaces(pointers(list), Format::PlaceList, {}).bytes);
        }
    }

    // The spreadsheet CSV: a mark, a header, CR LF, and read back whole.
    void spreadsheetCsv()
    {
        const PlaceList list = parsePlaceLines({"\"x,\"\"y\"\"\",135.5,35,,2,Circle,9,"});
        const ExportResult out = exportPlaces(pointers(list), Format::SpreadsheetCsv, {});
        QCOMPARE(out.bytes, QByteArray("\xEF\xBB\xBF") +
                                "名称,経度,緯度,色,レイヤー,部品型,文字サイズ,レベル\r\n"
                                "\"x,\"\"y\"\"\",135.5,35,,2,Circle,9,\r\n");
        QCOMPARE(rows(importBytes(out.bytes)), QStringList({"x,\"y\"|135.5|35||2|Circle|9|"}));
    }

    void kmlStylesAndFolders()
    {
        const PlaceList list =
            parsePlaceLines({"a,135,35,5,2,Image,11,10", "b,136,36,5,1,Image,11,10"});
        const QByteArray kml = exportPlaces(pointers(list), Format::Kml, styles()).bytes;
        QVERIFY(
            kml.contains("<Style id=\"class-5\">\n   <IconStyle>\n    <color>ff0000ff</color>"));
        QVERIFY(kml.indexOf("<name>レイヤー 1</name>") < kml.indexOf("<name>レイヤー 2</name>"));
        // Another viewer's copy without our data still has the classes by colour.
        QString text = QString::fromUtf8(kml);
        text.remove(QRegularExpression("<ExtendedData>.*?</ExtendedData>",
                                       QRegularExpression::DotMatchesEverythingOption));
        text.replace("#class-5", "#c");
        text.replace("id=\"class-5\"", "id=\"c\"");
        ImportOptions options;
        options.classBack = styles().back;
        QCOMPARE(rows(importBytes(text.toUtf8(), options)),
                 QStringList({"b|136|36|5|1|Image|11|10", "a|135|35|5|1|Image|11|10"}));
    }

    // A point moved in another tool keeps its new position and the rest of our fields.
    void movedPointKeepsItsPosition()
    {
        const QByteArray gpx = "<gpx xmlns:m='urn:mivaromap:place:1'><wpt lat='35.5' lon='139.5'>"
                               "<extensions><m:place name='a' x='135' y='34' color='9' layer='3' "
                               "shape='Circle' font='12' level='11'/></extensions></wpt></gpx>";
        QCOMPARE(rows(importBytes(gpx)), QStringList({"a|139.5|35.5|9|3|Circle|12|11"}));
    }

    void badInput_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        QTest::newRow("empty") << QByteArray("\xEF\xBB\xBF\n") << "ファイルが空です";
        QTest::newRow("none of them")
            << QByteArray("\x7f\x45\x4c\x46\x00\x01", 6)
            << "対応していない形式です（GPX、KML、KMZ、GeoJSON、CSV のどれでもありません）";
        QTest::newRow("broken xml") << QByteArray("<gpx>\n<wpt lat='1' lon='2'>\n</gpx>")
                                    << "GPX を読めません（3 行 6 列）";
        QTest::newRow("broken json") << QByteArray("{\"type\": \"Feature\",\n  \"geometry\": }")
                                     << "GeoJSON を読めません（2 行 16 列）";
        QTest::newRow("json of no kind")
            << QByteArray("[1,2]") << "GeoJSON の Feature も FeatureCollection もありません";
        QTest::newRow("entity bomb")
            << QByteArray("<?xml version='1.0'?>\n<!DOCTYPE kml [<!ENTITY a 'aaaaaaaaaa'>"
                          "<!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;'><!ENTITY c "
                          "'&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;'>"
                          "<!ENTITY d '&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;'><!ENTITY e "
                          "'&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;'>]>\n"
                          "<kml><Placemark><name>&e;&e;&e;&e;&e;&e;&e;&e;</name></Placemark></kml>")
            << "DTD を含む XML は読み込みません（安全のため）";
        QTest::newRow("kmz without kml")
            << kmz("doc.txt", "hello") << "KMZ の中に KML がありません";
        QTest::newRow("not a zip")
            << QByteArray("PK\x03\x04garbage", 11) << "KMZ（zip）を開けません";
        const QString bomb = "KMZ の中の KML が展開すると 256 MB を超えるため読み込みません";
        QTest::newRow("zip bomb") << kmz("doc.kml", {}, maxUnpacked + (1 << 20),
                                         maxUnpacked + (1 << 20))
                                  << bomb;
        // The zip library stops at the size the header gives; the rest is a broken entry.
        QTest::newRow("zip bomb, lying header") << kmz("doc.kml", {}, maxUnpacked + (1 << 20), 1000)
                                                << "KMZ の中の doc.kml が壊れています";
        QTest::newRow("no coordinate columns")
            << QByteArray("a,b\nc,d\n") << "経度と緯度の列が見つかりません";
    }
    void badInput()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        const ImportResult r = importBytes(bytes);
        QVERIFY(!r.ok && r.places.empty());
        QVERIFY2(r.error.startsWith(error), qPrintable(r.error));
    }

    void kmzReadsItsKml()
    {
        const QByteArray kml = dataFile("folders.kml");
        const ImportResult r = importBytes(kmz("files/doc.kml", kml));
        QCOMPARE(r.format, Format::Kmz);
        QCOMPARE(r.places.size(), size_t(3));
    }

    // A large file can be stopped: nothing is kept, and only the first skipped rows are listed.
    void cancelAndLimits()
    {
        QByteArray csv = "name,lat,lon\n";
        for (int i = 0; i < 20000; ++i)
            csv += "p" + QByteArray::number(i) + ",95,10\n";
        const ImportResult all = importBytes(csv);
        QCOMPARE(all.skippedCount, 20000);
        QCOMPARE(all.skipped.size(), size_t(skippedListed));
        ImportOptions options;
        int asked = 0;
        options.progress = [&asked](qint64, qint64) { return ++asked < 2; };
        const ImportResult stopped = importBytes(csv, options);
        QVERIFY(stopped.cancelled && !stopped.ok && stopped.places.empty());
        QCOMPARE(asked, 2);
    }

    void convert()
    {
        QTemporaryDir dir;
        const QString in = dir.filePath("in.gpx"), out = dir.filePath("out.csv");
        writeAll(in, dataFile("waypoints.gpx"));
        QString reason;
        QVERIFY(convertFile(in, out, styles(), &reason));
        QCOMPARE(readAll(out).count('\n'), 2);
        const QString kml = dir.filePath("out.kml");
        for (const QString& bad : {dir.filePath("missing.gpx"), dir.filePath("out.txt")}) {
            QVERIFY(!convertFile(bad, kml, styles(), &reason));
            QVERIFY(!QFile::exists(kml));
        }
        QVERIFY(!convertFile(in, dir.filePath("out.txt"), styles(), &reason));
        QVERIFY(reason.startsWith("出力の形式が拡張子から分かりません"));
        FileSizeLimit full(100);
        QVERIFY(!convertFile(in, kml, styles(), &reason));
        QVERIFY(reason.startsWith(kml + " に保存できませんでした"));
        QVERIFY(!QFile::exists(kml));
    }
};

QTEST_GUILESS_MAIN(TestFormats)
#include "tst_formats.moc"
