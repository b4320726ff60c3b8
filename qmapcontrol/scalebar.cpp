#include "qmapcontrol/scalebar.h"

#include "qmapcontrol/projection.h"

#include <cmath>

namespace qmapcontrol {

namespace {
// The equatorial radius Web Mercator is drawn with.
constexpr double earthRadius = 6378137.0;
constexpr double pi = 3.14159265358979323846;
} // namespace

double metresPerPixel(double latitude, int zoom)
{
    const double lat = projection::clampLatitude(latitude) * pi / 180.0;
    return 2.0 * pi * earthRadius * std::cos(lat) / projection::worldSize(zoom);
}

ScaleBar chooseScaleBar(double latitude, int zoom, double maxPixels)
{
    ScaleBar bar;
    const double perPixel = metresPerPixel(latitude, zoom);
    const double room = perPixel * maxPixels;
    if (!(room >= 1.0))
        return bar;
    // The power of ten at or below the room, then the largest of 5, 2, 1 times it that fits.
    double power = std::pow(10.0, std::floor(std::log10(room)));
    // log10 may round across an exact power either way.
    if (power * 10.0 <= room)
        power *= 10.0;
    else if (power > room)
        power /= 10.0;
    double metres = power;
    for (const double step : {5.0, 2.0}) {
        if (power * step <= room) {
            metres = power * step;
            break;
        }
    }
    bar.metres = metres;
    bar.pixels = metres / perPixel;
    bar.label = metres >= 1000.0 ? QStringLiteral("%1 km").arg(metres / 1000.0, 0, 'f', 0)
                                 : QStringLiteral("%1 m").arg(metres, 0, 'f', 0);
    return bar;
}

} // namespace qmapcontrol
