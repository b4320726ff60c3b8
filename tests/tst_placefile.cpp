#include "records/placefile.h"
#include "testsupport.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QtTest>

namespace {
const QByteArray utf8Bom("\xEF\xBB\xBF");

PlaceList placesOf(const QStringList& names)
{
    PlaceList list;
    for (const QString& line : names)
        for (auto& r : parsePlaceLines({line}))
            list.push_back(std::move(r));
    return list;
}
} // namespace

class TestPlaceFile : public QObject
{
    Q_OBJECT
private slots:
    void roundTripIsByteIdentical_data();
    void roundTripIsByteIdentical();
    void splitLine_data();
    void splitLine();
    void recordsFromLines();
    void writtenLine();
    void fileNames();
    void duplicates_data();
    void duplicates();
    void backupsOnceADayThreeDeep();
    void failedWriteKeepsOldFile();
};

void TestPlaceFile::roundTripIsByteIdentical_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("plain") << QByteArray("大坂城,135.525,34.687,3,1,Image,11,10\n"
                                         "姫路城,134.694,34.839,1,2,Circle,14,12\n");
    QTest::newRow("CR LF kept in level") << QByteArray("a,1,2,0,1,Image,11,10\r\nb,1,2,0,1,,,\r\n");
    QTest::newRow("empty fields") << QByteArray(",,,,,,,\n");
    QTest::newRow("quoted comma and quote")
        << QByteArray("\"城, 本丸\",1,2,3,1,Image,11,10\n\"the \"\"big\"\" one\",1,2,3,1,x,1,1\n");
    QTest::newRow("quoted line break") << QByteArray("\"two\nlines\",1,2,3,1,Image,11,10\n");
    QTest::newRow("quoted last field with CR") << QByteArray("a,1,2,3,1,Image,11,\"1,0\r\"\n");
}

void TestPlaceFile::roundTripIsByteIdentical()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("in.csv"));
    const QString out = dir.filePath(QStringLiteral("out.csv"));
    writeAll(in, utf8Bom + bytes);
    QString error;
    QVERIFY(writePlaceFile(parsePlaceLines(readPlaceLines(in)), out, &error));
    QCOMPARE(readAll(out), utf8Bom + bytes);
}

void TestPlaceFile::splitLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("plain keeps empty parts") << "a,,b," << QStringList{"a", "", "b", ""};
    QTest::newRow("quoted comma") << "\"a,b\",1" << QStringList{"a,b", "1"};
    QTest::newRow("doubled quote") << "\"a\"\"b\",1" << QStringList{"a\"b", "1"};
    QTest::newRow("quoted later field") << "1,\"a,b\"" << QStringList{"1", "a,b"};
    QTest::newRow("empty quoted") << "\"\",1" << QStringList{"", "1"};
    QTest::newRow("quote inside plain field") << "a\"b,1" << QStringList{"a\"b", "1"};
    // Hand-written text that only looks quoted is taken as it stands.
    QTest::newRow("text after closing quote") << "\"Big\" one,1" << QStringList{"\"Big\" one", "1"};
    QTest::newRow("unterminated") << "\"open,1,2" << QStringList{"\"open", "1", "2"};
}

void TestPlaceFile::splitLine()
{
    QFETCH(QString, line);
    QFETCH(QStringList, fields);
    QCOMPARE(splitPlaceLine(line), fields);
}

void TestPlaceFile::recordsFromLines()
{
    const PlaceList list = parsePlaceLines({
        "seven,1,2,3,4,5,6",
        "nine,1,2,3,4,5,6,7,8",
        "",
        "\"span",
        "ned\",1,2,3,4,5,6,7",
        "\"stray,1,2,3,4,5,6,7",
        "next,1,2,3,4,5,6,7",
        "",
    });
    QCOMPARE(int(list.size()), 4);
    QCOMPARE(list[0]->name, QStringLiteral("nine"));
    QCOMPARE(list[0]->level, QStringLiteral("7"));
    QCOMPARE(list[1]->name, QStringLiteral("span\nned"));
    QCOMPARE(list[1]->level, QStringLiteral("7"));
    // A quote that never closes must not swallow the lines after it.
    QCOMPARE(list[2]->name, QStringLiteral("\"stray"));
    QCOMPARE(list[3]->name, QStringLiteral("next"));
    QVERIFY(!list[0]->marked);
}

void TestPlaceFile::writtenLine()
{
    PlaceRecord r;
    r.name = QStringLiteral("A,B");
    r.x = QStringLiteral("  135.5 ");
    r.y = QStringLiteral("\t34.6");
    r.level = QStringLiteral("10\r");
    QCOMPARE(formatPlaceLine(r), QStringLiteral("\"A,B\",135.5,34.6,,,,,10\r\n"));
    QCOMPARE(r.x, QStringLiteral("  135.5 ")); // the record keeps its blanks
}

