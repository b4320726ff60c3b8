#include "qmapcontrol/placement.h"

#include <cmath>

namespace qmapcontrol {

namespace {

using Item = Placement::Item;

bool meets(const Item& a, const Item& b)
{
    // Boxes that merely touch do not overlap.
    return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

// Boxes by the grid cells they reach into: an open hash table of cells, each
// heading a chain of its boxes.
class CellTable
{
public:
    // A box that spans more cells than this (either way) is too big for a table.
    static constexpr std::int64_t maxSpan = 8;

    explicit CellTable(double cell) : m_cell(cell), m_inverse(1.0 / cell) {}

    // Empties the table for a new set of boxes, keeping its memory.
    void reset(const std::vector<Item>* items, std::size_t cells, std::size_t links)
    {
        m_items = items;
        std::size_t size = 64;
        while (size < cells * 2)
            size *= 2;
        m_keys.assign(size, empty);
        m_heads.assign(size, -1);
        m_links.clear();
        m_links.reserve(links);
        m_used = 0;
    }

    bool fits(const Item& b) const
    {
        return std::floor(b.x1 * m_inverse) - std::floor(b.x0 * m_inverse) < maxSpan &&
               std::floor(b.y1 * m_inverse) - std::floor(b.y0 * m_inverse) < maxSpan;
    }

    void insert(std::uint32_t item)
    {
        forCells((*m_items)[item], [&](std::uint64_t k) {
            if ((m_used + 1) * 2 > m_keys.size())
                grow();
            std::size_t slot = find(k);
            if (m_keys[slot] == empty) {
                m_keys[slot] = k;
                ++m_used;
            }
            const Item& b = (*m_items)[item];
            m_links.push_back(Link{b.x0, b.y0, b.x1, b.y1, m_heads[slot]});
            m_heads[slot] = int(m_links.size() - 1);
            return false;
        });
    }

    // Whether a box of the table meets `box` (which must fit).
    bool meetsAny(const Item& box) const
    {
        if (m_used == 0)
            return false;
        return forCells(box, [&](std::uint64_t k) {
            const std::size_t slot = find(k);
            if (m_keys[slot] == empty)
                return false;
            for (int l = m_heads[slot]; l >= 0; l = m_links[std::size_t(l)].next) {
                const Link& b = m_links[std::size_t(l)];
                if (b.x0 < box.x1 && box.x0 < b.x1 && b.y0 < box.y1 && box.y0 < b.y1)
                    return true;
            }
            return false;
        });
    }

private:
    // A box in a cell's chain, copied so that a look stays in one place.
    struct Link
    {
        double x0, y0, x1, y1;
        int next;
    };
    static constexpr std::uint64_t empty = ~std::uint64_t(0);

    // Calls f for each cell key of a box until it returns true.
    template <typename F> bool forCells(const Item& b, F&& f) const
    {
        const auto cx0 = std::int64_t(std::floor(b.x0 * m_inverse));
        const auto cy0 = std::int64_t(std::floor(b.y0 * m_inverse));
        const auto cx1 = std::int64_t(std::floor(b.x1 * m_inverse));
        const auto cy1 = std::int64_t(std::floor(b.y1 * m_inverse));
        for (std::int64_t cy = cy0; cy <= cy1; ++cy) {
            for (std::int64_t cx = cx0; cx <= cx1; ++cx) {
                if (f((std::uint64_t(cx) << 32) ^ (std::uint64_t(cy) & 0xffffffffu)))
                    return true;
            }
        }
        return false;
    }

    std::size_t find(std::uint64_t k) const
    {
        const std::size_t mask = m_keys.size() - 1;
        std::size_t slot = std::size_t((k * 0x9E3779B97F4A7C15ull) >> 24) & mask;
        while (m_keys[slot] != empty && m_keys[slot] != k)
            slot = (slot + 1) & mask;
        return slot;
    }

    void grow()
    {
        std::vector<std::uint64_t> keys(m_keys.size() * 2, empty);
        std::vector<int> heads(m_keys.size() * 2, -1);
        keys.swap(m_keys);
        heads.swap(m_heads);
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] == empty)
                continue;
            const std::size_t slot = find(keys[i]);
            m_keys[slot] = keys[i];
            m_heads[slot] = heads[i];
        }
    }

    double m_cell;
    double m_inverse;
    const std::vector<Item>* m_items = nullptr;
    std::vector<std::uint64_t> m_keys;
    std::vector<int> m_heads;
    std::vector<Link> m_links;
    std::size_t m_used = 0;
};

// The pictures placed so far. Small boxes (labels) are kept in fine cells;
// the few large ones (scaled labels seen close up) in coarse cells, where
// every box is kept too so that a large box finds the small ones it meets.
class Placed
{
public:
    Placed() : m_fine(64.0), m_coarseAll(4096.0), m_coarseLarge(4096.0) {}

    void reset(const std::vector<Item>* items, std::size_t expected)
    {
        m_items = items;
        m_fine.reset(items, expected * 2, expected * 3);
        m_coarseAll.reset(items, expected / 8, expected * 2);
        m_coarseLarge.reset(items, 64, 64);
        m_huge.clear();
        m_all.clear();
    }

    bool meetsAny(const Item& box) const
    {
        for (std::uint32_t i : m_huge) {
            if (meets((*m_items)[i], box))
                return true;
        }
        if (m_fine.fits(box))
            return m_fine.meetsAny(box) || m_coarseLarge.meetsAny(box);
        if (m_coarseAll.fits(box))
            return m_coarseAll.meetsAny(box);
        for (std::uint32_t i : m_all) {
            if (meets((*m_items)[i], box))
                return true;
        }
        return false;
    }

    void add(std::uint32_t i)
    {
        const Item& box = (*m_items)[i];
        m_all.push_back(i);
        if (!m_coarseAll.fits(box)) {
            m_huge.push_back(i);
            return;
        }
        m_coarseAll.insert(i);
        if (m_fine.fits(box))
            m_fine.insert(i);
        else
            m_coarseLarge.insert(i);
    }

private:
    const std::vector<Item>* m_items = nullptr;
    CellTable m_fine;
    CellTable m_coarseAll;
    CellTable m_coarseLarge;
    std::vector<std::uint32_t> m_huge;
    std::vector<std::uint32_t> m_all;
};

} // namespace

std::vector<Placement::State> Placement::place(const std::vector<Item>& items,
                                               const std::vector<std::uint32_t>& order,
                                               double dotSize)
{
    std::vector<State> state(items.size(), Dot);
    // Kept from call to call: fresh tables of this size cost more in page
    // faults than the placing itself.
    static thread_local Placed placed;
    placed.reset(&items, order.size());
    for (std::uint32_t i : order) {
        if (!placed.meetsAny(items[i])) {
            state[i] = Picture;
            placed.add(i);
        }
    }
    const double r = dotSize / 2.0;
    for (std::uint32_t i : order) {
        if (state[i] == Picture)
            continue;
        const Item& it = items[i];
        const Item dot{it.px - r, it.py - r, it.px + r, it.py + r, it.px, it.py};
        if (placed.meetsAny(dot))
            state[i] = Covered;
    }
    return state;
}

} // namespace qmapcontrol
