#pragma once

#include "qmapcontrol/geometry.h"
#include "qmapcontrol/layergeometry.h"
#include "records/placerecord.h"

#include <QObject>
#include <QPixmap>
#include <QString>

#include <array>
#include <memory>
#include <vector>

// How a place is drawn, chosen by its shape (case-sensitive).
enum class MarkerKind
{
    Label,      // "Image": a label of fixed screen size, zoom 9 to 17
    Circle,     // "Circle": a circle of fixed screen size, zoom 9 to 17
    ScaledLabel // anything else: a label that grows with the map, zoom 0 to 17
};

constexpr int MarkerLayerCount = 9;
constexpr int MarkerZoomMaximum = 17;

// A place as the map draws it, every field converted.
struct MarkerPlace
{
    QString name;
    double x = 0.0;
    double y = 0.0;
    int colorClass = 0;
    int layer = 0; // index of the place layer, 0 to 8
    MarkerKind kind = MarkerKind::ScaledLabel;
    int pointSize = 0;
    int baseZoom = 0;
};

// Layer n of the map is index n - 1; out-of-range and non-numbers land on the
// first or last place layer.
int markerLayerIndex(const QString& layer);
MarkerKind markerKind(const QString& shape);
int markerZoomMinimum(MarkerKind kind);
MarkerPlace markerPlace(const PlaceRecord& record);

// The pictures of the markers, kept between refreshes under everything that
// shapes them (name, class colours, font, point size, kind, radius, icon), so
// that refreshing an unchanged list draws nothing and writes nothing.
//
// The map takes the pictures from memory. The files in the picture folder
// are kept in step afterwards, a few milliseconds at a time while the program
// is idle, and only where a file's bytes change.
class MarkerPictureCache : public QObject
{
    Q_OBJECT
public:
    explicit MarkerPictureCache(QObject* parent = nullptr);
    // Files still waiting are not written; the next run writes them.
    ~MarkerPictureCache() override;

    // A refresh: beginRefresh, picture for each place, endRefresh. Reads the
    // marker settings (font, radius, icon) at its start.
    void beginRefresh();
    QPixmap picture(const MarkerPlace& place);
    // Queues the files whose picture is not known to be on disk (for two
    // places of one name, the later one's) and forgets pictures no place used.
    void endRefresh();

    // Writes every queued file now.
    void flushFiles();
    int pendingFiles() const;

    // Counts since construction, for the curious and the tests.
    int picturesDrawn() const;
    int filesWritten() const;
    int fileFailures() const;
    int pictureCount() const;

signals:
    // The queue ran empty.
    void filesDone();

private:
    void writeSome();
    // Writes queued files for about that long; below 0 until none is left.
    void writeFiles(qint64 milliseconds);
    struct Private;
    std::unique_ptr<Private> d;
};

using MarkerGeometries =
    std::array<std::vector<std::shared_ptr<qmapcontrol::Geometry>>, MarkerLayerCount>;

// The geometry of one place, with the metadata "name".
std::shared_ptr<qmapcontrol::Geometry> makeMarkerGeometry(const MarkerPlace& place,
                                                          const QPixmap& picture);

// The geometries of every place that has a name, per place layer, in list
// order; each carries its list index as the metadata "record".
MarkerGeometries buildMarkers(const PlaceList& places, MarkerPictureCache& cache);

// Puts the markers on the nine place layers in place of what they showed.
// Layers is anything indexable 0 to 8 that yields LayerGeometry pointers.
template <typename Layers>
void showMarkers(const Layers& placeLayers, const MarkerGeometries& markers)
{
    for (int i = 0; i < MarkerLayerCount; ++i)
        placeLayers[i]->clearGeometries();
    for (int i = 0; i < MarkerLayerCount; ++i) {
        for (const auto& geometry : markers[i])
            placeLayers[i]->addGeometry(geometry, false);
    }
}
