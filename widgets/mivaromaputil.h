#pragma once

#include <QImage>
#include <QObject>
#include <QString>

// Helpers of the main window around the map: the marker pictures.
class MivaroMapUtil : public QObject
{
    Q_OBJECT
public:
    explicit MivaroMapUtil(QObject* parent = nullptr);

    // Draws the label of a place (the name on a box in the colours of class c,
    // in the marker font at pointSize), writes it into the picture folder and
    // returns the file's path. `drawn`, when given, receives the picture, so
    // that the caller need not read the file back.
    static QString makeLabelImage(const QString& name, int c, int pointSize,
                                  QImage* drawn = nullptr);
    // Draws the circle marker of a place (a soft disc of class c's back colour
    // with `radius`, the castle icon when the settings ask for it, the name
    // underneath), writes it and returns the file's path.
    static QString makeCircleImage(const QString& name, int c, int radius, int pointSize,
                                   QImage* drawn = nullptr);
    // Writes a picture as image/<name>.png (only when the file does not hold
    // these bytes already) and returns the path. `written`, when given, tells
    // whether the file now holds the picture.
    static QString saveMarkerImage(const QImage& image, const QString& name,
                                   bool* written = nullptr);
};
