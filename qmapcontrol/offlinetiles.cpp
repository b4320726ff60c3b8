#include "qmapcontrol/offlinetiles.h"

#include "qmapcontrol/projection.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextDocumentFragment>
#include <QUrl>

#include <atomic>
#include <optional>

namespace qmapcontrol {

namespace {

constexpr int deepestZoom = 30;
// As for tiles from a server: nothing bigger is a tile.
constexpr qint64 maxTileBytes = 4 * 1024 * 1024;
constexpr int maxTileSide = 1024;

QString notImage()
{
    return QStringLiteral("地図タイルが画像ではありません");
}

QString unreadable(const QString& why)
{
    return QStringLiteral("地図ファイルを読めません (壊れている可能性があります): %1").arg(why);
}

int flipRow(int z, int y)
{
    return (1 << z) - 1 - y;
}

QString formatOf(const QByteArray& bytes)
{
    if (bytes.startsWith("\x89PNG"))
        return QStringLiteral("png");
    if (bytes.startsWith("\xFF\xD8"))
        return QStringLiteral("jpg");
    return QString();
}

QString plainText(const QString& text)
{
    // MBTiles attributions are often HTML links; the map draws plain text.
    return QTextDocumentFragment::fromHtml(text).toPlainText().simplified();
}

std::optional<int> zoomValue(const QVariant& value)
{
    bool ok = false;
    const int zoom = value.toString().trimmed().toInt(&ok);
    if (!ok || zoom < 0 || zoom > deepestZoom)
        return std::nullopt;
    return zoom;
}

// "west,south,east,north" in degrees; invalid when it is not that.
QRectF boundsValue(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return {};
    double v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = parts[i].trimmed().toDouble(&ok);
        if (!ok)
            return {};
    }
    const double west = qBound(-180.0, v[0], 180.0);
    const double east = qBound(-180.0, v[2], 180.0);
    const double south = qBound(-projection::maxLatitude, v[1], projection::maxLatitude);
    const double north = qBound(-projection::maxLatitude, v[3], projection::maxLatitude);
    if (!(west < east && south < north))
        return {};
    return QRectF(QPointF(west, south), QPointF(east, north));
}

// The map's own name, link markup and zoom range where the metadata says them.
void applyMetadata(OfflineMapInfo* info, const QString& key, const QVariant& value)
{
    if (key == QLatin1String("name") && !value.toString().trimmed().isEmpty())
        info->name = value.toString().trimmed();
    else if (key == QLatin1String("attribution"))
        info->attribution = plainText(value.toString());
    else if (key == QLatin1String("bounds"))
        info->bounds = boundsValue(value.toString());
    else if (key == QLatin1String("format"))
        info->format = value.toString().trimmed().toLower();
}

// An SQLite connection of the calling thread, read-only, closed with the object.
class Connection
{
public:
    explicit Connection(const QString& path)
    {
        static std::atomic<quint64> serial{0};
        m_name = QStringLiteral("mivaromap-offline-%1").arg(++serial);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        if (!db.isValid()) {
            m_error = QStringLiteral("SQLite のドライバーがありません (libqt5sql5-sqlite)");
            return;
        }
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        db.setDatabaseName(path);
        if (!db.open())
            m_error = unreadable(db.lastError().text());
    }
    ~Connection()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    QString error() const { return m_error; }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
    QString m_error;
};

class MBTilesSession : public OfflineSession
{
public:
    explicit MBTilesSession(const QString& path) : m_connection(path)
    {
        if (!m_connection.error().isEmpty())
            return;
        m_query = std::make_unique<QSqlQuery>(m_connection.db());
        if (!m_query->prepare(QStringLiteral("SELECT tile_data FROM tiles WHERE zoom_level = ? "
                                             "AND tile_column = ? AND tile_row = ?")))
            m_error = unreadable(m_query->lastError().text());
    }
    ~MBTilesSession() override { m_query.reset(); }

    QString error() const
    {
        return m_connection.error().isEmpty() ? m_error : m_connection.error();
    }

