#include "classes/classtable.h"

#include "settings/appsettings.h"

#include <cstdlib>
#include <utility>

namespace classtable {

namespace {

constexpr int Last = AppSettings::ClassCount - 1;

// Rewrites the class of every place that `rule` maps to another class.
template <typename Rule> bool renumber(PlaceList& places, Rule rule)
{
    bool changed = false;
    for (const auto& place : places) {
        const int c = classOf(*place);
        if (c < 0)
            continue;
        const int to = rule(c);
        if (to != c) {
            place->color = QStringLiteral("%1").arg(to);
            changed = true;
        }
    }
    return changed;
}

void copyEntry(AppSettings& s, int to, int from)
{
    s.className[to] = s.className[from];
    s.classBack[to] = s.classBack[from];
    s.classFore[to] = s.classFore[from];
}

void blank(AppSettings& s, int n)
{
    s.className[n].clear();
    s.classBack[n] = blankBack();
    s.classFore[n] = Qt::white;
}

} // namespace

int classOf(const PlaceRecord& place)
{
    const int c = toIntOrZero(place.color);
    return AppSettings::isClassIndex(c) ? c : -1;
}

bool inUse(const PlaceList& places, int n)
{
    for (const auto& place : places)
        if (classOf(*place) == n)
            return true;
    return false;
}

bool swapInPlaces(PlaceList& places, int a, int b)
{
    return renumber(places, [a, b](int c) { return c == a ? b : c == b ? a : c; });
}

bool shiftForInsert(PlaceList& places, int n)
{
    return renumber(places, [n](int c) { return c >= n && c < Last ? c + 1 : c; });
}

bool shiftForErase(PlaceList& places, int n)
{
    return renumber(places, [n](int c) { return c > n ? c - 1 : c; });
}

bool canInsert(const AppSettings& s, const PlaceList& places)
{
    return s.className.value(Last).isEmpty() && !inUse(places, Last);
}

void swapEntries(AppSettings& s, int a, int b)
{
    std::swap(s.className[a], s.className[b]);
    std::swap(s.classBack[a], s.classBack[b]);
    std::swap(s.classFore[a], s.classFore[b]);
}

void insertBlank(AppSettings& s, int n)
{
    for (int k = Last; k > n; --k)
        copyEntry(s, k, k - 1);
    blank(s, n);
}

void eraseEntry(AppSettings& s, int n)
{
    for (int k = n; k < Last; ++k)
        copyEntry(s, k, k + 1);
    blank(s, Last);
}

const QColor& blankBack()
{
    static const QColor grey(85, 85, 85);
    return grey;
}

int vary(int v, int m, const std::function<int()>& random)
{
    int t = v + (random() & m) - 102;
    if (t > 240)
        t = (t % 200) + 40;
    if (t > 99)
        return t;
    return (std::abs(t) % 100) + 80;
}

void randomColors(AppSettings& s, const std::function<int()>& random)
{
    static const QColor base[24] = {
        {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {0, 255, 255}, {255, 0, 255},
        {136, 0, 0}, {0, 136, 0}, {0, 0, 136}, {136, 136, 0}, {0, 136, 136}, {136, 0, 136},
        {187, 0, 0}, {0, 187, 0}, {0, 0, 187}, {187, 187, 0}, {0, 187, 187}, {187, 0, 187},
        {85, 0, 0},  {0, 85, 0},  {0, 0, 85},  {85, 85, 0},   {0, 85, 85},   {85, 0, 85}};
    // The weights are single-precision constants; the sum is taken in double.
    constexpr float red = 0.299f, green = 0.587f, blue = 0.114f, scale = 2.55f;

    s.classBack[0] = Qt::black;
    s.classFore[0] = Qt::white;
    int k = 0;
    for (int i = 1; i < AppSettings::ClassCount; ++i) {
        if (s.className[i].isEmpty()) {
            s.classBack[i] = blankBack();
            s.classFore[i] = Qt::white;
            continue;
        }
        int r = base[k].red(), g = base[k].green(), b = base[k].blue();
        if (i >= 24) {
            const int m = random() & 119;
            if (i % 3 == 2)
                r = vary(r, m, random);
            else if (i % 3 == 1)
                g = vary(g, m, random);
            else
                b = vary(b, m, random);
        }
        s.classBack[i] = QColor(r, g, b);
        const double brightness =
            (double(red) * r + double(green) * g + double(blue) * b) / double(scale);
        s.classFore[i] = brightness < 50 ? QColor(Qt::white) : QColor(Qt::black);
        if (++k == 24)
            k = 0;
    }
}

} // namespace classtable
