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
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

#include <functional>

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

// n places scattered over Japan, the shipped mix of shapes, ten classes.
static PlaceList randomPlaces(int n)
{
    QRandomGenerator random(5);
    PlaceList list;
    for (int i = 0; i < n; ++i) {
        const int s = int(random.bounded(100));
        list.push_back(std::make_unique<PlaceRecord>());
        PlaceRecord& p = *list.back();
        p.name = QStringLiteral("城%1").arg(i);
        p.x = QString::number(129.0 + random.generateDouble() * 17.0);
        p.y = QString::number(30.0 + random.generateDouble() * 15.0);
        p.color = QString::number(random.bounded(10));
        p.layer = QString::number(1 + random.bounded(9));
        p.shape = s < 66 ? "Circle" : s < 78 ? "Image" : "Scaled";
        p.font = "11";
        p.level = "10";
    }
    return list;
}

// The circle marker drawn in one go, as one picture: the reference the shared pieces must match.
static QImage referenceCircle(const QString& name, const QColor& back, const QFont& font,
                              int radius, int pointSize, bool icon)
{
    QFont f = font;
    f.setPointSize(pointSize);
    const int d = 2 * radius;
    QImage image(d, d, QImage::Format_ARGB32);
    image.fill(0);
    const QFontMetrics metrics(f, &image);
    QPainter painter(&image);
    QRadialGradient gradient(QPointF(radius, radius), radius, QPointF(radius, radius));
    gradient.setColorAt(0.0, back);
    gradient.setColorAt(0.5, QColor(back.red(), back.green(), back.blue(), 100));
    gradient.setColorAt(1.0, Qt::transparent);
    painter.setBrush(gradient);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRect(QPoint(0, 0), QPoint(d - 1, d - 1)));
    painter.setPen(QPen(Qt::black, 1));
    if (icon)
        painter.drawImage(QRect(radius - 8, radius - 8, 16, 16), QImage(":/icons/siro16.png"));
    painter.setFont(f);
    painter.drawText(
        QPointF((d - metrics.horizontalAdvance(name)) / 2 + 1, metrics.height() + radius + 4),
        name);
    painter.end();
    return image;
}

