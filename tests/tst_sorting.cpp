#include "records/sorting.h"

#include <QtTest>

class TestSorting : public QObject
{
    Q_OBJECT
private slots:
    void headerClicks()
    {
        int mode = 0;
        QList<int> seen;
        for (int column : {1, 1, 1, 0, 7, 7, 8, -1})
            seen << (mode = sorting::nextSortMode(mode, column));
        QCOMPARE(seen, (QList<int>{3, 4, 3, 1, 15, 16, 16, 16}));
        QCOMPARE(sorting::nextSortMode(99, 2), 5); // a setting outside the range
    }
    void compareFields_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("sign");
        const std::tuple<const char*, const char*, int> rows[] = {
            {"2", "10", -1}, {"99.5", "100.0", -1}, {"1.0", "1", 0}, {"10", "abc", -1},
            {"0", "", -1},   {"abc", "ABC", 1},     {"nan", "1", 1}};
        for (auto [a, b, sign] : rows)
            QTest::addRow("%s|%s", a, b) << QString(a) << QString(b) << sign;
    }
    void compareFields()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, sign);
        const int forward = sorting::compareFields(a, b), backward = sorting::compareFields(b, a);
        QCOMPARE((forward > 0) - (forward < 0), sign);
        QCOMPARE((backward > 0) - (backward < 0), -sign);
    }
    void sortPlaces_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("order");
        QTest::newRow("ascending") << 15 << "r1 r3 r0 r2 r6 r4 r5 r7";
        QTest::newRow("descending") << 16 << "r5 r7 r4 r0 r2 r6 r1 r3";
        QTest::newRow("unsorted") << 0 << "r0 r1 r2 r3 r4 r5 r6 r7";
        QTest::newRow("outside the range") << 17 << "r0 r1 r2 r3 r4 r5 r6 r7";
    }
    // Numbers by value before texts; equal keys keep their order in both directions.
    void sortPlaces()
    {
        QFETCH(int, mode);
        QFETCH(QString, order);
        PlaceList list;
        for (const char* level : {"10", "9", "10.0", "9", "", "abc", "10", "abc"}) {
            list.push_back(std::make_unique<PlaceRecord>());
            list.back()->name = QStringLiteral("r%1").arg(list.size() - 1);
            list.back()->level = QString(level);
        }
        sorting::sortPlaces(list, mode);
        QStringList names;
        for (const auto& record : list)
            names << record->name;
        QCOMPARE(names.join(' '), order);
    }
};

QTEST_GUILESS_MAIN(TestSorting)
#include "tst_sorting.moc"
