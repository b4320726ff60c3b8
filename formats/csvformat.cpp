#include "formats/coordinates.h"
#include "formats/readers.h"
#include "records/placefile.h"

#include <QTextCodec>

#include <algorithm>
#include <map>

namespace formats::detail {

namespace {

struct Row
{
    qint64 line; // where the row starts
    QStringList fields;
};

QTextCodec* codecFor(const QByteArray& encoding)
{
    if (encoding == "Shift_JIS") {
        // CP932: Shift_JIS as Windows writes it (NEC and IBM extensions, ～ and －).
        if (QTextCodec* c = QTextCodec::codecForName("windows-31j"))
            return c;
        return QTextCodec::codecForName("Shift_JIS");
    }
    return QTextCodec::codecForMib(106);
}

QByteArray detectEncoding(const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return "UTF-8";
    QTextCodec::ConverterState state;
    QTextCodec::codecForMib(106)->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 ? QByteArray("UTF-8") : QByteArray("Shift_JIS");
}

QString decode(const QByteArray& bytes, const QByteArray& encoding)
{
    const int skip = encoding == "UTF-8" && bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    QString text =
        codecFor(encoding)->toUnicode(bytes.constData() + skip, bytes.size() - skip, &state);
    text.remove(QChar(0));
    return text;
}

// Rows of delimited text: a field in double quotes may hold the delimiter, doubled
// quotes and line breaks; a CR that ends a line is dropped, quoted or not.
class RowReader
{
public:
    RowReader(const QString& text, QChar delimiter) : text(text), delimiter(delimiter) {}
    bool atEnd() const { return pos >= text.size(); }
    qint64 position() const { return pos; }
    Row next()
    {
        Row row{line, {}};
        QString field;
        bool quoted = false;
        bool fieldStart = true;
        while (pos < text.size()) {
            const QChar c = text.at(pos++);
            if (quoted) {
                if (c == QLatin1Char('"')) {
                    if (pos < text.size() && text.at(pos) == QLatin1Char('"')) {
                        field += c;
                        ++pos;
                    } else {
                        quoted = false;
                    }
                } else if (c == QLatin1Char('\n')) {
                    if (field.endsWith(QLatin1Char('\r')))
                        field.chop(1);
                    field += c;
                    ++line;
                } else {
                    field += c;
                }
                continue;
            }
            if (c == delimiter) {
                row.fields << field;
                field.clear();
                fieldStart = true;
                continue;
            }
            if (c == QLatin1Char('\n')) {
                ++line;
                if (field.endsWith(QLatin1Char('\r')))
                    field.chop(1);
                row.fields << field;
                return row;
            }
            if (c == QLatin1Char('"') && fieldStart) {
                quoted = true;
                fieldStart = false;
                continue;
            }
            fieldStart = false;
            field += c;
        }
        if (field.endsWith(QLatin1Char('\r')))
            field.chop(1);
        row.fields << field;
        return row;
    }

private:
    const QString& text;
    QChar delimiter;
    int pos = 0;
    qint64 line = 1;
};

bool blank(const QStringList& fields)
{
    return std::all_of(fields.begin(), fields.end(),
                       [](const QString& f) { return f.trimmed().isEmpty(); });
}

// The delimiter whose rows most often have the same number (two or more) of fields.
QChar detectDelimiter(const QString& text)
{
    const QString sample = text.left(64 * 1024);
    QChar best = QLatin1Char(',');
    int bestScore = 0;
    for (QChar d : {QLatin1Char('\t'), QLatin1Char(';'), QLatin1Char(',')}) {
        RowReader reader(sample, d);
        std::map<int, int> counts;
        for (int n = 0; n < 30 && !reader.atEnd();) {
            const Row row = reader.next();
            if (blank(row.fields))
                continue;
            ++counts[row.fields.size()];
            ++n;
        }
        for (const auto& [fields, rows] : counts) {
            const int score = fields >= 2 ? rows * 1000 + fields : 0;
            if (score > bestScore) {
                bestScore = score;
                best = d;
            }
        }
    }
    return best;
}

QString normalName(const QString& name)
{
    return name.normalized(QString::NormalizationForm_KC).trimmed().toLower();
}

// The field a column heading names, or -1.
int fieldOfHeading(const QString& heading)
{
    static const std::vector<std::vector<const char16_t*>> names = {
        {u"名称", u"名前", u"地点名", u"name", u"title", u"テキスト", u"名"},
        {u"経度", u"経度(x)", u"lon", u"lng", u"long", u"longitude", u"x"},
        {u"緯度", u"緯度(y)", u"lat", u"latitude", u"y"},
        {u"色", u"color", u"colour", u"class", u"クラス"},
        {u"ﾚｲﾔ", u"レイヤー", u"layer"},
        {u"部品型", u"shape"},
        {u"文字", u"文字サイズ", u"font"},
        {u"ﾚﾍﾞﾙ", u"レベル", u"level"}};
    const QString h = normalName(heading);
    for (size_t f = 0; f < names.size(); ++f)
        for (const char16_t* n : names[f])
            if (h == normalName(QString::fromUtf16(n)))
                return int(f);
    return -1;
}

// Columns by heading; true when name or both coordinates were found.
bool columnsFromHeader(const QStringList& header, std::vector<int>& columns)
{
    for (int i = 0; i < header.size(); ++i) {
        const int f = fieldOfHeading(header[i]);
        if (f >= 0 && columns[size_t(f)] < 0)
            columns[size_t(f)] = i;
    }
    return columns[1] >= 0 && columns[2] >= 0;
}

// Without headings: the first two columns that hold coordinates in most rows,
// latitude first when the first never leaves ±90 and the second does (or the
// hemisphere letters say so); the name is the first other column with text.
void guessColumns(const std::vector<Row>& rows, std::vector<int>& columns)
{
    int width = 0;
    for (const Row& r : rows)
        width = std::max(width, int(r.fields.size()));
    const size_t w = size_t(width);
    std::vector<int> numeric(w), beyond90(w), text(w), northSouth(w);
    for (const Row& r : rows) {
        for (int i = 0; i < r.fields.size(); ++i) {
            const Coordinate c = parseCoordinate(r.fields[i]);
            if (c.ok) {
                ++numeric[size_t(i)];
                beyond90[size_t(i)] += std::abs(c.value) > 90;
                northSouth[size_t(i)] += c.axis == Axis::Latitude;
            } else if (!r.fields[i].trimmed().isEmpty()) {
                ++text[size_t(i)];
            }
        }
    }
    std::vector<int> coordinate;
    for (int i = 0; i < width && coordinate.size() < 2; ++i)
        if (numeric[size_t(i)] * 2 > int(rows.size()))
            coordinate.push_back(i);
    if (coordinate.size() == 2) {
        const int a = coordinate[0], b = coordinate[1];
        const bool latFirst = (beyond90[size_t(a)] == 0 && beyond90[size_t(b)] > 0) ||
                              northSouth[size_t(a)] > northSouth[size_t(b)];
        columns[1] = latFirst ? b : a;
        columns[2] = latFirst ? a : b;
    }
    for (int i = 0; i < width; ++i) {
        if (i != columns[1] && i != columns[2] && text[size_t(i)] > 0) {
            columns[0] = i;
            break;
        }
    }
}

} // namespace

ImportResult readCsv(const QByteArray& bytes, const ImportOptions& options)
{
    Collector c(options, Format::Csv, bytes.size());
    CsvLayout& layout = c.result.csv;
    layout = options.csv;
    if (layout.encoding.isEmpty())
        layout.encoding = detectEncoding(bytes);
    const QString text = decode(bytes, layout.encoding);
    if (layout.delimiter.isNull())
        layout.delimiter = detectDelimiter(text);

    std::vector<Row> rows;
    RowReader reader(text, layout.delimiter);
    while (!reader.atEnd()) {
        Row row = reader.next();
        if (!blank(row.fields))
            rows.push_back(std::move(row));
        if (!c.tick(reader.position() * bytes.size() / std::max(1, text.size())))
            return c.finish();
    }
    if (rows.empty())
        return c.fail(QStringLiteral("ファイルに行がありません"));

    std::vector<int> fromHeader(8, -1);
    const bool named = columnsFromHeader(rows.front().fields, fromHeader);
    if (layout.header < 0)
        layout.header = named ? 1 : 0;
    if (!layout.columnsSet()) {
        if (layout.header == 1 && named) {
            layout.columns = fromHeader;
        } else {
            const std::vector<Row> sample(rows.begin() + layout.header,
                                          rows.begin() + std::min<size_t>(rows.size(), 200));
            guessColumns(sample, layout.columns);
        }
    }
    int width = 0;
    for (const Row& r : rows)
        width = std::max(width, int(r.fields.size()));
    for (int i = 0; i < width; ++i)
        c.result.csvHeader << (layout.header == 1 ? rows.front().fields.value(i)
                                                  : QStringLiteral("列 %1").arg(i + 1));
    if (layout.columns[1] < 0 || layout.columns[2] < 0)
        return c.fail(QStringLiteral("経度と緯度の列が見つかりません"));

    const auto& col = layout.columns;
    for (size_t i = size_t(layout.header); i < rows.size(); ++i) {
        const Row& row = rows[i];
        QString x, y, reason;
        QString lon = row.fields.value(col[1]);
        QString lat = row.fields.value(col[2]);
        // A hemisphere letter knows better than the column order.
        if (parseCoordinate(lon).axis == Axis::Latitude &&
            parseCoordinate(lat).axis == Axis::Longitude)
            std::swap(lon, lat);
        if (!c.position(lon, lat, &x, &y, &reason)) {
            c.skip(row.line, reason);
            continue;
        }
        auto place = c.place(col[0] >= 0 ? row.fields.value(col[0]) : QString(), x, y);
        for (int f = 3; f < 8; ++f)
            if (col[size_t(f)] >= 0)
                place->field(f) = row.fields.value(col[size_t(f)]);
        c.add(std::move(place));
    }
    c.result.hasExtensions = std::all_of(col.begin(), col.end(), [](int i) { return i >= 0; });
    return c.finish();
}

ExportResult writeSpreadsheetCsv(const std::vector<const PlaceRecord*>& places)
{
    ExportResult out;
    // Spreadsheets take a file with a byte-order mark for UTF-8, and CR LF lines.
    QString text = QStringLiteral("名称,経度,緯度,色,レイヤー,部品型,文字サイズ,レベル\r\n");
    for (const PlaceRecord* p : places) {
        for (int f = 0; f < 8; ++f) {
            if (f)
                text += QLatin1Char(',');
            text += quoteCsvField(f == 1 || f == 2 ? p->field(f).trimmed() : p->field(f));
        }
        text += QStringLiteral("\r\n");
    }
    out.bytes = "\xEF\xBB\xBF" + text.toUtf8();
    out.written = qint64(places.size());
    out.ok = true;
    return out;
}

} // namespace formats::detail