void TestPlaceFile::fileNames()
{
    QCOMPARE(withCsvSuffix("list"), QStringLiteral("list.csv"));
    QCOMPARE(withCsvSuffix("LIST.CSV"), QStringLiteral("LIST.CSV.csv"));
    QCOMPARE(withCsvSuffix("a.csv.txt"), QStringLiteral("a.csv.txt"));
    QCOMPARE(autosavePath("D:/m/list.old.csv"), QStringLiteral("D:/m/list_autosave.csv"));
    ProgramDirScope dir;
    QCOMPARE(autosavePath(QString()), dir.file(QStringLiteral("castlelist_autosave.csv")));
}

void TestPlaceFile::duplicates_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("x");
    QTest::addColumn<QString>("layer");
    QTest::addColumn<bool>("duplicate");
    QTest::addColumn<QString>("report");
    QTest::newRow("first matches") << "A"
                                   << "135.0"
                                   << "1" << true << "";
    QTest::newRow("within 0.001") << "A"
                                  << "135.0009"
                                  << "1" << true << "";
    QTest::newRow("later match, earlier reported") << "A"
                                                   << "136"
                                                   << "1" << true << "1 : A\n";
    QTest::newRow("other coordinates") << "A"
                                       << "137"
                                       << "1" << false << "1 : A\n3 : A\n";
    QTest::newRow("other layer") << "A"
                                 << "135"
                                 << "2" << false << "1 : A\n3 : A\n";
    QTest::newRow("name is case-sensitive") << "a"
                                            << "135"
                                            << "1" << false << "";
}

void TestPlaceFile::duplicates()
{
    QFETCH(QString, name);
    QFETCH(QString, x);
    QFETCH(QString, layer);
    QFETCH(bool, duplicate);
    QFETCH(QString, report);
    const PlaceList list = placesOf(
        {"A,135,34,0,1,Image,11,10", "B,135,34,0,1,Image,11,10", "A,136,34,0,1,Image,11,10"});
    QString addReport = QStringLiteral("kept\n");
    QCOMPARE(isExactDuplicate(list, name, x, QStringLiteral("34"), layer, addReport), duplicate);
    QCOMPARE(addReport, QStringLiteral("kept\n") + report);
}

void TestPlaceFile::backupsOnceADayThreeDeep()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("list.csv"));
    const QDateTime yesterday = QDateTime::currentDateTime().addDays(-1);
    writeAll(file, "state");
    setModified(file, yesterday);
    for (int i = 1; i <= 3; ++i) {
        writeAll(file + ".bak" + QString::number(i), QByteArray::number(i));
        setModified(file + ".bak" + QString::number(i), yesterday.addDays(-i));
    }
    backupPlaceFile(file, true);
    // The newest backup now holds this state: no copy again, even without the daily limit.
    backupPlaceFile(file, false);
    QCOMPARE(readAll(file + ".bak1"), QByteArray("state"));
    QCOMPARE(readAll(file + ".bak2") + readAll(file + ".bak3"), QByteArray("12"));
    QVERIFY(!QFileInfo::exists(file + ".bak4"));

    writeAll(file, "today"); // changed today: the next generation waits for tomorrow
    backupPlaceFile(file, true);
    QCOMPARE(readAll(file + ".bak1"), QByteArray("state"));

    // Nothing to copy: the generations stay where they are.
    QVERIFY(QFile::remove(file));
    backupPlaceFile(file, false);
    QCOMPARE(readAll(file + ".bak1") + readAll(file + ".bak2"), QByteArray("state1"));
}

void TestPlaceFile::failedWriteKeepsOldFile()
{
    QTemporaryDir dir;
    const PlaceList list = placesOf({"A,1,2,3,4,5,6,7"});
    QString error;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("taken.csv")));
    QVERIFY(!writePlaceFile(list, dir.filePath(QStringLiteral("taken.csv")), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("taken.csv"))).isDir());

    // A name at the file system's length limit leaves no room for the temporary beside it,
    // whatever rights the test runs with.
    const QString file = dir.filePath(QString(251, QLatin1Char('n')) + QStringLiteral(".csv"));
    writeAll(file, "old\n");
    QCOMPARE(readAll(file), QByteArray("old\n"));
    error.clear();
    QVERIFY(!writePlaceFile(list, file, &error));
    QVERIFY2(!error.isEmpty() && error != QFile().errorString(), qPrintable(error)); // a reason
    QCOMPARE(readAll(file), QByteArray("old\n"));
}

QTEST_MAIN(TestPlaceFile)
#include "tst_placefile.moc"
