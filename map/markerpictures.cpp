#include "map/markerpictures.h"

#include "settings/appsettings.h"

#include <QFontMetrics>
#include <QHash>
#include <QMutex>
#include <QPainter>
#include <QPair>
#include <QRadialGradient>

#include <algorithm>

namespace {

constexpr int MaxPointSize = 200;
constexpr int MaxLabelWidth = 4096;
constexpr int MaxRadius = 500;

// Metrics for the device the pictures are drawn on, so that the box fits the
// text whatever the screen's resolution.
QFontMetrics pictureMetrics(const QFont& font)
{
    static const QImage device(1, 1, QImage::Format_ARGB32);
    return QFontMetrics(font, &device);
}

QFont markerFont(const QFont& font, int pointSize)
{
    QFont f = font;
    if (f.pointSize() != pointSize)
        f.setPointSize(pointSize);
    return f;
}

// A transparent picture of w x h pixels at ratio 1, drawn at `ratio`.
QImage blankPicture(int w, int h, qreal ratio)
{
    QImage image(qRound(w * ratio), qRound(h * ratio), QImage::Format_ARGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(0);
    return image;
}

const QImage& castleIcon()
{
    static const QImage icon(QStringLiteral(":/icons/siro16.png"));
    return icon;
}

// Where a circle's name goes: its left end and its baseline.
QPoint circleTextOrigin(const QFontMetrics& metrics, const QString& name, int radius)
{
    const int d = 2 * radius;
    return QPoint((d - metrics.horizontalAdvance(name)) / 2 + 1, metrics.height() + radius + 4);
}

} // namespace

QColor markerBackColor(int c)
{
    const auto& back = AppSettings::instance().classBack;
    if (AppSettings::isClassIndex(c) && c < back.size())
        return back[c];
    return QColor(128, 128, 128);
}

QColor markerForeColor(int c)
{
    const auto& fore = AppSettings::instance().classFore;
    if (AppSettings::isClassIndex(c) && c < fore.size())
        return fore[c];
    return QColor(255, 255, 255);
}

int markerPointSize(const QFont& font, int pointSize)
{
    if (pointSize <= 0)
        pointSize = font.pointSize() > 0 ? font.pointSize() : 1;
    return std::min(pointSize, MaxPointSize);
}

int markerRadius(int radius)
{
    return std::clamp(radius, 1, MaxRadius);
}

MarkerStyle MarkerStyle::fromSettings()
{
    const AppSettings& settings = AppSettings::instance();
    MarkerStyle style;
    style.font = settings.textFont;
    style.radius = markerRadius(settings.radius);
    style.siroIcon = settings.siroIcon;
    return style;
}

bool MarkerStyle::operator==(const MarkerStyle& o) const
{
    return radius == o.radius && siroIcon == o.siroIcon && ratio == o.ratio && font == o.font;
}

uint qHash(const MarkerPicture& p, uint seed)
{
    uint h = qHash(p.name, seed);
    h = h * 31 + p.back;
    h = h * 31 + p.fore;
    return h * 31 + uint(p.pointSize) * 2 + (p.circle ? 1 : 0);
}

QString labelText(const QString& name, const QFontMetrics& metrics)
{
    if (metrics.horizontalAdvance(name) + 7 <= MaxLabelWidth)
        return name;
    return metrics.elidedText(name, Qt::ElideRight, MaxLabelWidth - 7);
}

QFontMetrics markerMetrics(const QFont& font, int pointSize)
{
    return pictureMetrics(markerFont(font, markerPointSize(font, pointSize)));
}

QSize labelPictureSize(const QString& name, const QFontMetrics& metrics)
{
    return QSize(metrics.horizontalAdvance(labelText(name, metrics)) + 7, metrics.height() + 2);
}

void paintLabelPicture(QPainter& painter, const QString& name, const QColor& back,
                       const QColor& fore, const QFont& font, int pointSize)
{
    pointSize = markerPointSize(font, pointSize);
    const QFont f = markerFont(font, pointSize);
    const QFontMetrics metrics = pictureMetrics(f);
    const QString text = labelText(name, metrics);
    const int w = metrics.horizontalAdvance(text) + 7;
    const int h = metrics.height();
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(QBrush(back, Qt::SolidPattern));
    painter.drawRect(QRect(QPoint(0, 0), QPoint(w - 2, h - 1)));
    painter.setPen(QPen(fore, 1));
    painter.setFont(f);
    // The usual baseline, h - pointSize / 2 - 1, lies above the ascent of
    // most fonts and would cut the tops of the letters off; never go higher
    // than the ascent.
    const int baseline = std::max(h - pointSize / 2 - 1, metrics.ascent());
    painter.drawText(QPointF(4.0, baseline), text);
}

QImage drawLabelPicture(const QString& name, const QColor& back, const QColor& fore,
                        const QFont& font, int pointSize, qreal ratio)
{
    const QSize size = labelPictureSize(name, markerMetrics(font, pointSize));
    QImage image = blankPicture(size.width(), size.height(), ratio);
    QPainter painter(&image);
    paintLabelPicture(painter, name, back, fore, font, pointSize);
    painter.end();
    return image;
}

namespace {

void paintCircleDisc(QPainter& painter, const QColor& back, int radius, bool siroIcon)
{
    const int d = 2 * radius;
    QRadialGradient gradient(QPointF(radius, radius), radius, QPointF(radius, radius));
    gradient.setColorAt(0.0, back);
    gradient.setColorAt(0.5, QColor(back.red(), back.green(), back.blue(), 100));
    gradient.setColorAt(1.0, Qt::transparent);
    painter.setBrush(gradient);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRect(QPoint(0, 0), QPoint(d - 1, d - 1)));
    if (siroIcon && !castleIcon().isNull()) {
        // A finer device blows the small icon up: smoothly rather than in blocks.
        if (painter.device()->devicePixelRatioF() > 1.0 || painter.transform().isScaling())
            painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(QRect(radius - 8, radius - 8, 16, 16), castleIcon());
    }
}

void paintCircleName(QPainter& painter, const QString& name, const QFont& font, int radius,
                     int pointSize)
{
    const QFont f = markerFont(font, pointSize);
    painter.setPen(QPen(Qt::black, 1));
    painter.setFont(f);
    painter.drawText(QPointF(circleTextOrigin(pictureMetrics(f), name, radius)), name);
}

} // namespace

