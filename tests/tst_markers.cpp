#include "map/markerfiles.h"
#include "map/markerpictures.h"
#include "map/markers.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "testsupport.h"
#include "widgets/mivaromaputil.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QSignalSpy>
#include <QtTest>

#include <climits>

namespace {

const QColor Red(200, 30, 30);
const QColor Yellow(250, 240, 20);
const QColor Blue(20, 40, 220);

std::unique_ptr<PlaceRecord> place(const QString& name, const QString& shape,
                                   const QString& color = "0", const QString& layer = "1",
                                   const QString& x = "135.0", const QString& y = "35.0",
                                   const QString& level = "10")
{
    auto record = std::make_unique<PlaceRecord>();
    record->name = name;
    record->x = x;
    record->y = y;
    record->color = color;
    record->layer = layer;
    record->shape = shape;
    record->font = "14";
    record->level = level;
    return record;
}

QDateTime longAgo()
{
    return QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5));
}

// Equal colour channels, give or take the rounding of partly clear pixels.
bool sameRgb(const QColor& a, const QColor& b)
{
    return qAbs(a.red() - b.red()) <= 2 && qAbs(a.green() - b.green()) <= 2 &&
           qAbs(a.blue() - b.blue()) <= 2;
}

QImage fileImage(const QString& path)
{
    return QImage(path).convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class TestMarkers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void layerIndex_data();
    void layerIndex();
    void kindAndZoom_data();
    void kindAndZoom();
    void fileName_data();
    void fileName();
    void hostileNamesStayInFolder();

    void labelPicture();
    void circlePicture_data();
    void circlePicture();
    void circleIcon();
    void classOutOfRange();

    void geometriesFollowTheList();
    void unchangedRefreshWritesNothing();
    void sameNameKeepsTheLaterPicture();
    void pictureWithoutWritableFolder();
    void hiddenLayerStaysHidden();
};

void TestMarkers::initTestCase()
{
    initMivaroMapResources();
}

void TestMarkers::init()
{
    AppSettings& s = AppSettings::instance();
    s.textFont = QFont(QStringLiteral("IPAゴシック"));
    s.textFont.setPointSize(14);
    s.radius = 50;
    s.siroIcon = true;
    s.classBack = QVector<QColor>(AppSettings::ClassCount, QColor(128, 128, 128));
    s.classFore = QVector<QColor>(AppSettings::ClassCount, QColor(255, 255, 255));
    s.classBack[0] = Red;
    s.classFore[0] = Yellow;
    s.classBack[199] = Blue;
}

void TestMarkers::layerIndex_data()
{
    QTest::addColumn<QString>("layer");
    QTest::addColumn<int>("index");
    QTest::newRow("1") << "1" << 0;
    QTest::newRow("5") << "5" << 4;
    QTest::newRow("9") << "9" << 8;
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("-3") << "-3" << 0;
    QTest::newRow("12") << "12" << 8;
    QTest::newRow("abc") << "abc" << 0;
    QTest::newRow("empty") << "" << 0;
}

void TestMarkers::layerIndex()
{
    QFETCH(QString, layer);
    QFETCH(int, index);
    QCOMPARE(markerLayerIndex(layer), index);
}

void TestMarkers::kindAndZoom_data()
{
    QTest::addColumn<QString>("shape");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("zoomMin");
    QTest::newRow("Image") << "Image" << int(MarkerKind::Label) << 9;
    QTest::newRow("Circle") << "Circle" << int(MarkerKind::Circle) << 9;
    QTest::newRow("Scaled") << "Scaled" << int(MarkerKind::ScaledLabel) << 0;
    QTest::newRow("image") << "image" << int(MarkerKind::ScaledLabel) << 0;
    QTest::newRow("CIRCLE") << "CIRCLE" << int(MarkerKind::ScaledLabel) << 0;
    QTest::newRow("empty") << "" << int(MarkerKind::ScaledLabel) << 0;
}

