#include "records/bulkfilter.h"
#include "records/placefile.h"
#include "testsupport.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
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
        QTest::newRow("quoted") << QByteArray("\"城, 本丸\",1,2,3,1,I,1,1\n\"\"\"x\",,,,,,,\n");
        QTest::newRow("line break, CR") << QByteArray("\"a\nb\",1,2,3,1,I,1,\"1,0\r\"\n");
        QTest::newRow("quoted CR") << QByteArray("a,1,2,3,1,I,1,\"10\r\"\n");
    }
    void roundTripIsByteIdentical()
    {
        QFETCH(QByteArray, bytes);
        const QString in = dir.filePath("in.csv"), out = dir.filePath("out.csv");
        writeAll(in, "\xEF\xBB\xBF" + bytes);
        QVERIFY(writePlaceFile(parsePlaceLines(readPlaceLines(in)), out, nullptr));
        QCOMPARE(readAll(out), "\xEF\xBB\xBF" + bytes);
    }
    void decodeKeepsEverythingButNul_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("names");
        const QByteArray bom("\xEF\xBB\xBF");
        QTest::newRow("NUL mid-file")
            << QByteArray("a") + '\0' + "b,1,2,3,1,I,1,1\nc,1,2,3,1,I,1,1\n"
            << QStringList{"ab", "c"};
        QTest::newRow("NUL first") << QByteArray(1, '\0') + ",1,2,3,1,I,1,1\nc,1,2,3,1,I,1,1\n"
                                   << QStringList{"", "c"};
        QTest::newRow("mark kept in a name") << bom + bom + "\xEF\xBB\xBFx,1,2,3,1,I,1,1\n"
                                             << QStringList{QString(2, QChar(0xFEFF)) + "x"};
        QTest::newRow("no mark, not dropped")
            << QByteArray("z,1,2,3,1,I,1,1\n") << QStringList{"z"};
        QTest::newRow("bad UTF-8 goes on") << QByteArray("\xFF\xFE,1,2,3,1,I,1,1\nd,1,2,3,1,I,1,1")
                                           << QStringList{QString(2, QChar(0xFFFD)), "d"};
    }
    void decodeKeepsEverythingButNul()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, names);
        const QString file = dir.filePath("decode.csv");
        writeAll(file, bytes);
        QStringList read;
        for (const auto& r : parsePlaceLines(readPlaceLines(file)))
            read << r->name;
        QCOMPARE(read, names);
    }
    void fuzzedRoundTrip()
    {
        // Random names from all of Unicode, with the characters the format has to escape
        // made common; what is saved comes back exactly, NUL aside.
        QRandomGenerator random(7);
        const QVector<uint> tricky{',', '"', '\n', '\r', 0, 0xFEFF, ' ', 0x3000, 0x1F3EF};
        const auto randomText = [&](int maxLength) {
            QString text;
            const int length = random.bounded(maxLength + 1);
            for (int i = 0; i < length; ++i) {
                uint c = random.bounded(3) ? random.bounded(0x110000) : tricky[random.bounded(9)];
                if (c >= 0xD800 && c < 0xE000)
                    c = 0xFEFF; // a lone surrogate is no character
                text += QString::fromUcs4(&c, 1);
            }
            return text;
        };
        for (int round = 0; round < 200; ++round) {
            PlaceList list;
            for (int i = random.bounded(1, 6); i > 0; --i) {
                auto r = std::make_unique<PlaceRecord>();
                r->name = randomText(12);
                if (i == 1 && round % 2)
                    r->name.prepend(QChar(0xFEFF));
                r->x = QString::number(random.generateDouble());
                r->layer = randomText(3);
                r->level = randomText(3);
                list.push_back(std::move(r));
            }
            const QString file = dir.filePath("fuzz.csv");
            QVERIFY(writePlaceFile(list, file, nullptr));
            const PlaceList back = parsePlaceLines(readPlaceLines(file));
            QCOMPARE(back.size(), list.size());
            for (size_t i = 0; i < list.size(); ++i) {
                for (int c = 0; c < 8; ++c)
                    QCOMPARE(back[i]->field(c), QString(list[i]->field(c)).remove(QChar(0)));
            }
            // Random bytes: whatever comes out, nothing crashes.
            QByteArray junk(random.bounded(400), Qt::Uninitialized);
            for (char& b : junk)
                b = char(random.bounded(256));
            writeAll(file, junk);
            parsePlaceLines(readPlaceLines(file));
        }
    }
    void namesakeIndexAnswersAsTheScan()
    {
        // Few names, near and far spots and two layers: the index must say what the
        // plain scan says, report the same lines, and cut the report where told.
        QRandomGenerator random(11);
        const QStringList names{"", "A", "B"};
        const QStringList coords{"135",      "135.0009", "134.9991", "135.001",
                                 "135.0021", "nan",      "1e300",    "x"};
        const auto line = [&] {
            return names[random.bounded(3)] + ',' + coords[random.bounded(8)] + ',' +
                   coords[random.bounded(4)] + ",0," + QString::number(random.bounded(1, 3)) +
                   ",,,";
        };
        for (int round = 0; round < 60; ++round) {
            QStringList lines;
            for (int i = random.bounded(10); i > 0; --i)
                lines << line();
            PlaceList scanned = parsePlaceLines(lines);
            PlaceList indexed = parsePlaceLines(lines);
            NamesakeIndex all(indexed, 1 << 30), cut(indexed, 3);
            QString report;
            for (auto& r : parsePlaceLines({line(), line(), line(), line(), line(), line()})) {
                const bool dup = isExactDuplicate(scanned, r->name, r->x, r->y, r->layer, report);
                QCOMPARE(all.isExactDuplicate(r->name, r->x, r->y, r->layer), dup);
                QCOMPARE(cut.isExactDuplicate(r->name, r->x, r->y, r->layer), dup);
                if (dup)
                    continue;
                scanned.push_back(std::make_unique<PlaceRecord>(*r));
                all.add(*r, int(indexed.size()));
                cut.add(*r, int(indexed.size()));
                indexed.push_back(std::move(r));
            }
            QCOMPARE(all.fullReport(), report);
            const QStringList reported = report.split('\n', Qt::SkipEmptyParts);
            QString expected = QStringList(reported.mid(0, 3)).join('\n');
            if (!expected.isEmpty())
                expected += '\n';
            if (reported.size() > 3)
                expected += QStringLiteral("…ほか %1 件").arg(reported.size() - 3);
            QCOMPARE(cut.fullReport(), expected);
        }
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
        QCOMPARE(formatPlaceLine(r), QStringLiteral("\"A,B\",135.5,34.6,,,,,\"10\r\"\n"));
    }
    // Lists saved on Windows: CR LF line ends, all quoted by a spreadsheet or not.
    void crLfLists()
    {
        const QString file = dir.filePath("export.csv"), out = dir.filePath("out.csv");
        writeAll(file, "\"姫路城\",\"134.69\",\"34.83\",\"3\",\"2\",\"Image\",\"11\",\"10\"\r\n"
                       "\"a,b\",\"1\",\"2\",\"\",\"1\",\"Circle\",\"\",\"\"\r\n"
                       "c,1,2,,1,,,10\r\n");
        const PlaceList list = parsePlaceLines(readPlaceLines(file));
        QStringList fields;
        for (const auto& r : list)
            fields << r->name + '/' + r->x + '/' + r->shape + '/' + r->level;
        QCOMPARE(fields, QStringList({"姫路城/134.69/Image/10", "a,b/1/Circle/", "c/1//10"}));
        BulkFilter level10;
        level10.level = "10";
        QCOMPARE(bulkRows(list, level10), (std::vector<int>{0, 2}));
        QVERIFY(writePlaceFile(list, out, nullptr) && !readAll(out).contains('\r'));
    }
    void fileNames()
    {
        QCOMPARE(withCsvSuffix("list"), QStringLiteral("list.csv"));
        QCOMPARE(withCsvSuffix("LIST.CSV"), QStringLiteral("LIST.CSV"));
        QCOMPARE(withCsvSuffix("a.Csv"), QStringLiteral("a.Csv"));
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
        // Changed today: a daily backup waits for tomorrow, an autosave's does not.
        writeAll(file, "today");
        backupPlaceFile(file, true);
        QCOMPARE(readAll(file + ".bak1"), QByteArray("state"));
        backupPlaceFile(file, false);
        backupPlaceFile(file, false);
        QCOMPARE(readAll(file + ".bak1") + readAll(file + ".bak2") + readAll(file + ".bak3"),
                 QByteArray("todaystate1"));
        QVERIFY(QFile::remove(file)); // nothing to copy: the generations stay
        backupPlaceFile(file, false);
        QCOMPARE(readAll(file + ".bak1") + readAll(file + ".bak2"), QByteArray("todaystate"));
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