QImage circleBase(const QColor& back, int radius, bool siroIcon, qreal ratio)
{
    radius = markerRadius(radius);
    static QMutex mutex;
    static QHash<QPair<quint64, qreal>, QImage> made;
    static qint64 bytes = 0;
    const QPair<quint64, qreal> key(
        (quint64(back.rgba()) << 32) | (quint64(radius) << 1) | (siroIcon ? 1 : 0), ratio);
    {
        QMutexLocker lock(&mutex);
        const auto it = made.constFind(key);
        if (it != made.cend())
            return *it;
    }
    const int d = 2 * radius;
    QImage image = blankPicture(d, d, ratio);
    if (ratio != 1.0)
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    paintCircleDisc(painter, back, radius, siroIcon);
    painter.end();

    QMutexLocker lock(&mutex);
    // Colours come from 200 classes; more (or huge discs) only cost redrawing.
    if (bytes + image.sizeInBytes() > (32 << 20)) {
        made.clear();
        bytes = 0;
    }
    made.insert(key, image);
    bytes += image.sizeInBytes();
    return image;
}

void paintCircleNameAt(QPainter& painter, const QString& name, const QFont& font, int radius,
                       int pointSize)
{
    paintCircleName(painter, name, font, markerRadius(radius), markerPointSize(font, pointSize));
}

