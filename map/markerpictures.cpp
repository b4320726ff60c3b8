#include "map/markerpictures.h"

#include "settings/appsettings.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRadialGradient>

#include <algorithm>

namespace {

constexpr int MaxPointSize = 400;
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

const QImage& castleIcon()
{
    static QImage icon;
    if (icon.isNull())
        icon.load(QStringLiteral(":/icons/siro16.png"));
    return icon;
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

QImage drawLabelPicture(const QString& name, const QColor& back, const QColor& fore,
                        const QFont& font, int pointSize)
{
    pointSize = markerPointSize(font, pointSize);
    const QFont f = markerFont(font, pointSize);
    const QFontMetrics metrics = pictureMetrics(f);
    const int w = metrics.horizontalAdvance(name) + 7;
    const int h = metrics.height();

    QImage image(w, h + 2, QImage::Format_ARGB32);
    image.fill(0);
    QPainter painter(&image);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(QBrush(back, Qt::SolidPattern));
    painter.drawRect(QRect(QPoint(0, 0), QPoint(w - 2, h - 1)));
    painter.setPen(QPen(fore, 1));
    painter.setFont(f);
    // The usual baseline, h - pointSize / 2 - 1, lies above the ascent of
    // most fonts and would cut the tops of the letters off; never go higher
    // than the ascent.
    const int baseline = std::max(h - pointSize / 2 - 1, metrics.ascent());
    painter.drawText(QPointF(4.0, baseline), name);
    painter.end();
    return image;
}

QImage drawCirclePicture(const QString& name, const QColor& back, const QFont& font, int radius,
                         int pointSize, bool siroIcon)
{
    pointSize = markerPointSize(font, pointSize);
    radius = markerRadius(radius);
    const QFont f = markerFont(font, pointSize);
    const QFontMetrics metrics = pictureMetrics(f);
    const int textWidth = metrics.horizontalAdvance(name);
    const int d = 2 * radius;

    QImage image(d, d, QImage::Format_ARGB32);
    image.fill(0);
    QPainter painter(&image);
    QRadialGradient gradient(QPointF(radius, radius), radius, QPointF(radius, radius));
    gradient.setColorAt(0.0, back);
    gradient.setColorAt(0.5, QColor(back.red(), back.green(), back.blue(), 100));
    gradient.setColorAt(1.0, Qt::transparent);
    painter.setBrush(gradient);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRect(QPoint(0, 0), QPoint(d - 1, d - 1)));

    painter.setPen(QPen(Qt::black, 1));
    if (siroIcon && !castleIcon().isNull())
        painter.drawImage(QRect(radius - 8, radius - 8, 16, 16), castleIcon());
    painter.setFont(f);
    painter.drawText(QPointF((d - textWidth) / 2 + 1, metrics.height() + radius + 4), name);
    painter.end();
    return image;
}
