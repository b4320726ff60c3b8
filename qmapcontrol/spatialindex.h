#pragma once

#include <cstdint>
#include <vector>

namespace qmapcontrol {

// A rectangle in normalized world coordinates; a point is a box of no size.
struct Box
{
    double x0 = 0.0;
    double y0 = 0.0;
    double x1 = 0.0;
    double y1 = 0.0;

    bool intersects(const Box& o) const
    {
        return x0 <= o.x1 && o.x0 <= x1 && y0 <= o.y1 && o.y0 <= y1;
    }
    bool contains(const Box& o) const
    {
        return x0 <= o.x0 && o.x1 <= x1 && y0 <= o.y0 && o.y1 <= y1;
    }
    void unite(const Box& o);
};

// A loose quadtree over the normalized world. Each entry sits in the deepest
// node whose cell holds its centre and is at least its size, so a node's
// entries reach at most half a cell beyond it. Entries of any size mix freely:
// points, pictures that grow with the zoom, lines.
class SpatialIndex
{
public:
    struct Entry
    {
        Box box;
        std::uint64_t seq = 0; // drawing order
        const void* item = nullptr;
    };

    SpatialIndex();

    void insert(const Entry& entry);
    // The entry must be given with the box it was inserted with.
    bool remove(const void* item, const Box& box);
    void clear();

    std::size_t size() const { return m_size; }
    // The union of the boxes inserted since the last clear (removals do not
    // shrink it).
    const Box& bounds() const { return m_bounds; }

    // Every entry whose box meets the area, in no particular order.
    template <typename F> void query(const Box& area, F&& visit) const
    {
        if (m_size == 0)
            return;
        queryNode(0, area, visit);
    }

private:
    struct Node
    {
        Box cell;
        int depth = 0;
        int firstChild = -1; // four children from here on, when split
        std::vector<Entry> entries;
    };

    static constexpr std::size_t splitAt = 48;
    static constexpr int maxDepth = 20;

    // The child of a split node that takes the entry, or -1 when it stays.
    int childFor(const Node& node, const Box& box) const;
    void split(int node);

    template <typename F> void queryNode(int index, const Box& area, F& visit) const
    {
        const Node& node = m_nodes[std::size_t(index)];
        for (const Entry& e : node.entries) {
            if (e.box.intersects(area))
                visit(e);
        }
        if (node.firstChild < 0)
            return;
        for (int c = node.firstChild; c < node.firstChild + 4; ++c) {
            const Node& child = m_nodes[std::size_t(c)];
            const double hw = (child.cell.x1 - child.cell.x0) / 2.0;
            const double hh = (child.cell.y1 - child.cell.y0) / 2.0;
            const Box loose{child.cell.x0 - hw, child.cell.y0 - hh, child.cell.x1 + hw,
                            child.cell.y1 + hh};
            if (loose.intersects(area))
                queryNode(c, area, visit);
        }
    }

    std::vector<Node> m_nodes;
    std::size_t m_size = 0;
    Box m_bounds;
};

} // namespace qmapcontrol
