#include "formats/formats.h"

#include "fileio/atomicfile.h"
#include "formats/coordinates.h"
#include "formats/readers.h"
#include "records/placefile.h"

#include <QFile>
#include <QFileInfo>
#include <QTextCodec>
#include <QXmlStreamReader>

#include <cmath>

namespace formats {

QString formatName(Format format)
{
    switch (format) {
    case Format::PlaceList:
        return QStringLiteral("MivaroMap の地点リスト (CSV)");
    case Format::Csv:
        return QStringLiteral("CSV / TSV");
    case Format::Gpx:
        return QStringLiteral("GPX");
    case Format::Kml:
        return QStringLiteral("KML");
    case Format::Kmz:
        return QStringLiteral("KMZ");
    case Format::GeoJson:
        return QStringLiteral("GeoJSON");
    case Format::SpreadsheetCsv:
        return QStringLiteral("表計算用 CSV");
    case Format::Unknown:
        break;
    }
    return QStringLiteral("不明");
}

bool CsvLayout::columnsSet() const
{
    for (int c : columns)
        if (c >= 0)
            return true;
    return false;
}

namespace {

bool isUtf8(const QByteArray& bytes)
{
    QTextCodec::ConverterState state;
    QTextCodec::codecForMib(106)->toUnicode(bytes.constData(), bytes.size(), &state);
    // A character cut at the end of a sample is not a fault of the file.
    return state.invalidChars == 0;
}

// Our own list: every one of the first lines has eight fields, numbers for x
// and y, and a whole number for the layer.
bool looksLikePlaceList(const QByteArray& head)
{
    if (!isUtf8(head.left(head.lastIndexOf('\n') + 1)))
        return false;
    const QStringList lines = decodePlaceText(head).split(QLatin1Char('\n'));
    int checked = 0;
    // The last piece may be cut short.
    for (int i = 0; i + 1 < lines.size() && checked < 20; ++i) {
        if (lines[i].trimmed().isEmpty())
            continue;
        // A quoted field may hold line breaks: an odd count of quotes goes on.
        QString record = lines[i];
        while (record.count(QLatin1Char('"')) % 2 && i + 2 < lines.size())
            record += QLatin1Char('\n') + lines[++i];
        const QStringList f = splitPlaceLine(record);
        bool xOk = false, yOk = false, layerOk = false;
        if (f.size() >= 8) {
            f[1].trimmed().toDouble(&xOk);
            f[2].trimmed().toDouble(&yOk);
            f[4].toInt(&layerOk);
        }
        if (!xOk || !yOk || !layerOk)
            return false;
        ++checked;
    }
    return checked > 0;
}

} // namespace

Format detectFormat(const QByteArray& bytes)
{
    QByteArray head = bytes.left(64 * 1024);
    if (head.startsWith("PK\x03\x04"))
        return Format::Kmz;
    if (head.startsWith("\xEF\xBB\xBF"))
        head = head.mid(3);
    const QByteArray start = head.trimmed();
    if (start.isEmpty())
        return Format::Unknown;
    if (start.startsWith('<')) {
        QXmlStreamReader xml(head);
        while (!xml.atEnd() && xml.readNext() != QXmlStreamReader::StartElement) {
        }
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("gpx"))
                return Format::Gpx;
            if (xml.name() == QLatin1String("kml"))
                return Format::Kml;
        }
        return Format::Unknown;
    }
    if (start.startsWith('{') || start.startsWith('['))
        return Format::GeoJson;
    // Binary data is no text table.
    if (head.left(4096).contains('\0'))
        return Format::Unknown;
    // A whole small file ends its last line; a sample's last line may be cut.
    if (looksLikePlaceList(bytes.size() <= 64 * 1024 ? bytes + '\n' : bytes.left(64 * 1024)))
        return Format::PlaceList;
    return Format::Csv;
}

