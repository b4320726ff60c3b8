#include "map/markers.h"

#include "map/markerfiles.h"
#include "map/markerpictures.h"
#include "settings/appsettings.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QFont>
#include <QHash>
#include <QTimer>

#include <algorithm>
#include <cmath>

int markerLayerIndex(const QString& layer)
{
    return std::clamp(toIntOrZero(layer) - 1, 0, MarkerLayerCount - 1);
}

MarkerKind markerKind(const QString& shape)
{
    if (shape == QLatin1String("Image"))
        return MarkerKind::Label;
    if (shape == QLatin1String("Circle"))
        return MarkerKind::Circle;
    return MarkerKind::ScaledLabel;
}

int markerZoomMinimum(MarkerKind kind)
{
    return kind == MarkerKind::ScaledLabel ? 0 : 9;
}

namespace {
// A coordinate the map can place: "nan" or "inf" would poison its index.
double coordinate(const QString& text)
{
    const double v = toDoubleOrZero(text);
    return std::isfinite(v) ? v : 0.0;
}
} // namespace

MarkerPlace markerPlace(const PlaceRecord& record)
{
    MarkerPlace place;
    place.name = record.name;
    place.x = coordinate(record.x);
    place.y = coordinate(record.y);
    place.colorClass = toIntOrZero(record.color);
    place.layer = markerLayerIndex(record.layer);
    place.kind = markerKind(record.shape);
    place.pointSize = toIntOrZero(record.font);
    place.baseZoom = toIntOrZero(record.level);
    return place;
}

std::shared_ptr<qmapcontrol::Geometry> makeMarkerGeometry(const MarkerPlace& place,
                                                          const QPixmap& picture)
{
    using namespace qmapcontrol;
    const PointWorldCoord point(place.x, place.y);
    const int zoomMin = markerZoomMinimum(place.kind);
    std::shared_ptr<Geometry> geometry;
    if (place.kind == MarkerKind::ScaledLabel)
        geometry = std::make_shared<GeometryPointImageScaled>(point, picture, place.baseZoom,
                                                              zoomMin, MarkerZoomMaximum);
    else
        geometry = std::make_shared<GeometryPointImage>(point, picture, zoomMin, MarkerZoomMaximum);
    geometry->setMetadata(QStringLiteral("name"), QVariant(place.name));
    return geometry;
}

MarkerGeometries buildMarkers(const PlaceList& places, MarkerPictureCache& cache)
{
    MarkerGeometries markers;
    cache.beginRefresh();
    for (size_t i = 0; i < places.size(); ++i) {
        const PlaceRecord& record = *places[i];
        if (record.name.isEmpty())
            continue;
        const MarkerPlace place = markerPlace(record);
        auto geometry = makeMarkerGeometry(place, cache.picture(place));
        // A click must find the place it was drawn from, not the first of its name.
        geometry->setMetadata(QStringLiteral("record"), QVariant(int(i)));
        markers[place.layer].push_back(std::move(geometry));
    }
    cache.endRefresh();
    return markers;
}

namespace {

// Everything a marker picture depends on. Labels ignore radius and icon,
// circles ignore the fore colour, so those stay zero there.
struct PictureKey
{
    QString name;
    QString font;
    QRgb back = 0;
    QRgb fore = 0;
    int pointSize = 0;
    int radius = 0;
    bool circle = false;
    bool siroIcon = false;

    bool operator==(const PictureKey& o) const
    {
        return back == o.back && fore == o.fore && pointSize == o.pointSize && radius == o.radius &&
               circle == o.circle && siroIcon == o.siroIcon && name == o.name && font == o.font;
    }
    bool operator!=(const PictureKey& o) const { return !(*this == o); }
};

uint qHash(const PictureKey& k, uint seed = 0)
{
    uint h = ::qHash(k.name, seed);
    h = h * 31 + k.back;
    h = h * 31 + k.fore;
    h = h * 31 + uint(k.pointSize);
    h = h * 31 + uint(k.radius) * 2 + (k.circle ? 1 : 0);
    return h;
}

QImage drawPicture(const PictureKey& key, const QFont& font)
{
    if (key.circle)
        return drawCirclePicture(key.name, QColor::fromRgba(key.back), font, key.radius,
                                 key.pointSize, key.siroIcon);
    return drawLabelPicture(key.name, QColor::fromRgba(key.back), QColor::fromRgba(key.fore), font,
                            key.pointSize);
}

// A slice of file writing may take this long before the program gets the
// event loop back.
constexpr qint64 SliceMilliseconds = 15;

} // namespace

struct MarkerPictureCache::Private
{
    struct Entry
    {
        QPixmap pixmap;
        QString path;
        quint32 refresh = 0;
    };
    struct Use
    {
        QString path;
        PictureKey key;
    };
    struct Pending
    {
        PictureKey key;
        QFont font;
    };

