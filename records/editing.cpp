#include "records/editing.h"

#include <QSet>
#include <QStringList>

namespace editing {

namespace {

bool toNumber(const QString& text, double* value)
{
    bool ok = false;
    *value = text.toDouble(&ok);
    return ok;
}

} // namespace

std::optional<CoordinatePair> parseCoordinatePair(const QString& text)
{
    if (text.isEmpty())
        return std::nullopt;
    QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() < 2)
        parts = text.split(QLatin1Char(' '));
    if (parts.size() < 2)
        return std::nullopt;
    CoordinatePair pair{parts[0], parts[1]};
    double x = 0.0, y = 0.0;
    if (!toNumber(pair.x, &x) || !toNumber(pair.y, &y))
        return std::nullopt;
    if (y > 90.0) {
        std::swap(pair.x, pair.y);
        std::swap(x, y);
    }
    // Written so that NaN fails too.
    if (!(x >= -180.0 && x <= 180.0 && y >= -90.0 && y <= 90.0))
        return std::nullopt;
    return pair;
}

bool Replacement::isEmpty() const
{
    return color.isEmpty() && layer.isEmpty() && shape.isEmpty() && font.isEmpty() &&
           level.isEmpty();
}

void Replacement::applyTo(PlaceRecord& record) const
{
    const std::pair<const QString&, QString&> fields[] = {{color, record.color},
                                                          {layer, record.layer},
                                                          {shape, record.shape},
                                                          {font, record.font},
                                                          {level, record.level}};
    for (const auto& [value, field] : fields) {
        if (!value.isEmpty())
            field = value;
    }
}

std::vector<PlaceRecord*> markedRecords(const PlaceList& places, const std::vector<int>& rows)
{
    std::vector<PlaceRecord*> out;
    for (int i : rows) {
        if (i >= 0 && i < int(places.size()) && places[i]->marked)
            out.push_back(places[i].get());
    }
    return out;
}

std::vector<TakenRecord> takeRecords(PlaceList& places, const std::vector<PlaceRecord*>& which)
{
    std::vector<TakenRecord> taken;
    if (which.empty())
        return taken;
    QSet<const PlaceRecord*> wanted;
    wanted.reserve(int(which.size()));
    for (const PlaceRecord* r : which)
        wanted.insert(r);
    // One pass: erasing record by record would move the tail once per record.
    size_t kept = 0;
    for (size_t i = 0; i < places.size(); ++i) {
        if (wanted.contains(places[i].get()))
            taken.emplace_back(int(i), std::move(places[i]));
        else
            places[kept++] = std::move(places[i]);
    }
    places.resize(kept);
    return taken;
}

void restoreRecords(PlaceList& places, std::vector<TakenRecord>& taken)
{
    if (taken.empty())
        return;
    PlaceList merged;
    merged.reserve(places.size() + taken.size());
    size_t from = 0;
    for (auto& [index, record] : taken) {
        while (int(merged.size()) < index && from < places.size())
            merged.push_back(std::move(places[from++]));
        merged.push_back(std::move(record));
    }
    while (from < places.size())
        merged.push_back(std::move(places[from++]));
    places = std::move(merged);
    taken.clear();
}

std::vector<QString> fieldsOf(const PlaceRecord& record)
{
    std::vector<QString> out;
    out.reserve(8);
    for (int c = 0; c < 8; ++c)
        out.push_back(record.field(c));
    return out;
}

void setFields(PlaceRecord& record, const std::vector<QString>& fields)
{
    for (int c = 0; c < 8 && c < int(fields.size()); ++c)
        record.field(c) = fields[c];
}

} // namespace editing
