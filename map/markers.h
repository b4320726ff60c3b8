#pragma once

#include "map/markerpictures.h"
#include "qmapcontrol/geometry.h"
#include "qmapcontrol/layergeometry.h"
#include "records/placerecord.h"

#include <QObject>
#include <QPixmap>
#include <QRectF>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class MarkerFileWriter;

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
// The zoom from which a marker shows. With the overview on, a scaled label
// below half its size (under its base zoom less one) is left to the
// overview's dot instead of shrinking to a speck.
int markerZoomMinimum(MarkerKind kind, int baseZoom = 0, bool overview = false);
MarkerPlace markerPlace(const PlaceRecord& record);
// Which picture keeps its place where pictures would overlap (lower first):
// the one shown from a lower zoom, then the lower colour class, class 0
// (no class chosen) last, then the earlier in the list.
std::uint64_t markerPriority(int zoomMinimum, int colorClass, std::size_t listIndex);

// The marker pictures. A picture is drawn when the map first shows it and kept
// in a cache bounded by bytes (least recently used go first); what is
// evicted is drawn again, the same to the pixel. The disc of a circle is
// drawn once per colour and shared; each circle keeps only the rows its name
// crosses. The picture files in the picture folder follow each refresh on a
// worker thread (MarkerFileWriter).
class MarkerPictureCache : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 DefaultLimit = 64 << 20;

    explicit MarkerPictureCache(QObject* parent = nullptr);
    // Files still waiting are not written; the next run writes them.
    ~MarkerPictureCache() override;

    void setLimit(qint64 bytes);
    qint64 limit() const;
    // The device pixel ratio of the screen the map is on; taken at the next
    // refresh (a change draws every picture again). The files stay at ratio 1.
    void setDeviceRatio(qreal ratio);
    qreal deviceRatio() const;

    // A refresh: beginRefresh, geometry for each place, endRefresh. Reads the
    // marker settings at its start; a changed style drops every picture.
    void beginRefresh();
    // The geometry of one place, with the metadata "name"; its picture is
    // drawn when it is first painted.
    std::shared_ptr<qmapcontrol::Geometry> geometry(const MarkerPlace& place);
    // Hands the files to the writer: one per file name, the later place's
    // picture where two places share a name.
    void endRefresh();

    // The whole picture of a place as its file holds it (at ratio 1).
    QImage picture(const MarkerPlace& place);

    // Whether refreshes write the picture files (the setting markerFiles as
    // the refresh began). Switching off drops the files still waiting.
    void setWriteFiles(bool on);
    // Whether this cache may write picture files at all (off for a picture of
    // the map made without the window).
    void setFilesAllowed(bool on);

    // Waits until the writer is done with every file (tests, benchmarks).
    void flushFiles();
    int pendingFiles() const;

    // Counts since construction, for the curious and the tests.
    int picturesDrawn() const;
    int pictureCount() const;
    qint64 pictureBytes() const;
    int filesWritten() const;
    int fileFailures() const;

    struct Private;

signals:
    // While files are written: `done` of `total` files that had to be drawn.
    void filesProgress(int done, int total);
    // The writer is done with the files of the last refresh.
    void filesDone();
    // A file could not be written, with the system's reason.
    void fileFailed(const QString& path, const QString& reason);

private:
    std::shared_ptr<Private> d;
    MarkerFileWriter* writer;
    bool filesAllowed = true;
};

// The box (in normalized world coordinates) around the point geometries of
// the shown layers; false when they hold none.
bool markersBounds(
    const std::array<std::shared_ptr<qmapcontrol::LayerGeometry>, MarkerLayerCount>& layers,
    QRectF* box);

using MarkerGeometries =
    std::array<std::vector<std::shared_ptr<qmapcontrol::Geometry>>, MarkerLayerCount>;

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
