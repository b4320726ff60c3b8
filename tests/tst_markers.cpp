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

using qmapcontrol::GeometryPointImage;
using qmapcontrol::GeometryPointImageScaled;

namespace {

const QColor Red(200, 30, 30);
const QColor Yellow(250, 240, 20);
const QColor Blue(20, 40, 220);

// name, x, y, color, layer, shape, font, level
PlaceList places(const QList<QStringList>& rows)
{
    PlaceList list;
    for (const QStringList& row : rows) {
        auto record = std::make_unique<PlaceRecord>();
        for (int c = 0; c < 8; ++c)
            record->field(c) = row.value(c);
        list.push_back(std::move(record));
    }
    return list;
}

const QDateTime longAgo(QDate(2020, 1, 2), QTime(3, 4, 5));

QImage fileImage(const QString& path)
{
    return QImage(path).convertToFormat(QImage::Format_ARGB32);
}

QImage picture(const std::shared_ptr<qmapcontrol::Geometry>& geometry)
{
    return static_cast<GeometryPointImage*>(geometry.get())
        ->image()
        .toImage()
        .convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class TestMarkers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initMivaroMapResources(); }
    void init();

    void placeRules_data();
    void placeRules();
    void fileName_data();
    void fileName();
    void hostileNamesStayInFolder();

    void labelPicture();
    void circlePicture();
    void classOutOfRange();

    void geometriesFollowTheList();
    void unchangedRefreshWritesNothing();
    void sameNameKeepsTheLaterPicture();
    void pictureWithoutWritableFolder();
};

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

void TestMarkers::placeRules_data()
{
    QTest::addColumn<QString>("layer");
    QTest::addColumn<QString>("shape");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("zoomMin");
    const int label = int(MarkerKind::Label);
    const int circle = int(MarkerKind::Circle);
    const int scaled = int(MarkerKind::ScaledLabel);
    QTest::newRow("layer 5, Image") << "5"
                                    << "Image" << 4 << label << 9;
    QTest::newRow("layer 0, Circle") << "0"
                                     << "Circle" << 0 << circle << 9;
    QTest::newRow("layer -3, Scaled") << "-3"
                                      << "Scaled" << 0 << scaled << 0;
    QTest::newRow("layer 12, image") << "12"
                                     << "image" << 8 << scaled << 0;
    QTest::newRow("layer abc, CIRCLE") << "abc"
                                       << "CIRCLE" << 0 << scaled << 0;
    QTest::newRow("layer 9, empty shape") << "9"
                                          << "" << 8 << scaled << 0;
}

void TestMarkers::placeRules()
{
    QFETCH(QString, layer);
    QFETCH(QString, shape);
    QFETCH(int, index);
    QFETCH(int, kind);
    QFETCH(int, zoomMin);
    const MarkerPlace p = markerPlace(*places({{"x", "", "", "", layer, shape}})[0]);
    QCOMPARE(p.layer, index);
    QCOMPARE(int(p.kind), kind);
    QCOMPARE(markerZoomMinimum(p.kind), zoomMin);
}

void TestMarkers::fileName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("file");
    QTest::newRow("plain") << "姫路城"
                           << "姫路城.png";
    QTest::newRow("contains .png") << "castle.png.old"
                                   << "castle.png.old";
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
                               "a/../../b",        "image/.."};
    for (const QString& name : names) {
        bool written = false;
        const QString path =
            MivaroMapUtil::saveMarkerImage(QImage(4, 4, QImage::Format_ARGB32), name, &written);
        QVERIFY2(written && QFileInfo(path).isFile(), qPrintable(name));
        QCOMPARE(QFileInfo(path).absoluteDir().canonicalPath(),
                 QDir(dir.file("image")).canonicalPath());
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
    QCOMPARE(fileImage(path), image);

    QFont font = AppSettings::instance().textFont;
    font.setPointSize(20);
    const QFontMetrics metrics(font, &image);
    const int w = metrics.horizontalAdvance(name) + 7;
    const int h = metrics.height();
    QCOMPARE(image.size(), QSize(w, h + 2));

    // Black frame around a box in the back colour, the last row left clear.
    QCOMPARE(image.pixelColor(0, 0), QColor(Qt::black));
    QCOMPARE(image.pixelColor(w - 1, h), QColor(Qt::black));
    QCOMPARE(image.pixelColor(1, 1), Red);
    QCOMPARE(image.pixelColor(w - 2, h / 2), Red);
    for (int x = 0; x < w; ++x)
        QCOMPARE(image.pixelColor(x, h + 1).alpha(), 0);
    // The whole text height shows inside the box, none of it cut off, and the
    // filled square glyph shows the text colour.
    int inkRows = 0;
    bool foreSeen = false;
    for (int y = 1; y < h; ++y) {
        bool ink = false;
        for (int x = 2; x < w - 2; ++x) {
            ink = ink || image.pixelColor(x, y) != Red;
            foreSeen = foreSeen || image.pixelColor(x, y) == Yellow;
        }
        inkRows += ink ? 1 : 0;
    }
    QVERIFY(inkRows >= metrics.tightBoundingRect(name).height() - 1);
    QVERIFY(foreSeen);
}

