#include "map/markerfiles.h"
#include "map/markerpictures.h"
#include "map/markers.h"
#include "qmapcontrol/layeroverview.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "testsupport.h"
#include "widgets/mivaromaputil.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRandomGenerator>
#include <QRegularExpression>
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

// What the nine layers show in a view of 600 x 400 around a point.
static QImage render(const MarkerGeometries& markers, int zoom, const QPointF& lonLat)
{
    using namespace qmapcontrol;
    std::vector<std::shared_ptr<LayerGeometry>> layers;
    for (int i = 0; i < MarkerLayerCount; ++i)
        layers.push_back(std::make_shared<LayerGeometry>("Layer", 0, 17));
    showMarkers(layers, markers);
    const QPointF c = projection::toWorldPixels(PointWorldCoord(lonLat.x(), lonLat.y()), zoom);
    const MapView view{zoom, QPointF(std::round(c.x() - 300), std::round(c.y() - 200)),
                       QSize(600, 400)};
    QImage image(view.size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (const auto& layer : layers)
        layer->draw(painter, view);
    return image;
}

// The box of the pixels that pass.
static QRect inkBox(const QImage& image, const std::function<bool(QRgb)>& ink)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (ink(image.pixel(x, y)))
                box |= QRect(x, y, 1, 1);
    return box;
}

class TestMarkers : public QObject
{
    Q_OBJECT
    QSet<QString> fileNamesMade;

private slots:
    void initTestCase() { initMivaroMapResources(); }
    void init()
    {
        AppSettings& s = AppSettings::instance();
        s.textFont = QFont(QStringLiteral("IPAゴシック"), 14);
        s.radius = 50;
        s.siroIcon = s.overview = s.markerFiles = true;
        s.classBack[0] = Red;
        s.classFore[0] = Yellow;
        s.classBack[199] = Blue;
    }

    void placeRules_data()
    {
        QTest::addColumn<QString>("layer");
        QTest::addColumn<QString>("shape");
        QTest::addColumn<bool>("overview");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("zoomMinimum");
        const auto row = [](const char* layer, const char* shape, bool overview, int index,
                            MarkerKind kind, int zoomMinimum) {
            QTest::addRow("%s %s%s", layer, shape, overview ? "" : " no overview")
                << layer << shape << overview << index << int(kind) << zoomMinimum;
        };
        row("5", "Image", true, 4, MarkerKind::Label, 9);
        row("0", "Circle", true, 0, MarkerKind::Circle, 9);
        row("-3", "Scaled", false, 0, MarkerKind::ScaledLabel, 0);
        // Below half its size a scaled label is the overview's dot.
        row("-3", "Scaled", true, 0, MarkerKind::ScaledLabel, 9);
        row("12", "image", false, 8, MarkerKind::ScaledLabel, 0);
        row("abc", "CIRCLE", true, 0, MarkerKind::ScaledLabel, 9);
    }
    void placeRules()
    {
        QFETCH(QString, layer);
        QFETCH(QString, shape);
        QFETCH(bool, overview);
        AppSettings::instance().overview = overview;
        const MarkerPlace p = markerPlace(*places({{"x", "", "", "", layer, shape, "", "10"}})[0]);
        QTEST(p.layer, "index");
        QTEST(int(p.kind), "kind");
        MarkerPictureCache cache;
        cache.beginRefresh();
        const auto g = cache.geometry(p);
        QTEST(g->zoomMinimum(), "zoomMinimum");
        QCOMPARE(g->zoomMaximum(), 17);
        const auto scaled = std::dynamic_pointer_cast<qmapcontrol::GeometryPointImageScaled>(g);
        QCOMPARE(bool(scaled), p.kind == MarkerKind::ScaledLabel);
        QVERIFY(!scaled || scaled->baseZoom() == 10); // its level
        QCOMPARE(g->metadata(QStringLiteral("name")).toString(), QStringLiteral("x"));
        // The dot takes the class's back colour; the marker's size is its picture's.
        const auto* shown = static_cast<qmapcontrol::GeometryPointImage*>(g.get());
        QCOMPARE(shown->overviewColor(), Red.rgba());
        QCOMPARE(shown->size(), QSizeF(cache.picture(p).size()));
    }

