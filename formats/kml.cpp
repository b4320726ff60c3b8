#include "formats/readers.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <quazip.h>
#include <quazipfile.h>
#include <quazipnewinfo.h>

#include <algorithm>
#include <map>
#include <set>

namespace formats::detail {

namespace {

// KML writes colours as aabbggrr.
QColor fromKmlColour(const QString& text)
{
    bool ok = false;
    const uint v = text.trimmed().toUInt(&ok, 16);
    if (!ok || text.trimmed().size() != 8)
        return {};
    return QColor(int(v & 0xff), int((v >> 8) & 0xff), int((v >> 16) & 0xff), int(v >> 24));
}

QString toKmlColour(const QColor& c)
{
    return QStringLiteral("ff%1%2%3")
        .arg(c.blue(), 2, 16, QLatin1Char('0'))
        .arg(c.green(), 2, 16, QLatin1Char('0'))
        .arg(c.red(), 2, 16, QLatin1Char('0'));
}

class KmlReader
{
public:
    KmlReader(const QByteArray& bytes, const ImportOptions& options, Format as)
        : xml(bytes), c(options, as, bytes.size())
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
            if (xml.name() == QLatin1String("Style")) {
                const QString id = xml.attributes().value(QLatin1String("id")).toString();
                styleColours[id] = style();
            } else if (xml.name() == QLatin1String("StyleMap")) {
                styleMap(xml.attributes().value(QLatin1String("id")).toString());
            } else if (xml.name() == QLatin1String("Placemark"))
                placemark();
            // Documents and folders are walked into; their places are what counts.
            if (!c.tick(xml.characterOffset()))
                return c.finish();
        }
        if (xml.hasError())
            return c.fail(QStringLiteral("KML を読めません") +
                          atLine(xml.lineNumber(), xml.columnNumber()) + QStringLiteral(": ") +
                          xml.errorString());
        applyStyles();
        restoreOrder();
        return c.finish();
    }

private:
    struct Pending
    {
        PlaceRecord* place;
        QString styleUrl;
        QColor inlineColour;
    };

    QString text() { return xml.readElementText(QXmlStreamReader::IncludeChildElements); }