    Result read(int z, int x, int y, QByteArray* bytes, QString* error) override
    {
        if (!m_query) {
            *error = this->error();
            return Result::Failed;
        }
        m_query->bindValue(0, z);
        m_query->bindValue(1, x);
        m_query->bindValue(2, flipRow(z, y));
        if (!m_query->exec()) {
            *error = unreadable(m_query->lastError().text());
            return Result::Failed;
        }
        if (!m_query->next()) {
            const QSqlError failed = m_query->lastError();
            m_query->finish();
            if (failed.isValid()) {
                *error = unreadable(failed.text());
                return Result::Failed;
            }
            return Result::Missing;
        }
        *bytes = m_query->value(0).toByteArray();
        m_query->finish();
        return Result::Found;
    }

private:
    Connection m_connection;
    std::unique_ptr<QSqlQuery> m_query;
    QString m_error;
};

class MBTilesReader : public OfflineReader
{
public:
    MBTilesReader(const QString& path, const OfflineMapInfo& info)
        : OfflineReader(path, info, TileRowOrder::Tms)
    {
    }
    std::unique_ptr<OfflineSession> session(QString* error) const override
    {
        auto s = std::make_unique<MBTilesSession>(path());
        if (!s->error().isEmpty()) {
            *error = s->error();
            return nullptr;
        }
        return s;
    }
};

class FolderSession : public OfflineSession
{
public:
    FolderSession(const QString& root, TileRowOrder order, const QString& format)
        : m_root(root), m_order(order)
    {
        // The usual extension first; mixed folders keep opaque tiles as JPEG.
        m_extensions = QStringList{format, QStringLiteral("png"), QStringLiteral("jpg"),
                                   QStringLiteral("jpeg")};
        m_extensions.removeDuplicates();
    }

    Result read(int z, int x, int y, QByteArray* bytes, QString* error) override
    {
        const int row = m_order == TileRowOrder::Tms ? flipRow(z, y) : y;
        const QString stem = QStringLiteral("%1/%2/%3/%4.").arg(m_root).arg(z).arg(x).arg(row);
        for (const QString& extension : m_extensions) {
            QFile file(stem + extension);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            if (file.size() > maxTileBytes) {
                *error = QStringLiteral("地図タイルが大きすぎます: %1").arg(file.fileName());
                return Result::Failed;
            }
            *bytes = file.readAll();
            return Result::Found;
        }
        return Result::Missing;
    }

private:
    QString m_root;
    TileRowOrder m_order;
    QStringList m_extensions;
};

class FolderReader : public OfflineReader
{
public:
    FolderReader(const QString& path, const OfflineMapInfo& info, TileRowOrder order)
        : OfflineReader(path, info, order)
    {
    }
    std::unique_ptr<OfflineSession> session(QString* error) const override
    {
        if (!QFileInfo(path()).isDir()) {
            *error = QStringLiteral("地図のフォルダが見つかりません: %1").arg(path());
            return nullptr;
        }
        return std::make_unique<FolderSession>(path(), rowOrder(), info().format);
    }
};

QStringList numericEntries(const QDir& dir, QDir::Filters filters, const QStringList& names = {})
{
    QStringList found;
    for (const QString& entry : dir.entryList(names, filters)) {
        bool ok = false;
        QFileInfo(entry).completeBaseName().toInt(&ok);
        if (ok)
            found << entry;
    }
    return found;
}

// The area tiles x and y cover at zoom z (rows from the top), in degrees.
QRectF tileBounds(int z, double xFirst, double xLast, double yFirst, double yLast)
{
    const double n = 1 << z;
    const PointWorldCoord northWest = projection::fromNormalized({xFirst / n, yFirst / n});
    const PointWorldCoord southEast =
        projection::fromNormalized({(xLast + 1) / n, (yLast + 1) / n});
    return QRectF(QPointF(northWest.longitude(), southEast.latitude()),
                  QPointF(southEast.longitude(), northWest.latitude()));
}

bool isImage(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return reader.canRead() && !reader.read().isNull();
}

std::shared_ptr<OfflineReader> openFolder(const QString& path, TileRowOrder order, QString* error)
{
    const QDir root(path);
    const QStringList zoomNames = numericEntries(root, QDir::Dirs | QDir::NoDotAndDotDot);
    OfflineMapInfo info;
    info.name = QFileInfo(path).fileName();
    info.zoomMinimum = deepestZoom + 1;
    info.zoomMaximum = -1;
    for (const QString& name : zoomNames) {
        if (const auto zoom = zoomValue(name)) {
            info.zoomMinimum = std::min(info.zoomMinimum, *zoom);
            info.zoomMaximum = std::max(info.zoomMaximum, *zoom);
        }
    }
    const QString noTiles =
        QStringLiteral("地図タイルのフォルダではありません ({z}/{x}/{y}.png または .jpg "
                       "のタイルがありません): %1")
            .arg(path);
    if (info.zoomMaximum < 0) {
        *error = noTiles;
        return nullptr;
    }

    // The first zoom's tiles: the format, a sample to check, and the area they cover.
    const int z = info.zoomMinimum;
    const QDir zoomDir(root.filePath(QString::number(z)));
    const QStringList images = {QStringLiteral("*.png"), QStringLiteral("*.jpg"),
                                QStringLiteral("*.jpeg")};
    QByteArray sample;
    double xFirst = 1 << z, xLast = -1, yFirst = 1 << z, yLast = -1;
    for (const QString& xName : numericEntries(zoomDir, QDir::Dirs | QDir::NoDotAndDotDot)) {
        const int x = xName.toInt();
        for (const QString& yName :
             numericEntries(QDir(zoomDir.filePath(xName)), QDir::Files, images)) {
            int y = QFileInfo(yName).completeBaseName().toInt();
            if (x < 0 || y < 0 || x >= (1 << z) || y >= (1 << z))
                continue;
            if (order == TileRowOrder::Tms)
                y = flipRow(z, y);
            xFirst = std::min<double>(xFirst, x);
            xLast = std::max<double>(xLast, x);
            yFirst = std::min<double>(yFirst, y);
            yLast = std::max<double>(yLast, y);
            if (sample.isNull()) {
                QFile file(zoomDir.filePath(xName + QLatin1Char('/') + yName));
                if (file.size() <= maxTileBytes && file.open(QIODevice::ReadOnly))
                    sample = file.readAll();
                info.format = QFileInfo(yName).suffix().toLower() == QLatin1String("png")
                                  ? QStringLiteral("png")
                                  : QStringLiteral("jpg");
            }
        }
    }
    if (xLast < 0) {
        *error = noTiles;
        return nullptr;
    }
    if (!isImage(sample)) {
        *error = notImage() + QStringLiteral(": %1").arg(path);
        return nullptr;
    }
    info.bounds = tileBounds(z, xFirst, xLast, yFirst, yLast);

    // Tools that write tile folders leave the MBTiles metadata beside them.
    QFile json(root.filePath(QStringLiteral("metadata.json")));
    if (json.size() < 1024 * 1024 && json.open(QIODevice::ReadOnly)) {
        const QJsonObject meta = QJsonDocument::fromJson(json.readAll()).object();
        const QString format = info.format;
        for (auto it = meta.begin(); it != meta.end(); ++it)
            applyMetadata(&info, it.key(), it.value().toVariant());
        info.format = format;
    }
    return std::make_shared<FolderReader>(path, info, order);
}

std::shared_ptr<OfflineReader> openMBTiles(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.read(16) != QByteArray("SQLite format 3\0", 16)) {
        *error = QStringLiteral(
                     "MBTiles ファイルではありません (SQLite のデータベースではありません): %1")
                     .arg(path);
        return nullptr;
    }
    file.close();

