#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

class QTextStream;

// The command line: mivaromap [--help] [--version] [FILE]
//   mivaromap --render OUT.png [--center LON,LAT] [--zoom Z] [--size WxH]
//             [--scale N] [--provider NAME|MAP] [--no-tiles] [LIST]
//   mivaromap --convert IN OUT
// Parsing and checking are plain functions; running a render is
// app/rendercommand.h.

// Exit code of a command line that cannot be used.
constexpr int UsageExitCode = 2;

struct RenderOptions
{
    QString output;
    bool hasCenter = false;
    double longitude = 0.0;
    double latitude = 0.0;
    bool hasZoom = false;
    int zoom = 0;
    QSize size = QSize(1600, 1000);
    int scale = 1;
    // -1: the provider of the settings, unless an offline map is named.
    int provider = -1;
    // An .mbtiles file or a tile folder given as the provider.
    QString offline;
    bool noTiles = false;
    // Empty: the list the settings name.
    QString list;
};

struct CommandLine
{
    enum class Action
    {
        Run,     // the window, with `file` when given
        Help,    // print `text`, exit 0
        Version, // print `text`, exit 0
        Render,
        Convert, // convertIn to convertOut, no window
        Error    // print `text` (one line) to standard error, exit UsageExitCode
    };
    Action action = Action::Run;
    QString text;
    QString file;
    RenderOptions render;
    QString convertIn;
    QString convertOut;
};

// Reads the arguments (the program's name first, as in argv).
CommandLine parseCommandLine(const QStringList& arguments);

// The checks of the single values; false with a one-line Japanese reason.
bool parseCenter(const QString& text, double* longitude, double* latitude, QString* error);
bool parseZoom(const QString& text, int* zoom, QString* error);
bool parseSize(const QString& text, QSize* size, QString* error);
bool parseScale(const QString& text, int* scale, QString* error);
// A provider's name, else an existing .mbtiles file or folder (`offline`).
bool parseProvider(const QString& text, int* provider, QString* offline, QString* error);
// The picture's sides (size times scale) within the largest picture.
bool checkPictureSize(const QSize& size, int scale, QString* error);

QString helpText();
QString versionText();

// --convert IN OUT: 0 on success; otherwise 1 with the reason on `err`, and
// no OUT written. Needs an application object, not a display.
int runConvert(const QString& in, const QString& out, QTextStream& err);
