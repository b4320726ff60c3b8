#pragma once

#include "map/markerpictures.h"

#include <QByteArray>
#include <QHash>
#include <QString>

class QImage;

// The folder of the marker pictures: programDir() + "/image".
QString markerFolder();

// The file name a place name gets inside the picture folder: the name,
// followed by ".png" unless it already contains ".png". A name that cannot be
// a plain file name as it is (path separators, "..", characters that file
// systems refuse, control characters, an empty name, too many bytes) or that
// could be taken for another name's file gets those parts replaced by "_" and
// a short hash of the whole name ("a/b" gives "a_b-3f9c2e.png"), so that two
// different names never share a file and no name leaves the folder.
QString markerFileName(const QString& name);

// markerFolder() + "/" + markerFileName(name).
QString markerFilePath(const QString& name);

// The PNG bytes of a picture: straight RGBA, every row filtered by its left
// neighbour, compressed fast (the pixels are what matter, not the last byte).
QByteArray encodeMarkerPng(const QImage& image);

// The PNG file of a marker picture. Circles reuse the compressed rows of
// their shared disc; the bytes are the same whichever thread makes them.
QByteArray markerFileBytes(const MarkerStyle& style, const MarkerPicture& picture);

// A digest of everything a marker file is made from, stable across runs. The
// font's part (markerFontKey) may be made once for many pictures.
QByteArray markerFontKey(const QFont& font);
quint64 markerDigest(const MarkerStyle& style, const MarkerPicture& picture,
                     const QByteArray& fontKey = QByteArray());

enum class FileWrite
{
    Unchanged,
    Written,
    Failed
};

// Writes bytes to path unless the file already holds exactly these bytes, so
// that an unchanged picture never touches the disk. A file is replaced in one
// step, a new one written in place (a cache: not synced). Creates the file's
// folder (one level) when it is missing. `mayExist` false (the caller has
// just listed the folder) spares looking at the old file. On failure `error`
// receives the system's reason.
FileWrite writeMarkerFile(const QString& path, const QByteArray& bytes, QString* error = nullptr,
                          bool mayExist = true);

// What each picture file of a folder was made from, so that a file known to
// be current is neither drawn nor encoded again. Kept in the folder as
// "pictures.manifest" (a name no picture file can have).
class MarkerManifest
{
public:
    explicit MarkerManifest(const QString& folder);

    // A missing or foreign file gives an empty manifest.
    void load();
    // Writes the file when something changed since the last load or save.
    bool save(QString* error = nullptr);

    bool isCurrent(const QString& fileName, quint64 digest) const;
    void set(const QString& fileName, quint64 digest);
    void remove(const QString& fileName);
    int size() const { return m_entries.size(); }

    static QString fileName();

private:
    QString m_folder;
    QHash<QString, quint64> m_entries;
    bool m_dirty = false;
};
