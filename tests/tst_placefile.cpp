#include "records/placefile.h"
#include "testsupport.h"

#include <QDateTime>
#include <QtTest>

class TestPlaceFile : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
private slots:
    // A file read and written back: the records' names and levels, and whether the bytes
    // come back unchanged (NUL and the CR of CR LF are not kept).
    void readAndWriteBack_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("records");
        QTest::addColumn<bool>("same");
        const QByteArray bom("\xEF\xBB\xBF");
        const auto row = [](const char* tag, const QByteArray& b, const QString& r, bool same) {
            QTest::newRow(tag) << b << r << same;
        };
        row("plain", bom + "大坂城,135.525,34.687,3,1,Image,11,10\n,,,,,,,\n", "大坂城/10|/", true);
        row("quoted", bom + "\"城, 本丸\",1,2,3,1,I,1,1\n\"\"\"x\",,,,,,,\n", "城, 本丸/1|\"x/",
            true);
        row("line break, CR", bom + "\"a\nb\",1,2,3,1,I,1,\"1,0\r\"\n", "a\nb/1,0\r", true);
        row("NUL mid-file", QByteArray("a") + '\0' + "b,1,2,3,1,I,1,1\nc,1,2,3,1,I,1,1\n",
            "ab/1|c/1", false);
        row("mark kept in a name", bom + bom + bom + "x,1,2,3,1,I,1,1\n",
            QString(2, QChar(0xFEFF)) + "x/1", true);
        row("bad UTF-8 goes on", "\xFF\xFE,1,2,3,1,I,1,1\nd,1,2,3,1,I,1,1",
            QString(2, QChar(0xFFFD)) + "/1|d/1", false);
        row("CR LF, all quoted",
            "\"姫路城\",\"134.69\",\"34.83\",\"3\",\"2\",\"Image\",\"11\",\"10\"\r\n"
            "\"a,b\",\"1\",\"2\",\"\",\"1\",\"Circle\",\"\",\"\"\r\nc,1,2,,1,,,10\r\n",
            "姫路城/10|a,b/|c/10", false);
    }
    void readAndWriteBack()
    {
        QFETCH(QByteArray, bytes);
        const QString in = dir.filePath("in.csv"), out = dir.filePath("out.csv");
        writeAll(in, bytes);
        const PlaceList list = parsePlaceLines(readPlaceLines(in));
        QStringList records;
        for (const auto& r : list)
            records << r->name + '/' + r->level;
        QTEST(records.join('|'), "records");
        QVERIFY(writePlaceFile(list, out, nullptr));
        QFETCH(bool, same);
        QCOMPARE(readAll(out) == bytes, same);
        QVERIFY(readAll(out).startsWith("\xEF\xBB\xBF") && !readAll(out).contains("\r\n"));
    }
    // Hand-written text that only looks quoted is taken as it stands; a quote that never
    // closes must not swallow the lines after it.
    void recordsFromLines()
    {
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
        QCOMPARE(formatPlaceLine(r), QStringLiteral("\"A,B\",135.5,34.6,,,,,\"10\r\"\n"));
    }
    void fileNames()
    {
        QCOMPARE(withCsvSuffix("a.Csv") + withCsvSuffix("a.csv.txt"), "a.Csva.csv.txt");
        QCOMPARE(autosavePath("D:/m/list.old.csv"), QStringLiteral("D:/m/list_autosave.csv"));
    }
    // "name x y layer", against A at 135 and 136, B at 135; the namesakes reported.
    void duplicates_data()
    {
        QTest::addColumn<QString>("record");
        QTest::addColumn<bool>("duplicate");
        QTest::addColumn<QString>("report");
        const QString both = "1 : A\n3 : A\n";
        QTest::newRow("x 0.0009 off") << "A 135.0009 34 1" << true << "";
        QTest::newRow("x 0.0011 off") << "A 134.9989 34 1" << false << both;
        QTest::newRow("y 0.0009 off") << "A 135 33.9991 1" << true << "";
        QTest::newRow("y 0.0011 off") << "A 135 34.0011 1" << false << both;
        QTest::newRow("later match") << "A 136 34 1" << true << "1 : A\n";
        QTest::newRow("other layer") << "A 135 34 2" << false << both;
        QTest::newRow("case-sensitive name") << "a 135 34 1" << false << "";
    }
    void duplicates()
    {
        QFETCH(QString, record);
        const QStringList f = record.split(' ');
        QFETCH(QString, report);
        const auto list = parsePlaceLines({"A,135,34,,1,,,", "B,135,34,,1,,,", "A,136,34,,1,,,"});
        QString seen = QStringLiteral("kept\n");
        QTEST(isExactDuplicate(list, f[0], f[1], f[2], f[3], seen), "duplicate");
        QCOMPARE(seen, "kept\n" + report);
    }
    void backups()
    {
        const QString file = dir.filePath("list.csv");
        const auto generations = [&] {
            return readAll(file + ".bak1") + readAll(file + ".bak2") + readAll(file + ".bak3");
        };
        writeAll(file, "state");
        for (const char* n : {"1", "2", "3"})
            writeAll(file + ".bak" + n, n);
        setModified(file, QDateTime::currentDateTime().addDays(-1));
        backupPlaceFile(file, true);
        backupPlaceFile(file, false); // the newest backup holds this state already
        QVERIFY(generations() == "state12" && !QFile::exists(file + ".bak4"));
        // Changed today: a daily backup waits for tomorrow, an autosave's does not.
        writeAll(file, "today");
        backupPlaceFile(file, true);
        QCOMPARE(generations(), QByteArray("state12"));
        backupPlaceFile(file, false);
        backupPlaceFile(file, false);
        QCOMPARE(generations(), QByteArray("todaystate1"));
        QVERIFY(QFile::remove(file)); // nothing to copy: the generations stay
        backupPlaceFile(file, false);
        QCOMPARE(generations(), QByteArray("todaystate1"));
    }
    void failedWriteKeepsOldFile()
    {
        const PlaceList list = parsePlaceLines({"A,1,2,3,4,5,6,7"});
        QString reason;
        // A folder in the way is the document's test. At the name length limit no temporary fits
        // beside it, whatever rights the test has.
        const QString file = dir.filePath(QString(251, 'n') + ".csv");
        writeAll(file, "old\n");
        QVERIFY(!writePlaceFile(list, file, &reason));
        QVERIFY2(!reason.isEmpty() && reason != QFile().errorString(), qPrintable(reason));
        QCOMPARE(readAll(file), QByteArray("old\n"));
    }
};

QTEST_MAIN(TestPlaceFile)
#include "tst_placefile.moc"
