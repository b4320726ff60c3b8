#pragma once

#include <QString>

#include <memory>
#include <vector>

// One place. All eight fields keep the text as read or entered; users convert
// on use (a text that is not a number converts to 0).
struct PlaceRecord
{
    QString name;
    QString x;
    QString y;
    QString color;
    QString layer;
    QString shape;
    QString font;
    QString level;
    bool marked = false;

    // Field c of the table (0 = name ... 7 = level).
    const QString& field(int column) const;
    QString& field(int column);
};

// The place list: ordered, owning. A record's index is its identity for the models.
using PlaceList = std::vector<std::unique_ptr<PlaceRecord>>;

// A text converted as the program converts fields: not a number gives 0.
int toIntOrZero(const QString& text);
double toDoubleOrZero(const QString& text);