// What the nine layers show in a view of 600 x 400 around a point.
static QImage render(const MarkerGeometries& markers, int zoom, const QPointF& lonLat,
                     qreal ratio = 1.0)
{
    using namespace qmapcontrol;
    std::vector<std::shared_ptr<LayerGeometry>> layers;
    for (int i = 0; i < MarkerLayerCount; ++i)
        layers.push_back(std::make_shared<LayerGeometry>("Layer", 0, 17));
    showMarkers(layers, markers);
    const QPointF c = projection::toWorldPixels(PointWorldCoord(lonLat.x(), lonLat.y()), zoom);
    const MapView view{zoom, QPointF(std::round(c.x() - 300), std::round(c.y() - 200)),
                       QSize(600, 400)};
    QImage image(view.size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (const auto& layer : layers)
        layer->draw(painter, view);
    return image;
}

// The box of what is not white.
static QRect inkBox(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF)
                box |= QRect(x, y, 1, 1);
    return box;
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
        s.overview = true;
        s.markerFiles = true;
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
        QCOMPARE(bool(std::dynamic_pointer_cast<qmapcontrol::GeometryPointImageScaled>(g)),
                 p.kind == MarkerKind::ScaledLabel);
        QCOMPARE(g->metadata(QStringLiteral("name")).toString(), QStringLiteral("x"));
        // The dot takes the class's back colour; the marker's size is its picture's.
        const auto* shown = static_cast<qmapcontrol::GeometryPointImage*>(g.get());
        QCOMPARE(shown->overviewColor(), Red.rgba());
        QCOMPARE(shown->size(), QSizeF(cache.picture(p).size()));
    }

    // On a screen of device ratio 2 the markers have twice the pixels each way and the
    // same look (the same box), and are not the pictures of ratio 1 blown up.
    void sharpAtDeviceRatio()
    {
        for (const QString shape : {"Image", "Circle", "Scaled"}) {
            const auto list =
                places({{"富士山本宮", "138.7", "35.3", "0", "2", shape, "14", "10"}});
            MarkerPictureCache one, two;
            two.setDeviceRatio(2.0);
            const QImage at1 = render(buildMarkers(list, one), 10, {138.7, 35.3});
            const QImage at2 = render(buildMarkers(list, two), 10, {138.7, 35.3}, 2.0);
            const QRect box1 = inkBox(at1), box2 = inkBox(at2);
            QVERIFY2((QRect(box1.topLeft() * 2, box1.size() * 2).marginsAdded({2, 2, 2, 2}))
                             .contains(box2) &&
                         box2.width() >= box1.width() * 2 - 4,
                     qPrintable(shape));
            QVERIFY(at2 != at1.scaled(at2.size()));
            // A cache of ratio 1 on a finer device (a print) paints afresh: just as sharp.
            const QImage fresh = render(buildMarkers(list, one), 10, {138.7, 35.3}, 2.0);
            QVERIFY2(inkBox(fresh) == box2 && fresh != at1.scaled(at2.size()), qPrintable(shape));
            // The files stay at their own size.
            QCOMPARE(two.picture(markerPlace(*list[0])), one.picture(markerPlace(*list[0])));
        }
    }

    void drawnSize_data()
    {
        QTest::addColumn<QString>("shape");
        QTest::addColumn<QString>("level");
        QTest::addColumn<int>("zoom");
        QTest::addColumn<double>("scale"); // of the label's box; 0: not drawn
        const auto row = [](const char* name, const char* shape, const char* level, int zoom,
                            double scale) {
            QTest::newRow(name) << QString(shape) << QString(level) << zoom << scale;
        };
        row("scaled at its level", "Scaled", "10", 10, 1.0);
        row("scaled one below", "Scaled", "10", 9, 0.5);
        row("scaled one above", "Scaled", "10", 11, 2.0);
        row("scaled, low level", "Scaled", "3", 5, 4.0);
        row("scaled far out", "Scaled", "10", 1, 0.0);
        row("image from 9", "Image", "3", 9, 1.0);
        row("image not at 8", "Image", "10", 8, 0.0);
        row("circle at 17", "Circle", "10", 17, 1.0);
        row("circle not at 8", "Circle", "10", 8, 0.0);
    }
    // A place centred in the view: its picture's size on the screen.
    void drawnSize()
    {
        QFETCH(QString, shape);
        QFETCH(QString, level);
        QFETCH(int, zoom);
        QFETCH(double, scale);
        const auto list = places({{"富士山", "138.7274", "35.3606", "0", "2", shape, "14", level}});
        MarkerPictureCache cache;
        const QImage image = render(buildMarkers(list, cache), zoom, {138.7274, 35.3606});
        const MarkerPlace place = markerPlace(*list[0]);
        QRect box;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGreen(image.pixel(x, y)) < 128) // red or the black frame, not a smoothed edge
                    box |= QRect(x, y, 1, 1);
        QCOMPARE(box.isEmpty(), scale == 0.0);
        if (scale == 0.0 || place.kind == MarkerKind::Circle)
            return;
        // The label's frame spans its picture but the last column and the two last rows.
        const QSize picture = cache.picture(place).size();
        const QSizeF expected = QSizeF(picture.width() - 1, picture.height() - 2) * scale;
        // Smoothing may soften the frame's outer pixel.
        const double slack = std::max(1.0, scale);
        QVERIFY2(std::abs(box.width() - expected.width()) <= slack &&
                     std::abs(box.height() - expected.height()) <= slack,
                 qPrintable(QStringLiteral("%1 x %2").arg(box.width()).arg(box.height())));
        // The picture is centred on the place, so the frame sits half a column and one row up.
        const QPointF centre = QPointF(300, 200) - QPointF(0.5, 1.0) * scale;
        QVERIFY2(std::abs(box.center().x() - centre.x()) <= slack &&
                     std::abs(box.center().y() - centre.y()) <= slack,
                 qPrintable(QStringLiteral("%1, %2").arg(box.center().x()).arg(box.center().y())));
    }

    void sizeLimits()
    {
        const QFont font(QStringLiteral("IPAゴシック"), 14);
        const auto size = [&](int p) { return markerPointSize(font, p); };
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
        row("castle.png.old", "castle\\.png\\.old");
        row("姫路城", "姫路城\\.png");
        row("a_b", "a_b\\.png");
        row("a/b", "a_b-[0-9a-f]{6}\\.png");
        row("a:b", "a_b-[0-9a-f]{6}\\.png");
        row("", "-[0-9a-f]{6}\\.png");
        row("..", "_-[0-9a-f]{6}\\.png");
        row("../mivaromap.ini", "__mivaromap\\.ini-[0-9a-f]{6}\\.png");
        row("a<b>c:d\"e|f?g*h\\i", "a_b_c_d_e_f_g_h_i-[0-9a-f]{6}\\.png");
        row(QString("tab\tnl\ndel") + QChar(0x7f), "tab_nl_del_-[0-9a-f]{6}\\.png");
        row(QString("us") + QChar(0x1f) + "c1" + QChar(0x9f) + "nbsp" + QChar(0xa0),
            "us_c1_nbsp\u00a0-[0-9a-f]{6}\\.png");
        // Names that could meet another's file: "x" has x.png, a hashed name its look.
        row("x.png", "x-[0-9a-f]{6}\\.png");
        row("a_b-3f9c2e", "a_b-3f9c2e-[0-9a-f]{6}\\.png");
        // Cut to fit the file system's 255 bytes, with room for the writer's temporary name.
        QTest::newRow("300 kanji") << QString(300, QChar(0x57ce)) << "城{76}-[0-9a-f]{6}\\.png";
    }
    // The name maps to one plain file, and writing it never leaves image/.
    void fileNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, file);
        const QString made = markerFileName(name);
        QVERIFY2(QRegularExpression("^" + file + "$").match(made).hasMatch(), qPrintable(made));
        QCOMPARE(markerFileName(name), made); // stable
        ProgramDirScope dir;
        const QFileInfo info(MivaroMapUtil::saveMarkerImage(QImage(":/icons/siro16.png"), name));
        QVERIFY(info.isFile());
        QCOMPARE(info.fileName(), made);
        QCOMPARE(info.canonicalPath(), QDir(dir.file("image")).canonicalPath());
    }

    void differentNamesDifferentFiles()
    {
        const QStringList names{"a/b", "a_b",   "a:b",        "",  "..",
                                "x",   "x.png", "a_b-3f9c2e", "_", "-"};
        QSet<QString> files;
        for (const QString& name : names)
            files.insert(markerFileName(name));
        QCOMPARE(files.size(), names.size());
    }

    // The picture files' own encoder: whatever the pixels, a PNG decoder
    // (which checks both checksums) gives them back exactly.
    void encoderKeepsEveryPixel_data()
    {
        QTest::addColumn<QImage>("image");
        QRandomGenerator random(7);
        const auto made = [](int w, int h, const std::function<QRgb(int, int)>& pixel) {
            QImage image(w, h, QImage::Format_ARGB32);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    image.setPixel(x, y, pixel(x, y));
            return image;
        };
        QTest::newRow("one pixel") << made(1, 1, [](int, int) { return qRgba(1, 200, 3, 4); });
        // Every byte value, no repeats to find: all literals, both code lengths.
        QTest::newRow("noise") << made(61, 47, [&](int, int) { return random.generate(); });
        // Runs far longer than one match, across rows.
        QTest::newRow("flat") << made(300, 5, [](int, int) { return qRgba(9, 9, 9, 255); });
        // Repeats of the pixel and of the row before, with a long distance.
        QTest::newRow("gradient rows")
            << made(2000, 6, [](int x, int) { return qRgba(x & 255, (x * 3) & 255, 17, 255); });
        // Rows one byte further apart than a match may reach.
        QTest::newRow("wider than the window")
            << made(8192, 3, [](int x, int y) { return qRgba((x / 7) & 255, y, 0, 128); });
        QTest::newRow("stripes") << made(33, 33, [](int x, int y) {
            return (x + y) % 3 ? qRgba(0, 0, 0, 0) : qRgba(255, 255, 255, 255);
        });
    }
    void encoderKeepsEveryPixel()
    {
        QFETCH(QImage, image);
        const QByteArray png = encodeMarkerPng(image);
        QImage decoded;
        QVERIFY(decoded.loadFromData(png, "PNG"));
        QCOMPARE(decoded.convertToFormat(QImage::Format_ARGB32), image);
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
    }

    void labelLimits_data()
    {
        QTest::addColumn<int>("pointSize");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("drawnAt");
        QTest::addColumn<bool>("cut");
        QTest::newRow("usual") << 14 << 5 << 14 << false;
        QTest::newRow("200 points") << 200 << 2 << 200 << false;
        QTest::newRow("400 points") << 400 << 2 << 200 << false;
        QTest::newRow("long name") << 14 << 1000 << 14 << true;
        QTest::newRow("long and huge") << 400 << 40 << 200 << true;
    }
    // Huge sizes are drawn at 200 points and at most 4 096 px wide, the name
    // cut with "…"; the place keeps its fields as written.
    void labelLimits()
    {
        QFETCH(int, pointSize);
        QFETCH(int, length);
        QFETCH(int, drawnAt);
        QFETCH(bool, cut);
        const QString name(length, QChar(0x57ce));
        const PlaceList list =
            places({{name, "135", "35", "0", "1", "Image", QString::number(pointSize)}});
        MarkerPictureCache cache;
        cache.beginRefresh();
        const QImage image = cache.picture(markerPlace(*list[0]));
        QFont font = AppSettings::instance().textFont;
        font.setPointSize(drawnAt);
        const QFontMetrics metrics(font, &image);
        QCOMPARE(image.height(), metrics.height() + 2);
        QVERIFY(image.width() <= 4096);
        const QString shown = labelText(name, metrics);
        QCOMPARE(shown.endsWith(QChar(0x2026)), cut);
        QCOMPARE(image.width(), metrics.horizontalAdvance(shown) + 7);
        QCOMPARE(list[0]->font, QString::number(pointSize));
        QCOMPARE(list[0]->name, name);
    }

    void circleIsTheReferencePicture_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("pointSize");
        QTest::addColumn<int>("radius");
        QTest::addColumn<bool>("icon");
        QTest::newRow("usual") << "姫路城" << 14 << 50 << true;
        QTest::newRow("no icon") << "姫路城" << 11 << 50 << false;
        QTest::newRow("wider than the disc") << "根室半島チャシ跡群と長い名前" << 14 << 50 << true;
        QTest::newRow("text below the disc") << "gjpqy城" << 30 << 20 << true;
        QTest::newRow("huge text") << "城" << 200 << 50 << true;
    }
    // The circle made of a shared disc and the rows of its name, on the map
    // and in its file, is the reference picture drawn in one go.
    void circleIsTheReferencePicture()
    {
        QFETCH(QString, name);
        QFETCH(int, pointSize);
        QFETCH(int, radius);
        QFETCH(bool, icon);
        const QFont font = AppSettings::instance().textFont;
        const QImage reference = referenceCircle(name, Blue, font, radius, pointSize, icon);
        QCOMPARE(drawCirclePicture(name, Blue, font, radius, pointSize, icon), reference);

        AppSettings::instance().radius = radius;
        AppSettings::instance().siroIcon = icon;
        const PlaceList list =
            places({{name, "135", "35", "199", "1", "Circle", QString::number(pointSize), "10"}});
        MarkerPictureCache cache;
        const MarkerGeometries markers = buildMarkers(list, cache);
        QImage expected(600, 400, QImage::Format_ARGB32_Premultiplied);
        expected.fill(Qt::white);
        QPainter painter(&expected);
        painter.drawPixmap(300 - radius, 200 - radius, QPixmap::fromImage(reference));
        painter.end();
        QCOMPARE(render(markers, 10, {135, 35}), expected);

        QImage decoded;
        QVERIFY(decoded.loadFromData(
            markerFileBytes(MarkerStyle::fromSettings(), {name, Blue.rgba(), 0, pointSize, true})));
        QCOMPARE(decoded.convertToFormat(QImage::Format_ARGB32), reference);
    }

    // Pictures are drawn as they come into view and kept within the bound;
    // an evicted one is drawn again to the same pixels.
    void cacheKeepsItsBound()
    {
        const PlaceList list = randomPlaces(50000);
        MarkerPictureCache cache;
        cache.setLimit(2 << 20);
        const MarkerGeometries markers = buildMarkers(list, cache);
        QCOMPARE(cache.picturesDrawn(), 0);
        const QImage first = render(markers, 9, {139.7, 35.7});
        const int drawn = cache.picturesDrawn();
        QVERIFY(drawn > 100);
        for (const QPointF& at : {QPointF(135.5, 34.7), QPointF(141.3, 43.1), QPointF(130.4, 33.6),
                                  QPointF(136.9, 35.2)}) {
            render(markers, 9, at);
            QVERIFY(cache.pictureBytes() <= cache.limit());
        }
        QVERIFY(cache.pictureBytes() > cache.limit() / 2);
        QCOMPARE(render(markers, 9, {139.7, 35.7}), first);
        QVERIFY(cache.picturesDrawn() > drawn + 100); // drawn again after eviction
    }

    // Of four labels, each alone in its view, a cache room for three keeps
    // the three last shown, not the three first drawn.
    void cacheDropsTheLeastRecentlyShown()
    {
        const PlaceList list = places({{"城1", "130", "31", "0", "1", "Image", "14"},
                                       {"城2", "134", "33", "0", "2", "Image", "14"},
                                       {"城3", "138", "35", "0", "3", "Image", "14"},
                                       {"城4", "142", "40", "0", "4", "Image", "14"}});
        MarkerPictureCache cache;
        const MarkerGeometries markers = buildMarkers(list, cache);
        const auto show = [&](int i) {
            render(markers, 10, {list[i]->x.toDouble(), list[i]->y.toDouble()});
            return cache.picturesDrawn();
        };
        QCOMPARE(show(0), 1);
        const qint64 one = cache.pictureBytes();
        cache.setLimit(3 * one);
        QCOMPARE(show(1), 2);
        QCOMPARE(show(2), 3);
        QCOMPARE(show(0), 3);
        QCOMPARE(cache.pictureBytes(), 3 * one);
        QCOMPARE(show(3), 4); // the second goes
        QCOMPARE(cache.pictureCount(), 3);
        QCOMPARE(show(0), 4);
        QCOMPARE(show(2), 4);
        QCOMPARE(show(1), 5);
    }

    void placeOfASharedNameGetsItsOwnPicture_data()
    {
        QTest::addColumn<QString>("color");
        QTest::addColumn<QString>("font");
        QTest::newRow("another back colour") << "6"
                                             << "14";
        QTest::newRow("another text colour") << "5"
                                             << "14";
        QTest::newRow("another size") << "0"
                                      << "12";
    }
    // Two places whose name is one string, with a cache room for one of
    // them: each is drawn with its own picture, also after the other took
    // the room its picture had.
    void placeOfASharedNameGetsItsOwnPicture()
    {
        QFETCH(QString, color);
        QFETCH(QString, font);
        // Class 0 is red on yellow.
        AppSettings::instance().classBack[5] = Red;
        AppSettings::instance().classFore[5] = Qt::white;
        AppSettings::instance().classBack[6] = Blue;
        AppSettings::instance().classFore[6] = Yellow;
        PlaceList list = places({{"城", "135", "35", "0", "1", "Image", "14"},
                                 {"", "140", "38", color, "1", "Image", font}});
        list[1]->name = list[0]->name;
        const auto show = [&](const MarkerGeometries& markers, int i) {
            return render(markers, 10, {list[i]->x.toDouble(), list[i]->y.toDouble()});
        };
        MarkerPictureCache roomy;
        const MarkerGeometries reference = buildMarkers(list, roomy);
        const QImage first = show(reference, 0);
        const qint64 firstBytes = roomy.pictureBytes();
        const QImage second = show(reference, 1);
        QVERIFY(second != first);

        MarkerPictureCache cache;
        cache.setLimit(std::max(firstBytes, roomy.pictureBytes() - firstBytes));
        const MarkerGeometries markers = buildMarkers(list, cache);
        for (int round = 0; round < 2; ++round) {
            QCOMPARE(show(markers, 0), first);
            QCOMPARE(show(markers, 1), second);
        }
        QCOMPARE(cache.picturesDrawn(), 4);
    }

    // Which picture keeps its place where two would overlap.
    void placementPriority_data()
    {
        QTest::addColumn<QStringList>("first");
        QTest::addColumn<QStringList>("second");
        QTest::addColumn<bool>("firstWins");
        const auto row = [](const char* name, QStringList a, QStringList b, bool firstWins) {
            QTest::newRow(name) << a << b << firstWins;
        };
        row("earlier in the list", {"3", "Image", "10"}, {"3", "Image", "10"}, true);
        row("lower class", {"5", "Image", "10"}, {"3", "Circle", "10"}, false);
        row("class 0 last", {"0", "Image", "10"}, {"7", "Image", "10"}, false);
        row("class 0 after 199", {"0", "Image", "10"}, {"199", "Image", "10"}, false);
        row("lower level before class", {"1", "Image", "10"}, {"9", "Scaled", "5"}, false);
        row("scaled from its level", {"1", "Scaled", "12"}, {"9", "Scaled", "11"}, false);
    }
    void placementPriority()
    {
        QFETCH(QStringList, first);
        QFETCH(QStringList, second);
        const PlaceList list =
            places({{"a", "135", "35", first[0], "2", first[1], "12", first[2]},
                    {"b", "135", "35", second[0], "1", second[1], "12", second[2]}});
        MarkerPictureCache cache;
        const MarkerGeometries m = buildMarkers(list, cache);
        const auto priority = [](const std::shared_ptr<qmapcontrol::Geometry>& g) {
            return static_cast<const qmapcontrol::GeometryPoint&>(*g).placementPriority();
        };
        QTEST(priority(m[1][0]) < priority(m[0][0]), "firstWins");
    }

    // A circle's name and icon count; the soft rest of its disc does not.
    void circleCountsByIconAndName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("icon");
        QTest::newRow("short") << "城" << true;
        QTest::newRow("long, no icon") << "とても長い名前の城跡と館跡" << false;
    }
    void circleCountsByIconAndName()
    {
        QFETCH(QString, name);
        QFETCH(bool, icon);
        AppSettings::instance().siroIcon = icon;
        const MarkerStyle style = MarkerStyle::fromSettings();
        const QFontMetrics metrics = markerMetrics(style.font, 14);
        const QRect solid = circleSolidRect(name, metrics, 50, icon);
        const QImage bare = circleBase(Red, 50, false);
        const QImage whole = drawCirclePicture(name, Red, style.font, 50, 14, icon);
        QCOMPARE(whole.size(), QSize(100, 100));
        // Every pixel that the name or the icon changes lies inside.
        int inside = 0;
        for (int y = 0; y < 100; ++y) {
            for (int x = 0; x < 100; ++x) {
                if (whole.pixel(x, y) == bare.pixel(x, y))
                    continue;
                QVERIFY2(solid.contains(x, y), qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
                ++inside;
            }
        }
        QVERIFY(inside > 20);
        QVERIFY(solid.height() < 50);
    }

    // Switched off, a refresh leaves the picture folder alone.
    void noFilesWhileSwitchedOff()
    {
        ProgramDirScope dir;
        const PlaceList list = places({{"姫路城", "1", "1", "0", "1", "Image", "14"}});
        AppSettings::instance().markerFiles = false;
        MarkerPictureCache cache;
        buildMarkers(list, cache);
        cache.flushFiles();
        QVERIFY(!QFileInfo::exists(dir.file("image")));
        AppSettings::instance().markerFiles = true;
        buildMarkers(list, cache);
        cache.flushFiles();
        QVERIFY(QFileInfo::exists(dir.file("image/姫路城.png")));
    }

    // The worker writes what the GUI thread would, and only what changed.
    void filesFollowTheList()
    {
        ProgramDirScope dir;
        const PlaceList list = places({{"姫路城", "1", "1", "0", "3", "Circle", "14"},
                                       {"大坂城", "1", "1", "199", "1", "Image", "14"},
                                       {"a/b", "1", "1", "0", "1", "Scaled", "11"},
                                       {"大坂城", "2", "2", "0", "1", "Image", "12"}});
        const QString folder = dir.file("image");
        const QStringList files = {folder + "/姫路城.png", folder + "/大坂城.png",
                                   folder + "/" + markerFileName("a/b")};
        const QDateTime longAgo(QDate(2020, 1, 2), QTime(3, 4, 5));
        const auto kept = [&](int i) { return QFileInfo(files[i]).lastModified() == longAgo; };
        MarkerPictureCache cache;
        QSignalSpy progress(&cache, &MarkerPictureCache::filesProgress);
        QSignalSpy done(&cache, &MarkerPictureCache::filesDone);
        buildMarkers(list, cache);
        QVERIFY(done.wait(5000)); // written behind the scenes, without being asked
        QCOMPARE(progress.first(), QVariantList({0, 3}));
        QCOMPARE(progress.last(), QVariantList({3, 3}));
        QCOMPARE(cache.filesWritten(), 3);
        // Byte for byte what the GUI thread makes; of two places of one name, the later one's.
        const MarkerStyle style = MarkerStyle::fromSettings();
        const QList<MarkerPicture> pictures{{"姫路城", Red.rgba(), 0, 14, true},
                                            {"大坂城", Red.rgba(), Yellow.rgba(), 12, false},
                                            {"a/b", Red.rgba(), Yellow.rgba(), 11, false}};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(readAll(files[i]), markerFileBytes(style, pictures[i]));
            QCOMPARE(QImage(files[i]).convertToFormat(QImage::Format_ARGB32),
                     drawMarkerPicture(style, pictures[i]));
            setModified(files[i], longAgo);
        }

        // Nothing drawn or written again for an unchanged list, even by a new run.
        progress.clear();
        buildMarkers(list, cache);
        cache.flushFiles();
        MarkerPictureCache restarted;
        QSignalSpy restartedProgress(&restarted, &MarkerPictureCache::filesProgress);
        buildMarkers(list, restarted);
        restarted.flushFiles();
        QCOMPARE(progress.last(), QVariantList({0, 0}));
        QCOMPARE(restartedProgress.last(), QVariantList({0, 0}));
        QVERIFY(kept(0) && kept(1) && kept(2));
        // A file deleted behind the program's back comes again.
        QFile::remove(files[0]);
        buildMarkers(list, cache);
        cache.flushFiles();
        QVERIFY(QFileInfo::exists(files[0]) && kept(1) && kept(2));
        // The icon touches the circles only.
        setModified(files[0], longAgo);
        AppSettings::instance().siroIcon = false;
        buildMarkers(list, cache);
        cache.flushFiles();
        QCOMPARE(progress.last(), QVariantList({1, 1}));
        QVERIFY(!kept(0) && kept(1) && kept(2));

        // A folder that cannot be made is told, with the system's reason; the
        // map keeps its pictures.
        QVERIFY(QDir(folder).removeRecursively());
        writeAll(folder, "not a folder");
        QSignalSpy failed(&cache, &MarkerPictureCache::fileFailed);
        const MarkerGeometries m = buildMarkers(list, cache);
        cache.flushFiles();
        QCOMPARE(failed.count(), 1);
        QVERIFY(failed.first().at(0).toString().startsWith(folder));
        QVERIFY(!failed.first().at(1).toString().isEmpty());
        QCOMPARE(cache.fileFailures(), 3);
        QCOMPARE(static_cast<qmapcontrol::GeometryPointImage*>(m[2].at(0).get())->image().toImage(),
                 QPixmap::fromImage(drawMarkerPicture(MarkerStyle::fromSettings(), pictures[0]))
                     .toImage());
    }
};

QTEST_MAIN(TestMarkers)
#include "tst_markers.moc"
