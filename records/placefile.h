#pragma once

#include "records/placerecord.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

// The place list file: UTF-8 (written with a byte-order mark), one record per
// line ending in "\n", eight comma-separated fields, no header. A field holding
// ",", a double quote, a line break or a CR is written in double quotes with inner
// quotes doubled; every other line is written exactly as the plain format does.
// A CR that ends a line outside quotes is part of the line end (CR LF files).

// programDir() + "/castlelist.csv".
QString defaultPlaceFile();

// Where a list file named in the settings or the window lives: an empty name
// is the default file, a relative one lies beside the program (not in the
// working directory, which depends on how the program was started).
QString placeFilePath(const QString& name);

// The whole file split at "\n" with empty parts kept; a file that cannot be
// opened gives one empty line. An empty name reads the default file.
QStringList readPlaceLines(const QString& fileName);

// The text of a list file: one leading byte-order mark skipped, every later
// character kept, NUL characters dropped.
QString decodePlaceText(const QByteArray& bytes);

// Splits one line into fields at ",", keeping empty parts; a field that starts
// with a double quote runs to its closing quote. A line break inside quotes
// spans lines, so callers that read a file use parsePlaceLines instead.
QStringList splitPlaceLine(const QString& line);

// Records from the lines of a file: lines with fewer than 8 fields are skipped,
// fields beyond the eighth ignored; a quoted field may span lines.
PlaceList parsePlaceLines(const QStringList& lines);

// A field as a CSV field: in double quotes (quotes doubled) when it holds a comma, a quote
// or a line break.
QString quoteCsvField(const QString& field);

// One record as a file line, with its line feed.
QString formatPlaceLine(const PlaceRecord& record);

// ".csv" appended unless the name already contains it (in any letter case, anywhere).
QString withCsvSuffix(const QString& name);

// Writes the list atomically (a temporary file renamed over the old one).
// On failure the old file is untouched, false is returned and *error says why.
bool writePlaceFile(const PlaceList& places, const QString& path, QString* error);

// Rotates the three backup generations (".bak1" newest) and copies the file to
// ".bak1", keeping its last-modified time. With onceADay, a file already
// changed today is not backed up again; a missing file rotates nothing.
void backupPlaceFile(const QString& name, bool onceADay);

// The autosave file beside currentFile: base name up to the first ".",
// "_autosave.", suffix after the last "."; programDir()/castlelist_autosave.csv
// when currentFile is empty.
QString autosavePath(const QString& currentFile);

// True when the list holds a record with this exact name, coordinates within
// 0.001 and this layer. Same-named records met before it are reported in
// addReport as "position : name\n" (positions counted from 1).
bool isExactDuplicate(const PlaceList& places, const QString& name, const QString& x,
                      const QString& y, const QString& layer, QString& addReport);

// The duplicate test of CSV Add for many rows at once: the same answers as
// isExactDuplicate, found through a hash of names and a grid of coordinates, so a
// file of thousands of namesakes takes linear time. The report is kept to its first
// lines; the rest are only counted.
class NamesakeIndex
{
public:
    explicit NamesakeIndex(const PlaceList& places, int reportLimit = 200);

    // As isExactDuplicate for the list so far; report lines go to report() while
    // there is room, the rest to omitted().
    bool isExactDuplicate(const QString& name, const QString& x, const QString& y,
                          const QString& layer);
    // The record was appended to the list at the given index.
    void add(const PlaceRecord& record, int index);

    const QString& report() const { return m_report; }
    qint64 omitted() const { return m_omitted; }
    // report() and, when lines were left out, "…ほか %1 件".
    QString fullReport() const;

private:
    struct Point
    {
        double x;
        double y;
        int index;
    };
    struct Cell
    {
        QString name;
        QString layer;
        qint64 cx;
        qint64 cy;
        bool operator==(const Cell& o) const
        {
            return cx == o.cx && cy == o.cy && name == o.name && layer == o.layer;
        }
    };
    friend uint qHash(const Cell& c, uint seed);
    static qint64 cellOf(double v);

    QHash<QString, std::vector<int>> m_byName; // list indexes, ascending
    QHash<Cell, std::vector<Point>> m_grid;
    std::vector<const QString*> m_names; // name of each indexed record
    int m_limit;
    int m_lines = 0;
    qint64 m_omitted = 0;
    QString m_report;
};
