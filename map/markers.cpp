#include "map/markers.h"

#include "map/markerfiles.h"
#include "map/markerwriter.h"
#include "settings/appsettings.h"

#include <QCoreApplication>
#include <QHash>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <cmath>
#include <type_traits>

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

std::uint64_t markerPriority(int zoomMinimum, int colorClass, std::size_t listIndex)
{
    const auto zoom = std::uint64_t(std::clamp(zoomMinimum, 0, 255));
    // Classes beyond the table sort just before class 0.
    const auto rank = std::uint64_t(colorClass > 0 ? std::min(colorClass, 0xfffe) : 0xffff);
    return (zoom << 56) | (rank << 40) | std::min<std::uint64_t>(listIndex, (1ull << 40) - 1);
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
    // name (the disc is kept once, under a key without a name). The slots
    // are linked from the most to the least recently used; a free slot holds
    // an empty key, of point size 0, which no picture has.
    struct Slot
    {
        MarkerPicture key;
        QPixmap pixmap; // a label
        QImage image;   // a part of a circle, drawn as it is
        int top = 0;
        qint64 cost = 0; // kilobytes
        int newer = -1;
        int older = -1;
    };

    std::vector<Slot> kept;
    std::vector<int> freeSlots;
    QHash<MarkerPicture, int> index;
    int newest = -1;
    int oldest = -1;
    qint64 totalCost = 0; // kilobytes
    qint64 maxCost = 1;
    MarkerStyle style;
    bool styled = false;
    qreal ratio = 1.0; // of the screen the pictures are shown on
    bool overview = true;
    bool writeFiles = true;
    QHash<int, QFontMetrics> metrics;
    std::vector<MarkerPicture> used;
    int drawn = 0;

    template <typename Picture> static qint64 cost(const Picture& p)
    {
        return qint64(p.width()) * p.height() * p.depth() / 8 / 1024 + 1;
    }

    void unlink(int i)
    {
        Slot& s = kept[std::size_t(i)];
        (s.newer >= 0 ? kept[std::size_t(s.newer)].older : newest) = s.older;
        (s.older >= 0 ? kept[std::size_t(s.older)].newer : oldest) = s.newer;
        s.newer = s.older = -1;
    }

    void linkNewest(int i)
    {
        Slot& s = kept[std::size_t(i)];
        s.older = newest;
        s.newer = -1;
        (newest >= 0 ? kept[std::size_t(newest)].newer : oldest) = i;
        newest = i;
    }

    void drop(int i)
    {
        unlink(i);
        Slot& s = kept[std::size_t(i)];
        index.remove(s.key);
        totalCost -= s.cost;
        s = Slot();
        freeSlots.push_back(i);
    }

    // Drops the least recently used until at most `keep` kilobytes are left.
    void trim(qint64 keep)
    {
        while (oldest >= 0 && totalCost > keep)
            drop(oldest);
    }

    void clear()
    {
        kept.clear();
        freeSlots.clear();
        index.clear();
        newest = oldest = -1;
        totalCost = 0;
    }

    // The slot of a kept picture, now the most recently used; -1 when it is
    // not kept. `hint` is where the caller found it last: a slot that still
    // holds the caller's very name string (shared, not merely equal) holds
    // its picture, and spares hashing the name.
    int find(const MarkerPicture& key, int* hint)
    {
        int i = *hint;
        if (i < 0 || std::size_t(i) >= kept.size() || !sameKey(kept[std::size_t(i)].key, key)) {
            i = index.value(key, -1);
            *hint = i;
        }
        if (i >= 0 && i != newest) {
            unlink(i);
            linkNewest(i);
        }
        return i;
    }

    static bool sameKey(const MarkerPicture& a, const MarkerPicture& b)
    {
        return a.back == b.back && a.fore == b.fore && a.pointSize == b.pointSize &&
               a.circle == b.circle && a.name.isSharedWith(b.name);
    }

    // Keeps a picture not kept yet as the most recently used, making room for
    // it; -1 when it alone is over the limit and is not kept.
    template <typename Picture>
    int insert(const MarkerPicture& key, const Picture& picture, int top)
    {
        const qint64 c = cost(picture);
        if (c > maxCost)
            return -1;
        trim(maxCost - c);
        int i = int(kept.size());
        if (freeSlots.empty()) {
            kept.emplace_back();
        } else {
            i = freeSlots.back();
            freeSlots.pop_back();
        }
        Slot& s = kept[std::size_t(i)];
        s.key = key;
        if constexpr (std::is_same_v<Picture, QPixmap>)
            s.pixmap = picture;
        else
            s.image = picture;
        s.top = top;
        s.cost = c;
        linkNewest(i);
        index.insert(key, i);
        totalCost += c;
        return i;
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

    QPixmap label(const MarkerPicture& picture, int* hint)
    {
        const int i = find(picture, hint);
        if (i >= 0)
            return kept[std::size_t(i)].pixmap;
        const QPixmap pixmap = QPixmap::fromImage(drawMarkerPicture(style, picture));
        ++drawn;
        *hint = insert(picture, pixmap, 0);
        return pixmap;
    }

    // A circle with its top-left corner at `at`: the disc, with the rows of
    // its name laid over it. Drawn as images, in the format a pixmap of them
    // would hold: the same pixels, without a pixmap's indirections.
    void drawCircle(QPainter& painter, const QPointF& at, const MarkerPicture& picture,
                    int* baseHint, int* stripHint)
    {
        MarkerPicture baseKey;
        baseKey.back = picture.back;
        baseKey.pointSize = -1;
        baseKey.circle = true;
        const int b = find(baseKey, baseHint);
        const int s = find(picture, stripHint);
        if (b >= 0 && s >= 0) {
            const Slot& strip = kept[std::size_t(s)];
            paintCircle(painter, at, kept[std::size_t(b)].image, strip.image, strip.top);
            return;
        }
        const CirclePicture parts =
            drawCircleParts(picture.name, QColor::fromRgba(picture.back), style.font, style.radius,
                            picture.pointSize, style.siroIcon, style.ratio);
        ++drawn;
        const QImage base = b >= 0 ? kept[std::size_t(b)].image : asDrawn(parts.base);
        const QImage strip = s >= 0 ? kept[std::size_t(s)].image : asDrawn(parts.strip);
        const int top = parts.top;
        if (b < 0)
            *baseHint = insert(baseKey, base, 0);
        if (s < 0)
            *stripHint = insert(picture, strip, top);
        paintCircle(painter, at, base, strip, top);
    }

    static QImage asDrawn(const QImage& image) { return QPixmap::fromImage(image).toImage(); }

    static void paintCircle(QPainter& painter, const QPointF& at, const QImage& base,
                            const QImage& strip, int top)
    {
        // Positions in pixels at ratio 1, source rows in the pictures' own pixels.
        const qreal r = base.devicePixelRatioF();
        const int rows = qRound(top * r);
        const int end = rows + strip.height();
        painter.drawImage(at, base, QRectF(0, 0, base.width(), rows));
        painter.drawImage(at + QPointF(0, top), strip);
        painter.drawImage(at + QPointF(0, end / r), base,
                          QRectF(0, end, base.width(), base.height() - end));
    }
};

namespace {

using namespace qmapcontrol;

// The cached pictures are drawn at the screen's ratio. On a device of another
// ratio (a print at 2x or 4x) a marker is painted afresh at that resolution:
// the cached picture would come out blown up (or needlessly fine).
bool paintsAfresh(QPainter& painter, const MarkerStyle& style)
{
    return !qFuzzyCompare(painter.device()->devicePixelRatioF(), style.ratio);
}

void paintAfresh(QPainter& painter, const QRectF& target, const QRectF& visible,
                 const QSizeF& pictureSize, const MarkerStyle& style, const MarkerPicture& picture)
{
    if (pictureSize.isEmpty())
        return;
    painter.save();
    painter.setClipRect(visible);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.translate(target.topLeft());
    painter.scale(target.width() / pictureSize.width(), target.height() / pictureSize.height());
    paintMarkerPicture(painter, style, picture);
    painter.restore();
}

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
    QPixmap image() const override { return m_d->label(m_picture, &m_hint); }

protected:
    void drawShape(QPainter& painter, const QRectF& target, const QRectF& visible) const override
    {
        if (paintsAfresh(painter, m_d->style))
            paintAfresh(painter, target, visible, this->size(), m_d->style, m_picture);
        else
            Base::drawShape(painter, target, visible);
    }

private:
    std::shared_ptr<MarkerPictureCache::Private> m_d;
    MarkerPicture m_picture;
    mutable int m_hint = -1;
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
        m_solid = QRectF(circleSolidRect(picture.name, m_d->metricsFor(picture.pointSize),
                                         m_d->style.radius, m_d->style.siroIcon))
                      .translated(-s.width() / 2.0, -s.height() / 2.0);
    }
    QRectF solidRect(int) const override { return m_solid; }
    QPixmap image() const override
    {
        return QPixmap::fromImage(drawMarkerPicture(m_d->style, m_picture));
    }

protected:
    void drawShape(QPainter& painter, const QRectF& target, const QRectF&) const override
    {
        const MarkerStyle& style = m_d->style;
        if (paintsAfresh(painter, style)) {
            // The disc is the same for every circle of a colour: drawn once per ratio.
            const qreal ratio = painter.device()->devicePixelRatioF();
            const QImage disc =
                circleBase(QColor::fromRgba(m_picture.back), style.radius, style.siroIcon, ratio);
            painter.save();
            // Pixel for pixel: a transform that is only a move keeps Qt on its fast path.
            const QPointF at = painter.worldTransform().map(target.topLeft()) * ratio;
            painter.setWorldTransform(QTransform::fromScale(1.0 / ratio, 1.0 / ratio));
            painter.drawImage(QRectF(QPointF(std::round(at.x()), std::round(at.y())), disc.size()),
                              disc, QRectF(disc.rect()));
            painter.restore();
            painter.save();
            painter.translate(target.topLeft());
            paintCircleNameAt(painter, m_picture.name, style.font, style.radius,
                              m_picture.pointSize);
            painter.restore();
            return;
        }
        m_d->drawCircle(painter, target.topLeft(), m_picture, &m_baseHint, &m_stripHint);
    }

private:
    std::shared_ptr<MarkerPictureCache::Private> m_d;
    MarkerPicture m_picture;
    QRectF m_solid;
    mutable int m_baseHint = -1;
    mutable int m_stripHint = -1;
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
    d->maxCost = std::clamp<qint64>(bytes / 1024, 1, INT_MAX);
    d->trim(d->maxCost);
}

