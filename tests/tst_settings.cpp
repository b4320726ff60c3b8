#include "settings/appsettings.h"
#include "testsupport.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QtTest>

namespace {
const QByteArray utf8Bom("\xEF\xBB\xBF");

QDateTime daysAgo(int n)
{
    return QDateTime::currentDateTime().addDays(-n);
}
} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void missingFilesGiveDefaults();
    void columnWidth_data();
    void columnWidth();
    void commaInTextValues();
    void boldWeights_data();
    void boldWeights();
    void bomCrLfAndHandWrittenKeys();
    void backupsDailyThreeDeep();
    void rewriteWithBomLeavesUnreadableAlone();
    void classFile();
};

void TestSettings::missingFilesGiveDefaults()
{
    ProgramDirScope dir;
    AppSettings s;
    s.splitter = {1, 2};
    s.className[7] = QStringLiteral("stale");
    s.load();
    QCOMPARE(s.geometry, QByteArray(1, '\0'));
    QVERIFY(s.splitter.isEmpty());
    QCOMPARE(s.csv_filename, QStringLiteral("castlelist.csv"));
    QCOMPARE(QList<double>({s.coordX, s.coordY}), QList<double>({139.949, 35.7153}));
    QCOMPARE(QList<int>({s.backupcnt, s.zoomLevel, s.provider, s.radius, s.timeout, s.sort}),
             QList<int>({3, 9, 1, 50, 25, 0}));
    QVERIFY(s.cache && s.siroIcon);
    QCOMPARE(s.columnWidth, QList<int>({40, 40, 40, 40, 40, 40, 40, 40}));
    QCOMPARE(s.className.size(), 200);
    QCOMPARE(s.classBack.count(QColor(128, 128, 128)), 200);
    QCOMPARE(s.classFore.count(QColor(255, 255, 255)), 200);
    QCOMPARE(s.className.count(QString()), 200);
    QCOMPARE(s.textFont.family() + s.inpFont.family(), QStringLiteral("IPAゴシックMS UI Gothic"));
    QCOMPARE(QList<int>({s.textFont.pointSize(), s.inpFont.pointSize(), s.assistFont.pointSize(),
                         s.textFont.weight()}),
             QList<int>({14, 9, 12, 50}));
    QCOMPARE(s.backcolor, QColor(10, 27, 52));
    QCOMPARE(s.fnamecolor, QColor(255, 255, 0));
    QCOMPARE(s.paletteHighlightedText, QColor(0, 0, 0));
    QCOMPARE(s.assistWinBackColor, QColor(34, 51, 68));
}

void TestSettings::columnWidth_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QList<int>>("widths");
    const QList<int> gap{100, 0, 80, 40, 40, 40, 40, 40};
    QTest::newRow("unquoted, empty part") << QByteArray("100,,80") << gap;
    QTest::newRow("as the INI writer puts it") << QByteArray("100, , 80") << gap;
    QTest::newRow("quoted") << QByteArray("\"100,,80\"") << gap;
    QTest::newRow("one") << QByteArray("120") << QList<int>{120, 40, 40, 40, 40, 40, 40, 40};
    QTest::newRow("nine") << QByteArray("1,2,3,4,5,6,7,8,9") << QList<int>{1, 2, 3, 4, 5, 6, 7, 8};
}

// Never written by save, yet the INI writer rewrites it as a list: every round must
// give the same widths.
void TestSettings::columnWidth()
{
    QFETCH(QByteArray, value);
    QFETCH(QList<int>, widths);
    ProgramDirScope dir;
    writeAll(dir.file("mivaromap.ini"), "columnWidth=" + value + "\n");
    for (int round = 0; round < 3; ++round) {
        AppSettings s;
        s.load();
        QCOMPARE(s.columnWidth, widths);
        QVERIFY(s.save());
    }
}

void TestSettings::commaInTextValues()
{
    ProgramDirScope dir;
    writeAll(dir.file("mivaromap.ini"), "csv_filename=D:/a,b/list.csv\n[tiles]\nosm=h/{z},{x}\n");
    writeAll(dir.file("classsetting.ini"), "[class]\nname005=A,B\n");
    for (int round = 0; round < 2; ++round) {
        AppSettings s;
        s.load();
        QCOMPARE(s.csv_filename, QStringLiteral("D:/a,b/list.csv"));
        QCOMPARE(s.tilesOsm, QStringLiteral("h/{z},{x}"));
        QCOMPARE(s.className[5], QStringLiteral("A,B"));
        QVERIFY(s.save());
    }
}

void TestSettings::boldWeights_data()
{
    QTest::addColumn<int>("weight");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<int>("loaded");
    QTest::newRow("75") << 75 << QByteArray("true") << 75;
    QTest::newRow("63") << 63 << QByteArray("true") << 75;
    QTest::newRow("57") << 57 << QByteArray("false") << 50;
}

void TestSettings::boldWeights()
{
    QFETCH(int, weight);
    QFETCH(QByteArray, written);
    QFETCH(int, loaded);
    ProgramDirScope dir;
    AppSettings s;
    s.load();
    s.textFont.setWeight(weight);
    QVERIFY(s.save());
    QVERIFY(readAll(dir.file("mivaromap.ini")).contains("text_bold=" + written));
    s.load();
    QCOMPARE(s.textFont.weight(), loaded);
}

