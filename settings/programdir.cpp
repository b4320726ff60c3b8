#include "settings/programdir.h"

#include "fileio/atomicfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

QString& overridePath()
{
    static QString path;
    return path;
}

ProgramDirs& chosen()
{
    static ProgramDirs dirs;
    return dirs;
}

ProgramDirs currentDirs()
{
    if (!overridePath().isEmpty())
        return {overridePath(), overridePath() + QStringLiteral("/cache"), true};
    if (chosen().data.isEmpty()) {
        const QString appDir = QCoreApplication::applicationDirPath();
        chosen() = chooseProgramDirs(
            appDir, isWritableDir(appDir), QFileInfo(shippedDefaultsDir(appDir)).isDir(),
            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation),
            QStandardPaths::writableLocation(QStandardPaths::CacheLocation));
    }
    return chosen();
}

} // namespace

QString programDir()
{
    return currentDirs().data;
}

QString programCacheDir()
{
    return currentDirs().cache;
}

void setProgramDir(const QString& path)
{
    overridePath() = path;
}

ProgramDirs chooseProgramDirs(const QString& appDir, bool appDirWritable, bool installed,
                              const QString& dataLocation, const QString& cacheLocation)
{
    if ((appDirWritable && !installed) || dataLocation.isEmpty())
        return {QDir::cleanPath(appDir), QDir::cleanPath(appDir) + QStringLiteral("/cache"), true};
    const QString cache =
        cacheLocation.isEmpty() ? dataLocation + QStringLiteral("/cache") : cacheLocation;
    return {QDir::cleanPath(dataLocation), QDir::cleanPath(cache), false};
}

bool isWritableDir(const QString& path)
{
    if (!QFileInfo(path).isDir())
        return false;
    QTemporaryFile probe(path + QStringLiteral("/.mivaromap-probe-XXXXXX"));
    return probe.open();
}

QString shippedDefaultsDir(const QString& appDir)
{
    return QDir::cleanPath(appDir + QStringLiteral("/../share/mivaromap"));
}

QStringList fillFromDefaults(const QString& defaults, const QString& target,
                             const QStringList& names)
{
    QStringList failures;
    if (!QDir().mkpath(target))
        return {QStringLiteral("%1: フォルダーを作成できません").arg(target)};
    const QDir from(defaults);
    QDirIterator it(defaults, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString name = from.relativeFilePath(source);
        if (!names.isEmpty() && !names.contains(name.section(QLatin1Char('/'), 0, 0)))
            continue;
        const QString destination = target + QLatin1Char('/') + name;
        if (QFileInfo::exists(destination))
            continue;
        QFile in(source);
        if (!in.open(QIODevice::ReadOnly)) {
            failures << QStringLiteral("%1: %2").arg(source, in.errorString());
            continue;
        }
        const QByteArray bytes = in.readAll();
        if (!QDir().mkpath(QFileInfo(destination).path())) {
            failures << QStringLiteral("%1: フォルダーを作成できません").arg(destination);
            continue;
        }
        const fileio::WriteResult written = fileio::writeFileAtomically(destination, bytes);
        if (!written)
            failures << QStringLiteral("%1: %2").arg(destination, written.error);
    }
    return failures;
}

QStringList setUpProgramDirs()
{
    const ProgramDirs dirs = currentDirs();
    if (dirs.portable)
        return {};
    QDir().mkpath(dirs.cache);
    const QString appDir = QCoreApplication::applicationDirPath();
    const QString shipped = shippedDefaultsDir(appDir);
    if (QFileInfo(shipped).isDir())
        return fillFromDefaults(shipped, dirs.data);
    // A portable copy on a read-only medium: its own files are the defaults.
    return fillFromDefaults(appDir, dirs.data,
                            {QStringLiteral("castlelist.csv"), QStringLiteral("classsetting.ini"),
                             QStringLiteral("mivaromap.ini"), QStringLiteral("unify.qss"),
                             QStringLiteral("help"), QStringLiteral("doc")});
}