ImportResult importBytes(const QByteArray& bytes, const ImportOptions& options)
{
    const Format format = detectFormat(bytes);
    switch (format) {
    case Format::PlaceList:
        return detail::readPlaceList(bytes, options);
    case Format::Csv:
        return detail::readCsv(bytes, options);
    case Format::Gpx:
        return detail::readGpx(bytes, options);
    case Format::Kml:
        return detail::readKml(bytes, options, Format::Kml);
    case Format::Kmz:
        return detail::readKmz(bytes, options);
    case Format::GeoJson:
        return detail::readGeoJson(bytes, options);
    case Format::Unknown:
    case Format::SpreadsheetCsv:
        break;
    }
    ImportResult result;
    if (bytes.trimmed().isEmpty() || bytes.trimmed() == "\xEF\xBB\xBF")
        result.error = QStringLiteral("ファイルが空です");
    else
        result.error = QStringLiteral(
            "対応していない形式です（GPX、KML、KMZ、GeoJSON、CSV のどれでもありません）");
    return result;
}

ImportResult importFile(const QString& path, const ImportOptions& options)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ImportResult result;
        result.error = QStringLiteral("%1 を開けません: %2").arg(path, file.errorString());
        return result;
    }
    return importBytes(file.readAll(), options);
}

Format formatForOutput(const QString& path, bool forList)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("csv"))
        return forList ? Format::PlaceList : Format::SpreadsheetCsv;
    if (suffix == QLatin1String("gpx"))
        return Format::Gpx;
    if (suffix == QLatin1String("kml"))
        return Format::Kml;
    if (suffix == QLatin1String("kmz"))
        return Format::Kmz;
    if (suffix == QLatin1String("geojson") || suffix == QLatin1String("json"))
        return Format::GeoJson;
    return Format::Unknown;
}

ExportResult exportPlaces(const std::vector<const PlaceRecord*>& places, Format format,
                          const ClassStyles& styles)
{
    switch (format) {
    case Format::Gpx:
        return detail::writeGpx(places);
    case Format::Kml:
        return detail::writeKml(places, styles);
    case Format::Kmz:
        return detail::writeKmz(places, styles);
    case Format::GeoJson:
        return detail::writeGeoJson(places, styles);
    case Format::SpreadsheetCsv:
        return detail::writeSpreadsheetCsv(places);
    case Format::PlaceList:
        return detail::writePlaceList(places);
    case Format::Csv:
    case Format::Unknown:
        break;
    }
    ExportResult result;
    result.error = QStringLiteral("この形式では書き出せません");
    return result;
}

bool convertFile(const QString& in, const QString& out, const ClassStyles& styles, QString* reason,
                 qint64* leftOut)
{
    const Format format = formatForOutput(out, true);
    if (format == Format::Unknown) {
        *reason = QStringLiteral("出力の形式が拡張子から分かりません（.csv .gpx .kml .kmz "
                                 ".geojson .json）: %1")
                      .arg(out);
        return false;
    }
    ImportOptions options;
    options.classBack = styles.back;
    const ImportResult read = importFile(in, options);
    if (!read.ok) {
        *reason = read.error;
        return false;
    }
    if (read.places.empty()) {
        *reason = QStringLiteral("%1 に読み込める地点がありません").arg(in);
        return false;
    }
    std::vector<const PlaceRecord*> list;
    list.reserve(read.places.size());
    for (const auto& p : read.places)
        list.push_back(p.get());
    const ExportResult written = exportPlaces(list, format, styles);
    if (!written.ok) {
        *reason = written.error;
        return false;
    }
    const fileio::WriteResult saved = fileio::writeFileAtomically(out, written.bytes);
    if (!saved) {
        *reason = QStringLiteral("%1 に保存できませんでした: %2").arg(out, saved.error);
        return false;
    }
    if (leftOut)
        *leftOut = written.leftOut;
    return true;
}

