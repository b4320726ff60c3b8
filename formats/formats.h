#pragma once

#include "records/placerecord.h"

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QVector>

#include <functional>
#include <vector>

// Places from other tools' files and back. Every reader has the same shape
// (bytes in, places plus the rows it could not use out), and importBytes is
// the one place that picks the reader from the content.
namespace formats {

enum class Format
{
    Unknown,
    PlaceList, // our own eight-column list
    Csv,       // any other CSV or TSV
    Gpx,
    Kml,
    Kmz,
    GeoJson,
    SpreadsheetCsv // written only: UTF-8 with a byte-order mark and a header row
};

// Shown to the user ("GPX", "KML", "CSV / TSV", ...).
QString formatName(Format format);

// How a foreign CSV is read; every part may be detected or set by the user.
struct CsvLayout
{
    QByteArray encoding; // "UTF-8" or "Shift_JIS"; empty: detect
    QChar delimiter;     // ',', '\t' or ';'; null: detect
    int header = -1;     // 1: the first row names the columns, 0: it is data, -1: detect
    // Column of each of our eight fields (name, x, y, color, layer, shape, font,
    // level); -1 for none. All -1: detect.
    std::vector<int> columns = std::vector<int>(8, -1);
    bool columnsSet() const;
};

// A row, placemark or feature that gave no place, and why.
struct Skipped
{
    qint64 line = 0; // 1-based line of the source, 0 when unknown
    QString reason;
};

struct ImportOptions
{
    CsvLayout csv;
    // GPX: route and track points become places too.
    bool routesAndTracks = false;
    // The fields foreign files do not carry: color, layer, shape, font, level.
    QString color = QStringLiteral("0");
    QString layer = QStringLiteral("1");
    QString shape = QStringLiteral("Image");
    QString font = QStringLiteral("11");
    QString level = QStringLiteral("10");
    // Back colours of the classes, to give a place the class of its marker colour.
    QVector<QColor> classBack;
    // Told (done, total) now and then, in bytes of the source; false cancels.
    std::function<bool(qint64, qint64)> progress;
};

struct ImportResult
{
    bool ok = false;
    bool cancelled = false;
    QString error; // one line of Japanese when !ok
    Format format = Format::Unknown;
    PlaceList places;
    std::vector<Skipped> skipped; // the first skippedListed of them
    qint64 skippedCount = 0;
    qint64 otherFeatures = 0;   // lines, polygons, tracks... not taken
    CsvLayout csv;              // CSV: what was used, detection filled in
    QStringList csvHeader;      // CSV: the column names (or "列 n")
    bool hasExtensions = false; // our eight fields came from the file itself
};

constexpr int skippedListed = 200;
// A KML inside a KMZ larger than this is refused (a zip bomb otherwise).
constexpr qint64 maxUnpacked = 256LL * 1024 * 1024;

// What the content is (the file name is not asked: a .csv may be anything).
Format detectFormat(const QByteArray& bytes);

// Reads places from bytes of any supported format.
ImportResult importBytes(const QByteArray& bytes, const ImportOptions& options = {});
// Reads a file; an unreadable one is an error.
ImportResult importFile(const QString& path, const ImportOptions& options = {});

// Colours of the classes for the writers that show them.
struct ClassStyles
{
    QVector<QString> names;
    QVector<QColor> back;
    QVector<QColor> fore;
};

struct ExportResult
{
    bool ok = false;
    QString error;
    QByteArray bytes;
    qint64 written = 0;
    qint64 leftOut = 0; // places without a usable position
};

// The format of an output file from its extension; forList: ".csv" is our own
// list (conversion), otherwise the spreadsheet CSV (export).
Format formatForOutput(const QString& path, bool forList);

// The bytes of a file of the format (not PlaceList/Csv readers' formats).
ExportResult exportPlaces(const std::vector<const PlaceRecord*>& places, Format format,
                          const ClassStyles& styles);

// Reads `in`, writes `out` (format from its extension) through the one writer.
// On failure nothing is written and *reason says why in one line.
bool convertFile(const QString& in, const QString& out, const ClassStyles& styles, QString* reason,
                 qint64* leftOut = nullptr);

} // namespace formats
