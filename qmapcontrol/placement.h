#pragma once

#include <cstdint>
#include <vector>

namespace qmapcontrol {

// Which pictures of a zoom are drawn whole. Each item is a picture's box in
// world pixels of the zoom (the part that must not be covered) and the point
// it stands on. In the given order, an item gets its picture when its box
// meets no picture placed before it; the others show as a dot of `dotSize`
// pixels on their point, or not at all when that dot would lie on a picture.
// The result depends on nothing but the boxes and the order, so it is the
// same wherever the view is.
class Placement
{
public:
    enum State : std::uint8_t
    {
        Picture,
        Dot,
        Covered // a dot under a picture
    };

    struct Item
    {
        double x0, y0, x1, y1; // the box, world pixels
        double px, py;         // the point, world pixels
    };

    static std::vector<State> place(const std::vector<Item>& items,
                                    const std::vector<std::uint32_t>& order, double dotSize);
};

} // namespace qmapcontrol
