#include "settings/appsettings.h"
#include "settings/backuprotation.h"
#include "testsupport.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QtTest>

namespace {
const QByteArray utf8Bom("\xEF\xBB\xBF");

QString iniFile(const ProgramDirScope& dir)
{
    return dir.file(QStringLiteral("mivaromap.ini"));
}

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
    void savedFilesHaveBomAndCrLf();
    void handWrittenKeysSurvive();
    void backupOnlyOnFirstSaveOfTheDay();
    void backupsRotateThreeDeep();
    void missingFileRotatesNothing();
    void rewriteWithBomLeavesUnreadableAlone();
    void classFile();
};

void TestSettings::missingFilesGiveDefaults()
{
    ProgramDirScope dir;
    AppSettings s;
    s.splitter = {1, 2};
    s.columnWidth = {1};
    s.className[7] = QStringLiteral("stale");
    s.load();

    QCOMPARE(s.geometry, QByteArray(1, '\0'));
    QVERIFY(s.splitter.isEmpty());
    QCOMPARE(s.csv_filename, QStringLiteral("castlelist.csv"));
    QCOMPARE(s.backupcnt, 3);
    QCOMPARE(s.coordX, 139.949);
    QCOMPARE(s.coordY, 35.7153);
    QCOMPARE(s.zoomLevel, 9);
    QCOMPARE(s.provider, 1);
    QCOMPARE(s.cache, true);
    QCOMPARE(s.columnWidth, QList<int>({40, 40, 40, 40, 40, 40, 40, 40}));
    QCOMPARE(s.radius, 50);
    QCOMPARE(s.siroIcon, true);
    QCOMPARE(s.timeout, 25);
    QVERIFY(s.cache_path.isEmpty());
    QCOMPARE(s.sort, 0);
    QCOMPARE(s.tabWidgetIndex, 0);
    QVERIFY(s.tilesGoogle.isEmpty() && s.tilesOsm.isEmpty() && s.tilesGsi.isEmpty());

    QCOMPARE(s.className.size(), 200);
    QCOMPARE(s.classBack.size(), 200);
    QCOMPARE(s.classFore.size(), 200);
    for (int i = 0; i < 200; ++i) {
        QVERIFY(s.className[i].isEmpty());
        QCOMPARE(s.classBack[i], QColor(128, 128, 128));
        QCOMPARE(s.classFore[i], QColor(255, 255, 255));
    }

    QCOMPARE(s.textFont.family(), QStringLiteral("IPAゴシック"));
    QCOMPARE(s.textFont.pointSize(), 14);
    QCOMPARE(s.textFont.weight(), 50);
    QCOMPARE(s.inpFont.family(), QStringLiteral("MS UI Gothic"));
    QCOMPARE(s.inpFont.pointSize(), 9);
    QCOMPARE(s.assistFont.pointSize(), 12);

    QCOMPARE(s.backcolor, QColor(10, 27, 52));
    QCOMPARE(s.hlbackcolor, QColor(70, 130, 180));
    QCOMPARE(s.fnamecolor, QColor(255, 255, 0));
    QCOMPARE(s.header_backcolor, QColor(210, 210, 210));
    QCOMPARE(s.paletteBase, QColor(25, 25, 25));
    QCOMPARE(s.paletteHighlightedText, QColor(0, 0, 0));
    QCOMPARE(s.assistWinBackColor, QColor(34, 51, 68));
    QCOMPARE(s.assistWinTextColor, QColor(221, 221, 221));
}

void TestSettings::columnWidth_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QList<int>>("widths");
    const QList<int> gap{100, 0, 80, 40, 40, 40, 40, 40};
    QTest::newRow("unquoted with empty part") << QByteArray("100,,80") << gap;
    QTest::newRow("as the INI writer rewrites it") << QByteArray("100, , 80") << gap;
    QTest::newRow("quoted") << QByteArray("\"100,,80\"") << gap;
    QTest::newRow("one value") << QByteArray("120") << QList<int>{120, 40, 40, 40, 40, 40, 40, 40};
    QTest::newRow("more than eight")
        << QByteArray("1,2,3,4,5,6,7,8,9") << QList<int>{1, 2, 3, 4, 5, 6, 7, 8};
    QTest::newRow("not a number") << QByteArray("x,50")
                                  << QList<int>{0, 50, 40, 40, 40, 40, 40, 40};
}

