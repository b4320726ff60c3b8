#include "map/markerfiles.h"

#include "settings/programdir.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryFile>

#include <cstdio>

QString markerFolder()
{
    return programDir() + QStringLiteral("/image");
}

QString markerFileName(const QString& name)
{
    QString file = name;
    for (QChar& c : file) {
        const ushort u = c.unicode();
        const bool control = u < 0x20 || (u >= 0x7f && u <= 0x9f);
        if (control || QStringLiteral("<>:\"/\\|?*").contains(c))
            c = QLatin1Char('_');
    }
    // Without separators and dot pairs the name is one harmless path part.
    file.replace(QStringLiteral(".."), QStringLiteral("_"));
    if (!file.contains(QStringLiteral(".png")))
        file += QStringLiteral(".png");
    return file;
}

QString markerFilePath(const QString& name)
{
    return markerFolder() + QLatin1Char('/') + markerFileName(name);
}

QByteArray encodeMarkerPng(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    // Light compression: the strongest setting costs some 20 times the time
    // for files only a third smaller, and a list has thousands of pictures.
    writer.setQuality(80);
    if (!writer.write(image))
        return QByteArray();
    return bytes;
}

FileWrite writeMarkerFile(const QString& path, const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return FileWrite::Failed;
    {
        QFile current(path);
        if (current.size() == bytes.size() && current.open(QIODevice::ReadOnly) &&
            current.readAll() == bytes)
            return FileWrite::Unchanged;
    }
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo::exists(folder))
        QDir().mkdir(folder);
    // A new file beside the old one, renamed over it. Not QSaveFile: its sync
    // to disk costs some milliseconds a file, and a picture lost in a crash is
    // simply drawn again by the next run.
    QTemporaryFile file(path + QStringLiteral(".XXXXXX"));
    if (!file.open() || file.write(bytes) != bytes.size() || !file.flush())
        return FileWrite::Failed;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    file.close();
    if (std::rename(QFile::encodeName(file.fileName()).constData(),
                    QFile::encodeName(path).constData()) != 0)
        return FileWrite::Failed;
    file.setAutoRemove(false);
    return FileWrite::Written;
}