void TestMarkers::circlePicture()
{
    ProgramDirScope dir;
    QImage image;
    const QString path = MivaroMapUtil::makeCircleImage("姫路城", 199, 50, 14, &image);
    QCOMPARE(image.size(), QSize(100, 100));
    QCOMPARE(fileImage(path), image);
    MivaroMapUtil::makeCircleImage("x", 199, 30, 14, &image);
    QCOMPARE(image.size(), QSize(60, 60));
    MivaroMapUtil::makeCircleImage("x", 199, 0, 14, &image);
    QCOMPARE(image.size(), QSize(2, 2));

    const QFont& font = AppSettings::instance().textFont;
    const QImage with = drawCirclePicture("姫路城", Blue, font, 50, 14, true);
    QImage without = drawCirclePicture("姫路城", Blue, font, 50, 14, false);
    QCOMPARE(without.pixelColor(0, 0).alpha(), 0);
    QVERIFY(without.pixelColor(50, 40).alpha() > without.pixelColor(50, 2).alpha());

    // The icon covers the 16 x 16 square on the centre and nothing else.
    QVERIFY(!QImage(":/icons/siro16.png").isNull());
    const QRect square(42, 42, 16, 16);
    QVERIFY(with.copy(square) != without.copy(square));
    QImage a = with;
    for (int y = square.top(); y <= square.bottom(); ++y)
        for (int x = square.left(); x <= square.right(); ++x) {
            a.setPixel(x, y, 0);
            without.setPixel(x, y, 0);
        }
    QCOMPARE(a, without);
}

void TestMarkers::classOutOfRange()
{
    for (int c : {-1, 200, 250, INT_MAX}) {
        QCOMPARE(markerBackColor(c), QColor(128, 128, 128));
        QCOMPARE(markerForeColor(c), QColor(255, 255, 255));
    }
    ProgramDirScope dir;
    QImage image;
    MivaroMapUtil::makeLabelImage("x", 250, 14, &image);
    QCOMPARE(image.pixelColor(1, 1), QColor(128, 128, 128));
    QCOMPARE(markerPlace(*places({{"x", "", "", "abc"}})[0]).colorClass, 0);
}

void TestMarkers::geometriesFollowTheList()
{
    ProgramDirScope dir;
    const PlaceList list = places({{"姫路城", "134.6939", "34.8394", "0", "3", "Image", "14"},
                                   {"", "1", "1", "0", "1", "Circle"},
                                   {"大坂城", "x", "34.687", "199", "12", "Circle", "14"},
                                   {"江戸城", "139.75", "35.68", "0", "abc", "image", "14", "11"}});
    MarkerPictureCache cache;
    const MarkerGeometries markers = buildMarkers(list, cache);
    size_t total = 0;
    for (const auto& layer : markers)
        total += layer.size();
    QCOMPARE(total, size_t(3));

    const auto* himeji = dynamic_cast<GeometryPointImage*>(markers[2].at(0).get());
    QVERIFY(himeji && !dynamic_cast<const GeometryPointImageScaled*>(himeji));
    QCOMPARE(himeji->metadata("name").toString(), QString("姫路城"));
    QCOMPARE(himeji->coord(), qmapcontrol::PointWorldCoord(134.6939, 34.8394));
    QCOMPARE(himeji->zoomMinimum(), 9);
    QCOMPARE(himeji->zoomMaximum(), 17);

    const auto* osaka = dynamic_cast<GeometryPointImage*>(markers[8].at(0).get());
    QCOMPARE(osaka->coord(), qmapcontrol::PointWorldCoord(0.0, 34.687));
    QCOMPARE(osaka->image().size(), QSize(100, 100));

    const auto* edo = dynamic_cast<GeometryPointImageScaled*>(markers[0].at(0).get());
    QVERIFY(edo);
    QCOMPARE(edo->baseZoom(), 11);
    QCOMPARE(edo->zoomMinimum(), 0);

    cache.flushFiles();
    QCOMPARE(QDir(dir.file("image")).entryList(QDir::Files).size(), 3);
    QCOMPARE(fileImage(dir.file("image/姫路城.png")), picture(markers[2][0]));
}

