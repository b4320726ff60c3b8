#pragma once

#include "qmapcontrol/pointworldcoord.h"

#include <QEvent>
#include <QPixmap>
#include <QString>

// Measuring the great-circle distance between two presses on the map.
namespace distance {

// A point counts as not placed when both coordinates are zero, of either sign
// (so a press exactly at 0, 0 does not count as a first point).
bool isUnset(const qmapcontrol::PointWorldCoord& point);

// Kilometres along a sphere of radius 6371 km (spherical law of cosines).
double greatCircleKm(const qmapcontrol::PointWorldCoord& a, const qmapcontrol::PointWorldCoord& b);

// "12.345 km"
QString labelText(double km);
// The label drawn beside the second point: 100 x 20, transparent, black text.
QPixmap labelPicture(double km);

// The two points of a measurement under way and what a press does to them.
class Measurement
{
public:
    enum class Action
    {
        None,
        PlantFlag, // a first point was taken (or a press at 0, 0 that leaves it unset)
        Finish     // the second point was taken: draw, and the points are clear again
    };

    // Only real button presses count; double clicks and the like change nothing.
    Action press(QEvent::Type type, const qmapcontrol::PointWorldCoord& coord);

    qmapcontrol::PointWorldCoord a() const { return m_a; }
    qmapcontrol::PointWorldCoord b() const { return m_b; }
    void clear();

private:
    qmapcontrol::PointWorldCoord m_a{0.0, 0.0};
    qmapcontrol::PointWorldCoord m_b{0.0, 0.0};
};

} // namespace distance
