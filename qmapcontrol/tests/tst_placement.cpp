#include "qmapcontrol/placement.h"

#include <QRandomGenerator>
#include <QtTest>

#include <numeric>

using namespace qmapcontrol;

namespace {

using Item = Placement::Item;

bool overlap(const Item& a, const Item& b)
{
    return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

Item box(double x, double y, double w, double h)
{
    return Item{x - w / 2, y - h / 2, x + w / 2, y + h / 2, x, y};
}

Item dotOf(const Item& item, double size)
{
    return box(item.px, item.py, size, size);
}

// Labels of `w` x `h` pixels scattered over a square of `area` pixels, with
// every `bigEvery`-th of them `bigScale` times larger (a scaled label close up).
std::vector<Item> scatter(int n, double area, double w, double h, int bigEvery, double bigScale,
                          quint32 seed)
{
    QRandomGenerator random(seed);
    std::vector<Item> items;
    for (int i = 0; i < n; ++i) {
        const double s = bigEvery && i % bigEvery == 0 ? bigScale : 1.0;
        items.push_back(
            box(random.generateDouble() * area, random.generateDouble() * area, w * s, h * s));
    }
    return items;
}

std::vector<std::uint32_t> inOrder(std::size_t n)
{
    std::vector<std::uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    return order;
}

constexpr double dot = 6.0;

} // namespace

class TestPlacement : public QObject
{
    Q_OBJECT
private slots:
    void picturesNeverOverlap_data();
    void picturesNeverOverlap();
    void priorityDecides();
    void anEditChangesOnlyWhatItReaches();
};

void TestPlacement::picturesNeverOverlap_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("area");
    QTest::addColumn<int>("bigEvery");
    QTest::addColumn<double>("bigScale");
    QTest::newRow("sparse labels") << 300 << 20000.0 << 0 << 1.0;
    QTest::newRow("dense labels") << 1500 << 2000.0 << 0 << 1.0;
    QTest::newRow("some large") << 1500 << 20000.0 << 10 << 16.0;
    QTest::newRow("some huge") << 1500 << 200000.0 << 7 << 600.0;
    QTest::newRow("negative coordinates") << 800 << -3000.0 << 5 << 4.0;
}

void TestPlacement::picturesNeverOverlap()
{
    QFETCH(int, count);
    QFETCH(double, area);
    QFETCH(int, bigEvery);
    QFETCH(double, bigScale);
    const std::vector<Item> items = scatter(count, area, 80, 20, bigEvery, bigScale, 3);
    QRandomGenerator random(11);
    std::vector<std::uint32_t> order = inOrder(items.size());
    std::shuffle(order.begin(), order.end(), random);
    const auto states = Placement::place(items, order, dot);

    std::vector<std::uint32_t> placed;
    for (std::uint32_t i : order) {
        bool blocked = false;
        for (std::uint32_t p : placed)
            blocked = blocked || overlap(items[i], items[p]);
        // A picture only where no earlier picture is; a dot only where one is.
        QCOMPARE(states[i] == Placement::Picture, !blocked);
        if (!blocked)
            placed.push_back(i);
    }
    QVERIFY(placed.size() > 1 && placed.size() < items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (states[i] == Placement::Picture)
            continue;
        bool under = false;
        for (std::uint32_t p : placed)
            under = under || overlap(dotOf(items[i], dot), items[p]);
        QCOMPARE(states[i] == Placement::Covered, under);
    }
}

void TestPlacement::priorityDecides()
{
    // Three labels on one spot and one apart.
    const std::vector<Item> items = {box(0, 0, 50, 10), box(5, 0, 50, 10), box(10, 2, 50, 10),
                                     box(500, 0, 50, 10)};
    for (const std::vector<std::uint32_t>& order :
         {std::vector<std::uint32_t>{0, 1, 2, 3}, {2, 0, 3, 1}, {3, 1, 2, 0}}) {
        const auto states = Placement::place(items, order, dot);
        for (std::uint32_t i = 0; i < 3; ++i)
            QCOMPARE(states[i] == Placement::Picture, i == (order[0] == 3 ? order[1] : order[0]));
        QCOMPARE(states[3], Placement::Picture);
    }
}

void TestPlacement::anEditChangesOnlyWhatItReaches()
{
    std::vector<Item> before = scatter(1200, 4000, 60, 16, 0, 1.0, 5);
    std::vector<Item> after = before;
    // The first label (always placed) onto another one's spot.
    const std::size_t moved = 0;
    after[moved] = box(before[600].px + 10, before[600].py, 60, 16);
    const auto order = inOrder(before.size());
    const auto a = Placement::place(before, order, dot);
    const auto b = Placement::place(after, order, dot);

    // What the moved label can reach: the boxes linked to its old or new box
    // through chains of overlapping boxes (dots included).
    std::vector<Item> nodes = before;
    nodes.push_back(after[moved]);
    std::vector<char> reached(nodes.size(), 0);
    std::vector<std::size_t> todo{moved, nodes.size() - 1};
    reached[moved] = reached[nodes.size() - 1] = 1;
    while (!todo.empty()) {
        const std::size_t i = todo.back();
        todo.pop_back();
        for (std::size_t j = 0; j < nodes.size(); ++j) {
            if (!reached[j] &&
                (overlap(nodes[i], nodes[j]) || overlap(nodes[i], dotOf(nodes[j], dot)))) {
                reached[j] = 1;
                todo.push_back(j);
            }
        }
    }
    int unreached = 0;
    int changed = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        changed += a[i] != b[i];
        if (reached[i])
            continue;
        ++unreached;
        QCOMPARE(int(b[i]), int(a[i]));
    }
    QVERIFY(unreached > 100);
    QVERIFY(changed > 0);
}

QTEST_GUILESS_MAIN(TestPlacement)
#include "tst_placement.moc"