void TestMarkers::unchangedRefreshWritesNothing()
{
    ProgramDirScope dir;
    const PlaceList list = places({{"姫路城", "1", "1", "0", "1", "Circle", "14"},
                                   {"大坂城", "1", "1", "199", "1", "Image", "14"},
                                   {"江戸城", "1", "1", "5", "1", "Scaled", "14"}});
    const QStringList files = {dir.file("image/姫路城.png"), dir.file("image/大坂城.png"),
                               dir.file("image/江戸城.png")};
    const auto modified = [&](int i) { return QFileInfo(files[i]).lastModified(); };

    MarkerPictureCache cache;
    QSignalSpy done(&cache, &MarkerPictureCache::filesDone);
    buildMarkers(list, cache);
    QCOMPARE(cache.pendingFiles(), 3);
    QVERIFY(done.wait(5000)); // written while idle, without being asked
    QCOMPARE(cache.filesWritten(), 3);
    for (const QString& f : files)
        setModified(f, longAgo);

    // The same cache: nothing drawn, nothing queued.
    buildMarkers(list, cache);
    QCOMPARE(cache.picturesDrawn(), 3);
    QCOMPARE(cache.pendingFiles(), 0);

    // A new run compares with the disk and leaves equal files alone; so does
    // the single picture call.
    MarkerPictureCache restarted;
    buildMarkers(list, restarted);
    restarted.flushFiles();
    QCOMPARE(restarted.filesWritten(), 0);
    MivaroMapUtil::makeLabelImage("大坂城", 199, 14);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(modified(i), longAgo);

    // A class colour change redraws and rewrites just the places of that class.
    AppSettings::instance().classBack[199] = QColor(0, 128, 0);
    buildMarkers(list, cache);
    QCOMPARE(cache.picturesDrawn(), 4);
    QCOMPARE(cache.pictureCount(), 3);
    cache.flushFiles();
    QCOMPARE(cache.filesWritten(), 4);
    QCOMPARE(modified(0), longAgo);
    QVERIFY(modified(1) != longAgo);
    QCOMPARE(modified(2), longAgo);

    // A change taken back before its file was written leaves the file alone;
    // a file deleted behind the program's back comes again.
    AppSettings::instance().classBack[199] = Blue;
    buildMarkers(list, cache);
    QCOMPARE(cache.pendingFiles(), 1);
    AppSettings::instance().classBack[199] = QColor(0, 128, 0);
    buildMarkers(list, cache);
    QCOMPARE(cache.pendingFiles(), 0);
    QFile::remove(files[2]);
    buildMarkers(list, cache);
    QCOMPARE(cache.pendingFiles(), 1);
    cache.flushFiles();
    QVERIFY(QFileInfo::exists(files[2]));

    // The icon setting touches the circles only; the font touches all.
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
    const PlaceList list = places(
        {{"城", "1", "1", "0", "1", "Image", "14"}, {"城", "1", "1", "199", "1", "Image", "14"}});
    MarkerPictureCache cache;
    const MarkerGeometries markers = buildMarkers(list, cache);
    QCOMPARE(picture(markers[0][0]).pixelColor(1, 1), Red);
    QCOMPARE(picture(markers[0][1]).pixelColor(1, 1), Blue);
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

    const PlaceList list = places({{"姫路城", "1", "1", "0", "1", "Circle", "14"}});
    MarkerPictureCache cache;
    const MarkerGeometries markers = buildMarkers(list, cache);
    cache.flushFiles();
    QCOMPARE(cache.fileFailures(), 1);
    QCOMPARE(picture(markers[0][0]).size(), QSize(100, 100));
    // Asked again on the next refresh.
    buildMarkers(list, cache);
    QCOMPARE(cache.pendingFiles(), 1);
}

QTEST_MAIN(TestMarkers)
#include "tst_markers.moc"