void TestSettings::bomCrLfAndHandWrittenKeys()
{
    ProgramDirScope dir;
    // Hand-edited, with a mark, and its first key before any section.
    writeAll(dir.file("mivaromap.ini"),
             utf8Bom +
                 "timeout=60\r\nradius=70\r\nmyOwnKey=keep me\r\nassistWinBackColor=#010203\r\n"
                 "[font]\r\nassit_family=Foo\r\n[tiles]\r\ngsi=http://127.0.0.1:8/\r\n");
    AppSettings s;
    s.load();
    QCOMPARE(s.timeout, 60);
    s.timeout = 1; // not written by save: the file keeps what the user put there
    s.csv_filename = QStringLiteral("名城.csv");
    s.splitter = {300, 700};
    QVERIFY(s.save());

    for (const char* name : {"mivaromap.ini", "classsetting.ini"}) {
        const QByteArray bytes = readAll(dir.file(name));
        QVERIFY2(bytes.startsWith(utf8Bom) && bytes.count(utf8Bom) == 1, name);
        QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
        QVERIFY(!bytes.contains("\r\r"));
    }
    QVERIFY(readAll(dir.file("mivaromap.ini")).contains("\r\nmyOwnKey=keep me\r\n"));

    AppSettings again;
    again.load();
    QCOMPARE(QList<int>({again.timeout, again.radius}), QList<int>({60, 70}));
    QCOMPARE(again.csv_filename, s.csv_filename);
    QCOMPARE(again.splitter, s.splitter);
    QCOMPARE(again.assistWinBackColor, QColor(1, 2, 3));
    QCOMPARE(again.assistFont.family(), QStringLiteral("Foo"));
    QCOMPARE(again.tilesGsi, QStringLiteral("http://127.0.0.1:8/"));
}

void TestSettings::backupsDailyThreeDeep()
{
    ProgramDirScope dir;
    const QString ini = dir.file("mivaromap.ini");
    writeAll(ini, "backupcnt=3\n");
    setModified(ini, daysAgo(2));
    for (int i = 1; i <= 3; ++i) {
        writeAll(ini + ".bak" + QString::number(i), QByteArray::number(i));
        setModified(ini + ".bak" + QString::number(i), daysAgo(2 + i));
    }
    AppSettings s;
    s.load();
    for (int round = 0; round < 2; ++round) { // the second save of the day backs up nothing
        s.zoomLevel = round;
        QVERIFY(s.save());
        QCOMPARE(readAll(ini + ".bak1"), QByteArray("backupcnt=3\n"));
        QCOMPARE(readAll(ini + ".bak2") + readAll(ini + ".bak3"), QByteArray("12"));
        QVERIFY(!QFileInfo::exists(ini + ".bak4"));
    }
    // The copy carries the date of the state it holds.
    QCOMPARE(QFileInfo(ini + ".bak1").lastModified().date(), daysAgo(2).date());
}

void TestSettings::rewriteWithBomLeavesUnreadableAlone()
{
    QTemporaryDir dir;
    QVERIFY(!rewriteWithBom(dir.filePath("missing.ini")));
    QVERIFY(!QFileInfo::exists(dir.filePath("missing.ini")));
    QVERIFY(!rewriteWithBom(dir.path()));
    QVERIFY(QFileInfo(dir.path()).isDir());

    const QString file = dir.filePath("a.ini");
    writeAll(file, "a=1\nb=日本\n");
    QVERIFY(rewriteWithBom(file));
    QVERIFY(rewriteWithBom(file));
    QCOMPARE(readAll(file), utf8Bom + QByteArray("a=1\r\nb=日本\r\n"));
}

void TestSettings::classFile()
{
    ProgramDirScope dir;
    writeAll(dir.file("only5.ini"), "[class]\nname005=Castle\n[color]\nback006=nonsense\n");
    AppSettings s;
    s.className[9] = QStringLiteral("stale");
    s.classBack[9] = Qt::red;
    s.loadClasses(dir.file("only5.ini"));
    QCOMPARE(s.className[5], QStringLiteral("Castle"));
    QVERIFY(s.className[9].isEmpty());
    QCOMPARE(s.classBack[9], QColor(128, 128, 128));
    QVERIFY(!s.classBack[6].isValid());

    s.classBack[7] = QColor(1, 2, 3);
    const QString saved = dir.file("new.ini");
    QVERIFY(s.saveClasses(saved));
    QVERIFY(!readAll(saved).startsWith(utf8Bom));
    QVERIFY(!QFileInfo::exists(saved + ".bak1"));
    QSettings raw(saved, QSettings::IniFormat);
    QCOMPARE(raw.allKeys().size(), 600);
    QCOMPARE(raw.value("color/back007").toString(), QStringLiteral("#010203"));

    QDir(dir.path()).mkdir("blocked.ini");
    QVERIFY(!s.saveClasses(dir.file("blocked.ini")));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
