#include "settings/backuprotation.h"

#include "fileio/atomicfile.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace {
QString backupName(const QString& path, int n)
{
    return path + QStringLiteral(".bak%1").arg(n);
}

QDate modifiedDay(const QString& path)
{
    return QFileInfo(path).lastModified().date();
}
} // namespace

bool copyKeepingModified(const QString& from, const QString& to)
{
    const QDateTime when = QFileInfo(from).lastModified();
    if (QFileInfo::exists(to))
        return false;
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = source.readAll();
    if (source.error() != QFileDevice::NoError)
        return false;
    // Through the one writer: a full disk leaves no half copy behind.
    if (!fileio::writeFileAtomically(to, bytes))
        return false;
    QFile copy(to);
    if (!copy.open(QIODevice::ReadWrite))
        return false;
    return copy.setFileTime(when, QFileDevice::FileModificationTime);
}

void rotateBackups(const QString& path, int generations, bool onceADay)
{
    if (!QFileInfo(path).isFile())
        return;
    const QDate fileDay = modifiedDay(path);
    if (onceADay && fileDay == QDate::currentDate())
        return;
    const QString newest = backupName(path, 1);
    if (QFileInfo::exists(newest) && modifiedDay(newest) == fileDay)
        return;
    for (int i = generations - 1; i >= 1; --i) {
        const QString from = backupName(path, i);
        const QString to = backupName(path, i + 1);
        if (QFileInfo::exists(to))
            QFile::remove(to);
        if (QFileInfo::exists(from))
            QFile::rename(from, to);
    }
    copyKeepingModified(path, newest);
}
