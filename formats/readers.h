#pragma once

#include "formats/formats.h"

#include <QHash>
#include <QXmlStreamAttributes>
#include <QXmlStreamWriter>

#include <memory>

// The readers and writers behind importBytes and exportPlaces; one per format,
// all of the same shape.
namespace formats::detail {

// Gathers what a reader finds: places with the defaults filled in, skipped
// rows (the first ones listed, all counted) and the progress.
class Collector
{
public:
    Collector(const ImportOptions& options, Format format, qint64 total);

    // A place at a position checked by position(); the five other fields from the defaults.
    std::unique_ptr<PlaceRecord> place(const QString& name, const QString& x,
                                       const QString& y) const;
    void add(std::unique_ptr<PlaceRecord> record) { result.places.push_back(std::move(record)); }
    void skip(qint64 line, const QString& reason);
    // Now and then tells the progress; false once the user cancelled.
    bool tick(qint64 done);
    // Texts of a longitude and a latitude, or the reason they are not a position.
    bool position(const QString& lon, const QString& lat, QString* x, QString* y,
                  QString* reason) const;
    // The class whose back colour this is, or -1.
    int classOf(const QColor& colour) const;
    ImportResult finish();
    ImportResult fail(const QString& error);

    const ImportOptions& options;
    ImportResult result;

private:
    qint64 total;
    int sinceTick = 0;
};

// The eight fields from a file's own extension (GPX extensions, KML ExtendedData,
// GeoJSON properties), used when all eight are there and the position agrees.
struct OwnFields
{
    QHash<QString, QString> values;
    // Our fields travel as the attributes of one element in our namespace.
    void read(const QXmlStreamAttributes& attributes);
    static void write(QXmlStreamWriter& xml, const PlaceRecord& record);
    bool complete() const;
    // Fills the record with them when their x and y are this position.
    bool applyTo(PlaceRecord& record) const;
};
extern const char* const fieldKeys[8];
// The namespace of our own element in GPX extensions and KML ExtendedData.
extern const char* const gpxNamespace;

ImportResult readPlaceList(const QByteArray& bytes, const ImportOptions& options);
ImportResult readCsv(const QByteArray& bytes, const ImportOptions& options);
ImportResult readGpx(const QByteArray& bytes, const ImportOptions& options);
ImportResult readKml(const QByteArray& bytes, const ImportOptions& options, Format as);
ImportResult readKmz(const QByteArray& bytes, const ImportOptions& options);
ImportResult readGeoJson(const QByteArray& bytes, const ImportOptions& options);

// A place's position for a writer: the texts of x and y when they are a real position.
bool exportPosition(const PlaceRecord& record, QString* lon, QString* lat);

ExportResult writeGpx(const std::vector<const PlaceRecord*>& places);
ExportResult writeKml(const std::vector<const PlaceRecord*>& places, const ClassStyles& styles);
ExportResult writeKmz(const std::vector<const PlaceRecord*>& places, const ClassStyles& styles);
ExportResult writeGeoJson(const std::vector<const PlaceRecord*>& places, const ClassStyles& styles);
ExportResult writeSpreadsheetCsv(const std::vector<const PlaceRecord*>& places);
ExportResult writePlaceList(const std::vector<const PlaceRecord*>& places);

// "（12 行 5 列）"
QString atLine(qint64 line, qint64 column);

} // namespace formats::detail
