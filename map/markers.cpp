#include "map/markers.h"

#include "map/markerfiles.h"
#include "map/markerwriter.h"
#include "settings/appsettings.h"

#include <QCache>
#include <QCoreApplication>
#include <QHash>
#include <QPainter>

#include <algorithm>
#include <climits>
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

int markerZoomMinimum(MarkerKind kind, int baseZoom, bool overview)
{
    if (kind != MarkerKind::ScaledLabel)
        return 9;
    return overview ? std::clamp(baseZoom - 1, 0, MarkerZoomMaximum) : 0;
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

struct MarkerPictureCache::Private
{
    // What is kept of a picture: a label whole, a circle its rows with the
    // name (the disc is kept once, under a key without a name).
    struct Kept
    {
        QPixmap pixmap;
        int top = 0;
    };

    QCache<MarkerPicture, Kept> kept;
    MarkerStyle style;
    bool styled = false;
    bool overview = true;
    QHash<int, QFontMetrics> metrics;
    std::vector<MarkerPicture> used;
    int drawn = 0;

    // QCache counts in kilobytes.
    static int cost(const QPixmap& p)
    {
        return int(qint64(p.width()) * p.height() * p.depth() / 8 / 1024) + 1;
    }

    MarkerPicture pictureOf(const MarkerPlace& place)
    {
        MarkerPicture picture;
        picture.name = place.name;
        picture.back = markerBackColor(place.colorClass).rgba();
        picture.pointSize = markerPointSize(style.font, place.pointSize);
        picture.circle = place.kind == MarkerKind::Circle;
        if (!picture.circle)
            picture.fore = markerForeColor(place.colorClass).rgba();
        return picture;
    }

    const QFontMetrics& metricsFor(int pointSize)
    {
        auto it = metrics.find(pointSize);
        if (it == metrics.end())
            it = metrics.insert(pointSize, markerMetrics(style.font, pointSize));
        return *it;
    }

    QPixmap label(const MarkerPicture& picture)
    {
        if (const Kept* k = kept.object(picture))
            return k->pixmap;
        auto* k = new Kept{QPixmap::fromImage(drawMarkerPicture(style, picture)), 0};
        ++drawn;
        const QPixmap pixmap = k->pixmap;
        kept.insert(picture, k, cost(pixmap));
        return pixmap;
    }

    // The disc and the rows with the name.
    void circle(const MarkerPicture& picture, QPixmap* base, QPixmap* strip, int* top)
    {
        MarkerPicture baseKey;
        baseKey.back = picture.back;
        baseKey.pointSize = -1;
        baseKey.circle = true;
        const Kept* b = kept.object(baseKey);
        const Kept* s = kept.object(picture);
        if (b && s) {
            *base = b->pixmap;
            *strip = s->pixmap;
            *top = s->top;
            return;
        }
        const CirclePicture parts =
            drawCircleParts(picture.name, QColor::fromRgba(picture.back), style.font, style.radius,
                            picture.pointSize, style.siroIcon);
        ++drawn;
        *base = b ? b->pixmap : QPixmap::fromImage(parts.base);
        *strip = s ? s->pixmap : QPixmap::fromImage(parts.strip);
        *top = parts.top;
        if (!b)
            kept.insert(baseKey, new Kept{*base, 0}, cost(*base));
        if (!s)
            kept.insert(picture, new Kept{*strip, parts.top}, cost(*strip));
    }
};

namespace {

using namespace qmapcontrol;

// A label drawn from the cache when painted.
template <typename Base> class CachedLabel : public Base
{
public:
    template <typename... Args>
    CachedLabel(std::shared_ptr<MarkerPictureCache::Private> d, const MarkerPicture& picture,
                Args&&... args)
        : Base(std::forward<Args>(args)...), m_d(std::move(d)), m_picture(picture)
    {
    }
    QPixmap image() const override { return m_d->label(m_picture); }

private:
    std::shared_ptr<MarkerPictureCache::Private> m_d;
    MarkerPicture m_picture;
};

// A circle painted as its disc with the rows of its name laid over: the
// same pixels as the whole picture, for a fraction of the memory.
class CachedCircle : public GeometryPointImage
{
public:
    CachedCircle(std::shared_ptr<MarkerPictureCache::Private> d, const MarkerPicture& picture,
                 const PointWorldCoord& c, const QSizeF& s, int zmin, int zmax)
        : GeometryPointImage(c, s, zmin, zmax), m_d(std::move(d)), m_picture(picture)
    {
    }
    QPixmap image() const override
    {
        return QPixmap::fromImage(drawMarkerPicture(m_d->style, m_picture));
    }

protected:
    void drawShape(QPainter& painter, const QRectF& target, const QRectF&) const override
    {
        QPixmap base;
        QPixmap strip;
        int top = 0;
        m_d->circle(m_picture, &base, &strip, &top);
        const QPointF at = target.topLeft();
        const int bottom = top + strip.height();
        painter.drawPixmap(at, base, QRectF(0, 0, base.width(), top));
        painter.drawPixmap(at + QPointF(0, top), strip);
        painter.drawPixmap(at + QPointF(0, bottom), base,
                           QRectF(0, bottom, base.width(), base.height() - bottom));
    }

private:
    std::shared_ptr<MarkerPictureCache::Private> m_d;
    MarkerPicture m_picture;
};

} // namespace

MarkerPictureCache::MarkerPictureCache(QObject* parent)
    : QObject(parent), d(std::make_shared<Private>()), writer(new MarkerFileWriter(this))
{
    setLimit(DefaultLimit);
    connect(writer, &MarkerFileWriter::progress, this, [this](int done, int total) {
        emit filesProgress(done, total);
        if (done == total)
            emit filesDone();
    });
    connect(writer, &MarkerFileWriter::failed, this, &MarkerPictureCache::fileFailed);
}

MarkerPictureCache::~MarkerPictureCache()
{
    // Before the pictures go: the writer finishes the file in hand only.
    delete writer;
}

void MarkerPictureCache::setLimit(qint64 bytes)
{
    d->kept.setMaxCost(int(std::clamp<qint64>(bytes / 1024, 1, INT_MAX)));
}

qint64 MarkerPictureCache::limit() const
{
    return qint64(d->kept.maxCost()) * 1024;
}

void MarkerPictureCache::beginRefresh()
{
    const MarkerStyle style = MarkerStyle::fromSettings();
    if (!d->styled || style != d->style) {
        d->kept.clear();
        d->metrics.clear();
        d->style = style;
        d->styled = true;
    }
    d->overview = AppSettings::instance().overview;
    d->used.clear();
}

std::shared_ptr<qmapcontrol::Geometry> MarkerPictureCache::geometry(const MarkerPlace& place)
{
    const MarkerPicture picture = d->pictureOf(place);
    d->used.push_back(picture);
    const PointWorldCoord point(place.x, place.y);
    const int zoomMin = markerZoomMinimum(place.kind, place.baseZoom, d->overview);
    std::shared_ptr<GeometryPoint> geometry;
    if (picture.circle) {
        const double size = 2 * d->style.radius;
        geometry = std::make_shared<CachedCircle>(d, picture, point, QSizeF(size, size), zoomMin,
                                                  MarkerZoomMaximum);
    } else {
        const QSizeF size = labelPictureSize(picture.name, d->metricsFor(picture.pointSize));
        if (place.kind == MarkerKind::ScaledLabel)
            geometry = std::make_shared<CachedLabel<GeometryPointImageScaled>>(
                d, picture, point, size, place.baseZoom, zoomMin, MarkerZoomMaximum);
        else
            geometry = std::make_shared<CachedLabel<GeometryPointImage>>(
                d, picture, point, size, zoomMin, MarkerZoomMaximum);
    }
    geometry->setMetadata(QStringLiteral("name"), QVariant(place.name));
    geometry->setOverviewColor(picture.back);
    return geometry;
}

void MarkerPictureCache::endRefresh()
{
    writer->submit(markerFolder(), d->style, std::move(d->used));
    d->used = std::vector<MarkerPicture>();
}

QImage MarkerPictureCache::picture(const MarkerPlace& place)
{
    if (!d->styled)
        beginRefresh();
    return drawMarkerPicture(d->style, d->pictureOf(place));
}

void MarkerPictureCache::flushFiles()
{
    writer->waitUntilIdle();
    // The writer's last news is still queued for this thread.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

int MarkerPictureCache::pendingFiles() const
{
    return writer->pending();
}

int MarkerPictureCache::picturesDrawn() const
{
    return d->drawn;
}

int MarkerPictureCache::pictureCount() const
{
    return d->kept.count();
}

qint64 MarkerPictureCache::pictureBytes() const
{
    return qint64(d->kept.totalCost()) * 1024;
}

int MarkerPictureCache::filesWritten() const
{
    return writer->written();
}

int MarkerPictureCache::fileFailures() const
{
    return writer->failures();
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
        auto geometry = cache.geometry(place);
        // A click must find the place it was drawn from, not the first of its name.
        geometry->setMetadata(QStringLiteral("record"), QVariant(int(i)));
        markers[std::size_t(place.layer)].push_back(std::move(geometry));
    }
    cache.endRefresh();
    return markers;
}

bool markersBounds(
    const std::array<std::shared_ptr<qmapcontrol::LayerGeometry>, MarkerLayerCount>& layers,
    QRectF* box)
{
    bool any = false;
    double x0 = 0.0;
    double y0 = 0.0;
    double x1 = 0.0;
    double y1 = 0.0;
    for (const auto& layer : layers) {
        if (!layer->isVisible())
            continue;
        for (const auto& geometry : layer->geometries()) {
            if (geometry->geometryType() != Geometry::GeometryType::GeometryPoint ||
                !geometry->isVisible())
                continue;
            const QPointF p = static_cast<const GeometryPoint&>(*geometry).normalized();
            x0 = any ? std::min(x0, p.x()) : p.x();
            y0 = any ? std::min(y0, p.y()) : p.y();
            x1 = any ? std::max(x1, p.x()) : p.x();
            y1 = any ? std::max(y1, p.y()) : p.y();
            any = true;
        }
    }
    // One place (or many on one spot) gives a box of no size.
    *box = QRectF(QPointF(x0, y0), QPointF(x1, y1));
    return any;
}
