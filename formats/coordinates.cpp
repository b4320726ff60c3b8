#include "formats/coordinates.h"

#include <QRegularExpression>

#include <cmath>

namespace formats {

namespace {

// Takes a hemisphere marker off the front or back; the sign it gives, 0 for none.
int takeHemisphere(QString& t, Axis& axis)
{
    static const struct
    {
        const char16_t* word;
        int sign;
        Axis axis;
    } words[] = {{u"北緯", 1, Axis::Latitude},  {u"南緯", -1, Axis::Latitude},
                 {u"東経", 1, Axis::Longitude}, {u"西経", -1, Axis::Longitude},
                 {u"N", 1, Axis::Latitude},     {u"S", -1, Axis::Latitude},
                 {u"E", 1, Axis::Longitude},    {u"W", -1, Axis::Longitude}};
    for (const auto& w : words) {
        const QString word = QString::fromUtf16(w.word);
        if (t.startsWith(word, Qt::CaseInsensitive)) {
            t = t.mid(word.size()).trimmed();
        } else if (t.endsWith(word, Qt::CaseInsensitive)) {
            t.chop(word.size());
            t = t.trimmed();
        } else {
            continue;
        }
        axis = w.axis;
        return w.sign;
    }
    return 0;
}

} // namespace

// A plain decimal number in ASCII, as nearly every file writes them: no need
// for normalising or patterns.
bool plainDecimal(const QString& t)
{
    if (t.isEmpty())
        return false;
    int digits = 0, dots = 0;
    for (int i = 0; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            ++digits;
        else if (c == QLatin1Char('.'))
            ++dots;
        else if (i > 0 || (c != QLatin1Char('-') && c != QLatin1Char('+')))
            return false;
    }
    return digits > 0 && dots <= 1;
}

Coordinate parseCoordinate(const QString& text)
{
    Coordinate out;
    if (plainDecimal(text)) {
        out.value = text.toDouble(&out.ok);
        out.plain = out.ok;
        return out;
    }
    QString t = text.normalized(QString::NormalizationForm_KC).trimmed();
    if (t.isEmpty())
        return out;
    const int hemisphere = takeHemisphere(t, out.axis);

    static const QRegularExpression plain(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)$"));
    static const QRegularExpression dms(
        QStringLiteral("^([+-]?)(\\d+(?:\\.\\d+)?)\\s*(?:°|度|:|\\s)\\s*"
                       "(?:(\\d+(?:\\.\\d+)?)\\s*(?:'|′|’|分|:|\\s)?\\s*"
                       "(?:(\\d+(?:\\.\\d+)?)\\s*(?:\"|″|”|''|′′|秒)?)?)?$"));
    double value = 0;
    if (plain.match(t).hasMatch()) {
        value = t.toDouble(&out.ok);
        out.plain = out.ok && hemisphere == 0 && text.trimmed() == t;
    } else if (const QRegularExpressionMatch m = dms.match(t); m.hasMatch()) {
        const double minutes = m.captured(3).toDouble();
        const double seconds = m.captured(4).toDouble();
        if (minutes >= 60 || seconds >= 60)
            return out;
        value = m.captured(2).toDouble() + minutes / 60 + seconds / 3600;
        if (m.captured(1) == QLatin1String("-"))
            value = -value;
        out.ok = true;
    }
    if (!out.ok || !std::isfinite(value)) {
        out.ok = false;
        return out;
    }
    if (hemisphere < 0)
        value = -std::fabs(value);
    out.value = value;
    return out;
}

bool isLatitude(double value)
{
    return std::isfinite(value) && value >= -90 && value <= 90;
}

bool isLongitude(double value)
{
    return std::isfinite(value) && value >= -180 && value <= 180;
}

QString coordinateText(const QString& source, const Coordinate& parsed)
{
    if (parsed.plain)
        return source.trimmed();
    QString s = QString::number(parsed.value, 'f', 8);
    while (s.endsWith(QLatin1Char('0')))
        s.chop(1);
    if (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    return s;
}

} // namespace formats
