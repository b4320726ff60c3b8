#include "records/placefile.h"

#include "settings/backuprotation.h"
#include "settings/programdir.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cmath>

namespace {

const QByteArray utf8Bom("\xEF\xBB\xBF");

// Reads a quoted field that opens at lines[lineNo][pos]. On success the value is in *value,
// lineNo/pos point just past the closing quote's comma (pos = -1: the record ended).
// A quote that never closes properly (end of file, or text after the closing quote)
// is not a quoted field; the caller then takes the text as it stands.
bool readQuoted(const QStringList& lines, int& lineNo, int& pos, QString* value)
{
    int li = lineNo;
    int p = pos + 1;
    QString out;
    while (true) {
        const QString& line = lines.at(li);
        if (p >= line.size()) {
            if (li + 1 >= lines.size())
                return false;
            out += QLatin1Char('\n');
            ++li;
            p = 0;
            continue;
        }
        const QChar c = line.at(p);
        if (c != QLatin1Char('"')) {
            out += c;
            ++p;
            continue;
        }
        if (p + 1 < line.size() && line.at(p + 1) == QLatin1Char('"')) {
            out += QLatin1Char('"');
            p += 2;
            continue;
        }
        const int after = p + 1;
        if (after == line.size()) {
            pos = -1;
        } else if (line.at(after) == QLatin1Char(',')) {
            pos = after + 1;
        } else if (line.at(after) == QLatin1Char('\r') && after + 1 == line.size()) {
            // A CR LF line end after a closing quote belongs to no field.
            pos = -1;
        } else {
            return false;
        }
        lineNo = li;
        *value = out;
        return true;
    }
}

// The fields of the record that starts at lines[lineNo]; lineNo ends on its last line.
QStringList readRecord(const QStringList& lines, int& lineNo)
{
    QStringList fields;
    int pos = 0;
    while (true) {
        const QString& line = lines.at(lineNo);
        if (pos < line.size() && line.at(pos) == QLatin1Char('"')) {
            int li = lineNo;
            int p = pos;
            QString value;
            if (readQuoted(lines, li, p, &value)) {
                fields << value;
                lineNo = li;
                if (p < 0)
                    return fields;
                pos = p;
                continue;
            }
        }
        const int comma = line.indexOf(QLatin1Char(','), pos);
        if (comma < 0) {
            fields << line.mid(pos);
            return fields;
        }
        fields << line.mid(pos, comma - pos);
        pos = comma + 1;
    }
}

QString quoted(const QString& field)
{
    if (!field.contains(QLatin1Char(',')) && !field.contains(QLatin1Char('"')) &&
        !field.contains(QLatin1Char('\n')))
        return field;
    QString out = field;
    out.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

} // namespace

QString defaultPlaceFile()
{
    return programDir() + QStringLiteral("/castlelist.csv");
}

QString placeFilePath(const QString& name)
{
    if (name.isEmpty())
        return defaultPlaceFile();
    if (QFileInfo(name).isRelative())
        return programDir() + QLatin1Char('/') + name;
    return name;
}

QStringList readPlaceLines(const QString& fileName)
{
    QFile file(placeFilePath(fileName));
    if (!file.open(QIODevice::ReadOnly))
        return QStringList{QString()};
    QByteArray bytes = file.readAll();
    if (bytes.startsWith(utf8Bom))
        bytes.remove(0, utf8Bom.size());
    return QString::fromUtf8(bytes).split(QLatin1Char('\n'), Qt::KeepEmptyParts);
}

QStringList splitPlaceLine(const QString& line)
{
    const QStringList lines{line};
    int lineNo = 0;
    return readRecord(lines, lineNo);
}

PlaceList parsePlaceLines(const QStringList& lines)
{
    PlaceList places;
    for (int i = 0; i < lines.size(); ++i) {
        const QStringList parts = readRecord(lines, i);
        if (parts.size() < 8)
            continue;
        auto record = std::make_unique<PlaceRecord>();
        for (int c = 0; c < 8; ++c)
            record->field(c) = parts.at(c);
        places.push_back(std::move(record));
    }
    return places;
}

QString formatPlaceLine(const PlaceRecord& record)
{
    const QChar comma(QLatin1Char(','));
    return quoted(record.name) + comma + quoted(record.x.trimmed()) + comma +
           quoted(record.y.trimmed()) + comma + quoted(record.color) + comma +
           quoted(record.layer) + comma + quoted(record.shape) + comma + quoted(record.font) +
           comma + quoted(record.level) + QLatin1Char('\n');
}

QString withCsvSuffix(const QString& name)
{
    return name.contains(QLatin1String(".csv")) ? name : name + QStringLiteral(".csv");
}

bool writePlaceFile(const PlaceList& places, const QString& path, QString* error)
{
    QByteArray bytes = utf8Bom;
    for (const auto& record : places)
        bytes += formatPlaceLine(*record).toUtf8();

    QSaveFile file(path);
    errno = 0;
    bool ok = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    if (ok)
        ok = file.commit();
    else
        file.cancelWriting();
    const int reason = errno;
    if (!ok && error) {
        *error = file.errorString();
        // Some failures (the final rename, for one) leave Qt without a text of its own.
        if (*error == QFile().errorString() && reason != 0)
            *error = qt_error_string(reason);
    }
    return ok;
}

void backupPlaceFile(const QString& name, bool onceADay)
{
    rotateBackups(name, 3, onceADay);
}

QString autosavePath(const QString& currentFile)
{
    if (currentFile.isEmpty())
        return programDir() + QStringLiteral("/castlelist_autosave.csv");
    const QFileInfo info(currentFile);
    return info.path() + QLatin1Char('/') + info.baseName() + QStringLiteral("_autosave.") +
           info.suffix();
}

bool isExactDuplicate(const PlaceList& places, const QString& name, const QString& x,
                      const QString& y, const QString& layer, QString& addReport)
{
    const double px = toDoubleOrZero(x);
    const double py = toDoubleOrZero(y);
    int position = 0;
    for (const auto& record : places) {
        ++position;
        if (record->name != name)
            continue;
        if (std::fabs(toDoubleOrZero(record->x) - px) < 0.001 &&
            std::fabs(toDoubleOrZero(record->y) - py) < 0.001 && record->layer == layer)
            return true;
        addReport += QStringLiteral("%1 : %2\n").arg(QString::number(position), record->name);
    }
    return false;
}
