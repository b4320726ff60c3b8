#include "qmapcontrol/placement.h"

#include <QRandomGenerator>
#include <QtTest>

#include <numeric>

using namespace qmapcontrol;
using Item = Placement::Item;

static bool overlap(const Item& a, const Item& b)
{
    return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

static Item box(double x, double y, double w, double h)
{
    return Item{x - w / 2, y - h / 2, x + w / 2, y + h / 2, x, y};
}

constexpr double dot = 6.0;

class TestPlacement : public QObject
{
    Q_OBJECT
private slots:
    void picturesNeverOverlap_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("area");
        QTest::addColumn<int>("bigEvery"); // every so many labels one of bigScale times the size
        QTest::addColumn<double>("bigScale");
        QTest::newRow("dense labels") << 1500 << 2000.0 << 0 << 1.0;
        QTest::newRow("some huge") << 1500 << 200000.0 << 7 << 600.0;
        QTest::newRow("negative coordinates") << 800 << -3000.0 << 5 << 4.0;
    }
    // Each picture is placed where no earlier one is, in the order given; the rest are
    // dots, covered where a picture lies over them. Whatever was placed before.
    void picturesNeverOverlap()
    {
        QFETCH(int, count);
        QFETCH(double, area);
        QFETCH(int, bigEvery);
        QFETCH(double, bigScale);
        QRandomGenerator random(3);
        std::vector<Item> items;
        for (int i = 0; i < count; ++i) {
            const double s = bigEvery && i % bigEvery == 0 ? bigScale : 1.0;
            items.push_back(box(random.generateDouble() * area, random.generateDouble() * area,
                                80 * s, 20 * s));
        }
        std::vector<std::uint32_t> order(items.size());
        std::iota(order.begin(), order.end(), 0u);
        std::shuffle(order.begin(), order.end(), random);
        const auto states = Placement::place(items, order, dot);
        std::vector<std::uint32_t> placed;
        for (std::uint32_t i : order) {
            bool blocked = false;
            for (std::uint32_t p : placed)
                blocked = blocked || overlap(items[i], items[p]);
            QCOMPARE(states[i] == Placement::Picture, !blocked);
            if (!blocked)
                placed.push_back(i);
        }
        QVERIFY(placed.size() > 1 && placed.size() < items.size());
        for (std::size_t i = 0; i < items.size(); ++i) {
            bool under = false;
            for (std::uint32_t p : placed)
                under = under || overlap(box(items[i].px, items[i].py, dot, dot), items[p]);
            QVERIFY(states[i] == Placement::Picture || (states[i] == Placement::Covered) == under);
        }
    }

    void priorityDecides()
    {
        // Three labels on one spot and one apart.
        const std::vector<Item> items = {box(0, 0, 50, 10), box(5, 0, 50, 10), box(10, 2, 50, 10),
                                         box(500, 0, 50, 10)};
        for (const std::vector<std::uint32_t>& order :
             {std::vector<std::uint32_t>{0, 1, 2, 3}, {2, 0, 3, 1}, {3, 1, 2, 0}}) {
            const auto states = Placement::place(items, order, dot);
            for (std::uint32_t i = 0; i < 3; ++i)
                QCOMPARE(states[i] == Placement::Picture,
                         i == (order[0] == 3 ? order[1] : order[0]));
            QCOMPARE(states[3], Placement::Picture);
        }
    }
};

QTEST_GUILESS_MAIN(TestPlacement)
#include "tst_placement.moc"
