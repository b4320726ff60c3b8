#pragma once

#include "qmapcontrol/mapadapter.h"

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QString>

#include <memory>

namespace qmapcontrol {

// How the rows of a tile set are counted: from the top (XYZ, as the online
// servers do) or from the bottom (TMS, as MBTiles does).
enum class TileRowOrder
{
    Xyz,
    Tms
};

// What an offline map says of itself (MBTiles metadata, or a folder's metadata.json).
struct OfflineMapInfo
{
    QString name;
    // Plain text; markup in the file is reduced to its text.
    QString attribution;
    int zoomMinimum = 0;
    int zoomMaximum = 0;
    // Degrees: x from west to east, y from south to north; invalid when unknown.
    QRectF bounds;
    // "png" or "jpg".
    QString format;
};

// One thread's way into an offline map. A session is made, used and dropped on
// the same thread: an SQLite connection belongs to the thread that opened it.
class OfflineSession
{
public:
    enum class Result
    {
        Found,
        Missing,
        Failed
    };
    virtual ~OfflineSession() = default;
    // The bytes of tile z/x/y (XYZ rows); on Failed, `error` says why.
    virtual Result read(int z, int x, int y, QByteArray* bytes, QString* error) = 0;
};

// An offline map opened and checked; nothing is ever written into it.
class OfflineReader
{
public:
    virtual ~OfflineReader() = default;
    const OfflineMapInfo& info() const { return m_info; }
    QString path() const { return m_path; }
    TileRowOrder rowOrder() const { return m_order; }
    // A new session for the calling thread; null (and why) when the map cannot be opened.
    virtual std::unique_ptr<OfflineSession> session(QString* error) const = 0;

protected:
    OfflineReader(const QString& path, const OfflineMapInfo& info, TileRowOrder order)
        : m_path(path), m_info(info), m_order(order)
    {
    }

private:
    QString m_path;
    OfflineMapInfo m_info;
    TileRowOrder m_order;
};

// Opens an .mbtiles file or a {z}/{x}/{y}.png|jpg folder (rows in `folderOrder`;
// MBTiles rows are always TMS). Null and a Japanese reason when it is not usable.
std::shared_ptr<OfflineReader> openOfflineReader(const QString& path, TileRowOrder folderOrder,
                                                 QString* error);

// Reads and decodes one tile into the format the map paints fastest. Found with
// `image` set, Missing, or Failed with a Japanese reason.
OfflineSession::Result readOfflineTile(OfflineSession& session, int z, int x, int y, QImage* image,
                                       QString* error);

// A provider that reads an offline map instead of a server.
class MapAdapterOffline : public MapAdapter
{
    Q_OBJECT
public:
    explicit MapAdapterOffline(const std::shared_ptr<OfflineReader>& reader,
                               QObject* parent = nullptr);
    std::shared_ptr<OfflineReader> offlineReader() const override { return m_reader; }
    const OfflineMapInfo& info() const { return m_reader->info(); }

private:
    std::shared_ptr<OfflineReader> m_reader;
};

// The adapter for an .mbtiles file or a tile folder; null and a Japanese reason when
// the path cannot be used as a map.
std::shared_ptr<MapAdapterOffline> makeOfflineAdapter(const QString& path, TileRowOrder folderOrder,
                                                      QString* error);

} // namespace qmapcontrol
