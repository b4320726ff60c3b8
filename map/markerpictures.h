#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QRgb>
#include <QString>

// The colours of colour class c; a class number outside the table gets the
// colours of an unset class (grey back, white fore).
QColor markerBackColor(int c);
QColor markerForeColor(int c);

// The point size a marker font really gets: a size of 0 or less keeps the
// font's own size, and sizes are limited (200 points) so that a typing slip
// cannot ask for a picture of gigabytes.
int markerPointSize(const QFont& font, int pointSize);
// The circle radius in use: at least 1, at most a size a picture can hold.
int markerRadius(int radius);

// The settings every marker picture of a refresh is drawn with.
struct MarkerStyle
{
    QFont font;
    int radius = 50;
    bool siroIcon = true;
    // Device pixels per pixel: pictures for the screen are drawn at the screen's
    // ratio (the same look, sharp on a high-density screen); files stay at 1.
    qreal ratio = 1.0;

    // From the settings: textFont, radius (limited), siroIcon; ratio 1.
    static MarkerStyle fromSettings();
    bool operator==(const MarkerStyle& o) const;
    bool operator!=(const MarkerStyle& o) const { return !(*this == o); }
};

// What one marker picture shows besides the style. Labels ignore nothing of
// it; circles ignore the fore colour (their text is black).
struct MarkerPicture
{
    QString name;
    QRgb back = 0;
    QRgb fore = 0;
    int pointSize = 0; // as markerPointSize gives it
    bool circle = false;

    bool operator==(const MarkerPicture& o) const
    {
        return back == o.back && fore == o.fore && pointSize == o.pointSize && circle == o.circle &&
               name == o.name;
    }
};
uint qHash(const MarkerPicture& p, uint seed = 0);

// The text a label shows: the name, cut with "…" where the label would grow
// wider than 4 096 pixels.
QString labelText(const QString& name, const QFontMetrics& metrics);
// The metrics marker pictures are measured with, for a font at a point size
// (limited as markerPointSize does).
QFontMetrics markerMetrics(const QFont& font, int pointSize);
// The size of a label picture, without drawing it.
QSize labelPictureSize(const QString& name, const QFontMetrics& metrics);

class QPainter;

// Paints a label picture with its top-left corner at the painter's origin,
// in the picture's own pixels: on a finer device (a print) it comes out
// sharp at that resolution instead of blown up.
void paintLabelPicture(QPainter& painter, const QString& name, const QColor& back,
                       const QColor& fore, const QFont& font, int pointSize);

// A label: the name in `fore` on a `back` box with a black frame, in `font`
// at pointSize. At a ratio above 1 the image has that many more pixels each
// way and says so in its device pixel ratio; its sizes stay in pixels at 1.
QImage drawLabelPicture(const QString& name, const QColor& back, const QColor& fore,
                        const QFont& font, int pointSize, qreal ratio = 1.0);

// A circle marker is the disc of its class colour with the castle icon, the
// same for every place of that class, and the rows its name crosses. Both
// pictures are 32-bit ARGB.
struct CirclePicture
{
    QImage base;  // the whole disc, icon included, without a name
    QImage strip; // rows top .. bottom() of the picture, name included
    int top = 0;  // in pixels at ratio 1, as bottom()

    int bottom() const { return top + qRound(strip.height() / strip.devicePixelRatioF()); }
    // The whole picture: the base with the strip in place.
    QImage whole() const;
};

// The shared base of the circles of one colour, kept per colour and ratio;
// safe to call from any thread. Above ratio 1 (a fine screen, a print) it is
// premultiplied, for fast drawing.
QImage circleBase(const QColor& back, int radius, bool siroIcon, qreal ratio = 1.0);
// Paints a circle's name over its disc, with the disc's top-left corner at
// the painter's origin.
void paintCircleNameAt(QPainter& painter, const QString& name, const QFont& font, int radius,
                       int pointSize);
// The rows of a circle picture that the name can mark.
void circleStripRows(const QString& name, const QFont& font, int radius, int pointSize, int* top,
                     int* bottom);
CirclePicture drawCircleParts(const QString& name, const QColor& back, const QFont& font,
                              int radius, int pointSize, bool siroIcon, qreal ratio = 1.0);
// What of a circle picture counts when pictures must not overlap: the icon
// and the name (the soft disc may lie under others).
// `metrics` as markerMetrics gives them.
QRect circleSolidRect(const QString& name, const QFontMetrics& metrics, int radius, bool siroIcon);

// A circle: a soft disc of `back` (radius pixels), optionally the castle icon
// in its centre, the name in black under the centre.
QImage drawCirclePicture(const QString& name, const QColor& back, const QFont& font, int radius,
                         int pointSize, bool siroIcon, qreal ratio = 1.0);

// The whole picture of a marker.
QImage drawMarkerPicture(const MarkerStyle& style, const MarkerPicture& picture);

// Paints the whole picture of a marker as paintLabelPicture does.
void paintMarkerPicture(QPainter& painter, const MarkerStyle& style, const MarkerPicture& picture);
