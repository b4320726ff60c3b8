#include "qmapcontrol/diskcache.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

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

fileio::WriteResult DiskCache::write(const QString& cacheName, int z, int x, int y,
                                     const QByteArray& bytes) const
{
    if (!m_enabled)
        return fileio::WriteResult{false, QString()};
    const QString target = path(cacheName, z, x, y);
    const QString folder = QFileInfo(target).absolutePath();
    errno = 0;
    if (!QDir().mkpath(folder)) {
        const int reason = errno ? errno : EIO;
        return fileio::WriteResult{false, qt_error_string(reason)};
    }
    return fileio::writeFileAtomically(target, bytes, fileio::Durability::Cache);
}

void DiskCache::remove(const QString& cacheName, int z, int x, int y) const
{
    if (m_enabled)
        QFile::remove(path(cacheName, z, x, y));
}

} // namespace qmapcontrol