    // The icon colour of a Style.
    QColor style()
    {
        QColor colour;
        while (xml.readNextStartElement()) {
            if (xml.name() != QLatin1String("IconStyle")) {
                xml.skipCurrentElement();
                continue;
            }
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("color"))
                    colour = fromKmlColour(text());
                else
                    xml.skipCurrentElement();
            }
        }
        return colour;
    }

    // A StyleMap stands for its "normal" style.
    void styleMap(const QString& id)
    {
        while (xml.readNextStartElement()) {
            if (xml.name() != QLatin1String("Pair")) {
                xml.skipCurrentElement();
                continue;
            }
            QString key, url;
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("key"))
                    key = text().trimmed();
                else if (xml.name() == QLatin1String("styleUrl"))
                    url = text().trimmed();
                else
                    xml.skipCurrentElement();
            }
            if (key == QLatin1String("normal"))
                styleMaps[id] = url;
        }
    }

    void extendedData(OwnFields& own, QHash<QString, QString>& foreign)
    {
        while (xml.readNextStartElement()) {
            if (xml.namespaceUri() == QLatin1String(gpxNamespace) &&
                xml.name() == QLatin1String("place")) {
                own.read(xml.attributes());
                xml.skipCurrentElement();
            } else if (xml.name() == QLatin1String("Data")) {
                const QString name = xml.attributes().value(QLatin1String("name")).toString();
                QString value;
                while (xml.readNextStartElement()) {
                    if (xml.name() == QLatin1String("value"))
                        value = text();
                    else
                        xml.skipCurrentElement();
                }
                foreign.insert(name.toLower(), value);
            } else if (xml.name() == QLatin1String("SchemaData")) {
                while (xml.readNextStartElement()) {
                    if (xml.name() == QLatin1String("SimpleData"))
                        foreign.insert(
                            xml.attributes().value(QLatin1String("name")).toString().toLower(),
                            text());
                    else
                        xml.skipCurrentElement();
                }
            } else {
                xml.skipCurrentElement();
            }
        }
    }

    // Points of a geometry (a MultiGeometry may hold several); other shapes are counted.
    void geometry(std::vector<std::pair<QString, qint64>>& points, int& others)
    {
        const auto name = xml.name();
        if (name == QLatin1String("Point")) {
            const qint64 line = xml.lineNumber();
            QString coordinates;
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("coordinates"))
                    coordinates = text();
                else
                    xml.skipCurrentElement();
            }
            points.emplace_back(coordinates, line);
        } else if (name == QLatin1String("MultiGeometry")) {
            while (xml.readNextStartElement())
                geometry(points, others);
        } else {
            ++others;
            xml.skipCurrentElement();
        }
    }

    void placemark()
    {
        const qint64 line = xml.lineNumber();
        QString name, styleUrl;
        QColor inlineColour;
        OwnFields own;
        QHash<QString, QString> foreign;
        std::vector<std::pair<QString, qint64>> points;
        int others = 0;
        static const std::set<QString> geometries = {
            QStringLiteral("Point"),      QStringLiteral("MultiGeometry"),
            QStringLiteral("LineString"), QStringLiteral("LinearRing"),
            QStringLiteral("Polygon"),    QStringLiteral("Model"),
            QStringLiteral("Track"),      QStringLiteral("MultiTrack")};
        while (xml.readNextStartElement()) {
            const QString element = xml.name().toString();
            if (element == QLatin1String("name"))
                name = text();
            else if (element == QLatin1String("styleUrl"))
                styleUrl = text().trimmed();
            else if (element == QLatin1String("Style"))
                inlineColour = style();
            else if (element == QLatin1String("ExtendedData"))
                extendedData(own, foreign);
            else if (geometries.count(element))
                geometry(points, others);
            else
                xml.skipCurrentElement();
        }
        if (xml.hasError())
            return;
        if (points.empty()) {
            if (others > 0)
                ++c.result.otherFeatures;
            else
                c.skip(line, QStringLiteral("位置がありません（%1）").arg(name.left(40)));
            return;
        }
        for (const auto& [coordinates, pointLine] : points) {
            // "lon,lat[,alt]"; a Point has one tuple.
            const QString all = coordinates.trimmed();
            int end = 0;
            while (end < all.size() && !all.at(end).isSpace())
                ++end;
            const QStringList tuple = all.left(end).split(QLatin1Char(','));
            QString x, y, reason;
            if (tuple.size() < 2 || !c.position(tuple[0], tuple[1], &x, &y, &reason)) {
                c.skip(pointLine, reason.isEmpty() ? QStringLiteral("座標がありません") : reason);
                continue;
            }
            auto place = c.place(name, x, y);
            // Headings another tool used for our fields count too.
            for (int f = 3; f < 8; ++f) {
                const auto v = foreign.constFind(QLatin1String(fieldKeys[f]));
                if (v != foreign.constEnd())
                    place->field(f) = *v;
            }
            const bool ours = own.applyTo(*place);
            c.result.hasExtensions |= ours;
            if (!ours)
                pending.push_back({place.get(), styleUrl, inlineColour});
            bool ok = false;
            const qint64 index = own.values.value(QStringLiteral("index")).toLongLong(&ok);
            order.push_back(ok ? index : -1);
            c.add(std::move(place));
        }
    }

    // A place without our own fields takes the class of its style: ours by id,
    // any other by its icon colour.
    void applyStyles()
    {
        static const QRegularExpression ownStyle(QStringLiteral("^#class-(\\d+)$"));
        for (const Pending& p : pending) {
            QString url = p.styleUrl;
            if (styleMaps.count(url.mid(1)))
                url = styleMaps[url.mid(1)];
            int cls = -1;
            if (const auto m = ownStyle.match(url); m.hasMatch() && m.captured(1).toInt() < 200)
                cls = m.captured(1).toInt();
            if (cls < 0)
                cls =
                    c.classOf(p.inlineColour.isValid() ? p.inlineColour : styleColours[url.mid(1)]);
            if (cls >= 0)
                p.place->color = QString::number(cls);
        }
    }

    // Our own file keeps the list order across its per-layer folders.
    void restoreOrder()
    {
        auto& places = c.result.places;
        if (order.size() != places.size() ||
            std::any_of(order.begin(), order.end(), [](qint64 i) { return i < 0; }))
            return;
        std::vector<size_t> idx(places.size());
        for (size_t i = 0; i < idx.size(); ++i)
            idx[i] = i;
        std::stable_sort(idx.begin(), idx.end(),
                         [&](size_t a, size_t b) { return order[a] < order[b]; });
        PlaceList sorted;
        sorted.reserve(places.size());
        for (size_t i : idx)
            sorted.push_back(std::move(places[i]));
        places = std::move(sorted);
    }

    QXmlStreamReader xml;
    Collector c;
    std::map<QString, QColor> styleColours;
    std::map<QString, QString> styleMaps;
    std::vector<Pending> pending;
    std::vector<qint64> order;
};

} // namespace

