#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace mapexport {

// The picture as PNG bytes, whatever name it is saved under; false (with the
// encoder's reason) when it cannot be encoded.
bool encodePng(const QImage& image, QByteArray* bytes, QString* error);

} // namespace mapexport
