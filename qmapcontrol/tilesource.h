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
    // requests for any other tile are dropped.
    void setWanted(const std::shared_ptr<MapAdapter>& adapter, const QVector<TileKey>& keys);

    void enablePersistentCache(std::chrono::minutes expiry, const QDir& dir);
    void disablePersistentCache();

signals:
    // A tile arrived (from disk or network): repaint.
    void tileReady();
    // The provider refused us (401/403): its tiles stay blank. Sent once per adapter.
    void providerRefused(const QString& text);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace qmapcontrol