namespace detail {

const char* const fieldKeys[8] = {"name", "x", "y", "color", "layer", "shape", "font", "level"};
const char* const gpxNamespace = "urn:mivaromap:place:1";

Collector::Collector(const ImportOptions& options, Format format, qint64 total)
    : options(options), total(total)
{
    result.format = format;
}

std::unique_ptr<PlaceRecord> Collector::place(const QString& name, const QString& x,
                                              const QString& y) const
{
    auto r = std::make_unique<PlaceRecord>();
    r->name = name;
    r->x = x;
    r->y = y;
    r->color = options.color;
    r->layer = options.layer;
    r->shape = options.shape;
    r->font = options.font;
    r->level = options.level;
    return r;
}

void Collector::skip(qint64 line, const QString& reason)
{
    if (result.skipped.size() < size_t(skippedListed))
        result.skipped.push_back({line, reason});
    ++result.skippedCount;
}

bool Collector::tick(qint64 done)
{
    if (result.cancelled)
        return false;
    if (!options.progress || ++sinceTick < 2000)
        return true;
    sinceTick = 0;
    result.cancelled = !options.progress(done, total);
    return !result.cancelled;
}

bool Collector::position(const QString& lon, const QString& lat, QString* x, QString* y,
                         QString* reason) const
{
    const Coordinate cx = parseCoordinate(lon);
    const Coordinate cy = parseCoordinate(lat);
    if (!cx.ok || !cy.ok) {
        *reason = QStringLiteral("座標が数ではありません（経度 %1、緯度 %2）")
                      .arg(lon.trimmed().left(40), lat.trimmed().left(40));
        return false;
    }
    if (!isLongitude(cx.value) || !isLatitude(cy.value)) {
        *reason = QStringLiteral("座標が範囲外です（経度 %1、緯度 %2）")
                      .arg(lon.trimmed().left(40), lat.trimmed().left(40));
        return false;
    }
    *x = coordinateText(lon, cx);
    *y = coordinateText(lat, cy);
    return true;
}

int Collector::classOf(const QColor& colour) const
{
    if (!colour.isValid())
        return -1;
    for (int i = 0; i < options.classBack.size(); ++i)
        if (options.classBack[i].rgb() == colour.rgb())
            return i;
    return -1;
}

ImportResult Collector::finish()
{
    result.ok = !result.cancelled;
    if (result.cancelled) {
        result.places.clear();
        result.error = QStringLiteral("読み込みを中止しました");
    }
    return std::move(result);
}

ImportResult Collector::fail(const QString& error)
{
    result.ok = false;
    result.places.clear();
    result.error = error;
    return std::move(result);
}

bool OwnFields::complete() const
{
    for (const char* key : fieldKeys)
        if (!values.contains(QLatin1String(key)))
            return false;
    return true;
}

void OwnFields::read(const QXmlStreamAttributes& attributes)
{
    for (const QXmlStreamAttribute& a : attributes)
        values.insert(a.name().toString(), a.value().toString());
}

void OwnFields::write(QXmlStreamWriter& xml, const PlaceRecord& record)
{
    for (int f = 0; f < 8; ++f)
        xml.writeAttribute(QLatin1String(fieldKeys[f]), record.field(f));
}

bool OwnFields::applyTo(PlaceRecord& record) const
{
    if (!complete())
        return false;
    // A point moved in another tool keeps its new position and loses nothing else.
    const auto same = [](const QString& a, const QString& b) {
        return std::fabs(toDoubleOrZero(a.trimmed()) - toDoubleOrZero(b.trimmed())) < 1e-9;
    };
    const bool moved = !same(values.value(QStringLiteral("x")), record.x) ||
                       !same(values.value(QStringLiteral("y")), record.y);
    for (int c = 0; c < 8; ++c) {
        if (moved && (c == 1 || c == 2))
            continue;
        record.field(c) = values.value(QLatin1String(fieldKeys[c]));
    }
    return true;
}

bool exportPosition(const PlaceRecord& record, QString* lon, QString* lat)
{
    const Coordinate x = parseCoordinate(record.x);
    const Coordinate y = parseCoordinate(record.y);
    if (!x.ok || !y.ok || !isLongitude(x.value) || !isLatitude(y.value))
        return false;
    *lon = x.plain ? record.x.trimmed() : QString::number(x.value, 'g', 15);
    *lat = y.plain ? record.y.trimmed() : QString::number(y.value, 'g', 15);
    return true;
}

QString atLine(qint64 line, qint64 column)
{
    return QStringLiteral("（%1 行 %2 列）").arg(line).arg(column);
}

ImportResult readPlaceList(const QByteArray& bytes, const ImportOptions& options)
{
    Collector c(options, Format::PlaceList, bytes.size());
    c.result.places = parsePlaceLines(decodePlaceText(bytes).split(QLatin1Char('\n')));
    c.result.hasExtensions = true;
    return c.finish();
}

ExportResult writePlaceList(const std::vector<const PlaceRecord*>& places)
{
    ExportResult out;
    out.bytes = "\xEF\xBB\xBF";
    for (const PlaceRecord* p : places)
        out.bytes += formatPlaceLine(*p).toUtf8();
    out.written = qint64(places.size());
    out.ok = true;
    return out;
}

} // namespace detail
} // namespace formats
