#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>

// The colours of colour class c; a class number outside the table gets the
// colours of an unset class (grey back, white fore).
QColor markerBackColor(int c);
QColor markerForeColor(int c);

// The point size a marker font really gets: a size of 0 or less keeps the
// font's own size, and sizes are limited so that a typing slip cannot ask for
// a picture of gigabytes.
int markerPointSize(const QFont& font, int pointSize);
// The circle radius in use: at least 1, at most a size a picture can hold.
int markerRadius(int radius);

// A label: the name in `fore` on a `back` box with a black frame, in `font`
// at pointSize.
QImage drawLabelPicture(const QString& name, const QColor& back, const QColor& fore,
                        const QFont& font, int pointSize);

// A circle: a soft disc of `back` (radius pixels), optionally the castle icon
// in its centre, the name in black under the centre.
QImage drawCirclePicture(const QString& name, const QColor& back, const QFont& font, int radius,
                         int pointSize, bool siroIcon);
