#include "settings/programdir.h"

#include <QCoreApplication>

namespace {
QString& overridePath()
{
    static QString path;
    return path;
}
} // namespace

QString programDir()
{
    if (!overridePath().isEmpty())
        return overridePath();
    return QCoreApplication::applicationDirPath();
}

void setProgramDir(const QString& path)
{
    overridePath() = path;
}
