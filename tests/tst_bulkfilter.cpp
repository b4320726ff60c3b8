#include "records/bulkfilter.h"

#include <QtTest>

// The mask used by every case: the rectangle from (135.0, 35.0) to (136.0, 34.0)
// and class 3, layer 2, Circle, text size 11, level 10.
static const QStringList mask{"135.0", "35.0", "136.0", "34.0", "3", "2", "Circle", "11", "10"};
// A record inside the rectangle that matches every field: x, y, color, layer, shape, font, level.
static const QStringList inside{"135.5", "34.5", "3", "2", "Circle", "11", "10"};

static QStringList with(QStringList fields, int i, const QString& value)
{
    fields[i] = value;
    return fields;
}

class TestBulkFilter : public QObject
{
    Q_OBJECT
private slots:
    void passes_data()
    {
        QTest::addColumn<QStringList>("filter");
        QTest::addColumn<QStringList>("record");
        QTest::addColumn<bool>("passes");
        QTest::newRow("inside, all match") << mask << inside << true;
        QTest::newRow("no mask") << QStringList(QVector<QString>(9).toList())
                                 << with(inside, 0, "200") << true;
        const char* fields[] = {"color", "layer", "shape", "font", "level"};
        // Outside on each side, whatever class fields match; the bounds are strict.
        const QList<std::pair<int, const char*>> outside{
            {0, "134.5"}, {0, "136.5"}, {1, "35.5"}, {1, "33.5"}, {0, "135.0"}};
        for (int f = 0; f < 5; ++f) {
            const auto [coordinate, value] = outside[f];
            QTest::addRow("outside (%s), %s matches", value, fields[f])
                << mask << with(inside, coordinate, value) << false;
            QTest::addRow("inside, %s differs", fields[f])
                << mask << with(inside, 2 + f, inside[2 + f] + "0") << false;
            // The field alone, without a rectangle.
            QStringList only = QStringList(QVector<QString>(9).toList());
            only[4 + f] = mask[4 + f];
            QTest::addRow("%s alone, far away", fields[f])
                << only << with(with(inside, 0, "1"), 1, "1") << true;
        }
        QTest::newRow("on the east edge") << mask << with(inside, 0, "136.0") << false;
        QTest::newRow("on the north edge") << mask << with(inside, 1, "35.0") << false;
        QTest::newRow("on the south edge") << mask << with(inside, 1, "34.0") << false;
        // One corner missing: the rectangle is ignored, the fields still count.
        for (int corner = 0; corner < 4; ++corner)
            QTest::addRow("corner %d empty", corner)
                << with(mask, corner, "") << with(inside, 1, "80") << true;
        QTest::newRow("as text, not as numbers")
            << with(with(mask, 0, "98.0"), 2, "100.0") << with(inside, 0, "99.5") << false;
    }
    void passes()
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
    void rowsInListOrder()
    {
        PlaceList list;
        for (const char* layer : {"2", "1", "2", "02", " 2", "2"}) {
            list.push_back(std::make_unique<PlaceRecord>());
            list.back()->layer = layer;
        }
        BulkFilter f;
        f.layer = "2";
        QCOMPARE(bulkRows(list, f), std::vector<int>({0, 2, 5}));
    }
};

QTEST_MAIN(TestBulkFilter)
#include "tst_bulkfilter.moc"
