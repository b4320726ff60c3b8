// The settings files, their backups, and the folders the program's files live in.
#include "settings/appsettings.h"
#include "settings/programdir.h"
#include "testsupport.h"

#include <QtTest>

class TestSettings : public QObject
{
    Q_OBJECT
    const QByteArray bom = "\xEF\xBB\xBF";
    std::unique_ptr<ProgramDirScope> dir;
    QString ini() const { return dir->file("mivaromap.ini"); }

private slots:
    void init() { dir = std::make_unique<ProgramDirScope>(); }
    void cleanup() { dir.reset(); } // before the next one, which takes over the program folder
    void missingFilesGiveDefaults()
    {
        AppSettings s;
        s.splitter = {1, 2}; // nothing stale survives a load
        s.load();
        QVERIFY(s.geometry == QByteArray(1, '\0') && s.splitter.isEmpty() && s.cache && s.siroIcon);
        QCOMPARE(s.textFont.family() + s.inpFont.family() + s.csv_filename,
                 QString("IPAゴシックMS UI Gothiccastlelist.csv"));
    }
    void columnWidth_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QList<int>>("widths");
        const QList<int> gap{100, 0, 80, 40, 40, 40, 40, 40};
        QTest::newRow("unquoted, empty part") << QByteArray("100,,80") << gap;
        QTest::newRow("quoted") << QByteArray("\"100,,80\"") << gap;
        QTest::newRow("9") << QByteArray("1,2,3,4,5,6,7,8,9") << QList<int>{1, 2, 3, 4, 5, 6, 7, 8};
        QTest::newRow("blanks") << QByteArray("\"   \"") << QVector<int>(8, 40).toList();
    }
    // Saved as one quoted text, read back the same at every start.
    void columnWidth()
    {
        QFETCH(QByteArray, value);
        QFETCH(QList<int>, widths);
        writeAll(ini(), "columnWidth=" + value + "\n");
        for (int round = 0; round < 2; ++round) {
            AppSettings s;
            s.load();
            QCOMPARE(s.columnWidth, widths);
            QVERIFY(s.save());
            QVERIFY(readAll(ini()).contains("columnWidth=\""));
        }
    }
    // Every key save writes comes back from load as it was; the keys it never writes (a
    // hand-edited file with a mark, keys before any section, unquoted commas) stay untouched.
    void saveLoadRoundTrip()
    {
        writeAll(ini(), "\xEF\xBB\xBFtimeout=60\r\nradius=70\r\nsiroIcon=false\r\nbackupcnt=5\r\n"
                        "cache_path=/srv/tiles\r\nmine=kept\r\nassistWinBorderColor=red\r\n"
                        "assistWinBackColor=lime\r\nassistWinTextColor=blue\r\n[font]\r\n"
                        "assit_family=Foo\r\nassit_pointSize=1\r\nassist_bold=true\r\n[tiles]\r\n"
                        "gsi=http://h/{z},{x}\r\n[geocoder]\r\nnominatim=http://h/s?a=1&q={q}\r\n");
        writeAll(dir->file("classsetting.ini"), "[class]\nname005=A,B\n");
        // Written by save: each differs from its default.
        const auto saved = [](AppSettings& a) {
            return std::tie(a.csv_filename, a.coordX, a.coordY, a.zoomLevel, a.provider, a.cache,
                            a.sort, a.tabWidgetIndex, a.geometry, a.splitter, a.classFore[199]);
        };
        AppSettings s;
        std::tie(s.className[9], s.classBack[9]) = std::tuple("stale", Qt::red); // not in the file
        s.load();
        QCOMPARE(s.className[9] + s.classBack[9].name(), "#808080");
        saved(s) =
            std::tuple(QStringLiteral("D:/a,b/l.csv"), 135.12345678901234, -34.5, 13, 3, false, 16,
                       4, QByteArray("\x01\xd0\0geo", 6), QList<int>{300, 0, 700}, QColor(1, 2, 3));
        s.textFont = QFont(QStringLiteral("Bar"), 21, 63); // bold from 58 up
        s.inpFont = QFont(QStringLiteral("Baz"), 8, 57);
        s.className[0] = QStringLiteral("first");
        // Not written: whatever the program holds, the file keeps the user's values.
        std::tie(s.timeout, s.radius, s.siroIcon, s.cache_path) = std::tuple(1, 1, true, "else");
        QVERIFY(s.save());
        for (const char* name : {"mivaromap.ini", "classsetting.ini"}) {
            const QByteArray bytes = readAll(dir->file(name));
            QVERIFY2(bytes.startsWith(bom) && bytes.count(bom) == 1 && !bytes.contains("\r\r") &&
                         bytes.count('\n') == bytes.count("\r\n"),
                     name);
        }
        QVERIFY(readAll(ini()).contains("\r\nmine=kept\r\n"));
        // Each colour made unlike the others, to come back under its own key.
        QStringList lines = QString::fromUtf8(readAll(ini())).split("\r\n");
        int colours = 0;
        for (QString& line : lines) {
            if (line.contains(QRegularExpression("=#[0-9a-f]{6}$")))
                line = line.chopped(6) + QString::number(0x100000 + colours++, 16);
        }
        QCOMPARE(colours, 30);
        const QByteArray edited = bom + lines.join("\r\n").toUtf8(); // the mark dropped by fromUtf8
        writeAll(ini(), edited);

        AppSettings t;
        t.load();
        QVERIFY(saved(t) == saved(s));
        QStringList fonts;
        for (const QFont& f : {t.textFont, t.inpFont, t.assistFont})
            fonts << QStringLiteral("%1 %2 %3").arg(f.family()).arg(f.pointSize()).arg(f.weight());
        QCOMPARE(fonts.join('/'), QStringLiteral("Bar 21 75/Baz 8 50/Foo 1 75"));
        QCOMPARE(t.className[0] + t.className[5], QStringLiteral("firstA,B"));
        QVERIFY(std::tie(t.timeout, t.radius, t.siroIcon, t.backupcnt) ==
                std::tuple(60, 70, false, 5));
        QCOMPARE(
            t.cache_path + t.tilesGsi + t.geocoderNominatim + t.geocoderGsi +
                t.assistWinBorderColor.name() + t.assistWinBackColor.name() +
                t.assistWinTextColor.name(),
            QStringLiteral("/srv/tileshttp://h/{z},{x}http://h/s?a=1&q={q}#ff0000#00ff00#0000ff"));
        QVERIFY(t.save());
        QCOMPARE(readAll(ini()), edited);
    }
    // Once a day, as deep as the count says but never past 99.
    void backups_data()
    {
        QTest::addColumn<QByteArray>("count");
        QTest::addColumn<int>("deepest");
        QTest::newRow("3") << QByteArray("3") << 3;
        QTest::newRow("a billion") << QByteArray("1000000000") << 99;
    }
    void backups()
    {
        QFETCH(QByteArray, count);
        QFETCH(int, deepest);
        const auto bak = [&](int n) { return ini() + ".bak" + QString::number(n); };
        writeAll(ini(), "backupcnt=" + count + "\n");
        setModified(ini(), QDateTime::currentDateTime().addDays(-2));
        for (int n : {deepest - 1, deepest})
            writeAll(bak(n), QByteArray::number(n));
        AppSettings s;
        s.load();
        for (int round = 0; round < 2; ++round) { // the second save of the day backs up nothing
            QVERIFY(s.save());
            QCOMPARE(readAll(bak(1)) + readAll(bak(deepest)),
                     "backupcnt=" + count + "\n" + QByteArray::number(deepest - 1));
            QVERIFY(!QFileInfo::exists(bak(deepest + 1)) && !QFileInfo::exists(bak(deepest - 1)));
        }
    }
    // Beside the program only when it is a writable copy that is not installed (root can
    // write to /usr/bin), or when the user has no data folder.
    void choice()
    {
        const QString home = "/home/u/.local/share/mivaromap", cache = "/home/u/.cache/mivaromap";
        for (const auto& [writable, installed, data, portable] :
             {std::tuple(true, false, home, true), std::tuple(false, false, home, false),
              std::tuple(false, true, home, false), std::tuple(true, true, home, false),
              std::tuple(false, true, QString(), true)}) {
            const auto dirs = chooseProgramDirs("/opt/mm/", writable, installed, data, cache);
            QCOMPARE(dirs.data + ' ' + dirs.cache + ' ' + QString::number(dirs.portable),
                     portable ? "/opt/mm /opt/mm/cache 1" : home + ' ' + cache + " 0");
        }
        QCOMPARE(shippedDefaultsDir("/usr/bin"), QStringLiteral("/usr/share/mivaromap"));
    }
    // Probed without a trace; on a first start filled from the shipped files, the user's kept.
    void folders()
    {
        QTemporaryDir shipped, home;
        QVERIFY(isWritableDir(home.path()) &&
                QDir(home.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        QVERIFY(!isWritableDir(home.filePath("missing")) && !isWritableDir("/proc")); // even root
        writeAll(shipped.filePath("castlelist.csv"), "shipped list");
        writeAll(shipped.filePath("mivaromap.ini"), "shipped settings");
        QDir(shipped.path()).mkpath("help");
        writeAll(shipped.filePath("help/a.help"), "shipped help");
        writeAll(home.filePath("mivaromap.ini"), "the user's own");
        QCOMPARE(fillFromDefaults(shipped.path(), home.path()), QStringList());
        QCOMPARE(readAll(home.filePath("castlelist.csv")) +
                     readAll(home.filePath("mivaromap.ini")) +
                     readAll(home.filePath("help/a.help")),
                 QByteArray("shipped listthe user's ownshipped help"));
        // A folder that cannot be made is reported, not passed over.
        writeAll(home.filePath("blocked"), "a file where the folder should go");
        QCOMPARE(fillFromDefaults(shipped.path(), home.filePath("blocked/data")).size(), 1);
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
