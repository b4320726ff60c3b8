#pragma once

#include "fileio/atomicfile.h"

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QList>
#include <QString>
#include <QVector>

// Everything the program remembers between runs. Loaded once at start from
// mivaromap.ini and classsetting.ini beside the program, saved once when the
// main window goes away. Every part reads and writes the fields directly.
class AppSettings
{
public:
    static constexpr int ClassCount = 200;
    // Backup generations actually kept, whatever backupcnt says.
    static constexpr int maxBackupGenerations = 99;

    static AppSettings& instance();

    // Reads mivaromap.ini, then classsetting.ini; absent keys take their defaults.
    void load();
    // Backs up and writes mivaromap.ini and classsetting.ini (each rewritten
    // with a byte-order mark and CR LF). Keys it does not write stay as they were.
    // A file that could not be written is left as it was; the error then names
    // each such file with the system's reason, ready to be shown.
    fileio::WriteResult save();
    // At most one backup generation a day: ".bak1" newest ... ".bak<backupcnt>".
    void backupFile(const QString& path);
    // Replaces all 200 classes from a class file (a missing file gives defaults).
    void loadClasses(const QString& path);
    // Backs up and writes all 200 classes; on failure the file is left as it was
    // and the error is the system's reason.
    fileio::WriteResult saveClasses(const QString& path);

    // True when i is a usable class index (0..199).
    static bool isClassIndex(int i) { return i >= 0 && i < ClassCount; }

    QByteArray geometry;
    QList<int> splitter;
    QString csv_filename;
    int backupcnt = 0;
    double coordX = 0.0;
    double coordY = 0.0;
    int zoomLevel = 0;
    int provider = 0;
    bool cache = false;
    QList<int> columnWidth;
    // columnWidth came from the file (the user's own widths), not the defaults.
    bool columnWidthSaved = false;
    int radius = 0;
    bool siroIcon = false;
    int timeout = 0;
    QString cache_path;
    int sort = 0;
    int tabWidgetIndex = 0;
    // Places below their markers' zooms shown as dots and clusters ("overview").
    bool overview = true;
    // The offline map last opened ("offline/path": an .mbtiles file or a tile
    // folder, "offline/tms": the folder counts rows from the bottom) and whether
    // it is the map shown ("offline/shown"); `provider` keeps the online one.
    QString offlinePath;
    bool offlineTms = false;
    bool offlineShown = false;

    QVector<QString> className;
    QVector<QColor> classBack;
    QVector<QColor> classFore;

    QColor backcolor;
    QColor forecolor;
    QColor hlbackcolor;
    QColor hlforecolor;
    QColor cursorcolor;
    QColor findcolor;
    QColor reteralcolor;
    QColor reservecolor;
    QColor valuecolor;
    QColor ctrlcolor;
    QColor funccolor;
    QColor classcolor;
    QColor fnamecolor;
    QColor commentcolor;
    QColor header_backcolor;
    QColor lnumbackcolor;
    QColor lnumforecolor;

    QColor paletteWindow;
    QColor paletteWindowText;
    QColor paletteBase;
    QColor paletteAlternateBase;
    QColor paletteToolTipBase;
    QColor paletteToolTipText;
    QColor paletteText;
    QColor paletteButton;
    QColor paletteButtonText;
    QColor paletteBrightText;
    QColor paletteLink;
    QColor paletteHighlight;
    QColor paletteHighlightedText;

    QFont textFont;
    QFont inpFont;

    QColor assistWinBorderColor;
    QColor assistWinBackColor;
    QColor assistWinTextColor;
    QFont assistFont;

    // Optional tile address templates ("tiles/google", "tiles/osm",
    // "tiles/stamen", "tiles/gsi"); empty = the provider's default. Read only.
    QString tilesGoogle;
    QString tilesOsm;
    QString tilesStamen;
    QString tilesGsi;
    // Optional place-search address templates with "{q}" ("geocoder/gsi",
    // "geocoder/nominatim"); empty = the public service. Read only.
    QString geocoderGsi;
    QString geocoderNominatim;

    AppSettings();

private:
    AppSettings(const AppSettings&) = delete;
    AppSettings& operator=(const AppSettings&) = delete;
};

// Rewrites a text file as UTF-8 with a byte-order mark and "\r\n" line ends.
// A file that cannot be read is left alone.
fileio::WriteResult rewriteWithBom(const QString& path);
