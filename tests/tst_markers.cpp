#include "map/markerfiles.h"
#include "map/markerpictures.h"
#include "map/markers.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "testsupport.h"
#include "widgets/mivaromaputil.h"

#include <QFontMetrics>
#include <QPainter>
#include <QtTest>

static const QColor Red(200, 30, 30), Yellow(250, 240, 20), Blue(20, 40, 220), Grey(128, 128, 128);

// name, x, y, color, layer, shape, font, level
static PlaceList places(const QList<QStringList>& rows)
{
    PlaceList list;
    for (const QStringList& row : rows) {
        list.push_back(std::make_unique<PlaceRecord>());
        for (int c = 0; c < 8; ++c)
            list.back()->field(c) = row.value(c);
    }
    return list;
}

class TestMarkers : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { initMivaroMapResources(); }
    void init()
    {
        AppSettings& s = AppSettings::instance();
        s.textFont = QFont(QStringLiteral("IPAゴシック"));
        s.textFont.setPointSize(14);
        s.radius = 50;
        s.siroIcon = true;
        s.classBack[0] = Red;
        s.classFore[0] = Yellow;
        s.classBack[199] = Blue;
    }

    void placeRules_data()
    {
        QTest::addColumn<QString>("layer");
        QTest::addColumn<QString>("shape");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("zoomMinimum");
        const auto row = [](const char* layer, const char* shape, int index, MarkerKind kind) {
            QTest::addRow("%s %s", layer, shape) << layer << shape << index << int(kind)
                                                 << (kind == MarkerKind::ScaledLabel ? 0 : 9);
        };
        row("5", "Image", 4, MarkerKind::Label);
        row("0", "Circle", 0, MarkerKind::Circle);
        row("-3", "Scaled", 0, MarkerKind::ScaledLabel);
        row("12", "image", 8, MarkerKind::ScaledLabel);
        row("abc", "CIRCLE", 0, MarkerKind::ScaledLabel);
    }
    void placeRules()
    {
        QFETCH(QString, layer);
        QFETCH(QString, shape);
        const MarkerPlace p = markerPlace(*places({{"x", "", "", "", layer, shape}})[0]);
        QTEST(p.layer, "index");
        QTEST(int(p.kind), "kind");
        // Fixed pictures show from zoom 9, scaled ones from 0; all carry their name.
        const auto g = makeMarkerGeometry(p, QPixmap(4, 4));
        QTEST(g->zoomMinimum(), "zoomMinimum");
        QCOMPARE(g->zoomMaximum(), 17);
        QCOMPARE(bool(std::dynamic_pointer_cast<qmapcontrol::GeometryPointImageScaled>(g)),
                 p.kind == MarkerKind::ScaledLabel);
        QCOMPARE(g->metadata(QStringLiteral("name")).toString(), QStringLiteral("x"));
    }

    void drawnSize_data()
    {
        QTest::addColumn<QString>("shape");
        QTest::addColumn<QString>("level");
        QTest::addColumn<int>("zoom");
        QTest::addColumn<QSize>("size"); // of a 40 x 20 picture; empty: not drawn
        QTest::newRow("scaled at its level") << "Scaled"
                                             << "10" << 10 << QSize(40, 20);
        QTest::newRow("scaled one below") << "Scaled"
                                          << "10" << 9 << QSize(20, 10);
        QTest::newRow("scaled one above") << "Scaled"
                                          << "10" << 11 << QSize(80, 40);
        QTest::newRow("scaled, low level") << "Scaled"
                                           << "3" << 5 << QSize(160, 80);
        QTest::newRow("scaled far out") << "Scaled"
                                        << "10" << 1 << QSize(0, 0);
        QTest::newRow("image from 9") << "Image"
                                      << "3" << 9 << QSize(40, 20);
        QTest::newRow("image not at 8") << "Image"
                                        << "10" << 8 << QSize(0, 0);
        QTest::newRow("circle at 17") << "Circle"
                                      << "10" << 17 << QSize(40, 20);
        QTest::newRow("circle not at 8") << "Circle"
                                         << "10" << 8 << QSize(0, 0);
    }
    // A place drawn on a layer, centred in a 600 x 400 view: its picture's size on the screen.
    void drawnSize()
    {
        using namespace qmapcontrol;
        QFETCH(QString, shape);
        QFETCH(QString, level);
        QFETCH(int, zoom);
        const PointWorldCoord at(138.7274, 35.3606);
        const auto list = places({{"富士山", "138.7274", "35.3606", "0", "2", shape, "14", level}});
        QPixmap picture(40, 20);
        picture.fill(Red);
        LayerGeometry layer("places", 0, 17);
        layer.addGeometry(makeMarkerGeometry(markerPlace(*list[0]), picture));
        const QPointF origin = projection::toWorldPixels(at, zoom) - QPointF(300, 200);
        const MapView view{zoom, QPointF(std::round(origin.x()), std::round(origin.y())),
                           QSize(600, 400)};
        QImage image(view.size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        layer.draw(painter, view);
        painter.end();
        QRect box;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGreen(image.pixel(x, y)) < 128) // mostly red, not a smoothed edge
                    box |= QRect(x, y, 1, 1);
        QFETCH(QSize, size);
        QCOMPARE(box.size(), size);
        if (!size.isEmpty())
            QCOMPARE(box.center(),
                     QRect(QPoint(300 - size.width() / 2, 200 - size.height() / 2), size).center());
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file");
        const auto row = [](const QString& name, const char* file) {
            QTest::addRow("%s", file) << name << QString(file);
        };
        row("castle.png.old", "castle.png.old");
        row("a/b", "a_b.png");
        row("../mivaromap.ini", "__mivaromap.ini.png");
        row("..", "_.png");
        row("a<b>c:d\"e|f?g*h\\i", "a_b_c_d_e_f_g_h_i.png");
        row(QString("tab\tnl\ndel") + QChar(0x7f), "tab_nl_del_.png");
    }
    // The name maps to one plain file, and writing it never leaves image/.
    void fileNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, file);
        QCOMPARE(markerFileName(name), file);
        ProgramDirScope dir;
        const QFileInfo info(MivaroMapUtil::saveMarkerImage(QImage(":/icons/siro16.png"), name));
        QVERIFY(info.isFile());
        QCOMPARE(info.fileName(), file);
        QCOMPARE(info.canonicalPath(), QDir(dir.file("image")).canonicalPath());
    }

    void pictures()
    {
        ProgramDirScope dir;
        const QString name = QStringLiteral("■姫路城");
        QImage image;
        QVERIFY(QFile::exists(MivaroMapUtil::makeLabelImage(name, 0, 20, &image)));
        const QFont font(QStringLiteral("IPAゴシック"), 20);
        const QFontMetrics metrics(font, &image);
        const int w = metrics.horizontalAdvance(name) + 7, h = metrics.height();
        QCOMPARE(image.size(), QSize(w, h + 2));
        // A black frame round a box in the back colour; the text in the fore
        // colour with its whole height inside the box (no top cut off).
        QVERIFY(image.pixelColor(0, 0) == Qt::black && image.pixelColor(w - 1, h) == Qt::black);
        QCOMPARE(image.pixelColor(w - 2, h / 2), Red);
        int inkRows = 0, fore = 0;
        for (int y = 1; y < h; ++y) {
            int ink = 0;
            for (int x = 2; x < w - 2; ++x) {
                ink += image.pixelColor(x, y) != Red;
                fore += image.pixelColor(x, y) == Yellow;
            }
            inkRows += ink > 0;
        }
        QVERIFY(inkRows >= metrics.tightBoundingRect(name).height() - 1);
        QVERIFY(fore > 0);
        // A class outside the table is never indexed: it gets the unset colours.
        for (int c : {-1, 200, 1 << 30})
            QVERIFY(markerBackColor(c) == Grey && markerForeColor(c) == Qt::white);
        MivaroMapUtil::makeLabelImage("x", 250, 14, &image);
        QCOMPARE(image.pixelColor(1, 1), Grey);
        MivaroMapUtil::makeCircleImage("城", 199, 50, 14, &image);
        QCOMPARE(image.size(), QSize(100, 100));
        // The castle icon shows on the 16 x 16 square on the centre only.
        const QImage with = drawCirclePicture("姫路城", Blue, font, 50, 14, true);
        const QImage without = drawCirclePicture("姫路城", Blue, font, 50, 14, false);
        QVERIFY(with.copy(42, 42, 16, 16) != without.copy(42, 42, 16, 16));
        QCOMPARE(with.copy(0, 0, 100, 42), without.copy(0, 0, 100, 42));
        QCOMPARE(with.copy(0, 58, 100, 42), without.copy(0, 58, 100, 42));
    }

    void refreshWritesOnlyWhatChanged()
    {
        ProgramDirScope dir;
        const PlaceList list = places({{"姫路城", "1", "1", "0", "3", "Circle", "14"},
                                       {"大坂城", "1", "1", "199", "1", "Image", "14"}});
        const QStringList files = {dir.file("image/姫路城.png"), dir.file("image/大坂城.png")};
        const QDateTime longAgo(QDate(2020, 1, 2), QTime(3, 4, 5));
        const auto kept = [&](int i) { return QFileInfo(files[i]).lastModified() == longAgo; };
        MarkerPictureCache cache;
        QSignalSpy done(&cache, &MarkerPictureCache::filesDone);
        buildMarkers(list, cache);
        QVERIFY(done.wait(5000)); // written while idle, without being asked
        for (const QString& f : files)
            setModified(f, longAgo);
        // Nothing redrawn or rewritten for an unchanged list, even by a new run.
        buildMarkers(list, cache);
        QCOMPARE(cache.pendingFiles(), 0);
        MarkerPictureCache restarted;
        buildMarkers(list, restarted);
        restarted.flushFiles();
        QVERIFY(kept(0) && kept(1));
        // A file deleted behind the program's back comes again.
        QFile::remove(files[0]);
        buildMarkers(list, cache);
        cache.flushFiles();
        QVERIFY(QFileInfo::exists(files[0]) && kept(1));

        // The icon touches the circles only. A file that cannot be written
        // leaves the fresh picture on the map and is tried again next time.
        AppSettings::instance().siroIcon = false;
        const MarkerGeometries m = buildMarkers(list, cache);
        QCOMPARE(cache.pendingFiles(), 1);
        QVERIFY(QDir(dir.file("image")).removeRecursively());
        writeAll(dir.file("image"), "not a folder");
        cache.flushFiles();
        QCOMPARE(cache.fileFailures(), 1);
        const QImage fresh =
            drawCirclePicture("姫路城", Red, AppSettings::instance().textFont, 50, 14, false);
        QCOMPARE(static_cast<qmapcontrol::GeometryPointImage*>(m[2].at(0).get())->image().toImage(),
                 QPixmap::fromImage(fresh).toImage());
        buildMarkers(list, cache);
        QCOMPARE(cache.pendingFiles(), 2); // both files are missing now
    }
};

QTEST_MAIN(TestMarkers)
#include "tst_markers.moc"