    const Connection connection(path);
    if (!connection.error().isEmpty()) {
        *error = connection.error() + QStringLiteral(" (%1)").arg(path);
        return nullptr;
    }
    QSqlQuery query(connection.db());
    auto failed = [&] {
        *error = unreadable(query.lastError().text()) + QStringLiteral(" (%1)").arg(path);
        return nullptr;
    };
    if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE name IN "
                                   "('tiles', 'metadata') AND type IN ('table', 'view')")))
        return failed();
    bool hasTiles = false;
    bool hasMetadata = false;
    while (query.next()) {
        hasTiles |= query.value(0).toString() == QLatin1String("tiles");
        hasMetadata |= query.value(0).toString() == QLatin1String("metadata");
    }
    if (query.lastError().isValid())
        return failed();
    if (!hasTiles) {
        *error =
            QStringLiteral("MBTiles ファイルではありません (タイルの表 tiles がありません): %1")
                .arg(path);
        return nullptr;
    }

    OfflineMapInfo info;
    info.name = QFileInfo(path).completeBaseName();
    std::optional<int> minZoom, maxZoom;
    if (hasMetadata) {
        if (!query.exec(QStringLiteral("SELECT name, value FROM metadata")))
            return failed();
        while (query.next()) {
            const QString key = query.value(0).toString();
            if (key == QLatin1String("minzoom"))
                minZoom = zoomValue(query.value(1));
            else if (key == QLatin1String("maxzoom"))
                maxZoom = zoomValue(query.value(1));
            else
                applyMetadata(&info, key, query.value(1));
        }
        if (query.lastError().isValid())
            return failed();
    }
    if (info.format == QLatin1String("pbf")) {
        *error =
            QStringLiteral("ベクトルタイル (pbf) の MBTiles には対応していません: %1").arg(path);
        return nullptr;
    }
    if (!minZoom || !maxZoom || *minZoom > *maxZoom) {
        if (!query.exec(QStringLiteral("SELECT MIN(zoom_level), MAX(zoom_level) FROM tiles")) ||
            !query.next())
            return failed();
        minZoom = zoomValue(query.value(0));
        maxZoom = zoomValue(query.value(1));
        if (!minZoom || !maxZoom) {
            *error = QStringLiteral("MBTiles ファイルにタイルがありません: %1").arg(path);
            return nullptr;
        }
    }
    info.zoomMinimum = *minZoom;
    info.zoomMaximum = *maxZoom;

    // One tile read here tells a file that cannot give pictures before it replaces the map.
    query.prepare(QStringLiteral("SELECT tile_data FROM tiles WHERE zoom_level = ? LIMIT 1"));
    query.bindValue(0, info.zoomMinimum);
    if (!query.exec())
        return failed();
    if (!query.next()) {
        if (query.lastError().isValid())
            return failed();
        *error = QStringLiteral("MBTiles ファイルにズーム %1 のタイルがありません: %2")
                     .arg(info.zoomMinimum)
                     .arg(path);
        return nullptr;
    }
    const QByteArray sample = query.value(0).toByteArray();
    query.finish();
    // Without bounds in the metadata: the area of the first zoom's tiles (few, and indexed).
    if (!info.bounds.isValid()) {
        query.prepare(QStringLiteral("SELECT MIN(tile_column), MAX(tile_column), MIN(tile_row), "
                                     "MAX(tile_row) FROM tiles WHERE zoom_level = ?"));
        query.bindValue(0, info.zoomMinimum);
        if (!query.exec() || !query.next())
            return failed();
        const int z = info.zoomMinimum;
        info.bounds =
            tileBounds(z, query.value(0).toInt(), query.value(1).toInt(),
                       flipRow(z, query.value(3).toInt()), flipRow(z, query.value(2).toInt()));
        query.finish();
    }
    if (!isImage(sample)) {
        *error = notImage() + QStringLiteral(": %1").arg(path);
        return nullptr;
    }
    if (info.format == QLatin1String("jpeg"))
        info.format = QStringLiteral("jpg");
    if (info.format != QLatin1String("png") && info.format != QLatin1String("jpg"))
        info.format = formatOf(sample);
    return std::make_shared<MBTilesReader>(path, info);
}

