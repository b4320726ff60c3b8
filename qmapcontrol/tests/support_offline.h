#pragma once

// Offline maps written by tests: every tile is TestTileServer::tilePng(z, x, y),
// so its colour says which tile it is.

#include <QByteArray>
#include <QHash>
#include <QString>

namespace testoffline {

// An MBTiles file with every tile of zooms first..last (rows counted from the
// bottom, as MBTiles does) and the given metadata rows. `tileData`, when set,
// replaces the tile of that "z/x/y" (a null array leaves it out).
void writeMBTiles(const QString& path, int first, int last,
                  const QHash<QString, QString>& metadata = {},
                  const QHash<QString, QByteArray>& tileData = {});

// A {z}/{x}/{y}.png folder of zooms first..last, rows from the top or (tms) the bottom.
void writeTileFolder(const QString& root, int first, int last, bool tms);

} // namespace testoffline
