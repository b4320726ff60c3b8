// FILE and --convert IN OUT: the parse, and the real program converting
// without a display, with its exit codes and no OUT after a failure.
#include "app/commandline.h"
#include "formats/formats.h"
#include "testsupport.h"

#include <QProcess>
#include <QtTest>

class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("convert"); // in, out
        QTest::addColumn<bool>("error");
        QTest::newRow("nothing") << QStringList{} << "" << QStringList{} << false;
        QTest::newRow("a file") << QStringList{"trip.gpx"} << "trip.gpx" << QStringList{} << false;
        QTest::newRow("two files") << QStringList{"a", "b"} << "" << QStringList{} << true;
        QTest::newRow("convert") << QStringList{"--convert", "a.kml", "b.csv"} << ""
                                 << QStringList{"a.kml", "b.csv"} << false;
        QTest::newRow("convert after") << QStringList{"a.kml", "b.csv", "--convert"} << ""
                                       << QStringList{"a.kml", "b.csv"} << false;
        QTest::newRow("convert, no OUT")
            << QStringList{"--convert", "a.kml"} << "" << QStringList{} << true;
        QTest::newRow("unknown option")
            << QStringList{"--frobnicate"} << "" << QStringList{} << true;
    }
    void parse()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, convert);
        QFETCH(bool, error);
        const CommandLine line = parseCommandLine(QStringList{"mivaromap"} + args);
        QTEST(line.file, "file");
        QCOMPARE(line.error.isEmpty(), !error);
        if (!error)
            QCOMPARE(line.convert ? QStringList({line.convertIn, line.convertOut}) : QStringList(),
                     convert);
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
            << "" << 1 << "--convert には入力と出力のファイル名が要ります";
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

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
