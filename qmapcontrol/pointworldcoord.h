#pragma once

#include <QMetaType>
#include <QPointF>

namespace qmapcontrol {

// A point on the earth: longitude (x) then latitude (y), in degrees.
class PointWorldCoord
{
public:
    constexpr PointWorldCoord() = default;
    constexpr PointWorldCoord(double longitude, double latitude) : m_x(longitude), m_y(latitude) {}

    constexpr double longitude() const { return m_x; }
    constexpr double latitude() const { return m_y; }
    constexpr double x() const { return m_x; }
    constexpr double y() const { return m_y; }
    void setLongitude(double v) { m_x = v; }
    void setLatitude(double v) { m_y = v; }

    QPointF rawPoint() const { return QPointF(m_x, m_y); }

    friend bool operator==(const PointWorldCoord& a, const PointWorldCoord& b)
    {
        return a.m_x == b.m_x && a.m_y == b.m_y;
    }
    friend bool operator!=(const PointWorldCoord& a, const PointWorldCoord& b) { return !(a == b); }

private:
    double m_x = 0.0;
    double m_y = 0.0;
};

} // namespace qmapcontrol

Q_DECLARE_METATYPE(qmapcontrol::PointWorldCoord)