void TestMarkers::kindAndZoom()
{
    QFETCH(QString, shape);
    QFETCH(int, kind);
    QFETCH(int, zoomMin);
    QCOMPARE(int(markerKind(shape)), kind);
    QCOMPARE(markerZoomMinimum(markerKind(shape)), zoomMin);
}

void TestMarkers::fileName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("file");
    QTest::newRow("plain") << "姫路城"
                           << "姫路城.png";
    QTest::newRow("contains .png") << "castle.png.old"
                                   << "castle.png.old";
    QTest::newRow("ends .png") << "castle.png"
                               << "castle.png";
    QTest::newRow("upper case PNG") << "castle.PNG"
                                    << "castle.PNG.png";
    QTest::newRow("slash") << "a/b"
                           << "a_b.png";
    QTest::newRow("climbing") << "../mivaromap.ini"
                              << "__mivaromap.ini.png";
    QTest::newRow("backslash climbing") << "..\\..\\x"
                                        << "____x.png";
    QTest::newRow("forbidden") << "a<b>c:d\"e|f?g*h"
                               << "a_b_c_d_e_f_g_h.png";
    QTest::newRow("control") << QString("tab\tnl\ndel") + QChar(0x7f) << "tab_nl_del_.png";
    QTest::newRow("dot run") << "..."
                             << "_..png";
    QTest::newRow("dot dot png") << "..png"
                                 << "_png.png";
    QTest::newRow("single dots kept") << "a.b.c"
                                      << "a.b.c.png";
}

void TestMarkers::fileName()
{
    QFETCH(QString, name);
    QFETCH(QString, file);
    QCOMPARE(markerFileName(name), file);
}