ImportResult readKml(const QByteArray& bytes, const ImportOptions& options, Format as)
{
    return KmlReader(bytes, options, as).read();
}

ImportResult readKmz(const QByteArray& bytes, const ImportOptions& options)
{
    Collector c(options, Format::Kmz, bytes.size());
    QBuffer buffer;
    buffer.setData(bytes);
    QuaZip zip(&buffer);
    if (!zip.open(QuaZip::mdUnzip))
        return c.fail(QStringLiteral("KMZ（zip）を開けません"));
    // doc.kml by custom, else the first KML in the archive.
    QString entry;
    for (const QString& name : zip.getFileNameList()) {
        if (!name.endsWith(QLatin1String(".kml"), Qt::CaseInsensitive))
            continue;
        if (entry.isEmpty() || name.compare(QLatin1String("doc.kml"), Qt::CaseInsensitive) == 0)
            entry = name;
    }
    if (entry.isEmpty())
        return c.fail(QStringLiteral("KMZ の中に KML がありません"));
    const QString tooLarge =
        QStringLiteral("KMZ の中の KML が展開すると 256 MB を超えるため読み込みません");
    zip.setCurrentFile(entry);
    QuaZipFileInfo64 info;
    if (zip.getCurrentFileInfo(&info) && info.uncompressedSize > quint64(maxUnpacked))
        return c.fail(tooLarge);
    QuaZipFile file(&zip);
    if (!file.open(QIODevice::ReadOnly))
        return c.fail(QStringLiteral("KMZ の中の %1 を開けません").arg(entry));
    // The size in the header may lie: count what inflating really gives.
    QByteArray kml;
    char chunk[64 * 1024];
    while (true) {
        const qint64 n = file.read(chunk, sizeof chunk);
        if (n < 0)
            return c.fail(QStringLiteral("KMZ の中の %1 が壊れています").arg(entry));
        if (n == 0)
            break;
        if (kml.size() + n > maxUnpacked)
            return c.fail(tooLarge);
        kml.append(chunk, int(n));
    }
    file.close();
    if (file.getZipError() != UNZ_OK)
        return c.fail(QStringLiteral("KMZ の中の %1 が壊れています").arg(entry));
    return readKml(kml, options, Format::Kmz);
}

