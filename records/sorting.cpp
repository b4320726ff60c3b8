#include "records/sorting.h"

#include <QString>

#include <algorithm>
#include <cmath>

namespace sorting {

namespace {

// A field read once, so that a sort of many records parses every field only once.
struct Key
{
    bool isNumber = false;
    double number = 0.0;
    const QString* text = nullptr;
};

Key makeKey(const QString& text)
{
    Key key;
    key.text = &text;
    bool ok = false;
    const double value = text.toDouble(&ok);
    // "nan" and "inf" read as numbers but cannot be ordered; they sort as text.
    if (ok && std::isfinite(value)) {
        key.isNumber = true;
        key.number = value;
    }
    return key;
}

int compareKeys(const Key& a, const Key& b)
{
    if (a.isNumber != b.isNumber)
        return a.isNumber ? -1 : 1;
    if (a.isNumber)
        return a.number < b.number ? -1 : (b.number < a.number ? 1 : 0);
    return QString::compare(*a.text, *b.text, Qt::CaseSensitive);
}

} // namespace

bool isSortingMode(int mode)
{
    return mode >= 1 && mode <= 2 * ColumnCount;
}

int sortColumn(int mode)
{
    return isSortingMode(mode) ? (mode - 1) / 2 : -1;
}

Qt::SortOrder sortOrder(int mode)
{
    return isSortingMode(mode) && mode % 2 == 0 ? Qt::DescendingOrder : Qt::AscendingOrder;
}

int nextSortMode(int mode, int column)
{
    if (column < 0 || column >= ColumnCount)
        return mode;
    return mode == 2 * column + 1 ? 2 * column + 2 : 2 * column + 1;
}

int compareFields(const QString& a, const QString& b)
{
    return compareKeys(makeKey(a), makeKey(b));
}

void sortPlaces(PlaceList& places, int mode)
{
    if (!isSortingMode(mode) || places.size() < 2)
        return;
    const int column = sortColumn(mode);
    const bool descending = sortOrder(mode) == Qt::DescendingOrder;

    struct Entry
    {
        Key key;
        std::unique_ptr<PlaceRecord> record;
    };
    std::vector<Entry> entries;
    entries.reserve(places.size());
    for (auto& record : places) {
        Key key = makeKey(record->field(column));
        entries.push_back({key, std::move(record)});
    }
    if (descending) {
        std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
            return compareKeys(b.key, a.key) < 0;
        });
    } else {
        std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
            return compareKeys(a.key, b.key) < 0;
        });
    }
    for (std::size_t i = 0; i < entries.size(); ++i)
        places[i] = std::move(entries[i].record);
}

} // namespace sorting