QString cacheNameFor(const QString& path, TileRowOrder order)
{
    const QByteArray key = (QFileInfo(path).absoluteFilePath() +
                            (order == TileRowOrder::Tms ? QStringLiteral("|tms") : QString()))
                               .toUtf8();
    return QStringLiteral("offline-") +
           QString::fromLatin1(
               QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16));
}

} // namespace

std::shared_ptr<OfflineReader> openOfflineReader(const QString& path, TileRowOrder folderOrder,
                                                 QString* error)
{
    QString why;
    std::shared_ptr<OfflineReader> reader;
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        why = QStringLiteral("地図のファイルまたはフォルダが見つかりません: %1").arg(path);
    else if (info.isDir())
        reader = openFolder(info.absoluteFilePath(), folderOrder, &why);
    else
        reader = openMBTiles(info.absoluteFilePath(), &why);
    if (error)
        *error = reader ? QString() : why;
    return reader;
}

OfflineSession::Result readOfflineTile(OfflineSession& session, int z, int x, int y, QImage* image,
                                       QString* error)
{
    QByteArray bytes;
    const OfflineSession::Result result = session.read(z, x, y, &bytes, error);
    if (result != OfflineSession::Result::Found)
        return result;
    if (bytes.size() > maxTileBytes) {
        *error = QStringLiteral("地図タイルが大きすぎます (%1/%2/%3)").arg(z).arg(x).arg(y);
        return OfflineSession::Result::Failed;
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > maxTileSide || size.height() > maxTileSide)) {
        *error = QStringLiteral("地図タイルが大きすぎます (%1/%2/%3)").arg(z).arg(x).arg(y);
        return OfflineSession::Result::Failed;
    }
    QImage decoded = reader.read();
    if (decoded.isNull() || decoded.width() > maxTileSide || decoded.height() > maxTileSide) {
        *error = notImage() + QStringLiteral(" (%1/%2/%3)").arg(z).arg(x).arg(y);
        return OfflineSession::Result::Failed;
    }
    // Converted here, off the window's thread, so that making the pixmap costs nothing.
    *image = decoded.convertToFormat(decoded.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                               : QImage::Format_RGB32);
    return OfflineSession::Result::Found;
}

MapAdapterOffline::MapAdapterOffline(const std::shared_ptr<OfflineReader>& reader, QObject* parent)
    : MapAdapter(QUrl::fromLocalFile(reader->path()).toString(), reader->info().zoomMinimum,
                 reader->info().zoomMaximum, reader->info().attribution,
                 cacheNameFor(reader->path(), reader->rowOrder()), parent),
      m_reader(reader)
{
}

std::shared_ptr<MapAdapterOffline> makeOfflineAdapter(const QString& path, TileRowOrder folderOrder,
                                                      QString* error)
{
    const std::shared_ptr<OfflineReader> reader = openOfflineReader(path, folderOrder, error);
    return reader ? std::make_shared<MapAdapterOffline>(reader) : nullptr;
}

} // namespace qmapcontrol