void TestMarkers::hostileNamesStayInFolder()
{
    ProgramDirScope dir;
    writeAll(dir.file("mivaromap.ini"), "keep");
    const QStringList names = {"../mivaromap.ini", "../../etc/x", "/tmp/abs", "..", ".",
                               "a/../../b",        "image/..",    "..\\..\\y"};
    for (const QString& name : names) {
        bool written = false;
        const QString path =
            MivaroMapUtil::saveMarkerImage(QImage(4, 4, QImage::Format_ARGB32), name, &written);
        QVERIFY2(written, qPrintable(name));
        const QFileInfo info(path);
        QVERIFY2(info.isFile(), qPrintable(name));
        QCOMPARE(info.absoluteDir().canonicalPath(), QDir(dir.file("image")).canonicalPath());
    }
    QCOMPARE(readAll(dir.file("mivaromap.ini")), QByteArray("keep"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList({"image", "mivaromap.ini"}));
}

void TestMarkers::labelPicture()
{
    ProgramDirScope dir;
    const QString name = QStringLiteral("■姫路城");
    QImage image;
    const QString path = MivaroMapUtil::makeLabelImage(name, 0, 20, &image);
    QCOMPARE(path, dir.file("image/■姫路城.png"));

    QFont font = AppSettings::instance().textFont;
    font.setPointSize(20);
    const QFontMetrics metrics(font, &image);
    const int w = metrics.horizontalAdvance(name) + 7;
    const int h = metrics.height();
    QCOMPARE(image.size(), QSize(w, h + 2));
    QCOMPARE(fileImage(path), image);

    // Black frame around a box in the back colour, the last row left clear.
    QCOMPARE(image.pixelColor(0, 0), QColor(Qt::black));
    QCOMPARE(image.pixelColor(w - 1, h), QColor(Qt::black));
    QCOMPARE(image.pixelColor(1, 1), Red);
    QCOMPARE(image.pixelColor(w - 2, h / 2), Red);
    for (int x = 0; x < w; ++x)
        QCOMPARE(image.pixelColor(x, h + 1).alpha(), 0);
    // The whole text height shows inside the box, none of it cut off.
    int inkRows = 0;
    for (int y = 1; y < h; ++y) {
        bool ink = false;
        for (int x = 2; x < w - 2; ++x)
            ink = ink || image.pixelColor(x, y) != Red;
        inkRows += ink ? 1 : 0;
    }
    QVERIFY(inkRows >= metrics.tightBoundingRect(name).height() - 1);
    // The filled square glyph shows the text colour.
    bool foreSeen = false;
    for (int x = 4; x < 4 + metrics.horizontalAdvance(QStringLiteral("■")); ++x)
        foreSeen = foreSeen || image.pixelColor(x, h / 2) == Yellow;
    QVERIFY(foreSeen);
}

void TestMarkers::circlePicture_data()
{
    QTest::addColumn<int>("radius");
    QTest::addColumn<int>("side");
    QTest::newRow("50") << 50 << 100;
    QTest::newRow("30") << 30 << 60;
    QTest::newRow("0 keeps a pixel") << 0 << 2;
}

void TestMarkers::circlePicture()
{
    QFETCH(int, radius);
    QFETCH(int, side);
    ProgramDirScope dir;
    QImage image;
    const QString path = MivaroMapUtil::makeCircleImage("姫路城", 199, radius, 14, &image);
    QCOMPARE(image.size(), QSize(side, side));
    QCOMPARE(fileImage(path), image);
    if (radius < 50)
        return;
    QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
    QCOMPARE(image.pixelColor(side - 1, side - 1).alpha(), 0);
    // Inside the disc the class colour fades out towards the rim.
    const QColor inner = image.pixelColor(radius, radius - 12);
    QVERIFY(sameRgb(inner, Blue));
    QVERIFY(inner.alpha() > image.pixelColor(radius, 2).alpha());
    // The name below the centre, in black.
    bool blackSeen = false;
    for (int y = radius + 6; y < side && !blackSeen; ++y)
        for (int x = 0; x < side; ++x)
            blackSeen = blackSeen || image.pixelColor(x, y) == QColor(Qt::black);
    QVERIFY(blackSeen);
}

void TestMarkers::circleIcon()
{
    const QFont& font = AppSettings::instance().textFont;
    const QImage with = drawCirclePicture("姫路城", Blue, font, 50, 14, true);
    const QImage without = drawCirclePicture("姫路城", Blue, font, 50, 14, false);
    QVERIFY(!QImage(":/icons/siro16.png").isNull());
    // The icon covers the 16 x 16 square on the centre and nothing else.
    const QRect square(42, 42, 16, 16);
    QVERIFY(with.copy(square) != without.copy(square));
    QImage a = with;
    QImage b = without;
    for (int y = square.top(); y <= square.bottom(); ++y)
        for (int x = square.left(); x <= square.right(); ++x) {
            a.setPixel(x, y, 0);
            b.setPixel(x, y, 0);
        }
    QCOMPARE(a, b);
}

void TestMarkers::classOutOfRange()
{
    QCOMPARE(markerBackColor(0), Red);
    QCOMPARE(markerForeColor(0), Yellow);
    for (int c : {-1, 200, 250, INT_MAX}) {
        QCOMPARE(markerBackColor(c), QColor(128, 128, 128));
        QCOMPARE(markerForeColor(c), QColor(255, 255, 255));
    }
    ProgramDirScope dir;
    QImage image;
    MivaroMapUtil::makeLabelImage("x", 250, 14, &image);
    QCOMPARE(image.pixelColor(1, 1), QColor(128, 128, 128));
    // A class that is not a number is class 0.
    QCOMPARE(markerPlace(*place("x", "Image", "abc")).colorClass, 0);
}

void TestMarkers::geometriesFollowTheList()
{
    using namespace qmapcontrol;
    ProgramDirScope dir;
    PlaceList list;
    list.push_back(place("姫路城", "Image", "0", "3", "134.6939", "34.8394"));
    list.push_back(place("", "Circle"));
    list.push_back(place("大坂城", "Circle", "199", "12", "x", "34.687"));
    list.push_back(place("江戸城", "image", "0", "abc", "139.75", "35.68", "11"));
    MarkerPictureCache cache;
    const MarkerGeometries markers = buildMarkers(list, cache);

    QCOMPARE(markers[2].size(), size_t(1));
    QCOMPARE(markers[8].size(), size_t(1));
    QCOMPARE(markers[0].size(), size_t(1));
    QCOMPARE(markers[1].size() + markers[3].size() + markers[4].size() + markers[5].size() +
                 markers[6].size() + markers[7].size(),
             size_t(0));

    auto* himeji = dynamic_cast<GeometryPointImage*>(markers[2][0].get());
    QVERIFY(himeji && !dynamic_cast<GeometryPointImageScaled*>(himeji));
    QCOMPARE(himeji->metadata("name").toString(), QString("姫路城"));
    QCOMPARE(himeji->coord(), PointWorldCoord(134.6939, 34.8394));
    QCOMPARE(himeji->zoomMinimum(), 9);
    QCOMPARE(himeji->zoomMaximum(), 17);
    QVERIFY(!himeji->image().isNull());

    auto* osaka = dynamic_cast<GeometryPointImage*>(markers[8][0].get());
    QVERIFY(osaka);
    QCOMPARE(osaka->coord(), PointWorldCoord(0.0, 34.687));
    QCOMPARE(osaka->image().size(), QSize(100, 100));

    auto* edo = dynamic_cast<GeometryPointImageScaled*>(markers[0][0].get());
    QVERIFY(edo);
    QCOMPARE(edo->baseZoom(), 11);
    QCOMPARE(edo->zoomMinimum(), 0);
    QCOMPARE(edo->metadata("name").toString(), QString("江戸城"));

    cache.flushFiles();
    QCOMPARE(QDir(dir.file("image")).entryList(QDir::Files).size(), 3);
    QCOMPARE(fileImage(dir.file("image/姫路城.png")),
             himeji->image().toImage().convertToFormat(QImage::Format_ARGB32));
}

void TestMarkers::unchangedRefreshWritesNothing()
{
    ProgramDirScope dir;
    PlaceList list;
    list.push_back(place("姫路城", "Circle", "0"));
    list.push_back(place("大坂城", "Image", "199"));
    list.push_back(place("江戸城", "Scaled", "5"));
    const QStringList files = {"image/姫路城.png", "image/大坂城.png", "image/江戸城.png"};
    auto stamps = [&] {
        QList<QDateTime> result;
        for (const QString& f : files)
            result << QFileInfo(dir.file(f)).lastModified();
        return result;
    };

    MarkerPictureCache cache;
    QSignalSpy done(&cache, &MarkerPictureCache::filesDone);
    buildMarkers(list, cache);
    QCOMPARE(cache.pendingFiles(), 3);
    QVERIFY(done.wait(5000)); // written while idle, without being asked
    QCOMPARE(cache.filesWritten(), 3);
    for (const QString& f : files)
        setModified(dir.file(f), longAgo());

    // The same cache: nothing drawn, nothing queued.
    buildMarkers(list, cache);
    QCOMPARE(cache.picturesDrawn(), 3);
    QCOMPARE(cache.pendingFiles(), 0);

    // A new run compares with the disk and leaves equal files alone.
    MarkerPictureCache restarted;
    buildMarkers(list, restarted);
    restarted.flushFiles();
    QCOMPARE(restarted.filesWritten(), 0);
    QCOMPARE(stamps(), QList<QDateTime>({longAgo(), longAgo(), longAgo()}));
    MivaroMapUtil::makeLabelImage("大坂城", 199, 14);
    QCOMPARE(QFileInfo(dir.file(files[1])).lastModified(), longAgo());

    // A class colour change redraws and rewrites just the places of that class.
    AppSettings::instance().classBack[199] = QColor(0, 128, 0);
    buildMarkers(list, cache);
    QCOMPARE(cache.picturesDrawn(), 4);
    cache.flushFiles();
    QCOMPARE(cache.filesWritten(), 4);
    const QList<QDateTime> after = stamps();
    QCOMPARE(after[0], longAgo());
    QVERIFY(after[1] != longAgo());
    QCOMPARE(after[2], longAgo());
    QCOMPARE(cache.pictureCount(), 3);

    // A change taken back before its file was written leaves the file alone;
    // a file deleted behind the program's back comes again.
    AppSettings::instance().classBack[199] = Blue;
    buildMarkers(list, cache);
    QCOMPARE(cache.pendingFiles(), 1);
    AppSettings::instance().classBack[199] = QColor(0, 128, 0);
    buildMarkers(list, cache);
    QCOMPARE(cache.pendingFiles(), 0);
    QFile::remove(dir.file(files[2]));
    buildMarkers(list, cache);
    QCOMPARE(cache.pendingFiles(), 1);
    cache.flushFiles();
    QVERIFY(QFileInfo::exists(dir.file(files[2])));

    // So do the font and the settings of the circles.
    AppSettings::instance().siroIcon = false;
    buildMarkers(list, cache);
    QCOMPARE(cache.pendingFiles(), 1);
    AppSettings::instance().textFont.setPointSize(20);
    buildMarkers(list, cache);
    QCOMPARE(cache.pendingFiles(), 3);
}

void TestMarkers::sameNameKeepsTheLaterPicture()
{
    ProgramDirScope dir;
    PlaceList list;
    list.push_back(place("城", "Image", "0"));
    list.push_back(place("城", "Image", "199"));
    MarkerPictureCache cache;
    const MarkerGeometries markers = buildMarkers(list, cache);
    const auto picture = [&](int i) {
        return static_cast<qmapcontrol::GeometryPointImage*>(markers[0][i].get())
            ->image()
            .toImage()
            .convertToFormat(QImage::Format_ARGB32);
    };
    QCOMPARE(picture(0).pixelColor(1, 1), Red);
    QCOMPARE(picture(1).pixelColor(1, 1), Blue);
    cache.flushFiles();
    QCOMPARE(cache.filesWritten(), 1);
    QCOMPARE(fileImage(dir.file("image/城.png")).pixelColor(1, 1), Blue);
    buildMarkers(list, cache);
    QCOMPARE(cache.pendingFiles(), 0);
}

void TestMarkers::pictureWithoutWritableFolder()
{
    ProgramDirScope dir;
    writeAll(dir.file("image"), "not a folder");
    bool written = true;
    MivaroMapUtil::saveMarkerImage(QImage(4, 4, QImage::Format_ARGB32), "x", &written);
    QVERIFY(!written);

    PlaceList list;
    list.push_back(place("姫路城", "Circle"));
    MarkerPictureCache cache;
    const MarkerGeometries markers = buildMarkers(list, cache);
    cache.flushFiles();
    QCOMPARE(cache.fileFailures(), 1);
    const auto* geometry = static_cast<qmapcontrol::GeometryPointImage*>(markers[0][0].get());
    QCOMPARE(geometry->image().size(), QSize(100, 100));
    // Asked again on the next refresh.
    buildMarkers(list, cache);
    QCOMPARE(cache.pendingFiles(), 1);
}

void TestMarkers::hiddenLayerStaysHidden()
{
    ProgramDirScope dir;
    std::vector<std::shared_ptr<qmapcontrol::LayerGeometry>> layers;
    for (int n = 1; n <= MarkerLayerCount; ++n)
        layers.push_back(
            std::make_shared<qmapcontrol::LayerGeometry>(QString("Layer %1").arg(n), 0, 17));
    layers[1]->setVisible(false);
    PlaceList list;
    list.push_back(place("姫路城", "Image", "0", "2"));
    list.push_back(place("大坂城", "Image", "0", "2"));
    MarkerPictureCache cache;
    showMarkers(layers, buildMarkers(list, cache));
    list.pop_back();
    showMarkers(layers, buildMarkers(list, cache));
    QCOMPARE(layers[1]->geometries().size(), size_t(1));
    QVERIFY(!layers[1]->isVisible());
}

QTEST_MAIN(TestMarkers)
#include "tst_markers.moc"