// The width list is never written by save, yet the INI writer rewrites it as a list:
// the widths must come back the same after any number of save/load rounds.
void TestSettings::columnWidth()
{
    QFETCH(QByteArray, value);
    QFETCH(QList<int>, widths);
    ProgramDirScope dir;
    writeAll(iniFile(dir), "columnWidth=" + value + "\n");
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
    writeAll(iniFile(dir), "csv_filename=D:/a,b/list.csv\n"
                           "[tiles]\nosm=http://127.0.0.1/{z},{x},{y}.png\n");
    writeAll(dir.file(QStringLiteral("classsetting.ini")), "[class]\nname005=A,B\n");
    for (int round = 0; round < 2; ++round) {
        AppSettings s;
        s.load();
        QCOMPARE(s.csv_filename, QStringLiteral("D:/a,b/list.csv"));
        QCOMPARE(s.tilesOsm, QStringLiteral("http://127.0.0.1/{z},{x},{y}.png"));
        QCOMPARE(s.className[5], QStringLiteral("A,B"));
        QVERIFY(s.save());
    }
}

void TestSettings::boldWeights_data()
{
    QTest::addColumn<int>("savedWeight");
    QTest::addColumn<QString>("written");
    QTest::addColumn<int>("loadedWeight");
    QTest::newRow("bold") << 75 << "true" << 75;
    QTest::newRow("63 counts as bold") << 63 << "true" << 75;
    QTest::newRow("57 is not bold") << 57 << "false" << 50;
    QTest::newRow("normal") << 50 << "false" << 50;
}

void TestSettings::boldWeights()
{
    QFETCH(int, savedWeight);
    QFETCH(QString, written);
    QFETCH(int, loadedWeight);
    ProgramDirScope dir;
    AppSettings s;
    s.load();
    s.textFont.setWeight(savedWeight);
    QVERIFY(s.save());
    QVERIFY(readAll(iniFile(dir)).contains(("text_bold=" + written).toLatin1()));
    AppSettings reloaded;
    reloaded.load();
    QCOMPARE(reloaded.textFont.weight(), loadedWeight);
}

void TestSettings::savedFilesHaveBomAndCrLf()
{
    ProgramDirScope dir;
    // A hand-edited file that already has a mark: its first key sits before any section.
    writeAll(iniFile(dir), utf8Bom + "timeout=60\r\nzoomLevel=12\r\n[font]\r\ntext_family=X\r\n");
    AppSettings s;
    s.load();
    QCOMPARE(s.timeout, 60);
    QCOMPARE(s.zoomLevel, 12);
    s.csv_filename = QStringLiteral("名城.csv");
    s.splitter = {300, 700};
    s.geometry = QByteArray("\x01\x02geometry", 10);
    QVERIFY(s.save());

    for (const QString& name :
         {QStringLiteral("mivaromap.ini"), QStringLiteral("classsetting.ini")}) {
        const QByteArray bytes = readAll(dir.file(name));
        QVERIFY2(bytes.startsWith(utf8Bom) && !bytes.mid(3).contains(utf8Bom), qPrintable(name));
        QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
        QVERIFY(!bytes.contains("\r\r"));
    }
    QVERIFY(!readAll(iniFile(dir)).contains("%EF%BB%BF"));

    AppSettings reloaded;
    reloaded.load();
    QCOMPARE(reloaded.timeout, 60);
    QCOMPARE(reloaded.zoomLevel, 12);
    QCOMPARE(reloaded.csv_filename, s.csv_filename);
    QCOMPARE(reloaded.splitter, s.splitter);
    QCOMPARE(reloaded.geometry, s.geometry);
    QCOMPARE(reloaded.textFont.family(), QStringLiteral("X"));
}

void TestSettings::handWrittenKeysSurvive()
{
    ProgramDirScope dir;
    writeAll(iniFile(dir), "timeout=60\nradius=70\nsiroIcon=false\ncache_path=/tmp/tiles\n"
                           "backupcnt=5\nassistWinBackColor=#010203\nmyOwnKey=keep me\n"
                           "[font]\nassit_family=Foo\nassit_pointSize=20\nassist_bold=true\n"
                           "[tiles]\ngsi=http://127.0.0.1:8/{z}/{x}/{y}.png\n");
    AppSettings s;
    s.load();
    s.timeout = 1; // never written: the file keeps what the user put there
    s.radius = 1;
    QVERIFY(s.save());

    QSettings raw(iniFile(dir) + QStringLiteral(".check"), QSettings::IniFormat);
    writeAll(raw.fileName(), readAll(iniFile(dir)).mid(3)); // QSettings cannot read the mark
    raw.sync();
    QCOMPARE(raw.value(QStringLiteral("myOwnKey")).toString(), QStringLiteral("keep me"));

    AppSettings reloaded;
    reloaded.load();
    QCOMPARE(reloaded.timeout, 60);
    QCOMPARE(reloaded.radius, 70);
    QCOMPARE(reloaded.siroIcon, false);
    QCOMPARE(reloaded.cache_path, QStringLiteral("/tmp/tiles"));
    QCOMPARE(reloaded.backupcnt, 5);
    QCOMPARE(reloaded.assistWinBackColor, QColor(1, 2, 3));
    QCOMPARE(reloaded.assistFont.family(), QStringLiteral("Foo"));
    QCOMPARE(reloaded.assistFont.pointSize(), 20);
    QCOMPARE(reloaded.assistFont.weight(), 75);
    QCOMPARE(reloaded.tilesGsi, QStringLiteral("http://127.0.0.1:8/{z}/{x}/{y}.png"));
}

