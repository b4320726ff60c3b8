#include "records/placefile.h"
#include "testsupport.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QtTest>

class TestPlaceFile : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
private slots:
    void roundTripIsByteIdentical_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("plain") << QByteArray("大坂城,135.525,34.687,3,1,Image,11,10\n,,,,,,,\n");
        QTest::newRow("CR kept") << QByteArray("a,1,2,0,1,Image,11,10\r\nb,1,2,0,1,,,\r\n");
        QTest::newRow("quoted") << QByteArray("\"城, 本丸\",1,2,3,1,I,1,1\n\"\"\"x\",,,,,,,\n");
        QTest::newRow("line break, CR") << QByteArray("\"a\nb\",1,2,3,1,I,1,\"1,0\r\"\n");
    }
    void roundTripIsByteIdentical()
    {
        QFETCH(QByteArray, bytes);
        const QString in = dir.filePath("in.csv"), out = dir.filePath("out.csv");
        writeAll(in, "\xEF\xBB\xBF" + bytes);
        QVERIFY(writePlaceFile(parsePlaceLines(readPlaceLines(in)), out, nullptr));
        QCOMPARE(readAll(out), "\xEF\xBB\xBF" + bytes);
    }
    void recordsFromLines()
    {
        // Hand-written text that only looks quoted is taken as it stands; a quote that never
        // closes must not swallow the lines after it.
        const PlaceList list = parsePlaceLines(
            {"seven,1,2,3,4,5,6", "nine,1,2,3,4,5,6,7,8", "", "\"span", "ned\",1,2,3,4,5,6,7",
             "\"a,\"\"b\"\"\",1,2,3,4,5,6,7", "a\"b,1,2,3,4,5,6,7", "\"Big\" one,1,2,3,4,5,6,7",
             "\"stray,1,2,3,4,5,6,7", "next,1,2,3,4,5,6,7"});
        QStringList names;
        for (const auto& r : list)
            names << r->name + '/' + r->level;
        QCOMPARE(names, QStringList({"nine/7", "span\nned/7", "a,\"b\"/7", "a\"b/7",
                                     "\"Big\" one/7", "\"stray/7", "next/7"}));
        PlaceRecord r;
        std::tie(r.name, r.x, r.y, r.level) = std::tuple("A,B", "  135.5 ", "\t34.6", "10\r");
        QCOMPARE(formatPlaceLine(r), QStringLiteral("\"A,B\",135.5,34.6,,,,,10\r\n"));
    }
    // A spreadsheet's export: every field quoted, CR LF line ends.
    void quotedCrLfExport()
    {
        const QString file = dir.filePath("export.csv");
        writeAll(file, "\"姫路城\",\"134.69\",\"34.83\",\"3\",\"2\",\"Image\",\"11\",\"10\"\r\n"
                       "\"a,b\",\"1\",\"2\",\"\",\"1\",\"Circle\",\"\",\"\"\r\n");
        const PlaceList list = parsePlaceLines(readPlaceLines(file));
        QCOMPARE(int(list.size()), 2);
        QStringList fields;
        for (const auto& r : list)
            for (int c = 0; c < 8; ++c)
                fields << r->field(c);
        QCOMPARE(fields, QStringList({"姫路城", "134.69", "34.83", "3", "2", "Image", "11", "10",
                                      "a,b", "1", "2", "", "1", "Circle", "", ""}));
    }
    void fileNames()
    {
        QCOMPARE(withCsvSuffix("list"), QStringLiteral("list.csv"));
        QCOMPARE(withCsvSuffix("LIST.CSV"), QStringLiteral("LIST.CSV.csv"));
        QCOMPARE(withCsvSuffix("a.csv.txt"), QStringLiteral("a.csv.txt"));
        QCOMPARE(autosavePath("D:/m/list.old.csv"), QStringLiteral("D:/m/list_autosave.csv"));
        ProgramDirScope program;
        QCOMPARE(autosavePath(QString()), program.file("castlelist_autosave.csv"));
    }
    void duplicates_data()
    {
        QTest::addColumn<QStringList>("record"); // name, x, y, layer
        QTest::addColumn<bool>("duplicate");
        QTest::addColumn<QString>("report");
        QTest::newRow("x 0.0009 off") << QStringList{"A", "135.0009", "34", "1"} << true << "";
        QTest::newRow("x 0.0011 off")
            << QStringList{"A", "134.9989", "34", "1"} << false << "1 : A\n3 : A\n";
        QTest::newRow("y 0.0009 off") << QStringList{"A", "135", "33.9991", "1"} << true << "";
        QTest::newRow("y 0.0011 off")
            << QStringList{"A", "135", "34.0011", "1"} << false << "1 : A\n3 : A\n";
        QTest::newRow("later match") << QStringList{"A", "136", "34", "1"} << true << "1 : A\n";
        QTest::newRow("other layer")
            << QStringList{"A", "135", "34", "2"} << false << "1 : A\n3 : A\n";
        QTest::newRow("case-sensitive name") << QStringList{"a", "135", "34", "1"} << false << "";
    }
    void duplicates() // same-named records met before the match are reported
    {
        QFETCH(QStringList, record);
        QFETCH(bool, duplicate);
        QFETCH(QString, report);
        const auto list = parsePlaceLines({"A,135,34,,1,,,", "B,135,34,,1,,,", "A,136,34,,1,,,"});
        QString seen = QStringLiteral("kept\n"); // appended to, never replaced
        QCOMPARE(isExactDuplicate(list, record[0], record[1], record[2], record[3], seen),
                 duplicate);
        QCOMPARE(seen, "kept\n" + report);
    }
    void backupsOnceADayThreeDeep()
    {
        const QString file = dir.filePath("list.csv");
        const QDateTime yesterday = QDateTime::currentDateTime().addDays(-1);
        for (int i = 0; i <= 3; ++i) {
            const QString name = i ? file + ".bak" + QString::number(i) : file;
            writeAll(name, i ? QByteArray::number(i) : "state");
            setModified(name, yesterday.addDays(-i));
        }
        backupPlaceFile(file, true);
        backupPlaceFile(file, false); // the newest backup holds this state already
        QCOMPARE(readAll(file + ".bak1") + readAll(file + ".bak2") + readAll(file + ".bak3"),
                 QByteArray("state12"));
        QVERIFY(!QFileInfo::exists(file + ".bak4"));
        QCOMPARE(QFileInfo(file + ".bak1").lastModified().date(), yesterday.date());
        writeAll(file, "today"); // changed today: the next generation waits for tomorrow
        backupPlaceFile(file, true);
        QVERIFY(QFile::remove(file)); // nothing to copy: the generations stay
        backupPlaceFile(file, false);
        QCOMPARE(readAll(file + ".bak1") + readAll(file + ".bak2"), QByteArray("state1"));
    }
    void failedWriteKeepsOldFile()
    {
        const PlaceList list = parsePlaceLines({"A,1,2,3,4,5,6,7"});
        QString error, reason;
        QVERIFY(QDir(dir.path()).mkdir("taken.csv"));
        QVERIFY(!writePlaceFile(list, dir.filePath("taken.csv"), &error));
        QVERIFY(!error.isEmpty() && QFileInfo(dir.filePath("taken.csv")).isDir());
        // At the name length limit no temporary fits beside it, whatever rights the test has.
        const QString file = dir.filePath(QString(251, 'n') + ".csv");
        writeAll(file, "old\n");
        QVERIFY(!writePlaceFile(list, file, &reason));
        QVERIFY2(!reason.isEmpty() && reason != QFile().errorString(), qPrintable(reason));
        QCOMPARE(readAll(file), QByteArray("old\n"));
    }
};

QTEST_MAIN(TestPlaceFile)
#include "tst_placefile.moc"