ExportResult writeKml(const std::vector<const PlaceRecord*>& places, const ClassStyles& styles)
{
    ExportResult out;
    // A folder per layer (by number), a style per class used.
    std::map<std::pair<int, QString>, std::vector<std::pair<qint64, const PlaceRecord*>>> layers;
    std::set<int> classes;
    qint64 index = 0;
    for (const PlaceRecord* p : places) {
        QString lon, lat;
        if (!exportPosition(*p, &lon, &lat)) {
            ++out.leftOut;
            continue;
        }
        layers[{toIntOrZero(p->layer), p->layer}].emplace_back(index++, p);
        bool ok = false;
        const int cls = p->color.toInt(&ok);
        if (ok && cls >= 0 && cls < styles.back.size())
            classes.insert(cls);
    }
    QBuffer buffer(&out.bytes);
    buffer.open(QIODevice::WriteOnly);
    QXmlStreamWriter xml(&buffer);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(1);
    xml.writeStartDocument();
    xml.writeDefaultNamespace(QStringLiteral("http://www.opengis.net/kml/2.2"));
    xml.writeNamespace(QLatin1String(gpxNamespace), QStringLiteral("mivaromap"));
    xml.writeStartElement(QStringLiteral("kml"));
    xml.writeStartElement(QStringLiteral("Document"));
    xml.writeTextElement(QStringLiteral("name"), QStringLiteral("MivaroMap"));
    for (int cls : classes) {
        xml.writeStartElement(QStringLiteral("Style"));
        xml.writeAttribute(QStringLiteral("id"), QStringLiteral("class-%1").arg(cls));
        xml.writeStartElement(QStringLiteral("IconStyle"));
        xml.writeTextElement(QStringLiteral("color"), toKmlColour(styles.back.value(cls)));
        xml.writeEndElement();
        xml.writeStartElement(QStringLiteral("LabelStyle"));
        xml.writeTextElement(QStringLiteral("color"), toKmlColour(styles.fore.value(cls)));
        xml.writeEndElement();
        xml.writeEndElement();
    }
    for (const auto& [layer, members] : layers) {
        xml.writeStartElement(QStringLiteral("Folder"));
        xml.writeTextElement(QStringLiteral("name"),
                             QStringLiteral("レイヤー %1").arg(layer.second));
        for (const auto& [i, p] : members) {
            QString lon, lat;
            exportPosition(*p, &lon, &lat);
            xml.writeStartElement(QStringLiteral("Placemark"));
            xml.writeTextElement(QStringLiteral("name"), p->name);
            bool ok = false;
            const int cls = p->color.toInt(&ok);
            if (ok && classes.count(cls))
                xml.writeTextElement(QStringLiteral("styleUrl"),
                                     QStringLiteral("#class-%1").arg(cls));
            xml.writeStartElement(QStringLiteral("ExtendedData"));
            xml.writeEmptyElement(QLatin1String(gpxNamespace), QStringLiteral("place"));
            OwnFields::write(xml, *p);
            xml.writeAttribute(QStringLiteral("index"), QString::number(i));
            xml.writeEndElement();
            xml.writeStartElement(QStringLiteral("Point"));
            xml.writeTextElement(QStringLiteral("coordinates"), lon + QLatin1Char(',') + lat);
            xml.writeEndElement();
            xml.writeEndElement();
            ++out.written;
        }
        xml.writeEndElement();
    }
    xml.writeEndDocument();
    out.ok = !xml.hasError();
    if (!out.ok)
        out.error = QStringLiteral("KML を書き出せませんでした");
    return out;
}

ExportResult writeKmz(const std::vector<const PlaceRecord*>& places, const ClassStyles& styles)
{
    ExportResult out = writeKml(places, styles);
    if (!out.ok)
        return out;
    QByteArray zipped;
    QBuffer buffer(&zipped);
    QuaZip zip(&buffer);
    bool ok = zip.open(QuaZip::mdCreate);
    if (ok) {
        QuaZipFile file(&zip);
        ok = file.open(QIODevice::WriteOnly, QuaZipNewInfo(QStringLiteral("doc.kml"))) &&
             file.write(out.bytes) == out.bytes.size();
        file.close();
        ok = ok && file.getZipError() == ZIP_OK;
        zip.close();
        ok = ok && zip.getZipError() == ZIP_OK;
    }
    if (!ok) {
        out.ok = false;
        out.error = QStringLiteral("KMZ を作れませんでした");
        return out;
    }
    out.bytes = zipped;
    return out;
}

} // namespace formats::detail
