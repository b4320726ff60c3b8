#include "records/sorting.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

// A list whose names are "r0", "r1", ... in creation order, so that the
// order after a sort can be read back by name.
PlaceList makeList(int column, const QStringList& values)
{
    PlaceList list;
    for (int i = 0; i < values.size(); ++i) {
        auto record = std::make_unique<PlaceRecord>();
        record->name = QStringLiteral("r%1").arg(i);
        record->field(column) = values[i];
        list.push_back(std::move(record));
    }
    return list;
}

QStringList names(const PlaceList& list)
{
    QStringList out;
    for (const auto& record : list)
        out << record->name;
    return out;
}

QStringList fields(const PlaceList& list, int column)
{
    QStringList out;
    for (const auto& record : list)
        out << record->field(column);
    return out;
}

} // namespace

class TestSorting : public QObject
{
    Q_OBJECT
private slots:
    void headerClicks_data();
    void headerClicks();
    void compareFields_data();
    void compareFields();
    void sortsColumn_data();
    void sortsColumn();
    void equalKeysKeepTheirOrder();
    void modesOutsideRangeChangeNothing();
    void randomListsAreOrderedAndStable();
};

void TestSorting::headerClicks_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QList<int>>("columns");
    QTest::addColumn<QList<int>>("modes");

    QTest::newRow("column 1 three times") << 0 << QList<int>{1, 1, 1} << QList<int>{3, 4, 3};
    QTest::newRow("another column starts ascending") << 4 << QList<int>{0, 0} << QList<int>{1, 2};
    QTest::newRow("last column") << 0 << QList<int>{7, 7, 7} << QList<int>{15, 16, 15};
    QTest::newRow("setting outside the range") << 99 << QList<int>{2} << QList<int>{5};
    QTest::newRow("no such column") << 3 << QList<int>{-1, 8} << QList<int>{3, 3};
}

void TestSorting::headerClicks()
{
    QFETCH(int, start);
    QFETCH(QList<int>, columns);
    QFETCH(QList<int>, modes);
    int mode = start;
    QList<int> seen;
    for (int column : columns) {
        mode = sorting::nextSortMode(mode, column);
        seen << mode;
    }
    QCOMPARE(seen, modes);
}

void TestSorting::compareFields_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("sign");

    const auto row = [](const char* name, const char* a, const char* b, int sign) {
        QTest::newRow(name) << QString::fromUtf8(a) << QString::fromUtf8(b) << sign;
    };
    row("integers by value", "2", "10", -1);
    row("decimals by value", "99.5", "100.0", -1);
    row("same value, other text", "1.0", "1", 0);
    row("number before text", "10", "abc", -1);
    row("number before empty", "0", "", -1);
    row("text by code unit", "B", "a", -1);
    row("case-sensitive", "abc", "ABC", 1);
    row("nan is text", "nan", "1", 1);
    row("inf is text", "inf", "1e300", 1);
}

void TestSorting::compareFields()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, sign);
    const int forward = sorting::compareFields(a, b);
    const int backward = sorting::compareFields(b, a);
    QCOMPARE((forward > 0) - (forward < 0), sign);
    QCOMPARE((backward > 0) - (backward < 0), -sign);
}

void TestSorting::sortsColumn_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QStringList>("sorted");

    const QStringList colours{"10", "2", "abc", "1", "", "100"};
    QTest::newRow("colour ascending")
        << 7 << colours << QStringList{"1", "2", "10", "100", "", "abc"};
    QTest::newRow("colour descending")
        << 8 << colours << QStringList{"abc", "", "100", "10", "2", "1"};
    const QStringList xs{"139.949", "99.5", "100.0", "-0.5"};
    QTest::newRow("longitude ascending")
        << 3 << xs << QStringList{"-0.5", "99.5", "100.0", "139.949"};
}

void TestSorting::sortsColumn()
{
    QFETCH(int, mode);
    QFETCH(QStringList, values);
    QFETCH(QStringList, sorted);
    const int column = sorting::sortColumn(mode);
    PlaceList list = makeList(column, values);
    sorting::sortPlaces(list, mode);
    QCOMPARE(fields(list, column), sorted);
}

void TestSorting::equalKeysKeepTheirOrder()
{
    const QStringList levels{"10", "9", "10.0", "9", "10", "abc", "abc"};
    PlaceList list = makeList(7, levels);
    sorting::sortPlaces(list, 15);
    QCOMPARE(names(list), (QStringList{"r1", "r3", "r0", "r2", "r4", "r5", "r6"}));

    list = makeList(7, levels);
    sorting::sortPlaces(list, 16);
    QCOMPARE(names(list), (QStringList{"r5", "r6", "r0", "r2", "r4", "r1", "r3"}));
}

void TestSorting::modesOutsideRangeChangeNothing()
{
    for (int mode : {0, -1, 17, 1000}) {
        PlaceList list = makeList(0, {"c", "a", "b"});
        sorting::sortPlaces(list, mode);
        QCOMPARE(fields(list, 0), (QStringList{"c", "a", "b"}));
    }
    PlaceList empty;
    sorting::sortPlaces(empty, 1);
    QVERIFY(empty.empty());
}

// Mixed numbers and texts must still give a consistent order: neighbours in
// order and equal neighbours in their original order.
void TestSorting::randomListsAreOrderedAndStable()
{
    const QStringList pool{"1",   "01",  "1.0", "2",   "10",   "-1",
                           "abc", "ABC", "",    "nan", "9.99", "x1"};
    QRandomGenerator random(42);
    for (int round = 0; round < 50; ++round) {
        QStringList values;
        for (int i = 0; i < 40; ++i)
            values << pool[int(random.bounded(pool.size()))];
        for (int mode : {5, 6}) {
            PlaceList list = makeList(2, values);
            sorting::sortPlaces(list, mode);
            for (std::size_t i = 1; i < list.size(); ++i) {
                int cmp = sorting::compareFields(list[i - 1]->y, list[i]->y);
                if (mode == 6)
                    cmp = -cmp;
                QVERIFY(cmp <= 0);
                if (cmp == 0)
                    QVERIFY(list[i - 1]->name.mid(1).toInt() < list[i]->name.mid(1).toInt());
            }
        }
    }
}

QTEST_GUILESS_MAIN(TestSorting)
#include "tst_sorting.moc"