void circleStripRows(const QString& name, const QFont& font, int radius, int pointSize, int* top,
                     int* bottom)
{
    radius = markerRadius(radius);
    const QFontMetrics metrics = pictureMetrics(markerFont(font, markerPointSize(font, pointSize)));
    const QPoint origin = circleTextOrigin(metrics, name, radius);
    // Ascent and descent, widened by what the glyphs' own ink reaches and a
    // pixel of antialiasing.
    const QRect ink = metrics.boundingRect(name);
    const int up = std::max(metrics.ascent(), -ink.top()) + 2;
    const int down = std::max(metrics.descent(), ink.bottom()) + 2;
    const int d = 2 * radius;
    *top = std::clamp(origin.y() - up, 0, d);
    *bottom = std::clamp(origin.y() + down + 1, *top, d);
}

QRect circleSolidRect(const QString& name, const QFontMetrics& metrics, int radius, bool siroIcon)
{
    radius = markerRadius(radius);
    const QPoint origin = circleTextOrigin(metrics, name, radius);
    const int top = origin.y() - metrics.ascent() - 1;
    QRect solid(origin.x(), top, metrics.horizontalAdvance(name),
                origin.y() + metrics.descent() + 2 - top);
    if (siroIcon)
        solid |= QRect(radius - 8, radius - 8, 16, 16);
    return solid & QRect(0, 0, 2 * radius, 2 * radius);
}

CirclePicture drawCircleParts(const QString& name, const QColor& back, const QFont& font,
                              int radius, int pointSize, bool siroIcon, qreal ratio)
{
    pointSize = markerPointSize(font, pointSize);
    radius = markerRadius(radius);
    CirclePicture picture;
    picture.base = circleBase(back, radius, siroIcon, ratio);
    int bottom = 0;
    circleStripRows(name, font, radius, pointSize, &picture.top, &bottom);
    const int d = 2 * radius;
    picture.strip = picture.base.copy(0, qRound(picture.top * ratio), qRound(d * ratio),
                                      qRound(bottom * ratio) - qRound(picture.top * ratio));
    picture.strip.setDevicePixelRatio(ratio);
    if (picture.strip.isNull())
        return picture;
    QPainter painter(&picture.strip);
    painter.translate(0, -picture.top);
    paintCircleName(painter, name, font, radius, pointSize);
    painter.end();
    return picture;
}

QImage CirclePicture::whole() const
{
    QImage image = base.copy();
    if (!strip.isNull()) {
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, top, strip);
    }
    return image;
}

QImage drawCirclePicture(const QString& name, const QColor& back, const QFont& font, int radius,
                         int pointSize, bool siroIcon, qreal ratio)
{
    return drawCircleParts(name, back, font, radius, pointSize, siroIcon, ratio).whole();
}

QImage drawMarkerPicture(const MarkerStyle& style, const MarkerPicture& picture)
{
    if (picture.circle)
        return drawCirclePicture(picture.name, QColor::fromRgba(picture.back), style.font,
                                 style.radius, picture.pointSize, style.siroIcon, style.ratio);
    return drawLabelPicture(picture.name, QColor::fromRgba(picture.back),
                            QColor::fromRgba(picture.fore), style.font, picture.pointSize,
                            style.ratio);
}

void paintMarkerPicture(QPainter& painter, const MarkerStyle& style, const MarkerPicture& picture)
{
    painter.save();
    if (picture.circle) {
        const int radius = markerRadius(style.radius);
        const int pointSize = markerPointSize(style.font, picture.pointSize);
        paintCircleDisc(painter, QColor::fromRgba(picture.back), radius, style.siroIcon);
        paintCircleName(painter, picture.name, style.font, radius, pointSize);
    } else {
        paintLabelPicture(painter, picture.name, QColor::fromRgba(picture.back),
                          QColor::fromRgba(picture.fore), style.font, picture.pointSize);
    }
    painter.restore();
}
