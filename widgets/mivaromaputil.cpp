#include "widgets/mivaromaputil.h"

#include "map/markerfiles.h"
#include "map/markerpictures.h"
#include "settings/appsettings.h"

MivaroMapUtil::MivaroMapUtil(QObject* parent) : QObject(parent) {}

QString MivaroMapUtil::makeLabelImage(const QString& name, int c, int pointSize, QImage* drawn)
{
    const QImage image = drawLabelPicture(name, markerBackColor(c), markerForeColor(c),
                                          AppSettings::instance().textFont, pointSize);
    if (drawn)
        *drawn = image;
    return saveMarkerImage(image, name);
}

QString MivaroMapUtil::makeCircleImage(const QString& name, int c, int radius, int pointSize,
                                       QImage* drawn)
{
    const AppSettings& settings = AppSettings::instance();
    const QImage image = drawCirclePicture(name, markerBackColor(c), settings.textFont, radius,
                                           pointSize, settings.siroIcon);
    if (drawn)
        *drawn = image;
    return saveMarkerImage(image, name);
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
