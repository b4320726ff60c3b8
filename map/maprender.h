#pragma once

#include "map/markers.h"
#include "map/providers.h"
#include "records/placerecord.h"

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>
#include <QVector>

#include <chrono>
#include <functional>
#include <memory>

namespace qmapcontrol {
class LayerGeometry;
class LayerMapAdapter;
class LayerOverview;
class QMapControl;
} // namespace qmapcontrol

// Pictures of the map drawn off screen: the print of "画像保存" and the
// command line's --render.
namespace maprender {

// The largest side of a picture, in pixels.
constexpr int MaxSide = 8192;

struct Rendered
{
    QImage image;
    int missingTiles = 0;
    bool cancelled = false;
};

// Called while tiles come: `done` of `total` tiles; false cancels.
using Progress = std::function<bool(int done, int total)>;

// Draws the map's view at `size` times `scale` (QMapControl::renderImage),
// first waiting for the tiles it asks for, at most `limit`: a render never
// hangs on a slow server, and what did not come is left blank (and counted).
Rendered renderWaiting(qmapcontrol::QMapControl& map, const QSize& size, int scale,
                       std::chrono::milliseconds limit, const Progress& progress = {});

// A colour class shown in the picture.
struct LegendEntry
{
    int colorClass = 0;
    QString name;
    QColor back;
    QColor fore;
};

// The classes (in class order, each once) of the places whose markers show
// in a view of `size` around the map's focus; `classOf` gives the class of
// a marker's "record" metadata.
QVector<int> classesInView(const qmapcontrol::QMapControl& map,
                           const std::vector<std::shared_ptr<qmapcontrol::LayerGeometry>>& layers,
                           const QSize& size, const std::function<int(int record)>& classOf);
// With the names and colours of the settings.
QVector<LegendEntry> legendEntries(const QVector<int>& classes);

// Paints the legend into the top-left corner of a picture drawn at `scale`.
void drawLegend(QImage& image, int scale, const QVector<LegendEntry>& entries);

// A map of its own for pictures made without the window (the command line):
// the base map of a provider (or none), the notes, the nine place layers
// and the overview as the settings have it.
class MapScene
{
public:
    MapScene();
    ~MapScene();

    qmapcontrol::QMapControl& map() { return *m_map; }
    // -1: no tiles at all.
    void setProvider(int index);
    // A provider of the map menu or an offline map; no adapter: no tiles.
    void setBaseMap(const BaseMap& base);
    // The markers of the named places; no picture files are written.
    void setPlaces(const PlaceList& places);
    // The focus point and zoom (limited to the provider's zooms).
    void setView(double longitude, double latitude, int zoom);
    std::vector<std::shared_ptr<qmapcontrol::LayerGeometry>> placeLayers() const;

private:
    std::unique_ptr<qmapcontrol::QMapControl> m_map;
    std::unique_ptr<MarkerPictureCache> m_pictures;
    std::shared_ptr<qmapcontrol::LayerMapAdapter> m_base;
    std::array<std::shared_ptr<qmapcontrol::LayerGeometry>, MarkerLayerCount> m_places;
    std::shared_ptr<qmapcontrol::LayerOverview> m_overview;
};

} // namespace maprender
