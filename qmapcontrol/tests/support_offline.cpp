#include "support_offline.h"

#include "support_tileserver.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

namespace testoffline {

void writeMBTiles(const QString& path, int first, int last, const QHash<QString, QString>& metadata,
                  const QHash<QString, QByteArray>& tileData)
{
    const QString name = QStringLiteral("test-writer");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.open();
        QSqlQuery q(db);
        q.exec("PRAGMA synchronous = OFF"); // a test's file: no need to wait for the disk
        q.exec("CREATE TABLE metadata (name TEXT, value TEXT)");
        q.exec("CREATE TABLE tiles (zoom_level INTEGER, tile_column INTEGER, tile_row INTEGER, "
               "tile_data BLOB)");
        db.transaction();
        q.prepare("INSERT INTO metadata VALUES (?, ?)");
        for (auto it = metadata.begin(); it != metadata.end(); ++it) {
            q.addBindValue(it.key());
            q.addBindValue(it.value());
            q.exec();
        }
        q.prepare("INSERT INTO tiles VALUES (?, ?, ?, ?)");
        for (int z = first; z <= last; ++z) {
            for (int x = 0; x < (1 << z); ++x) {
                for (int y = 0; y < (1 << z); ++y) {
                    const QString key = QStringLiteral("%1/%2/%3").arg(z).arg(x).arg(y);
                    if (tileData.contains(key) && tileData.value(key).isNull())
                        continue;
                    q.addBindValue(z);
                    q.addBindValue(x);
                    q.addBindValue((1 << z) - 1 - y);
                    q.addBindValue(tileData.value(key, TestTileServer::tilePng(z, x, y)));
                    q.exec();
                }
            }
        }
        db.commit();
        q.exec("CREATE UNIQUE INDEX tile_index ON tiles (zoom_level, tile_column, tile_row)");
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

void writeTileFolder(const QString& root, int first, int last, bool tms)
{
    for (int z = first; z <= last; ++z) {
        for (int x = 0; x < (1 << z); ++x) {
            const QString dir = QStringLiteral("%1/%2/%3").arg(root).arg(z).arg(x);
            QDir().mkpath(dir);
            for (int y = 0; y < (1 << z); ++y) {
                const int row = tms ? (1 << z) - 1 - y : y;
                QFile file(QStringLiteral("%1/%2.png").arg(dir).arg(row));
                file.open(QIODevice::WriteOnly);
                file.write(TestTileServer::tilePng(z, x, y));
            }
        }
    }
}

} // namespace testoffline
