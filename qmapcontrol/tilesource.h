#pragma once

#include <QDir>
#include <QObject>
#include <QPixmap>
#include <QRectF>
#include <QVector>

#include <chrono>
#include <memory>

namespace qmapcontrol {

class MapAdapter;

struct TileKey
{
    int z = 0;
    int x = 0;
    int y = 0;
};

// Where tiles come from: memory cache, then the persistent cache, then the
// network. Never blocks: what is missing is fetched and tileReady() follows.
class TileSource : public QObject
{
    Q_OBJECT
public:
    // What to draw for one tile: the tile itself (exact), or the nearest known
    // ancestor with the part of it that covers the tile; a null pixmap when
    // nothing is known.
    struct Piece
    {
        QPixmap pixmap;
        QRectF source;
        bool exact = false;
    };

    explicit TileSource(QObject* parent = nullptr);
    ~TileSource() override;

    // The piece for tile (z, x, y) of the adapter at view zoom z (x already
    // wrapped, y inside 0..2^z-1). Above the adapter's last tile zoom the
    // ancestor at that zoom is used. Starts fetching what is missing.
    Piece tile(const std::shared_ptr<MapAdapter>& adapter, int z, int x, int y);

    // The tiles the view needs now (including its border); queued or running
    // requests for any other tile are dropped. The listed tiles that are not
    // known yet start loading, in the order given (keys above the adapter's
    // last tile zoom stand for their ancestor at that zoom; keys below its
    // first tile zoom are ignored). Other adapters' requests are not touched;
    // an empty list drops everything of this adapter.
    void setWanted(const std::shared_ptr<MapAdapter>& adapter, const QVector<TileKey>& keys);

    void enablePersistentCache(std::chrono::minutes expiry, const QDir& dir);
    void disablePersistentCache();

    // At most this many requests run at once; the rest wait in a queue.
    static constexpr int maxRequestsInFlight = 6;
    // The User-Agent sent with every request.
    static QString userAgent();

    // A URL that failed is not asked again before this delay has passed (it
    // doubles with every further failure). Default one minute.
    void setRetryDelay(std::chrono::milliseconds delay);
    // A request that receives nothing for this long is given up. Default 10 s.
    void setTransferTimeout(std::chrono::milliseconds timeout);
    // A request still running after this long is given up. Default 30 s.
    void setRequestDeadline(std::chrono::milliseconds deadline);
    // A response bigger than this is given up: a failed tile, never kept. Default 4 MB.
    void setMaxTileBytes(qint64 bytes);
    // Memory the decoded tiles may take (least recently used go first). Default 128 MB.
    void setMemoryCacheBytes(qint64 bytes);
    qint64 memoryCacheBytes() const;

    int requestsInFlight() const;
    // Tiles waiting for a disk lookup or for a free request slot.
    int requestsQueued() const;

signals:
    // A tile arrived (from disk or network): repaint.
    void tileReady();
    // The provider refused us (401/403): its tiles stay blank. Sent once per adapter.
    void providerRefused(const QString& text);
    // Tiles of the view fail, and the last reason why ("HTTP 404"); an empty text once
    // none of them fails any more.
    void tileLoadError(const QString& reason);
    // A tile could not be kept in the persistent cache: the system's reason.
    void cacheWriteFailed(const QString& reason);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace qmapcontrol
