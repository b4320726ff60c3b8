#include "records/bulkfilter.h"

#include <algorithm>

std::optional<BulkFilter::Rectangle> BulkFilter::rectangle() const
{
    double corners[4];
    const QString* texts[4] = {&startX, &startY, &endX, &endY};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        corners[i] = texts[i]->toDouble(&ok);
        if (!ok)
            return std::nullopt;
    }
    Rectangle r;
    r.west = std::min(corners[0], corners[2]);
    r.east = std::max(corners[0], corners[2]);
    r.south = std::min(corners[1], corners[3]);
    r.north = std::max(corners[1], corners[3]);
    return r;
}

bool BulkFilter::passes(const PlaceRecord& r) const
{
    return passes(r, rectangle());
}

bool BulkFilter::passes(const PlaceRecord& r, const std::optional<Rectangle>& area) const
{
    const std::pair<const QString&, const QString&> fields[] = {
        {color, r.color}, {layer, r.layer}, {shape, r.shape}, {font, r.font}, {level, r.level}};
    for (const auto& [want, have] : fields) {
        if (!want.isEmpty() && have != want)
            return false;
    }
    if (!area)
        return true;
    // A place whose coordinate is not a number sits at 0 on the map, so it is tested there.
    const double x = toDoubleOrZero(r.x), y = toDoubleOrZero(r.y);
    return area->west < x && x < area->east && area->south < y && y < area->north;
}

std::vector<int> bulkRows(const PlaceList& places, const BulkFilter& filter)
{
    const std::optional<BulkFilter::Rectangle> area = filter.rectangle();
    std::vector<int> rows;
    for (int i = 0; i < int(places.size()); ++i) {
        if (filter.passes(*places[i], area))
            rows.push_back(i);
    }
    return rows;
}
