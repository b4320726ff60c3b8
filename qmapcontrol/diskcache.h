#pragma once

#include "fileio/atomicfile.h"

#include <QByteArray>
#include <QDir>
#include <QString>

#include <chrono>

namespace qmapcontrol {

// Tiles on disk: <dir>/<cacheName>/<z>/<x>/<y>, holding the bytes the server
// sent. Files are written under a temporary name and renamed, so a crash
// never leaves half a tile behind.
class DiskCache
{
public:
    struct Entry
    {
        QByteArray bytes;
        bool expired = false;
    };

    bool isEnabled() const { return m_enabled; }
    void enable(std::chrono::minutes expiry, const QDir& dir);
    void disable();

    QString path(const QString& cacheName, int z, int x, int y) const;
    // False when there is no such file (or the cache is off).
    bool read(const QString& cacheName, int z, int x, int y, Entry* entry) const;
    fileio::WriteResult write(const QString& cacheName, int z, int x, int y,
                              const QByteArray& bytes) const;
    // A file that is there but no image: it would only be read again and again.
    void remove(const QString& cacheName, int z, int x, int y) const;

private:
    bool m_enabled = false;
    QString m_root;
    std::chrono::minutes m_expiry{0};
};

} // namespace qmapcontrol
