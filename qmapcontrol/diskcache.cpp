#include "qmapcontrol/diskcache.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace qmapcontrol {

void DiskCache::enable(std::chrono::minutes expiry, const QDir& dir)
{
    m_enabled = true;
    m_root = dir.absolutePath();
    m_expiry = expiry.count() < 0 ? std::chrono::minutes(0) : expiry;
}

void DiskCache::disable()
{
    m_enabled = false;
}

QString DiskCache::path(const QString& cacheName, int z, int x, int y) const
{
    return QStringLiteral("%1/%2/%3/%4/%5").arg(m_root, cacheName).arg(z).arg(x).arg(y);
}

bool DiskCache::read(const QString& cacheName, int z, int x, int y, Entry* entry) const
{
    if (!m_enabled)
        return false;
    QFile file(path(cacheName, z, x, y));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // A tile is small; anything huge is not one of ours.
    if (file.size() > 16 * 1024 * 1024)
        return false;
    entry->bytes = file.readAll();
    entry->expired = false;
    if (m_expiry.count() > 0) {
        const QDateTime modified = QFileInfo(file).lastModified();
        const qint64 ageSeconds = modified.secsTo(QDateTime::currentDateTime());
        entry->expired = ageSeconds >= qint64(m_expiry.count()) * 60;
    }
    return true;
}

bool DiskCache::write(const QString& cacheName, int z, int x, int y, const QByteArray& bytes) const
{
    if (!m_enabled)
        return false;
    const QString target = path(cacheName, z, x, y);
    if (!QDir().mkpath(QFileInfo(target).absolutePath()))
        return false;
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void DiskCache::remove(const QString& cacheName, int z, int x, int y) const
{
    if (m_enabled)
        QFile::remove(path(cacheName, z, x, y));
}

} // namespace qmapcontrol
