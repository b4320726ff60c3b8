#pragma once

#include <QByteArray>
#include <QString>

class QImage;

// The folder of the marker pictures: programDir() + "/image".
QString markerFolder();

// The file name a place name gets inside the picture folder. Whatever the name
// holds, the result is one plain file name: path separators, "..", characters
// that file systems refuse and control characters become "_". ".png" is
// appended unless the name already contains ".png".
QString markerFileName(const QString& name);

// markerFolder() + "/" + markerFileName(name).
QString markerFilePath(const QString& name);

// The PNG bytes of a marker picture.
QByteArray encodeMarkerPng(const QImage& image);

enum class FileWrite
{
    Unchanged,
    Written,
    Failed
};

// Writes bytes to path unless the file already holds exactly these bytes, so
// that an unchanged picture never touches the disk. The file is replaced in
// one step: a reader sees the old file or the new one, never half of it. Creates the
// file's folder (one level) when it is missing.
FileWrite writeMarkerFile(const QString& path, const QByteArray& bytes);
