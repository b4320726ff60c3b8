#include "widgets/mivaromaputil.h"

#include "map/markerfiles.h"
#include "map/markerpictures.h"
#include "settings/appsettings.h"

MivaroMapUtil::MivaroMapUtil(QObject* parent) : QObject(parent) {}

namespace {

// The file the map's own writer would make of that picture, byte for byte.
QString writePicture(const MarkerStyle& style, const MarkerPicture& picture, QImage* drawn)
{
    if (drawn)
        *drawn = drawMarkerPicture(style, picture);
    const QString path = markerFilePath(picture.name);
    writeMarkerFile(path, markerFileBytes(style, picture));
    return path;
}

MarkerPicture pictureOf(const QString& name, int c, int pointSize, bool circle)
{
    MarkerPicture picture;
    picture.name = name;
    picture.back = markerBackColor(c).rgba();
    picture.fore = circle ? 0 : markerForeColor(c).rgba();
    picture.pointSize = markerPointSize(AppSettings::instance().textFont, pointSize);
    picture.circle = circle;
    return picture;
}

} // namespace

QString MivaroMapUtil::makeLabelImage(const QString& name, int c, int pointSize, QImage* drawn)
{
    return writePicture(MarkerStyle::fromSettings(), pictureOf(name, c, pointSize, false), drawn);
}

QString MivaroMapUtil::makeCircleImage(const QString& name, int c, int radius, int pointSize,
                                       QImage* drawn)
{
    MarkerStyle style = MarkerStyle::fromSettings();
    style.radius = markerRadius(radius);
    return writePicture(style, pictureOf(name, c, pointSize, true), drawn);
}

QString MivaroMapUtil::saveMarkerImage(const QImage& image, const QString& name, bool* written)
{
    const QString path = markerFilePath(name);
    const FileWrite result =
        writeMarkerFile(path, encodeMarkerPng(image.convertToFormat(QImage::Format_ARGB32)));
    if (written)
        *written = result != FileWrite::Failed;
    return path;
}
