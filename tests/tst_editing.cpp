#include "records/bulkfilter.h"
#include "records/edithistory.h"
#include "records/editing.h"
#include "records/placefile.h"

#include <QtTest>

namespace {

// Records from lines of up to eight fields.
PlaceList makeList(const QStringList& lines)
{
    QStringList full;
    for (const QString& line : lines)
        full << line + QString(7 - line.count(','), ',');
    return parsePlaceLines(full);
}

QString dump(const PlaceList& list)
{
    QString out;
    for (const auto& r : list)
        out += formatPlaceLine(*r);
    return out;
}

QStringList with(QStringList fields, int i, const QString& value)
{
    fields[i] = value;
    return fields;
}

} // namespace

class TestEditing : public QObject
{
    Q_OBJECT
private slots:
    // "text=x|y", or just the text when it is no position.
    void coordinatePair_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pair");
        for (const QString& row : QString("35.0, 135.5= 135.5|35.0;135.5 35.0=135.5|35.0;"
                                          " 10 , 20 = 10 | 20 ;135.5,35.0,7=135.5|35.0;"
                                          "-180,-90=-180|-90;180,90=180|90;abc;139.76;;東京,35.6;"
                                          "135.5,;135.5  35.0;35.0,180.5;-180.5,35.0;135.0,-90.5;"
                                          "100,120;nan,35;135,inf")
                                      .split(';'))
            QTest::newRow(qPrintable(row)) << row.section('=', 0, 0) << row.section('=', 1);
    }
    void coordinatePair()
    {
        QFETCH(QString, text);
        const auto pair = editing::parseCoordinatePair(text);
        QTEST(pair ? pair->x + '|' + pair->y : QString(), "pair");
    }

    // The mask: startX, startY, endX, endY, color, layer, shape, font, level; the record:
    // x, y, color, layer, shape, font, level.
    void bulkFilter_data()
    {
        QTest::addColumn<QStringList>("filter");
        QTest::addColumn<QStringList>("record");
        QTest::addColumn<bool>("passes");
        const QStringList mask = QString("135.0,35.0,136.0,34.0,3,2,Circle,11,10").split(',');
        const QStringList in = QString("135.5,34.5,3,2,Circle,11,10").split(',');
        const QStringList none = QVector<QString>(9).toList();
        QTest::newRow("inside, all match") << mask << in << true;
        QTest::newRow("no mask") << none << with(in, 2, "200") << true;
        const char* fields[] = {"color", "layer", "shape", "font", "level"};
        for (int f = 0; f < 5; ++f) {
            QTest::addRow("%s differs", fields[f])
                << mask << with(in, 2 + f, in[2 + f] + "0") << false;
            QTest::addRow("%s alone, far away", fields[f])
                << with(none, 4 + f, mask[4 + f]) << with(with(in, 0, "1"), 1, "1") << true;
        }
        // Outside or on an edge; the bounds are strict, compared as numbers.
        for (auto [c, value] : {std::pair{0, "135"}, {0, "136.0"}, {1, "35"}, {1, "34.0"}})
            QTest::addRow("%s on the edge", value) << mask << with(in, c, value) << false;
        QTest::newRow("as numbers")
            << with(with(mask, 0, "98.0"), 2, "100.0") << with(in, 0, "99.5") << true;
        QTest::newRow("blank before") << mask << with(in, 0, " 135.5") << true;
        const QStringList se = QString("136.0,34.0,135.0,35.0").split(','); // from south-east
        QTest::newRow("from south-east") << se + mask.mid(4) << in << true;
        QTest::newRow("from north-east")
            << with(with(se, 1, "35.0"), 3, "34.0") + mask.mid(4) << in << true;
        QTest::newRow("south-east, on the north edge")
            << se + mask.mid(4) << with(in, 1, "35.0") << false;
        // One corner missing or not a number: the rectangle is ignored, the fields still count.
        for (int corner = 0; corner < 4; ++corner)
            QTest::addRow("corner %d empty", corner)
                << with(mask, corner, "") << with(in, 1, "80") << true;
        QTest::newRow("corner not a number") << with(mask, 2, "x") << with(in, 1, "80") << true;
        QTest::newRow("a place without a number sits at 0")
            << QString("-1,-1,1,1,,,,,").split(',') << with(with(in, 0, "abc"), 1, "") << true;
    }
    void bulkFilter()
    {
        QFETCH(QStringList, filter);
        QFETCH(QStringList, record);
        BulkFilter f;
        QString* parts[] = {&f.startX, &f.startY, &f.endX, &f.endY, &f.color,
                            &f.layer,  &f.shape,  &f.font, &f.level};
        for (int i = 0; i < 9; ++i)
            *parts[i] = filter[i];
        PlaceRecord r;
        for (int c = 1; c < 8; ++c)
            r.field(c) = record[c - 1];
        QTEST(f.passes(r), "passes");
    }
    // "color,layer,shape,font,level" and the record after; nothing given, nothing changes.
    void replacement_data()
    {
        QTest::addColumn<QString>("values");
        QTest::addColumn<QString>("after");
        for (const char* row :
             {",,,,=n,1,2,3,4,Image,11,10", ",,,,15=n,1,2,3,4,Image,11,15",
              "12,,Circle,,=n,1,2,12,4,Circle,11,10", ",7,,20,=n,1,2,3,7,Image,20,10"})
            QTest::newRow(row) << QString(row).section('=', 0, 0)
                               << QString(row).section('=', 1) + '\n';
    }
    void replacement()
    {
        QFETCH(QString, values);
        const QStringList v = values.split(',');
        const editing::Replacement rep{v[0], v[1], v[2], v[3], v[4]};
        QCOMPARE(rep.isEmpty(), values == ",,,,");
        PlaceList list = makeList({"n,1,2,3,4,Image,11,10"});
        rep.applyTo(*list[0]);
        QTEST(dump(list), "after");
    }

    // The records of the list "abcdef" taken, by name in the order given.
    void takeAndRestore_data()
    {
        QTest::addColumn<QString>("take");
        for (const char* take : {"bd", "af", "abcdef", "eac", ""})
            QTest::newRow(take) << take;
    }
    void takeAndRestore()
    {
        QFETCH(QString, take);
        PlaceList list = makeList({"a", "b", "c", "d", "e", "f"});
        const QString before = dump(list);
        std::vector<PlaceRecord*> which;
        for (QChar c : take)
            which.push_back(list[c.unicode() - 'a'].get());
        auto taken = editing::takeRecords(list, which);
        QString rest = "abcdef", indexes;
        for (const auto& t : taken)
            indexes += QChar('a' + t.first);
        for (QChar c : take)
            rest.remove(c);
        QCOMPARE(dump(list).remove(QRegularExpression(",*\n")), rest);
        std::sort(take.begin(), take.end());
        QCOMPARE(indexes, take);
        editing::restoreRecords(list, taken);
        QCOMPARE(dump(list), before);
    }

    // Each edit, undone and redone, gives the list back exactly; every step reports its save.
    void historyWalk()
    {
        PlaceList list = makeList({"a,1,1,0,1,Image,11,10", "b,2,2,0,1,Image,11,10",
                                   "c,3,3,0,1,Image,11,10", "d,4,4,0,1,Image,11,10"});
        QList<int> saves;
        EditHistory history(&list, [&](const EditHistory::Effect& e) { saves << int(e.save); });
        using S = EditHistory::Save;
        QStringList states{dump(list)};
        auto fields = editing::fieldsOf(*list[1]);
        fields[0] = "B";
        fields[3] = "12";
        history.changeFields({{list[1].get(), fields}}, "c", {S::Autosave, {}});
        states << dump(list);
        auto added = std::make_unique<PlaceRecord>();
        editing::setFields(*added, {"e", "5", "5", "0", "1", "Image", "11", "10"});
        history.appendRecord(std::move(added), "n", {S::Autosave, {}});
        states << dump(list);
        history.removeRecords({list[0].get(), list[2].get()}, "d", {S::AutosaveWithBackup, {}});
        states << dump(list);
        // A field edit after a delete reaches the right record.
        fields = editing::fieldsOf(*list[2]);
        fields[7] = "15";
        history.changeFields({{list[2].get(), fields}, {nullptr, fields}}, "r", {S::None, {}});
        states << dump(list);
        QCOMPARE(states.last(), QString("B,2,2,12,1,Image,11,10\nd,4,4,0,1,Image,11,10\n"
                                        "e,5,5,0,1,Image,11,15\n"));
        QCOMPARE(saves, (QList<int>{1, 1, 2, 0}));
        for (int k = states.size() - 2; k >= 0; --k) {
            history.undo();
            QCOMPARE(dump(list), states[k]);
        }
        QVERIFY(!history.canUndo());
        QCOMPARE(saves.mid(4), (QList<int>{0, 2, 1, 1}));
        for (int k = 1; k < states.size(); ++k) {
            history.redo();
            QCOMPARE(dump(list), states[k]);
        }
        QVERIFY(!history.canRedo());
        history.clear();
        // Nothing to change makes no step.
        history.changeFields({}, "x", {});
        history.removeRecords({}, "x", {});
        QCOMPARE(history.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestEditing)
#include "tst_editing.moc"
