#include "records/placerecord.h"

const QString& PlaceRecord::field(int column) const
{
    switch (column) {
    case 0:
        return name;
    case 1:
        return x;
    case 2:
        return y;
    case 3:
        return color;
    case 4:
        return layer;
    case 5:
        return shape;
    case 6:
        return font;
    case 7:
        return level;
    default: {
        static const QString none;
        return none;
    }
    }
}

QString& PlaceRecord::field(int column)
{
    if (column >= 0 && column < 8)
        return const_cast<QString&>(static_cast<const PlaceRecord&>(*this).field(column));
    // Out of range: a scratch string, so a stray column never writes into a real field.
    static QString scratch;
    scratch.clear();
    return scratch;
}

int toIntOrZero(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? value : 0;
}

double toDoubleOrZero(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? value : 0.0;
}
