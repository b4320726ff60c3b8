#include "records/placefile.h"

#include "fileio/atomicfile.h"
#include "settings/backuprotation.h"
#include "settings/programdir.h"

#include <QFile>
#include <QFileInfo>
#include <QTextCodec>

#include <algorithm>
#include <cmath>
#include <limits>

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
            // A CR LF line end: the CR is no part of the last field.
            fields << (line.endsWith(QLatin1Char('\r')) ? line.mid(pos, line.size() - 1 - pos)
                                                        : line.mid(pos));
            return fields;
        }
        fields << line.mid(pos, comma - pos);
        pos = comma + 1;
    }
}

} // namespace

QString quoteCsvField(const QString& field)
{
    // A CR is quoted too: bare at a line end it would be read as part of the line end.
    if (!field.contains(QLatin1Char(',')) && !field.contains(QLatin1Char('"')) &&
        !field.contains(QLatin1Char('\n')) && !field.contains(QLatin1Char('\r')))
        return field;
    QString out = field;
    out.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

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
    return decodePlaceText(file.readAll()).split(QLatin1Char('\n'), Qt::KeepEmptyParts);
}

QString decodePlaceText(const QByteArray& bytes)
{
    const int skip = bytes.startsWith(utf8Bom) ? utf8Bom.size() : 0;
    // Not QString::fromUtf8(QByteArray): it stops at the first NUL byte and drops a
    // second mark, which is then the first character of the first name.
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    QString text = QTextCodec::codecForMib(106)->toUnicode(bytes.constData() + skip,
                                                           bytes.size() - skip, &state);
    text.remove(QChar(0));
    return text;
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
    return quoteCsvField(record.name) + comma + quoteCsvField(record.x.trimmed()) + comma +
           quoteCsvField(record.y.trimmed()) + comma + quoteCsvField(record.color) + comma +
           quoteCsvField(record.layer) + comma + quoteCsvField(record.shape) + comma + quoteCsvField(record.font) +
           comma + quoteCsvField(record.level) + QLatin1Char('\n');
}

QString withCsvSuffix(const QString& name)
{
    return name.contains(QLatin1String(".csv"), Qt::CaseInsensitive)
               ? name
               : name + QStringLiteral(".csv");
}

bool writePlaceFile(const PlaceList& places, const QString& path, QString* error)
{
    QByteArray bytes = utf8Bom;
    for (const auto& record : places)
        bytes += formatPlaceLine(*record).toUtf8();
    const fileio::WriteResult result = fileio::writeFileAtomically(path, bytes);
    if (!result && error)
        *error = result.error;
    return result.ok;
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

namespace {
// Points closer than this in both coordinates are the same place.
constexpr double sameSpot = 0.001;
// Beyond this a coordinate is nonsense; all such share one cell and are compared one by one.
constexpr double farOut = 1e12;
constexpr qint64 farCell = std::numeric_limits<qint64>::max();

bool sameSpotAs(double ax, double ay, double bx, double by)
{
    return std::fabs(ax - bx) < sameSpot && std::fabs(ay - by) < sameSpot;
}
} // namespace

uint qHash(const NamesakeIndex::Cell& c, uint seed)
{
    return qHash(c.name, seed) ^ qHash(c.layer, seed) ^ qHash(c.cx, seed) ^
           qHash(c.cy, seed * 31 + 7);
}

qint64 NamesakeIndex::cellOf(double v)
{
    if (!(std::fabs(v) < farOut))
        return farCell;
    return qint64(std::floor(v / sameSpot));
}

NamesakeIndex::NamesakeIndex(const PlaceList& places, int reportLimit) : m_limit(reportLimit)
{
    m_names.reserve(places.size());
    for (size_t i = 0; i < places.size(); ++i)
        add(*places[i], int(i));
}

void NamesakeIndex::add(const PlaceRecord& record, int index)
{
    if (size_t(index) >= m_names.size())
        m_names.resize(size_t(index) + 1, nullptr);
    m_names[size_t(index)] = &record.name;
    m_byName[record.name].push_back(index);
    const double x = toDoubleOrZero(record.x);
    const double y = toDoubleOrZero(record.y);
    // NaN is never the same spot as anything: no cell needed.
    if (std::isnan(x) || std::isnan(y))
        return;
    m_grid[Cell{record.name, record.layer, cellOf(x), cellOf(y)}].push_back({x, y, index});
}

bool NamesakeIndex::isExactDuplicate(const QString& name, const QString& x, const QString& y,
                                     const QString& layer)
{
    const auto namesakes = m_byName.constFind(name);
    if (namesakes == m_byName.constEnd())
        return false;
    const std::vector<int>& indexes = *namesakes;

    const double px = toDoubleOrZero(x);
    const double py = toDoubleOrZero(y);
    int match = std::numeric_limits<int>::max();
    if (!std::isnan(px) && !std::isnan(py)) {
        const qint64 cx = cellOf(px);
        const qint64 cy = cellOf(py);
        for (qint64 dx = -1; dx <= 1; ++dx) {
            for (qint64 dy = -1; dy <= 1; ++dy) {
                if ((cx == farCell && dx) || (cy == farCell && dy))
                    continue;
                const auto cell = m_grid.constFind(Cell{name, layer, cx + dx, cy + dy});
                if (cell == m_grid.constEnd())
                    continue;
                // Ascending: the first that matches is this cell's earliest.
                for (const Point& p : *cell) {
                    if (p.index >= match)
                        break;
                    if (sameSpotAs(p.x, p.y, px, py)) {
                        match = p.index;
                        break;
                    }
                }
            }
        }
    }

    // Every namesake before the match (all of them without one) is reported.
    const size_t reported =
        size_t(std::lower_bound(indexes.begin(), indexes.end(), match) - indexes.begin());
    size_t i = 0;
    for (; i < reported && m_lines < m_limit; ++i, ++m_lines)
        m_report +=
            QStringLiteral("%1 : %2\n").arg(QString::number(indexes[i] + 1), *m_names[indexes[i]]);
    m_omitted += qint64(reported - i);
    return match != std::numeric_limits<int>::max();
}

QString NamesakeIndex::fullReport() const
{
    if (m_omitted == 0)
        return m_report;
    return m_report + QStringLiteral("…ほか %1 件").arg(m_omitted);
}