    void sizeLimits()
    {
        const auto size = [](int p) { return markerPointSize(QFont("IPAゴシック", 14), p); };
        QCOMPARE(QList<int>({size(0), size(-3), size(1), size(200), size(201), size(400)}),
                 QList<int>({14, 14, 1, 200, 200, 200}));
        QCOMPARE(
            QList<int>({markerRadius(0), markerRadius(1), markerRadius(500), markerRadius(501)}),
            QList<int>({1, 1, 500, 500}));
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file"); // a pattern
        const auto row = [](const QString& name, const char* file) {
            QTest::addRow("%s", qPrintable(name)) << name << QString(file);
        };
        row("姫路城", "姫路城\\.png");
        row("a/b", "a_b-3ec69c\\.png"); // the same in every run
        row("", "-[0-9a-f]{6}\\.png");
        row("..", "_-[0-9a-f]{6}\\.png");
        row("../mivaromap.ini", "__mivaromap\\.ini-[0-9a-f]{6}\\.png");
        row("a<b>c:d\"e|f?g*h\\i", "a_b_c_d_e_f_g_h_i-[0-9a-f]{6}\\.png");
        row(QString("t\tn\nus") + QChar(0x1f) + QChar(0x7f) + "c1" + QChar(0x9f) + QChar(0xa0),
            "t_n_us__c1_\u00a0-[0-9a-f]{6}\\.png");
        // Names that could meet another's file: "x" has x.png, a hashed name its look.
        row("x.png", "x-[0-9a-f]{6}\\.png");
        row("a_b-3f9c2e", "a_b-3f9c2e-[0-9a-f]{6}\\.png");
        // Cut to fit the file system's 255 bytes, with room for the writer's temporary name.
        QTest::newRow("300 kanji") << QString(300, QChar(0x57ce)) << "城{76}-[0-9a-f]{6}\\.png";
    }
    // Each name maps to a plain file of its own, and writing it never leaves image/.
    void fileNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, file);
        const QString made = markerFileName(name);
        QVERIFY2(QRegularExpression("^" + file + "$").match(made).hasMatch(), qPrintable(made));
        QVERIFY(!fileNamesMade.contains(made));
        fileNamesMade.insert(made);
        ProgramDirScope dir;
        const QFileInfo info(MivaroMapUtil::saveMarkerImage(QImage(":/icons/siro16.png"), name));
        QVERIFY(info.isFile());
        QCOMPARE(info.fileName(), made);
        QCOMPARE(info.canonicalPath(), QDir(dir.file("image")).canonicalPath());
    }

    // The picture files' own encoder: whatever the pixels, a PNG decoder
    // (which checks both checksums) gives them back exactly.
    void encoderKeepsEveryPixel_data()
    {
        QTest::addColumn<QImage>("image");
        QRandomGenerator random(7);
        const auto row = [](const char* name, int w, int h, const auto& pixel) {
            QImage image(w, h, QImage::Format_ARGB32);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    image.setPixel(x, y, pixel(x, y));
            QTest::newRow(name) << image;
        };
        row("one pixel", 1, 1, [](int, int) { return qRgba(1, 200, 3, 4); });
        // Every byte value, no repeats to find: all literals, both code lengths.
        row("noise", 61, 47, [&](int, int) { return random.generate(); });
        // Runs far longer than one match, across rows.
        row("flat", 300, 5, [](int, int) { return qRgba(9, 9, 9, 255); });
        // Repeats of the pixel and of the row before, with a long distance.
        row("gradient rows", 2000, 6,
            [](int x, int) { return qRgba(x & 255, (x * 3) & 255, 17, 255); });
        // Rows one byte further apart than a match may reach.
        row("wider than the window", 8192, 3,
            [](int x, int y) { return qRgba((x / 7) & 255, y, 0, 128); });
    }
    void encoderKeepsEveryPixel()
    {
        QFETCH(QImage, image);
        QImage decoded;
        QVERIFY(decoded.loadFromData(encodeMarkerPng(image), "PNG"));
        QCOMPARE(decoded.convertToFormat(QImage::Format_ARGB32), image);
    }

    void labelPicture_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("pointSize");
        QTest::addColumn<int>("drawnAt");
        QTest::addColumn<bool>("cut");
        QTest::newRow("usual") << "■姫路城" << 20 << 20 << false;
        QTest::newRow("400 points") << "城城" << 400 << 200 << false;
        QTest::newRow("long name") << QString(1000, QChar(0x57ce)) << 14 << 14 << true;
        QTest::newRow("long and huge") << QString(40, QChar(0x57ce)) << 400 << 200 << true;
    }
    // A black frame round a box in the back colour, the text in the fore colour with its
    // whole height inside. Huge sizes are drawn at 200 points and at most 4 096 px wide,
    // the name cut with "…"; the place keeps its fields as written.
    void labelPicture()
    {
        QFETCH(QString, name);
        QFETCH(int, pointSize);
        QFETCH(int, drawnAt);
        const PlaceList list =
            places({{name, "135", "35", "0", "1", "Image", QString::number(pointSize)}});
        MarkerPictureCache cache;
        cache.beginRefresh();
        const QImage image = cache.picture(markerPlace(*list[0]));
        const QFontMetrics metrics(QFont(QStringLiteral("IPAゴシック"), drawnAt), &image);
        const QString shown = labelText(name, metrics);
        QTEST(shown.endsWith(QChar(0x2026)), "cut");
        const int w = metrics.horizontalAdvance(shown) + 7, h = metrics.height();
        QCOMPARE(image.size(), QSize(w, h + 2));
        QVERIFY(w <= 4096);
        QVERIFY(list[0]->font == QString::number(pointSize) && list[0]->name == name);
        QVERIFY(image.pixelColor(0, 0) == Qt::black && image.pixelColor(w - 1, h) == Qt::black);
        QCOMPARE(image.pixelColor(w - 2, h / 2), Red);
        QVERIFY(!inkBox(image, [](QRgb p) { return QColor(p) == Yellow; }).isEmpty());
        // The picture file of the window's own call; a class outside the table is unset.
        ProgramDirScope dir;
        QImage made;
        QVERIFY(QFile::exists(MivaroMapUtil::makeLabelImage(name, 0, pointSize, &made)));
        QCOMPARE(made, image);
        for (int c : {-1, 200, 1 << 30})
            QVERIFY(markerBackColor(c) == Grey && markerForeColor(c) == Qt::white);
        MivaroMapUtil::makeLabelImage("x", 250, 14, &made);
        QCOMPARE(made.pixelColor(1, 1), Grey);
        MivaroMapUtil::makeCircleImage("城", 199, 50, 14, &made);
        QCOMPARE(made.size(), QSize(100, 100));
    }

    void circlePicture_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("pointSize");
        QTest::addColumn<int>("radius");
        QTest::addColumn<bool>("icon");
        QTest::newRow("usual") << "姫路城" << 14 << 50 << true;
        QTest::newRow("no icon") << "姫路城" << 11 << 50 << false;
        QTest::newRow("wider than the disc") << "根室半島チャシ跡群と長い名前" << 14 << 50 << true;
        QTest::newRow("text below the disc") << "gjpqy城" << 30 << 20 << true;
    }
    // The circle made of a shared disc and the rows of its name is the disc with the
    // name painted over it, on the map and in its file; its name and icon lie in its
    // solid part.
    void circlePicture()
    {
        QFETCH(QString, name);
        QFETCH(int, pointSize);
        QFETCH(int, radius);
        QFETCH(bool, icon);
        AppSettings::instance().radius = radius;
        AppSettings::instance().siroIcon = icon;
        const QFont font = AppSettings::instance().textFont;
        QImage reference = circleBase(Blue, radius, icon);
        paintCircleNameAt(*std::make_unique<QPainter>(&reference), name, font, radius, pointSize);
        QCOMPARE(drawCirclePicture(name, Blue, font, radius, pointSize, icon), reference);

        const PlaceList list =
            places({{name, "135", "35", "199", "1", "Circle", QString::number(pointSize), "10"}});
        MarkerPictureCache cache;
        QImage expected(600, 400, QImage::Format_ARGB32_Premultiplied);
        expected.fill(Qt::white);
        QPainter(&expected).drawPixmap(300 - radius, 200 - radius, QPixmap::fromImage(reference));
        QCOMPARE(render(buildMarkers(list, cache), 10, {135, 35}), expected);
        QImage decoded;
        QVERIFY(decoded.loadFromData(
            markerFileBytes(MarkerStyle::fromSettings(), {name, Blue.rgba(), 0, pointSize, true})));
        QCOMPARE(decoded.convertToFormat(QImage::Format_ARGB32), reference);

        // The name and icon count when pictures must not overlap; the soft disc does not.
        const QImage noName = circleBase(Blue, radius, false);
        const QRect solid = circleSolidRect(name, markerMetrics(font, pointSize), radius, icon);
        QRect changed;
        for (int y = 0; y < reference.height(); ++y)
            for (int x = 0; x < reference.width(); ++x)
                if (reference.pixel(x, y) != noName.pixel(x, y))
                    changed |= QRect(x, y, 1, 1);
        QVERIFY(!changed.isEmpty() && solid.contains(changed));
        QVERIFY(pointSize > 14 || solid.height() < radius);
    }

    // Which picture keeps its place where two would overlap (lower first): the one shown
    // from a lower zoom, then the lower class with class 0 last, then the earlier.
    void placementPriority()
    {
        const auto before = [](std::array<int, 3> a, std::array<int, 3> b) {
            return markerPriority(a[0], a[1], a[2]) < markerPriority(b[0], b[1], b[2]);
        };
        QVERIFY(before({9, 3, 0}, {9, 3, 1}) && before({9, 3, 5}, {9, 5, 0}));
        QVERIFY(before({9, 7, 5}, {9, 0, 0}) && before({9, 199, 5}, {9, 0, 0}));
        QVERIFY(before({4, 9, 5}, {9, 1, 0}) && before({10, 9, 5}, {11, 1, 0}));
        // A scaled label counts from the zoom it shows from (its level less one).
        const PlaceList list = places({{"a", "135", "35", "1", "2", "Scaled", "12", "12"},
                                       {"b", "135", "35", "9", "1", "Scaled", "12", "11"}});
        MarkerPictureCache cache;
        const MarkerGeometries m = buildMarkers(list, cache);
        const auto priority = [](const std::shared_ptr<qmapcontrol::Geometry>& g) {
            return static_cast<const qmapcontrol::GeometryPoint&>(*g).placementPriority();
        };
        QCOMPARE(priority(m[0][0]), markerPriority(10, 9, 1));
        QCOMPARE(priority(m[1][0]), markerPriority(11, 1, 0));
    }

    // The worker writes what the GUI thread would, only what changed, and only
    // while the setting asks for files.
    void filesFollowTheList()
    {
        ProgramDirScope dir;
        const PlaceList list = places({{"姫路城", "1", "1", "0", "3", "Circle", "14"},
                                       {"大坂城", "1", "1", "199", "1", "Image", "14"},
                                       {"a/b", "1", "1", "0", "1", "Scaled", "11"},
                                       {"大坂城", "2", "2", "0", "1", "Image", "12"}});
        const QString folder = dir.file("image");
        MarkerPictureCache cache;
        const auto refresh = [&](MarkerPictureCache& c) {
            const MarkerGeometries m = buildMarkers(list, c);
            c.flushFiles();
            return m;
        };
        AppSettings::instance().markerFiles = false;
        refresh(cache);
        QVERIFY(!QFileInfo::exists(folder));
        AppSettings::instance().markerFiles = true;

        const QStringList files = {folder + "/姫路城.png", folder + "/大坂城.png",
                                   folder + "/" + markerFileName("a/b")};
        const QDateTime longAgo(QDate(2020, 1, 2), QTime(3, 4, 5));
        const auto kept = [&](int i) { return QFileInfo(files[i]).lastModified() == longAgo; };
        QSignalSpy progress(&cache, &MarkerPictureCache::filesProgress);
        QSignalSpy done(&cache, &MarkerPictureCache::filesDone);
        buildMarkers(list, cache);
        QVERIFY(done.wait(5000)); // written behind the scenes, without being asked
        QCOMPARE(progress.first(), QVariantList({0, 3}));
        QCOMPARE(progress.last(), QVariantList({3, 3}));
        // Byte for byte what the GUI thread makes; of two places of one name, the later one's.
        const MarkerStyle style = MarkerStyle::fromSettings();
        const QList<MarkerPicture> pictures{{"姫路城", Red.rgba(), 0, 14, true},
                                            {"大坂城", Red.rgba(), Yellow.rgba(), 12, false},
                                            {"a/b", Red.rgba(), Yellow.rgba(), 11, false}};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(readAll(files[i]), markerFileBytes(style, pictures[i]));
            setModified(files[i], longAgo);
        }
        // Nothing drawn or written again for an unchanged list, even by a new run.
        MarkerPictureCache restarted;
        QSignalSpy restartedProgress(&restarted, &MarkerPictureCache::filesProgress);
        refresh(restarted);
        QCOMPARE(restartedProgress.last(), QVariantList({0, 0}));
        QVERIFY(kept(0) && kept(1) && kept(2));
        // A file deleted behind the program's back comes again.
        QFile::remove(files[0]);
        refresh(cache);
        QVERIFY(QFileInfo::exists(files[0]) && kept(1) && kept(2));
        // The icon touches the circles only.
        setModified(files[0], longAgo);
        AppSettings::instance().siroIcon = false;
        refresh(cache);
        QCOMPARE(progress.last(), QVariantList({1, 1}));
        QVERIFY(!kept(0) && kept(1) && kept(2));

        // A folder that cannot be made is told, with the system's reason; the map keeps
        // its pictures.
        QVERIFY(QDir(folder).removeRecursively());
        writeAll(folder, "not a folder");
        QSignalSpy failed(&cache, &MarkerPictureCache::fileFailed);
        const MarkerGeometries m = refresh(cache);
        QCOMPARE(failed.count(), 1);
        QVERIFY(failed.first().at(0).toString().startsWith(folder) &&
                !failed.first().at(1).toString().isEmpty());
        QCOMPARE(cache.fileFailures(), 3);
        QCOMPARE(static_cast<qmapcontrol::GeometryPointImage*>(m[2].at(0).get())->image().toImage(),
                 QPixmap::fromImage(drawMarkerPicture(MarkerStyle::fromSettings(), pictures[0]))
                     .toImage());
    }
};

QTEST_MAIN(TestMarkers)
#include "tst_markers.moc"
