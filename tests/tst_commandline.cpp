// The command line: options and their errors, --render end to end, and
// --convert run as the real program without a display.
#include "app/rendercommand.h"
#include "formats/formats.h"
#include "qmapcontrol/projection.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "support_offline.h"
#include "support_tileserver.h"
#include "testsupport.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

using Action = CommandLine::Action;

class TestCommandLine : public QObject
{
    Q_OBJECT

    ProgramDirScope dir;
    TestTileServer server;

    // Settings whose tiles come from the test server; the castles as the list.
    void settingsWith(const QStringList& general)
    {
        QFile::copy(QStringLiteral(SOURCE_DIST_DIR "/castlelist.csv"), dir.file("castlelist.csv"));
        QStringList ini{"[General]", "cache=false", "coordX=135.5", "coordY=34.7", "zoomLevel=9"};
        ini << general << "[tiles]";
        for (const QString provider : {"google", "osm", "stamen", "gsi"})
            ini << provider + "=" + server.urlTemplate("/" + provider + "/{z}/{x}/{y}.png");
        writeAll(dir.file("mivaromap.ini"), ini.join('\n').toUtf8());
        AppSettings::instance().load();
    }

    int render(const QStringList& args, QString* err,
               std::chrono::milliseconds wait = std::chrono::seconds(20))
    {
        const CommandLine c = parseCommandLine(QStringList{"mivaromap"} + args);
        if (c.action != Action::Render) {
            *err = c.text;
            return -1;
        }
        QTextStream stream(err);
        return runRender(c.render, stream, wait);
    }

private slots:
    void initTestCase() { initMivaroMapResources(); }

