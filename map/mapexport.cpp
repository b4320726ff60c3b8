#include "map/mapexport.h"

#include <QBuffer>
#include <QImageWriter>

namespace mapexport {

bool encodePng(const QImage& image, QByteArray* bytes, QString* error, int quality)
{
    bytes->clear();
    QBuffer buffer(bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "PNG");
    writer.setQuality(quality);
    if (writer.write(image))
        return true;
    *error = writer.errorString();
    bytes->clear();
    return false;
}

} // namespace mapexport
