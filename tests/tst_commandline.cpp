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

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

using A = CommandLine::Action;
Q_DECLARE_METATYPE(A)

// A row whose arguments are given as one line.
template <typename... Rest> static void row(const char* name, const QString& args, Rest... rest)
{
    (QTest::newRow(name) << args.split(' ', Qt::SkipEmptyParts) << ... << rest);
}

class TestCommandLine : public QObject
{
    Q_OBJECT
    ProgramDirScope dir;
    TestTileServer server;

    // Renders with settings whose tiles come from the test server, the castles as the list.
    int renderPng(const QStringList& args, QString* err,
                  std::chrono::milliseconds wait = std::chrono::seconds(20))
    {
        QFile::copy(QStringLiteral(SOURCE_DIST_DIR "/castlelist.csv"), dir.file("castlelist.csv"));
        writeAll(dir.file("mivaromap.ini"), "coordX=135.5\ncoordY=34.7\nzoomLevel=9\nprovider=3\n");
        AppSettings::instance().load();
        keepTilesLocal();
        AppSettings::instance().tilesGsi = server.urlTemplate("/gsi/{z}/{x}/{y}.png");
        const CommandLine c = parseCommandLine(QStringList{"mivaromap", "--render"} + args);
        QTextStream stream(err);
        return c.action == A::Render ? runRender(c.render, stream, wait) : -1;
    }

private slots:
    void initTestCase() { initMivaroMapResources(); }

