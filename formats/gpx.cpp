#include "formats/readers.h"

#include <QBuffer>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace formats::detail {

namespace {

class GpxReader
{
public:
    GpxReader(const QByteArray& bytes, const ImportOptions& options)
        : xml(bytes), c(options, Format::Gpx, bytes.size())
    {
    }

    ImportResult read()
    {
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.tokenType() == QXmlStreamReader::DTD)
                return c.fail(QStringLiteral("DTD を含む XML は読み込みません（安全のため）"));
            if (!xml.isStartElement())
                continue;
            const auto name = xml.name();
            if (name == QLatin1String("wpt")) {
                point(QString());
            } else if (name == QLatin1String("rte") || name == QLatin1String("trk")) {
                pointNumber = 0;
                routeName.clear();
                if (!c.options.routesAndTracks) {
                    ++c.result.otherFeatures;
                    xml.skipCurrentElement();
                }
            } else if (name == QLatin1String("name") && c.options.routesAndTracks) {
                routeName = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            } else if (name == QLatin1String("rtept") || name == QLatin1String("trkpt")) {
                point(routeName.isEmpty() ? QStringLiteral("点") : routeName);
            }
            if (!c.tick(xml.characterOffset()))
                return c.finish();
        }
        if (xml.hasError())
            return c.fail(QStringLiteral("GPX を読めません") +
                          atLine(xml.lineNumber(), xml.columnNumber()) + QStringLiteral(": ") +
                          xml.errorString());
        return c.finish();
    }

private:
    // One wpt, rtept or trkpt; a point of a route or track without a name of
    // its own is called after the route and its number.
    void point(const QString& series)
    {
        const qint64 line = xml.lineNumber();
        const QString lat = xml.attributes().value(QLatin1String("lat")).toString();
        const QString lon = xml.attributes().value(QLatin1String("lon")).toString();
        QString name;
        OwnFields own;
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("name"))
                name = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            else if (xml.name() == QLatin1String("extensions"))
                extensions(own);
            else
                xml.skipCurrentElement();
        }
        if (xml.hasError())
            return;
        ++pointNumber;
        if (name.isEmpty() && !series.isEmpty())
            name = QStringLiteral("%1 %2").arg(series).arg(pointNumber);
        QString x, y, reason;
        if (!c.position(lon, lat, &x, &y, &reason)) {
            c.skip(line, reason);
            return;
        }
        auto place = c.place(name, x, y);
        c.result.hasExtensions |= own.applyTo(*place);
        c.add(std::move(place));
    }

    void extensions(OwnFields& own)
    {
        while (xml.readNextStartElement()) {
            if (xml.namespaceUri() == QLatin1String(gpxNamespace) &&
                xml.name() == QLatin1String("place"))
                own.read(xml.attributes());
            xml.skipCurrentElement();
        }
    }

    QXmlStreamReader xml;
    Collector c;
    QString routeName;
    int pointNumber = 0;
};

} // namespace

ImportResult readGpx(const QByteArray& bytes, const ImportOptions& options)
{
    return GpxReader(bytes, options).read();
}

ExportResult writeGpx(const std::vector<const PlaceRecord*>& places)
{
    ExportResult out;
    QBuffer buffer(&out.bytes);
    buffer.open(QIODevice::WriteOnly);
    QXmlStreamWriter xml(&buffer);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(1);
    xml.writeStartDocument();
    xml.writeDefaultNamespace(QStringLiteral("http://www.topografix.com/GPX/1/1"));
    xml.writeNamespace(QLatin1String(gpxNamespace), QStringLiteral("mivaromap"));
    xml.writeStartElement(QStringLiteral("gpx"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.1"));
    xml.writeAttribute(QStringLiteral("creator"), QStringLiteral("MivaroMap"));
    const QString ns = QLatin1String(gpxNamespace);
    for (const PlaceRecord* p : places) {
        QString lon, lat;
        if (!exportPosition(*p, &lon, &lat)) {
            ++out.leftOut;
            continue;
        }
        xml.writeStartElement(QStringLiteral("wpt"));
        xml.writeAttribute(QStringLiteral("lat"), lat);
        xml.writeAttribute(QStringLiteral("lon"), lon);
        xml.writeTextElement(QStringLiteral("name"), p->name);
        xml.writeStartElement(QStringLiteral("extensions"));
        xml.writeEmptyElement(ns, QStringLiteral("place"));
        OwnFields::write(xml, *p);
        xml.writeEndElement();
        xml.writeEndElement();
        ++out.written;
    }
    xml.writeEndDocument();
    out.ok = !xml.hasError();
    if (!out.ok)
        out.error = QStringLiteral("GPX を書き出せませんでした");
    return out;
}

} // namespace formats::detail
