#include "records/bulkfilter.h"

bool BulkFilter::passes(const PlaceRecord& r) const
{
    bool pass = true;
    if (!startX.isEmpty() && !startY.isEmpty() && !endX.isEmpty() && !endY.isEmpty())
        pass = startX < r.x && r.x < endX && r.y < startY && endY < r.y;
    const std::pair<const QString&, const QString&> fields[] = {
        {color, r.color}, {layer, r.layer}, {shape, r.shape}, {font, r.font}, {level, r.level}};
    for (const auto& [want, have] : fields) {
        if (!want.isEmpty())
            pass = pass && have == want;
    }
    return pass;
}

std::vector<int> bulkRows(const PlaceList& places, const BulkFilter& filter)
{
    std::vector<int> rows;
    for (int i = 0; i < int(places.size()); ++i) {
        if (filter.passes(*places[i]))
            rows.push_back(i);
    }
    return rows;
}
