#include "formats/readers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace formats::detail {

namespace {

QString numberText(const QJsonValue& v)
{
    if (!v.isDouble())
        return v.toString(); // no number: position() says why
    return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
}

class GeoJsonReader
{
public:
    GeoJsonReader(const QByteArray& bytes, const ImportOptions& options)
        : bytes(bytes), c(options, Format::GeoJson, bytes.size())
    {
    }

    ImportResult read()
    {
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
        if (error.error != QJsonParseError::NoError) {
            const QByteArray before = bytes.left(error.offset);
            const qint64 line = before.count('\n') + 1;
            const qint64 column = error.offset - (before.lastIndexOf('\n') + 1) + 1;
            return c.fail(QStringLiteral("GeoJSON を読めません") + atLine(line, column) +
                          QStringLiteral(": ") + error.errorString());
        }
        const QJsonObject root = doc.object();
        const QString type = root.value(QLatin1String("type")).toString();
        if (type == QLatin1String("FeatureCollection")) {
            const QJsonArray features = root.value(QLatin1String("features")).toArray();
            for (int i = 0; i < features.size(); ++i) {
                feature(features.at(i).toObject(), i + 1);
                if (!c.tick(qint64(i) * bytes.size() / features.size()))
                    return c.finish();
            }
        } else if (type == QLatin1String("Feature")) {
            feature(root, 1);
        } else if (!type.isEmpty() && root.contains(QLatin1String("coordinates"))) {
            feature(QJsonObject{{QStringLiteral("type"), QStringLiteral("Feature")},
                                {QStringLiteral("geometry"), root}},
                    1);
        } else {
            return c.fail(QStringLiteral("GeoJSON の Feature も FeatureCollection もありません"));
        }
        return c.finish();
    }

private:
    // Every point of a geometry; anything else counts as another kind.
    void points(const QJsonObject& geometry, std::vector<QJsonArray>& out, int& others)
    {
        const QString type = geometry.value(QLatin1String("type")).toString();
        const QJsonValue coordinates = geometry.value(QLatin1String("coordinates"));
        if (type == QLatin1String("Point")) {
            out.push_back(coordinates.toArray());
        } else if (type == QLatin1String("MultiPoint")) {
            for (const QJsonValue& p : coordinates.toArray())
                out.push_back(p.toArray());
        } else if (type == QLatin1String("GeometryCollection")) {
            for (const QJsonValue& g : geometry.value(QLatin1String("geometries")).toArray())
                points(g.toObject(), out, others);
        } else {
            ++others;
        }
    }

    void feature(const QJsonObject& f, qint64 number)
    {
        const QJsonObject properties = f.value(QLatin1String("properties")).toObject();
        QString name;
        for (const char* key : {"name", "title", "名称", "名前", "Name", "NAME"}) {
            const QJsonValue v = properties.value(QString::fromUtf8(key));
            if (v.isString() || v.isDouble()) {
                name = v.isString() ? v.toString() : numberText(v);
                break;
            }
        }
        std::vector<QJsonArray> found;
        int others = 0;
        const QJsonValue geometry = f.value(QLatin1String("geometry"));
        if (geometry.isObject())
            points(geometry.toObject(), found, others);
        if (found.empty()) {
            if (others > 0)
                ++c.result.otherFeatures;
            else
                c.skip(0, QStringLiteral("地物 %1: 位置がありません（%2）")
                              .arg(number)
                              .arg(name.left(40)));
            return;
        }
        OwnFields own;
        const QJsonObject mine = properties.value(QLatin1String("mivaromap")).toObject();
        for (auto it = mine.begin(); it != mine.end(); ++it)
            own.values.insert(it.key(), it.value().toString());
        const int cls =
            c.classOf(QColor(properties.value(QLatin1String("marker-color")).toString()));
        for (const QJsonArray& point : found) {
            QString x, y, reason;
            if (point.size() < 2 ||
                !c.position(numberText(point.at(0)), numberText(point.at(1)), &x, &y, &reason)) {
                c.skip(0, QStringLiteral("地物 %1: %2")
                              .arg(number)
                              .arg(reason.isEmpty() ? QStringLiteral("座標がありません") : reason));
                continue;
            }
            auto place = c.place(name, x, y);
            if (cls >= 0)
                place->color = QString::number(cls);
            c.result.hasExtensions |= own.applyTo(*place);
            c.add(std::move(place));
        }
    }

    const QByteArray& bytes;
    Collector c;
};

} // namespace

ImportResult readGeoJson(const QByteArray& bytes, const ImportOptions& options)
{
    return GeoJsonReader(bytes, options).read();
}

ExportResult writeGeoJson(const std::vector<const PlaceRecord*>& places, const ClassStyles& styles)
{
    ExportResult out;
    // One feature a line: the file stays readable and is never held twice.
    out.bytes = "{\"type\": \"FeatureCollection\", \"features\": [\n";
    for (const PlaceRecord* p : places) {
        QString lon, lat;
        if (!exportPosition(*p, &lon, &lat)) {
            ++out.leftOut;
            continue;
        }
        QJsonObject mine;
        for (int f = 0; f < 8; ++f)
            mine.insert(QLatin1String(fieldKeys[f]), p->field(f));
        QJsonObject properties{{QStringLiteral("name"), p->name},
                               {QStringLiteral("mivaromap"), mine}};
        bool ok = false;
        const int cls = p->color.toInt(&ok);
        if (ok && cls >= 0 && cls < styles.back.size())
            properties.insert(QStringLiteral("marker-color"), styles.back[cls].name());
        const QJsonObject feature{{QStringLiteral("type"), QStringLiteral("Feature")},
                                  {QStringLiteral("geometry"),
                                   QJsonObject{{QStringLiteral("type"), QStringLiteral("Point")},
                                               {QStringLiteral("coordinates"),
                                                QJsonArray{lon.toDouble(), lat.toDouble()}}}},
                                  {QStringLiteral("properties"), properties}};
        if (out.written++)
            out.bytes += ",\n";
        out.bytes += QJsonDocument(feature).toJson(QJsonDocument::Compact);
    }
    out.bytes += "\n]}\n";
    out.ok = true;
    return out;
}

} // namespace formats::detail
