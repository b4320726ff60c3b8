#include "qmapcontrol/spatialindex.h"

#include <algorithm>

namespace qmapcontrol {

void Box::unite(const Box& o)
{
    x0 = std::min(x0, o.x0);
    y0 = std::min(y0, o.y0);
    x1 = std::max(x1, o.x1);
    y1 = std::max(y1, o.y1);
}

SpatialIndex::SpatialIndex()
{
    clear();
}

void SpatialIndex::clear()
{
    m_nodes.clear();
    m_nodes.push_back(Node{Box{0.0, 0.0, 1.0, 1.0}, 0, -1, {}});
    m_size = 0;
    m_bounds = Box{};
}

int SpatialIndex::childFor(const Node& node, const Box& box) const
{
    if (node.firstChild < 0)
        return -1;
    const double cw = (node.cell.x1 - node.cell.x0) / 2.0;
    const double ch = (node.cell.y1 - node.cell.y0) / 2.0;
    if (box.x1 - box.x0 > cw || box.y1 - box.y0 > ch)
        return -1;
    const double cx = (box.x0 + box.x1) / 2.0;
    const double cy = (box.y0 + box.y1) / 2.0;
    // Entries whose centre lies outside the world (a longitude past 180) stay
    // at the top, where every query looks.
    if (!(cx >= node.cell.x0 && cx <= node.cell.x1 && cy >= node.cell.y0 && cy <= node.cell.y1))
        return -1;
    const int right = cx >= node.cell.x0 + cw ? 1 : 0;
    const int lower = cy >= node.cell.y0 + ch ? 2 : 0;
    return node.firstChild + right + lower;
}

void SpatialIndex::split(int index)
{
    const int first = int(m_nodes.size());
    {
        const Node& node = m_nodes[std::size_t(index)];
        const double mx = (node.cell.x0 + node.cell.x1) / 2.0;
        const double my = (node.cell.y0 + node.cell.y1) / 2.0;
        const int depth = node.depth + 1;
        const Box cells[4] = {{node.cell.x0, node.cell.y0, mx, my},
                              {mx, node.cell.y0, node.cell.x1, my},
                              {node.cell.x0, my, mx, node.cell.y1},
                              {mx, my, node.cell.x1, node.cell.y1}};
        for (const Box& cell : cells)
            m_nodes.push_back(Node{cell, depth, -1, {}});
    }
    // push_back above may have moved the nodes: look the node up again.
    Node& node = m_nodes[std::size_t(index)];
    node.firstChild = first;
    std::vector<Entry> keep;
    std::vector<Entry> moved;
    moved.swap(node.entries);
    for (const Entry& e : moved) {
        const int child = childFor(m_nodes[std::size_t(index)], e.box);
        if (child < 0)
            keep.push_back(e);
        else
            m_nodes[std::size_t(child)].entries.push_back(e);
    }
    m_nodes[std::size_t(index)].entries.swap(keep);
}

void SpatialIndex::insert(const Entry& entry)
{
    if (m_size == 0)
        m_bounds = entry.box;
    else
        m_bounds.unite(entry.box);
    ++m_size;

    int index = 0;
    for (;;) {
        const int child = childFor(m_nodes[std::size_t(index)], entry.box);
        if (child < 0)
            break;
        index = child;
    }
    Node& node = m_nodes[std::size_t(index)];
    node.entries.push_back(entry);
    if (node.firstChild < 0 && node.entries.size() > splitAt && node.depth < maxDepth)
        split(index);
}

bool SpatialIndex::remove(const void* item, const Box& box)
{
    int index = 0;
    while (index >= 0) {
        std::vector<Entry>& entries = m_nodes[std::size_t(index)].entries;
        const auto it = std::find_if(entries.begin(), entries.end(),
                                     [item](const Entry& e) { return e.item == item; });
        if (it != entries.end()) {
            *it = entries.back();
            entries.pop_back();
            --m_size;
            return true;
        }
        index = childFor(m_nodes[std::size_t(index)], box);
    }
    return false;
}

} // namespace qmapcontrol