void TestSettings::backupOnlyOnFirstSaveOfTheDay()
{
    ProgramDirScope dir;
    const QString ini = iniFile(dir);
    writeAll(ini, "zoomLevel=5\n");
    setModified(ini, daysAgo(1));
    const QDate stateDay = daysAgo(1).date();
    AppSettings s;
    s.load();
    s.zoomLevel = 6;
    QVERIFY(s.save());
    QCOMPARE(readAll(ini + ".bak1"), QByteArray("zoomLevel=5\n"));
    QCOMPARE(QFileInfo(ini + ".bak1").lastModified().date(), stateDay);

    s.zoomLevel = 7;
    QVERIFY(s.save());
    QCOMPARE(readAll(ini + ".bak1"), QByteArray("zoomLevel=5\n"));
    QVERIFY(!QFileInfo::exists(ini + ".bak2"));
}

void TestSettings::backupsRotateThreeDeep()
{
    ProgramDirScope dir;
    const QString ini = iniFile(dir);
    writeAll(ini, "backupcnt=3\n");
    writeAll(ini + ".bak1", "one");
    writeAll(ini + ".bak2", "two");
    writeAll(ini + ".bak3", "three");
    setModified(ini, daysAgo(2));
    setModified(ini + ".bak1", daysAgo(3));
    setModified(ini + ".bak2", daysAgo(4));
    setModified(ini + ".bak3", daysAgo(5));
    AppSettings s;
    s.load();
    QVERIFY(s.save());
    QCOMPARE(readAll(ini + ".bak1"), QByteArray("backupcnt=3\n"));
    QCOMPARE(readAll(ini + ".bak2"), QByteArray("one"));
    QCOMPARE(readAll(ini + ".bak3"), QByteArray("two"));
    QVERIFY(!QFileInfo::exists(ini + ".bak4"));
}

void TestSettings::missingFileRotatesNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gone.ini"));
    writeAll(path + ".bak1", "one");
    rotateBackups(path, 3, true);
    QCOMPARE(readAll(path + ".bak1"), QByteArray("one"));
    QVERIFY(!QFileInfo::exists(path + ".bak2"));
}

void TestSettings::rewriteWithBomLeavesUnreadableAlone()
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing.ini"));
    QVERIFY(!rewriteWithBom(missing));
    QVERIFY(!QFileInfo::exists(missing));
    QVERIFY(!rewriteWithBom(dir.path()));
    QVERIFY(QFileInfo(dir.path()).isDir());

    const QString file = dir.filePath(QStringLiteral("a.ini"));
    writeAll(file, "a=1\nb=日本\n");
    QVERIFY(rewriteWithBom(file));
    QVERIFY(rewriteWithBom(file));
    QCOMPARE(readAll(file), utf8Bom + QByteArray("a=1\r\nb=日本\r\n"));
}

void TestSettings::classFile()
{
    ProgramDirScope dir;
    const QString only5 = dir.file(QStringLiteral("only5.ini"));
    writeAll(only5, "[class]\nname005=Castle\n[color]\nback006=nonsense\n");
    AppSettings s;
    s.className[9] = QStringLiteral("stale");
    s.classBack[9] = Qt::red;
    s.loadClasses(only5);
    QCOMPARE(s.className[5], QStringLiteral("Castle"));
    QVERIFY(s.className[9].isEmpty());
    QCOMPARE(s.classBack[9], QColor(128, 128, 128));
    QVERIFY(!s.classBack[6].isValid());

    s.classBack[7] = QColor(1, 2, 3);
    const QString saved = dir.file(QStringLiteral("new.ini"));
    QVERIFY(s.saveClasses(saved));
    const QByteArray bytes = readAll(saved);
    QVERIFY(!bytes.startsWith(utf8Bom));
    QVERIFY(!QFileInfo::exists(saved + ".bak1"));
    QSettings raw(saved, QSettings::IniFormat);
    QCOMPARE(raw.allKeys().size(), 600);
    QCOMPARE(raw.value(QStringLiteral("color/back007")).toString(), QStringLiteral("#010203"));
    QCOMPARE(raw.value(QStringLiteral("class/name199")).toString(), QString());

    // A directory in the way: the save fails and says so.
    QDir(dir.path()).mkdir(QStringLiteral("blocked.ini"));
    QVERIFY(!s.saveClasses(dir.file(QStringLiteral("blocked.ini"))));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
