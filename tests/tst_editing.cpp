#include "records/bulkfilter.h"
#include "records/edithistory.h"
#include "records/editing.h"

#include <QtTest>

namespace {

PlaceList makeList(const QStringList& lines)
{
    PlaceList list;
    for (const QString& line : lines) {
        auto r = std::make_unique<PlaceRecord>();
        editing::setFields(*r, std::vector<QString>(8, QString()));
        const QStringList f = line.split(',');
        for (int c = 0; c < f.size(); ++c)
            r->field(c) = f[c];
        list.push_back(std::move(r));
    }
    return list;
}

QStringList dump(const PlaceList& list)
{
    QStringList out;
    for (const auto& r : list) {
        QStringList f;
        for (const QString& v : editing::fieldsOf(*r))
            f << v;
        out << f.join(',');
    }
    return out;
}

} // namespace

class TestEditing : public QObject
{
    Q_OBJECT
private slots:
    void coordinatePair_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("x"); // null: not taken
        QTest::addColumn<QString>("y");
        const auto row = [](const char* name, const char* text, const char* x = nullptr,
                            const char* y = nullptr) {
            QTest::newRow(name) << QString(text) << QString(x) << QString(y);
        };
        row("latitude first", "35.0, 135.5", " 135.5", "35.0");
        row("longitude first", "135.5,35.0", "135.5", "35.0");
        row("one blank", "135.5 35.0", "135.5", "35.0");
        row("blank, latitude first", "35.68 139.76", "139.76", "35.68");
        row("blanks around parts", " 10 , 20 ", " 10 ", " 20 ");
        row("third part ignored", "135.5,35.0,7", "135.5", "35.0");
        row("west and south", "-179.5,-89.5", "-179.5", "-89.5");
        row("edges", "180,90", "180", "90");
        for (const char* text :
             {"abc", "139.76", "", "東京 タワー", "東京,35.6", "135.5,", "135.5  35.0",
              "35.0,180.5", "-180.5,35.0", "135.0,-90.5", "100,120", "nan,35", "135,inf"})
            row(text, text);
    }
    void coordinatePair()
    {
        QFETCH(QString, text);
        QFETCH(QString, x);
        const auto pair = editing::parseCoordinatePair(text);
        QCOMPARE(bool(pair), !x.isNull());
        if (pair) {
            QTEST(pair->x, "x");
            QTEST(pair->y, "y");
        }
    }

    void rectangle_data()
    {
        QTest::addColumn<QStringList>("corners"); // startX, startY, endX, endY
        QTest::addColumn<QString>("x");
        QTest::addColumn<QString>("y");
        QTest::addColumn<bool>("passes");
        const auto row = [](const char* name, const QStringList& corners, const char* x,
                            const char* y, bool passes) {
            QTest::newRow(name) << corners << QString(x) << QString(y) << passes;
        };
        const QStringList nw{"98.0", "36.0", "100.0", "34.0"};
        const QStringList se{"100.0", "34.0", "98.0", "36.0"};
        row("99.5 inside", nw, "99.5", "35.0", true);
        row("dragged from south-east", se, "99.5", "35.0", true);
        row("dragged from north-east", {"100.0", "36.0", "98.0", "34.0"}, "99.5", "35.0", true);
        row("west of it", nw, "97.9", "35.0", false);
        row("east of it", nw, "100.1", "35.0", false);
        row("north of it", nw, "99.0", "36.1", false);
        row("south of it", nw, "99.0", "33.9", false);
        row("on the west edge", nw, "98", "35.0", false);
        row("on the north edge", nw, "99", "36", false);
        row("on the south edge", se, "99", "34", false);
        row("on the east edge", se, "100", "35", false);
        row("blank before the number", nw, " 99.5", "35.0", true);
        row("three corners: no rectangle", {"98.0", "36.0", "100.0", ""}, "0", "0", true);
        row("a corner not a number: no rectangle", {"98.0", "36.0", "x", "34.0"}, "0", "0", true);
        row("place without a number sits at 0", {"-1", "-1", "1", "1"}, "abc", "", true);
    }
    void rectangle()
    {
        QFETCH(QStringList, corners);
        BulkFilter filter;
        filter.startX = corners[0];
        filter.startY = corners[1];
        filter.endX = corners[2];
        filter.endY = corners[3];
        PlaceRecord r;
        QFETCH(QString, x);
        QFETCH(QString, y);
        r.x = x;
        r.y = y;
        QTEST(filter.passes(r), "passes");
    }

    void filterFieldsAndRows()
    {
        const PlaceList list =
            makeList({"a,1,1,3,1,Image,11,10", "b,1,1,3,01,Image,11,10", "c,1,1,3, 1,Image,11,10",
                      "d,1,1,4,1,Circle,11,10", "e,1,1,3,1,Image,12,10"});
        BulkFilter filter;
        QCOMPARE(bulkRows(list, filter), (std::vector<int>{0, 1, 2, 3, 4}));
        filter.layer = "1";
        QCOMPARE(bulkRows(list, filter), (std::vector<int>{0, 3, 4}));
        filter.color = "3";
        QCOMPARE(bulkRows(list, filter), (std::vector<int>{0, 4}));
        filter.font = "11";
        QCOMPARE(bulkRows(list, filter), (std::vector<int>{0}));
        filter = BulkFilter();
        filter.shape = "Circle";
        QCOMPARE(bulkRows(list, filter), (std::vector<int>{3}));
        filter.level = "9";
        QCOMPARE(bulkRows(list, filter), std::vector<int>{});
    }

    void replacement_data()
    {
        QTest::addColumn<QStringList>("values"); // color, layer, shape, font, level
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("empty");
        const QString before = "n,1,2,3,4,Image,11,10";
        QTest::newRow("nothing") << QStringList{"", "", "", "", ""} << before << true;
        QTest::newRow("level only")
            << QStringList{"", "", "", "", "15"} << "n,1,2,3,4,Image,11,15" << false;
        QTest::newRow("colour and shape")
            << QStringList{"12", "", "Circle", "", ""} << "n,1,2,12,4,Circle,11,10" << false;
        QTest::newRow("layer and font")
            << QStringList{"", "7", "", "20", ""} << "n,1,2,3,7,Image,20,10" << false;
    }
    void replacement()
    {
        QFETCH(QStringList, values);
        editing::Replacement rep{values[0], values[1], values[2], values[3], values[4]};
        QTEST(rep.isEmpty(), "empty");
        PlaceList list = makeList({"n,1,2,3,4,Image,11,10"});
        rep.applyTo(*list[0]);
        QTEST(dump(list).first(), "after");
    }

    void markedRecordsAmongRows()
    {
        PlaceList list = makeList({"a", "b", "c", "d", "e"});
        for (int i : {0, 2, 3})
            list[i]->marked = true;
        // Row order is kept; a marked record not among the rows is left out.
        const auto got = editing::markedRecords(list, {3, 1, 2, 7, -1});
        QCOMPARE(got, (std::vector<PlaceRecord*>{list[3].get(), list[2].get()}));
    }

    void takeAndRestore_data()
    {
        QTest::addColumn<QList<int>>("take");
        QTest::newRow("middle") << QList<int>{1, 3};
        QTest::newRow("first and last") << QList<int>{0, 5};
        QTest::newRow("all") << QList<int>{0, 1, 2, 3, 4, 5};
        QTest::newRow("given out of order") << QList<int>{4, 0, 2};
        QTest::newRow("none") << QList<int>{};
    }
    void takeAndRestore()
    {
        QFETCH(QList<int>, take);
        PlaceList list = makeList({"a", "b", "c", "d", "e", "f"});
        const QStringList before = dump(list);
        std::vector<PlaceRecord*> which;
        QStringList rest = before;
        for (int i : take)
            which.push_back(list[i].get());
        std::sort(take.begin(), take.end());
        for (int k = take.size() - 1; k >= 0; --k)
            rest.removeAt(take[k]);
        auto taken = editing::takeRecords(list, which);
        QCOMPARE(dump(list), rest);
        QCOMPARE(int(taken.size()), take.size());
        for (int k = 0; k < take.size(); ++k)
            QCOMPARE(taken[k].first, take[k]);
        editing::restoreRecords(list, taken);
        QCOMPARE(dump(list), before);
        QVERIFY(taken.empty());
    }

    // One history over one list: each edit, undone and redone, gives the list
    // back exactly, and every step reports its effect.
    void historyWalk()
    {
        PlaceList list = makeList({"a,1,1,0,1,Image,11,10", "b,2,2,0,1,Image,11,10",
                                   "c,3,3,0,1,Image,11,10", "d,4,4,0,1,Image,11,10"});
        QList<int> saves;
        EditHistory history(&list, [&](const EditHistory::Effect& e) { saves << int(e.save); });
        using S = EditHistory::Save;
        QStringList states{dump(list).join('|')};

        auto fields = editing::fieldsOf(*list[1]);
        fields[3] = "12";
        history.changeFields({{list[1].get(), fields}}, "c", {S::Autosave, {}});
        states << dump(list).join('|');
        QVERIFY(states.last().contains("b,2,2,12,"));

        auto added = std::make_unique<PlaceRecord>();
        editing::setFields(*added, {"e", "5", "5", "0", "1", "Image", "11", "10"});
        history.appendRecord(std::move(added), "n", {S::Autosave, {}});
        states << dump(list).join('|');
        QCOMPARE(int(list.size()), 5);

        history.removeRecords({list[0].get(), list[2].get()}, "d", {S::AutosaveWithBackup, {}});
        states << dump(list).join('|');
        QCOMPARE(dump(list).join('|'), QString("b,2,2,12,1,Image,11,10|d,4,4,0,1,Image,11,10|"
                                               "e,5,5,0,1,Image,11,10"));

        // A field edit after a delete reaches the right record.
        fields = editing::fieldsOf(*list[2]);
        fields[7] = "15";
        history.changeFields({{list[2].get(), fields}, {nullptr, fields}}, "r", {S::None, {}});
        states << dump(list).join('|');
        QVERIFY(states.last().endsWith("e,5,5,0,1,Image,11,15"));
        QCOMPARE(saves, (QList<int>{1, 1, 2, 0}));

        for (int k = states.size() - 2; k >= 0; --k) {
            history.undo();
            QCOMPARE(dump(list).join('|'), states[k]);
        }
        QVERIFY(!history.canUndo());
        QCOMPARE(saves.mid(4), (QList<int>{0, 2, 1, 1}));
        for (int k = 1; k < states.size(); ++k) {
            history.redo();
            QCOMPARE(dump(list).join('|'), states[k]);
        }
        QVERIFY(!history.canRedo());

        history.clear();
        QCOMPARE(history.count(), 0);
        // Nothing to change makes no step.
        history.changeFields({}, "x", {});
        history.removeRecords({}, "x", {});
        QCOMPARE(history.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestEditing)
#include "tst_editing.moc"