    void options_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<A>("action");
        // Run, Version: the file or text; Convert, Render: their fields; Help, Error: pieces.
        QTest::addColumn<QString>("expected");
        row("window", "", A::Run, "");
        row("a file", "trip.gpx", A::Run, "trip.gpx");
        row("version", "-v", A::Version, "MivaroMap " MIVAROMAP_VERSION "\n");
        row("help", "--help", A::Help,
            "使い方: mivaromap|--render|--no-tiles|--convert|--provider");
        row("two files", "a b", A::Error, "a b");
        row("convert", "--convert a.kml b.csv", A::Convert, "a.kml|b.csv");
        row("convert, no OUT", "--convert a.kml", A::Error, "OUT");
        row("convert and render", "--convert a b --render o", A::Error, "--render");
        // Render: output, centre, zoom, size, scale, provider, offline map, no tiles, list.
        row("offline map", "--render o.png --provider " TEST_DATA_DIR, A::Render,
            "o.png|false|0|0|false|0|1600|1000|1|-1|" TEST_DATA_DIR "|false|");
        row("everything",
            "--render o.png --center 139.5,35.25 --zoom 17 --size 800X600 --scale 8 --provider GSI "
            "l.csv",
            A::Render, "o.png|true|139.5|35.25|true|17|800|600|8|3||false|l.csv");
        row("no tiles", "--no-tiles --render=o.png --zoom=0", A::Render,
            "o.png|false|0|0|true|0|1600|1000|1|-1||true|");
        row("unknown option", "--bogus", A::Error, "--bogus");
        row("zoom 18", "--render o --zoom 18", A::Error, "--zoom");
        row("scale 9", "--render o --size 100x100 --scale 9", A::Error, "--scale");
        row("size 0x0", "--render o --size 0x0", A::Error, "--size");
        row("print too large", "--render o --size 3000x1000 --scale 4", A::Error, "8192");
        row("center 200,100", "--render o --center 200,100", A::Error, "--center");
        row("provider", "--render o --provider bing", A::Error, "--provider");
        row("render option alone", "--zoom 3", A::Error, "--render");
    }
    void options()
    {
        QFETCH(QStringList, args);
        QFETCH(A, action);
        QFETCH(QString, expected);
        const CommandLine c = parseCommandLine(QStringList{"mivaromap"} + args);
        const RenderOptions& r = c.render;
        const auto join = [](auto... parts) {
            return QStringList{QVariant(parts).toString()...}.join('|');
        };
        const QString got = c.action == A::Run       ? c.file
                            : c.action == A::Convert ? join(c.convertIn, c.convertOut)
                            : c.action == A::Render
                                ? join(r.output, r.hasCenter, r.longitude, r.latitude, r.hasZoom,
                                       r.zoom, r.size.width(), r.size.height(), r.scale, r.provider,
                                       r.offline, r.noTiles, r.list)
                                : c.text;
        QCOMPARE(c.action, action);
        if (c.action != A::Error && c.action != A::Help)
            QCOMPARE(got, expected);
        for (const QString& piece : expected.split('|')) // in Japanese; an error in one line
            QVERIFY2(got.contains(piece), qPrintable(got));
        QVERIFY(got.contains(QRegularExpression("[\\x{3040}-\\x{30ff}]")) || action != A::Error);
        QVERIFY(c.action != A::Error || !got.contains('\n'));
    }

    void render_data()
    {
        QTest::addColumn<QStringList>("args"); // "@name": in the program folder
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("asked"); // of the server
        QTest::addColumn<QString>("reason");
        row("offline folder", "o.png --provider @tiles --center -100,40 --zoom 2 --size 64x48", 0,
            "", "");
        row("tiles never come", "o.png --size 300x200", 0, "/gsi/9/",
            "枚を取得できなかったため、その部分は空白です");
        row("missing folder", "gone/x.png --no-tiles", 1, "", "No such file");
        row("missing list", "x.png --no-tiles @nothing.csv", 1, "", "一覧ファイルを開けません");
        row("folder is no map", "x.png --provider @.", 1, "", "オフライン地図を開けません");
    }
    // Against a server that never answers: nothing waits past its time.
    void render()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, asked);
        QFETCH(QString, reason);
        args[0] = "@" + args[0];
        for (QString& arg : args)
            arg = arg.startsWith('@') ? dir.file(arg.mid(1)) : arg;
        testoffline::writeTileFolder(dir.file("tiles"), 2, 2, false);
        server.clearRequests();
        server.setHolding(true);
        QString err;
        QCOMPARE(renderPng(args, &err, std::chrono::milliseconds(100)), code);
        server.setHolding(false);
        QVERIFY2(reason.isEmpty() ? err.isEmpty() : err.contains(reason), qPrintable(err));
        QCOMPARE(server.paths().filter(asked).isEmpty(), asked.isEmpty());
        QVERIFY(!QFileInfo::exists(dir.file("image"))); // no marker files beside the list
        const QByteArray png = readAll(args[0]);
        QCOMPARE(png.startsWith("\x89PNG"), code == 0);
        if (args.contains("--center")) { // the tile under a corner; the same bytes a second time
            const QImage picture = QImage::fromData(png);
            const QPointF tile =
                (qmapcontrol::projection::toWorldPixels({-100, 40}, 2) - QPointF(30, 22)) / 256;
            QCOMPARE(picture.size(), QSize(64, 48));
            QCOMPARE(picture.pixel(2, 2),
                     TestTileServer::tileColor(2, int(tile.x()), int(tile.y())).rgb());
            QCOMPARE(renderPng(args, &err), 0);
            QCOMPARE(readAll(args[0]), png);
        }
    }

    // Run where no display can be had: a window would abort the program.
    void convertWithoutDisplay()
    {
        QTemporaryDir dir;
        writeAll(dir.filePath("castles.csv"), readAll(SOURCE_DIST_DIR "/castlelist.csv"));
        writeAll(dir.filePath("broken.gpx"), "<gpx><wpt>");
        // What the program says, or how it ended when not with the code expected.
        const auto run = [&](const QStringList& args, int code) {
            QProcess program;
            program.setEnvironment(QProcess::systemEnvironment().filter(QRegularExpression(
                                       "^(?!DISPLAY=|WAYLAND_DISPLAY=|QT_QPA_PLATFORM=)"))
                                   << "QT_QPA_PLATFORM=xcb");
            program.setWorkingDirectory(dir.path());
            program.start(MIVAROMAP_EXE, QStringList{"--convert"} + args);
            const bool ended = program.waitForFinished(60000) && program.exitCode() == code &&
                               program.exitStatus() == QProcess::NormalExit;
            return ended ? QString::fromLocal8Bit(program.readAllStandardError())
                         : QStringLiteral("ended with %1").arg(program.exitCode());
        };
        QCOMPARE(run({"castles.csv", "out.kmz"}, 0), QString());
        QCOMPARE(formats::importFile(dir.filePath("out.kmz")).places.size(), size_t(100));
        const QString broken = run({"broken.gpx", "out.csv"}, 1), usage = run({"castles.csv"}, 2);
        QVERIFY2(broken.startsWith("GPX を読めません（1 行 10 列）") && broken.count('\n') == 1,
                 qPrintable(broken));
        QVERIFY2(usage.startsWith("mivaromap: --convert には入力と出力のファイル名が要ります") &&
                     usage.count('\n') == 1,
                 qPrintable(usage));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 QStringList({"broken.gpx", "castles.csv", "out.kmz"}));
    }
};

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
