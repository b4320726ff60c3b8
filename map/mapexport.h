#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace mapexport {

// The picture as PNG bytes, whatever name it is saved under; false (with the
// encoder's reason) when it cannot be encoded. Quality 8 packs hardest and
// slowest (a screen's picture); FastQuality packs a print in a tenth of the
// time for a few per cent more bytes.
constexpr int FastQuality = 70;
bool encodePng(const QImage& image, QByteArray* bytes, QString* error, int quality = 8);

} // namespace mapexport