    void options_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("expected"); // the render's fields, or a piece of the error
        const int render = int(Action::Render);
        const int error = int(Action::Error);
        const int run = int(Action::Run);
        const int convert = int(Action::Convert);
        QTest::newRow("window") << QStringList{} << run << "";
        QTest::newRow("a file") << QStringList{"trip.gpx"} << run << "trip.gpx";
        QTest::newRow("two files") << QStringList{"a", "b"} << error << "a b";
        QTest::newRow("convert") << QStringList{"--convert", "a.kml", "b.csv"} << convert
                                 << "a.kml|b.csv";
        QTest::newRow("convert after")
            << QStringList{"a.kml", "b.csv", "--convert"} << convert << "a.kml|b.csv";
        QTest::newRow("convert, no OUT") << QStringList{"--convert", "a.kml"} << error << "OUT";
        QTest::newRow("convert and render")
            << QStringList{"--convert", "a", "b", "--render", "o"} << error << "--render";
        QTest::newRow("offline map")
            << QStringList{"--render", "o.png", "--provider", TEST_DATA_DIR} << render
            << "o.png|-|-|1600x1000|1|" TEST_DATA_DIR "|0|";
        QTest::newRow("defaults") << QStringList{"--render", "o.png"} << render
                                  << "o.png|-|-|1600x1000|1|-1|0|";
        QTest::newRow("everything")
            << QStringList{"--render",   "o.png",  "--center", "139.5,35.25", "--zoom",
                           "12",         "--size", "800X600",  "--scale",     "4",
                           "--provider", "GSI",    "l.csv"}
            << render << "o.png|139.5,35.25|12|800x600|4|3|0|l.csv";
        QTest::newRow("no tiles") << QStringList{"--no-tiles", "--render=o.png", "--zoom=0"}
                                  << render << "o.png|-|0|1600x1000|1|-1|1|";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << error << "--bogus";
        QTest::newRow("zoom 99") << QStringList{"--render", "o", "--zoom", "99"} << error
                                 << "--zoom";
        QTest::newRow("size 0x0") << QStringList{"--render", "o", "--size", "0x0"} << error
                                  << "--size";
        QTest::newRow("print too large")
            << QStringList{"--render", "o", "--size", "3000x1000", "--scale", "4"} << error
            << "8192";
        QTest::newRow("center 200,100")
            << QStringList{"--render", "o", "--center", "200,100"} << error << "--center";
        QTest::newRow("provider") << QStringList{"--render", "o", "--provider", "bing"} << error
                                  << "--provider";
        QTest::newRow("render option alone") << QStringList{"--zoom", "3"} << error << "--render";
    }

    void options()
    {
        QFETCH(QStringList, args);
        QFETCH(int, action);
        QFETCH(QString, expected);
        const CommandLine c = parseCommandLine(QStringList{"mivaromap"} + args);
        QCOMPARE(int(c.action), action);
        if (c.action == Action::Run) {
            QCOMPARE(c.file, expected);
        } else if (c.action == Action::Convert) {
            QCOMPARE(c.convertIn + '|' + c.convertOut, expected);
        } else if (c.action == Action::Render) {
            const RenderOptions& r = c.render;
            const QString fields =
                QStringList{r.output,
                            r.hasCenter ? QStringLiteral("%1,%2").arg(r.longitude).arg(r.latitude)
                                        : "-",
                            r.hasZoom ? QString::number(r.zoom) : "-",
                            QStringLiteral("%1x%2").arg(r.size.width()).arg(r.size.height()),
                            QString::number(r.scale),
                            r.offline.isEmpty() ? QString::number(r.provider) : r.offline,
                            QString::number(r.noTiles),
                            r.list}
                    .join('|');
            QCOMPARE(fields, expected);
        } else {
            // One line of Japanese that names what is wrong.
            QVERIFY2(c.text.contains(expected) && !c.text.contains('\n') &&
                         c.text.contains(QRegularExpression("[\\x{3040}-\\x{30ff}]")),
                     qPrintable(c.text));
        }
    }

    void helpAndVersion()
    {
        const CommandLine help = parseCommandLine({"mivaromap", "--help"});
        QCOMPARE(help.action, Action::Help);
        for (const char* option : {"--render", "--no-tiles", "--convert", "--provider"})
            QVERIFY2(help.text.contains(option), option);
        QVERIFY(help.text.startsWith(QStringLiteral("使い方: mivaromap")));
        QVERIFY(!help.text.contains("Usage") && !help.text.contains("Displays"));
        const CommandLine version = parseCommandLine({"mivaromap", "-v"});
        QCOMPARE(version.action, Action::Version);
        QCOMPARE(version.text, QStringLiteral("MivaroMap " MIVAROMAP_VERSION "\n"));
    }

    void renderTwiceGivesTheSameBytes()
    {
        settingsWith({"provider=1"});
        QString err;
        const QStringList args{"--center", "135.5,34.7", "--zoom", "9", "--size", "640x400"};
        QCOMPARE(render(QStringList{"--render", dir.file("a.png")} + args, &err), 0);
        QCOMPARE(render(QStringList{"--render", dir.file("b.png")} + args, &err), 0);
        QCOMPARE(err, QString());
        const QByteArray a = readAll(dir.file("a.png"));
        QVERIFY(a.startsWith("\x89PNG"));
        QCOMPARE(a, readAll(dir.file("b.png")));
        const QImage picture = QImage::fromData(a, "PNG");
        QCOMPARE(picture.size(), QSize(640, 400));
        // A tile of the view, away from its "z/x/y" corner.
        const QPointF origin =
            qmapcontrol::projection::toWorldPixels({135.5, 34.7}, 9) - QPointF(320, 200);
        const QPoint tile((origin.x() + 40) / 256, (origin.y() + 300) / 256);
        const QPoint at = (QPointF(tile * 256 + QPoint(200, 200)) - origin).toPoint();
        QVERIFY(QRect(0, 0, 640, 400).contains(at));
        QCOMPARE(picture.pixel(at), TestTileServer::tileColor(9, tile.x(), tile.y()).rgb());
        QVERIFY(!server.paths().filter("/osm/9/").isEmpty());
        // Nothing written beside the list but the pictures asked for: no marker files.
        QVERIFY(!QFileInfo::exists(dir.file("image")));
    }

    void renderNeverHangsOnTiles()
    {
        settingsWith({"provider=3"});
        server.setHolding(true);
        QString err;
        QCOMPARE(render({"--render", dir.file("held.png"), "--size", "300x200"}, &err,
                        std::chrono::milliseconds(500)),
                 0);
        server.setHolding(false);
        QVERIFY2(err.contains(QStringLiteral("地図タイル")) && err.contains(QStringLiteral("空白")),
                 qPrintable(err));
        QCOMPARE(QImage(dir.file("held.png")).size(), QSize(300, 200));
    }

    void renderOfflineMap()
    {
        settingsWith({"provider=1"});
        server.clearRequests();
        testoffline::writeTileFolder(dir.file("tiles"), 2, 2, false);
        QString err;
        QCOMPARE(render({"--render", dir.file("o.png"), "--provider", dir.file("tiles"), "--center",
                         "135.5,34.7", "--zoom", "2", "--size", "64x64"},
                        &err),
                 0);
        QCOMPARE(err, QString());
        const QPointF centre = qmapcontrol::projection::toWorldPixels({135.5, 34.7}, 2) / 256;
        QCOMPARE(QImage(dir.file("o.png")).pixel(2, 2),
                 TestTileServer::tileColor(2, int(centre.x()), int(centre.y())).rgb());
        QVERIFY(server.paths().filter("/osm/").isEmpty());
    }

    void renderFailures_data()
    {
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing folder") << "gone/x.png"
                                        << ""
                                        << "No such file";
        QTest::newRow("missing list") << "x.png"
                                      << "nothing.csv"
                                      << "一覧ファイルを開けません";
        QTest::newRow("folder is no map") << "x.png"
                                          << "--provider"
                                          << "オフライン地図を開けません";
    }

    void renderFailures()
    {
        QFETCH(QString, out);
        QFETCH(QString, list);
        QFETCH(QString, reason);
        settingsWith({});
        QString err;
        QStringList args{"--render", dir.file(out), "--no-tiles"};
        if (list == "--provider")
            args = QStringList{"--render", dir.file(out), "--provider", dir.path()};
        else if (!list.isEmpty())
            args << dir.file(list);
        QCOMPARE(render(args, &err), 1);
        QVERIFY2(err.contains(reason), qPrintable(err));
        QVERIFY(!QFileInfo::exists(dir.file(out)));
    }

    // Run where no display can be had: a window would abort the program.
    void convertWithoutDisplay_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("to kml") << "castles.csv"
                                << "out.kml" << 0 << "";
        QTest::newRow("to kmz") << "castles.csv"
                                << "out.kmz" << 0 << "";
        QTest::newRow("missing IN") << "none.gpx"
                                    << "out.kml" << 1 << "none.gpx を開けません";
        QTest::newRow("broken IN") << "broken.gpx"
                                   << "out.csv" << 1 << "GPX を読めません（1 行 10 列）";
        QTest::newRow("unknown OUT") << "castles.csv"
                                     << "out.shp" << 1 << "出力の形式が拡張子から分かりません";
        QTest::newRow("one argument")
            << "castles.csv"
            << "" << 2 << "mivaromap: --convert には入力と出力のファイル名が要ります";
    }
    void convertWithoutDisplay()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QFETCH(int, code);
        QFETCH(QString, message);
        QTemporaryDir dir;
        writeAll(dir.filePath("castles.csv"), readAll(SOURCE_DIST_DIR "/castlelist.csv"));
        writeAll(dir.filePath("broken.gpx"), "<gpx><wpt>");
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("QT_QPA_PLATFORM", "xcb");
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(dir.path());
        QStringList args{"--convert", in};
        if (!out.isEmpty())
            args << out;
        program.start(MIVAROMAP_EXE, args);
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), code);
        const QString err = QString::fromLocal8Bit(program.readAllStandardError());
        if (code == 0) {
            QCOMPARE(err, QString());
            const formats::ImportResult back = formats::importFile(dir.filePath(out));
            QCOMPARE(back.places.size(), size_t(100));
            return;
        }
        QVERIFY2(err.startsWith(message) && err.count('\n') == 1, qPrintable(err));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 QStringList({"broken.gpx", "castles.csv"}));
    }
};

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
