#include "settings/appsettings.h"
#include "testsupport.h"

#include <QtTest>

class TestSettings : public QObject
{
    Q_OBJECT
    const QByteArray bom = "\xEF\xBB\xBF";
    std::unique_ptr<ProgramDirScope> dir;

private slots:
    void init() { dir = std::make_unique<ProgramDirScope>(); }
    void cleanup() { dir.reset(); } // before the next one, which takes over the program folder
    void missingFilesGiveDefaults()
    {
        AppSettings s;
        s.splitter = {1, 2}; // nothing stale survives a load
        s.load();
        QVERIFY(s.geometry == QByteArray(1, '\0') && s.splitter.isEmpty() && s.cache && s.siroIcon);
        QCOMPARE(s.csv_filename, QStringLiteral("castlelist.csv"));
        QCOMPARE(QList<double>({s.coordX, s.coordY}), QList<double>({139.949, 35.7153}));
        QCOMPARE(QList<int>({s.backupcnt, s.zoomLevel, s.provider, s.radius, s.timeout, s.sort}),
                 QList<int>({3, 9, 1, 50, 25, 0}));
        QCOMPARE(s.columnWidth, QVector<int>(8, 40).toList());
        QVERIFY(s.className.count("") == 200 && s.classBack.count(QColor(128, 128, 128)) == 200);
        QCOMPARE(s.textFont.family() + s.inpFont.family(), QString("IPAゴシックMS UI Gothic"));
        QCOMPARE(QList<int>({s.textFont.pointSize(), s.inpFont.pointSize()}), QList<int>({14, 9}));
        QCOMPARE(s.backcolor.name() + s.fnamecolor.name(), QStringLiteral("#0a1b34#ffff00"));
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
    // Written back by save in the form it is read: every round gives the same widths.
    void columnWidth()
    {
        QFETCH(QByteArray, value);
        QFETCH(QList<int>, widths);
        writeAll(dir->file("mivaromap.ini"), "columnWidth=" + value + "\n");
        for (int round = 0; round < 3; ++round) {
            AppSettings s;
            s.load();
            QCOMPARE(s.columnWidth, widths);
            QVERIFY(s.save());
        }
    }
    // Widths changed while running come back at the next start.
    void columnWidthSaved()
    {
        AppSettings s;
        s.load();
        s.columnWidth = {120, 0, 75, 40, 41, 42, 43, 300};
        QVERIFY(s.save());
        QVERIFY(readAll(dir->file("mivaromap.ini"))
                    .contains("columnWidth=\"120,0,75,40,41,42,43,300\""));
        AppSettings again;
        again.load();
        QCOMPARE(again.columnWidth, s.columnWidth);
    }
    void boldWeights()
    {
        AppSettings s;
        s.load();
        for (auto [weight, bold] : {std::pair{75, true}, {63, true}, {57, false}}) {
            s.textFont.setWeight(weight);
            QVERIFY(s.save());
            QCOMPARE(readAll(dir->file("mivaromap.ini")).contains("text_bold=true"), bold);
            s.load();
            QCOMPARE(s.textFont.weight(), bold ? 75 : 50);
        }
    }
    // Every key save writes comes back from load as it was; the keys it never writes (a
    // hand-edited file with a mark, keys before any section, unquoted commas) stay untouched.
    void saveLoadRoundTrip()
    {
        writeAll(dir->file("mivaromap.ini"),
                 "\xEF\xBB\xBFtimeout=60\r\nradius=70\r\nsiroIcon=false\r\nbackupcnt=5\r\n"
                 "cache_path=/srv/tiles\r\ncolumnWidth=\"1,2,3\"\r\nmine=kept\r\n"
                 "assistWinBorderColor=#010101\r\nassistWinBackColor=#020202\r\n"
                 "assistWinTextColor=#030303\r\n[font]\r\nassit_family=Foo\r\n"
                 "assit_pointSize=1\r\nassist_bold=true\r\n[tiles]\r\ngsi=http://h/{z},{x}\r\n"
                 "[geocoder]\r\nnominatim=http://h/s?a=1&q={q}\r\n");
        writeAll(dir->file("classsetting.ini"), "[class]\nname005=A,B\n");
        const QList<QColor AppSettings::*> colours{&AppSettings::backcolor,
                                                   &AppSettings::forecolor,
                                                   &AppSettings::hlbackcolor,
                                                   &AppSettings::hlforecolor,
                                                   &AppSettings::cursorcolor,
                                                   &AppSettings::findcolor,
                                                   &AppSettings::reteralcolor,
                                                   &AppSettings::reservecolor,
                                                   &AppSettings::valuecolor,
                                                   &AppSettings::ctrlcolor,
                                                   &AppSettings::funccolor,
                                                   &AppSettings::classcolor,
                                                   &AppSettings::fnamecolor,
                                                   &AppSettings::commentcolor,
                                                   &AppSettings::header_backcolor,
                                                   &AppSettings::lnumbackcolor,
                                                   &AppSettings::lnumforecolor,
                                                   &AppSettings::paletteWindow,
                                                   &AppSettings::paletteWindowText,
                                                   &AppSettings::paletteBase,
                                                   &AppSettings::paletteAlternateBase,
                                                   &AppSettings::paletteToolTipBase,
                                                   &AppSettings::paletteToolTipText,
                                                   &AppSettings::paletteText,
                                                   &AppSettings::paletteButton,
                                                   &AppSettings::paletteButtonText,
                                                   &AppSettings::paletteBrightText,
                                                   &AppSettings::paletteLink,
                                                   &AppSettings::paletteHighlight,
                                                   &AppSettings::paletteHighlightedText};
        AppSettings s;
        s.load();
        s.csv_filename = QStringLiteral("D:/a,b/l.csv");
        s.coordX = 135.12345678901234;
        s.coordY = -34.5;
        s.zoomLevel = 13;
        s.provider = 3;
        s.cache = false;
        s.sort = 16;
        s.tabWidgetIndex = 4;
        s.geometry = QByteArray("\x01\xd0\0geo", 6);
        s.splitter = {300, 0, 700};
        s.textFont = QFont(QStringLiteral("Bar"), 21, QFont::Bold);
        s.inpFont = QFont(QStringLiteral("Baz"), 8);
        for (int i = 0; i < colours.size(); ++i)
            s.*colours[i] = QColor(i, 100 + i, 250 - i);
        s.className[0] = QStringLiteral("first");
        s.classFore[199] = QColor(1, 2, 3);
        // Not written: whatever the program holds, the file keeps the user's values.
        s.timeout = s.radius = 1;
        s.siroIcon = true;
        s.cache_path = QStringLiteral("elsewhere");
        QVERIFY(s.save());
        for (const char* name : {"mivaromap.ini", "classsetting.ini"}) {
            const QByteArray bytes = readAll(dir->file(name));
            QVERIFY2(bytes.startsWith(bom) && bytes.count(bom) == 1 && !bytes.contains("\r\r"),
                     name);
            QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
        }
        QVERIFY(readAll(dir->file("mivaromap.ini")).contains("\r\nmine=kept\r\n"));

        AppSettings t;
        t.load();
        QCOMPARE(t.csv_filename, s.csv_filename);
        QCOMPARE(QList<double>({t.coordX, t.coordY}), QList<double>({s.coordX, s.coordY}));
        QCOMPARE(QList<int>({t.zoomLevel, t.provider, t.cache, t.sort, t.tabWidgetIndex}),
                 QList<int>({13, 3, false, 16, 4}));
        QCOMPARE(t.geometry, s.geometry);
        QCOMPARE(t.splitter, s.splitter);
        const auto font = [](const QFont& f) {
            return QStringLiteral("%1 %2 %3").arg(f.family()).arg(f.pointSize()).arg(f.weight());
        };
        QCOMPARE(font(t.textFont) + '/' + font(t.inpFont) + '/' + font(t.assistFont),
                 QStringLiteral("Bar 21 75/Baz 8 50/Foo 1 75"));
        for (int i = 0; i < colours.size(); ++i)
            QCOMPARE(t.*colours[i], s.*colours[i]);
        QCOMPARE(t.className[0] + t.className[5], QStringLiteral("firstA,B"));
        QCOMPARE(t.classFore[199], QColor(1, 2, 3));
        QCOMPARE(QList<int>({t.timeout, t.radius, t.siroIcon, t.backupcnt}),
                 QList<int>({60, 70, false, 5}));
        QCOMPARE(t.cache_path, QStringLiteral("/srv/tiles"));
        QCOMPARE(t.columnWidth, QList<int>({1, 2, 3, 40, 40, 40, 40, 40}));
        QCOMPARE(t.assistWinBorderColor.name() + t.assistWinBackColor.name() +
                     t.assistWinTextColor.name(),
                 QStringLiteral("#010101#020202#030303"));
        QCOMPARE(t.tilesGsi, QStringLiteral("http://h/{z},{x}"));
        QCOMPARE(t.geocoderNominatim + t.geocoderGsi, QStringLiteral("http://h/s?a=1&q={q}"));
    }
    void backupsDailyThreeDeep()
    {
        const QString ini = dir->file("mivaromap.ini");
        const QDateTime twoDaysAgo = QDateTime::currentDateTime().addDays(-2);
        for (int i = 0; i <= 3; ++i) {
            const QString name = i ? ini + ".bak" + QString::number(i) : ini;
            writeAll(name, i ? QByteArray::number(i) : "backupcnt=3\n");
            setModified(name, twoDaysAgo.addDays(-i));
        }
        AppSettings s;
        s.load();
        for (int round = 0; round < 2; ++round) { // the second save of the day backs up nothing
            s.zoomLevel = round;
            QVERIFY(s.save());
            QCOMPARE(readAll(ini + ".bak1") + readAll(ini + ".bak2") + readAll(ini + ".bak3"),
                     QByteArray("backupcnt=3\n12"));
            QVERIFY(!QFileInfo::exists(ini + ".bak4"));
        }
        QCOMPARE(QFileInfo(ini + ".bak1").lastModified().date(), twoDaysAgo.date());
    }
    void hugeBackupCountKeeps99()
    {
        const QString ini = dir->file("mivaromap.ini");
        writeAll(ini, "backupcnt=1000000000\n");
        setModified(ini, QDateTime::currentDateTime().addDays(-2));
        for (int n : {98, 99})
            writeAll(ini + ".bak" + QString::number(n), QByteArray::number(n));
        AppSettings s;
        s.load();
        QVERIFY(s.save()); // returns at once instead of turning a billion times
        QCOMPARE(readAll(ini + ".bak99") + readAll(ini + ".bak1"),
                 QByteArray("98backupcnt=1000000000\n"));
        QVERIFY(!QFileInfo::exists(ini + ".bak100") && !QFileInfo::exists(ini + ".bak98"));
        AppSettings again;
        again.load();
        QCOMPARE(again.backupcnt, 1000000000); // the user's value stays as written
    }
    void rewriteWithBomLeavesUnreadableAlone()
    {
        QVERIFY(!rewriteWithBom(dir->file("m.ini")) && !QFile::exists(dir->file("m.ini")));
        const QString file = dir->file("a.ini");
        writeAll(file, "a=1\nb=日本\n");
        QVERIFY(rewriteWithBom(file) && rewriteWithBom(file));
        QCOMPARE(readAll(file), bom + "a=1\r\nb=日本\r\n");
    }
    void classFile()
    {
        writeAll(dir->file("only5.ini"), "[class]\nname005=Castle\n");
        AppSettings s;
        s.className[9] = QStringLiteral("stale");
        s.classBack[9] = Qt::red;
        s.loadClasses(dir->file("only5.ini"));
        QCOMPARE(s.className[5] + s.className[9], QStringLiteral("Castle"));
        QCOMPARE(s.classBack[9], QColor(128, 128, 128));
        s.classBack[7] = QColor(1, 2, 3);
        const QString saved = dir->file("new.ini");
        QVERIFY(s.saveClasses(saved) && !QFileInfo::exists(saved + ".bak1"));
        QSettings raw(saved, QSettings::IniFormat);
        QCOMPARE(raw.allKeys().size(), 600);
        QCOMPARE(raw.value("color/back007").toString(), QStringLiteral("#010203"));
        QDir(dir->path()).mkdir("blocked.ini");
        QVERIFY(!s.saveClasses(dir->file("blocked.ini")));
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