    QHash<PictureKey, Entry> pictures;
    std::vector<Use> used;
    quint32 refresh = 0;

    // The settings of the running refresh.
    QFont font;
    QString fontKey;
    int radius = 0;
    bool siroIcon = false;

    QHash<QString, Pending> pending;
    // What each file was last written with (or found to hold) in this run.
    QHash<QString, PictureKey> onDisk;
    QTimer timer;

    int drawn = 0;
    int written = 0;
    int failures = 0;
};

MarkerPictureCache::MarkerPictureCache(QObject* parent) : QObject(parent), d(new Private)
{
    d->timer.setSingleShot(true);
    d->timer.setInterval(0);
    connect(&d->timer, &QTimer::timeout, this, &MarkerPictureCache::writeSome);
}

MarkerPictureCache::~MarkerPictureCache() = default;

void MarkerPictureCache::beginRefresh()
{
    const AppSettings& settings = AppSettings::instance();
    ++d->refresh;
    d->used.clear();
    d->font = settings.textFont;
    d->fontKey = d->font.toString();
    d->radius = markerRadius(settings.radius);
    d->siroIcon = settings.siroIcon;
}

QPixmap MarkerPictureCache::picture(const MarkerPlace& place)
{
    PictureKey key;
    key.name = place.name;
    key.font = d->fontKey;
    key.back = markerBackColor(place.colorClass).rgba();
    key.pointSize = markerPointSize(d->font, place.pointSize);
    key.circle = place.kind == MarkerKind::Circle;
    if (key.circle) {
        key.radius = d->radius;
        key.siroIcon = d->siroIcon;
    } else {
        key.fore = markerForeColor(place.colorClass).rgba();
    }

    auto it = d->pictures.find(key);
    if (it == d->pictures.end()) {
        Private::Entry entry;
        entry.pixmap = QPixmap::fromImage(drawPicture(key, d->font));
        entry.path = markerFilePath(place.name);
        it = d->pictures.insert(key, entry);
        ++d->drawn;
    }
    it->refresh = d->refresh;
    d->used.push_back(Private::Use{it->path, key});
    return it->pixmap;
}

void MarkerPictureCache::endRefresh()
{
    // Of two places sharing a file, the later one's picture is the file's.
    QHash<QString, const PictureKey*> last;
    last.reserve(int(d->used.size()));
    for (const Private::Use& use : d->used)
        last.insert(use.path, &use.key);
    for (auto it = last.cbegin(); it != last.cend(); ++it) {
        const auto disk = d->onDisk.constFind(it.key());
        if (disk != d->onDisk.cend() && *disk == *it.value() && QFileInfo::exists(it.key())) {
            // A change undone before its file was written.
            d->pending.remove(it.key());
            continue;
        }
        d->pending.insert(it.key(), Private::Pending{*it.value(), d->font});
    }
    d->used.clear();

    for (auto it = d->pictures.begin(); it != d->pictures.end();) {
        if (it->refresh != d->refresh)
            it = d->pictures.erase(it);
        else
            ++it;
    }
    if (!d->pending.isEmpty())
        d->timer.start();
}

void MarkerPictureCache::writeSome()
{
    writeFiles(SliceMilliseconds);
}

void MarkerPictureCache::flushFiles()
{
    d->timer.stop();
    writeFiles(-1);
}

void MarkerPictureCache::writeFiles(qint64 milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (!d->pending.isEmpty()) {
        const auto it = d->pending.begin();
        const QString path = it.key();
        const Private::Pending item = it.value();
        d->pending.erase(it);

        const QImage image = drawPicture(item.key, item.font);
        switch (writeMarkerFile(path, encodeMarkerPng(image))) {
        case FileWrite::Written:
            ++d->written;
            d->onDisk.insert(path, item.key);
            break;
        case FileWrite::Unchanged:
            d->onDisk.insert(path, item.key);
            break;
        case FileWrite::Failed:
            // Not retried until the next refresh asks for it again.
            ++d->failures;
            d->onDisk.remove(path);
            break;
        }
        if (milliseconds >= 0 && clock.elapsed() >= milliseconds)
            break;
    }
    if (d->pending.isEmpty())
        emit filesDone();
    else
        d->timer.start();
}

int MarkerPictureCache::pendingFiles() const
{
    return d->pending.size();
}

int MarkerPictureCache::picturesDrawn() const
{
    return d->drawn;
}

int MarkerPictureCache::filesWritten() const
{
    return d->written;
}

int MarkerPictureCache::fileFailures() const
{
    return d->failures;
}

int MarkerPictureCache::pictureCount() const
{
    return d->pictures.size();
}