qint64 MarkerPictureCache::limit() const
{
    return d->maxCost * 1024;
}

void MarkerPictureCache::setDeviceRatio(qreal ratio)
{
    d->ratio = ratio > 0.0 ? ratio : 1.0;
}

qreal MarkerPictureCache::deviceRatio() const
{
    return d->ratio;
}

void MarkerPictureCache::beginRefresh()
{
    MarkerStyle style = MarkerStyle::fromSettings();
    style.ratio = d->ratio;
    if (!d->styled || style != d->style) {
        d->clear();
        d->metrics.clear();
        d->style = style;
        d->styled = true;
    }
    d->overview = AppSettings::instance().overview;
    d->writeFiles = filesAllowed && AppSettings::instance().markerFiles;
    d->used.clear();
}

std::shared_ptr<qmapcontrol::Geometry> MarkerPictureCache::geometry(const MarkerPlace& place)
{
    const MarkerPicture picture = d->pictureOf(place);
    if (d->writeFiles)
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

void MarkerPictureCache::setWriteFiles(bool on)
{
    d->writeFiles = on && filesAllowed;
    if (!on) {
        writer->cancel();
        emit filesDone();
    }
}

void MarkerPictureCache::setFilesAllowed(bool on)
{
    filesAllowed = on;
}

void MarkerPictureCache::endRefresh()
{
    if (d->writeFiles) {
        // The files are the pictures at their own size, whatever the screen.
        MarkerStyle fileStyle = d->style;
        fileStyle.ratio = 1.0;
        writer->submit(markerFolder(), fileStyle, std::move(d->used));
    }
    d->used = std::vector<MarkerPicture>();
}

QImage MarkerPictureCache::picture(const MarkerPlace& place)
{
    if (!d->styled)
        beginRefresh();
    MarkerStyle fileStyle = d->style;
    fileStyle.ratio = 1.0;
    return drawMarkerPicture(fileStyle, d->pictureOf(place));
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
    return int(d->index.size());
}

qint64 MarkerPictureCache::pictureBytes() const
{
    return d->totalCost * 1024;
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
        static_cast<GeometryPoint&>(*geometry).setPlacementPriority(
            markerPriority(geometry->zoomMinimum(), place.colorClass, i));
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
