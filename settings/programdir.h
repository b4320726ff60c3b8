#pragma once

#include <QString>
#include <QStringList>

// The directory where the program's files live, without a trailing slash:
// the list, the settings, the class file, the help files and the marker
// pictures. Beside the program when its folder is writable (a portable copy,
// the build folder); otherwise the user's data folder, filled from the
// shipped defaults on the first start. Nothing is ever written into an
// installation. Tests point it at a temporary directory.
QString programDir();
// The tile cache: "cache" in a portable program's folder, else the user's
// cache folder.
QString programCacheDir();

// Overrides programDir() (and puts the cache inside it); an empty path
// restores the real one.
void setProgramDir(const QString& path);

struct ProgramDirs
{
    QString data;
    QString cache;
    bool portable = false;
};

// Where the files go, given the program's folder, whether it can be written,
// whether it is an installation (shipped defaults beside it: root can write
// to /usr/bin, and must not) and the desktop's standard data and cache folders.
ProgramDirs chooseProgramDirs(const QString& appDir, bool appDirWritable, bool installed,
                              const QString& dataLocation, const QString& cacheLocation);

// Whether a file can really be created in the folder. Asks the file system
// (a read-only mount refuses even root), not the permission bits.
bool isWritableDir(const QString& path);

// The shipped defaults of an installed program: <prefix>/share/mivaromap
// for a program in <prefix>/bin.
QString shippedDefaultsDir(const QString& appDir);

// Copies the files under `defaults` that `target` does not have yet (a
// user's own files are never replaced): all of them, or only those under the
// names given. Returns the files that could not be copied, with the reason.
QStringList fillFromDefaults(const QString& defaults, const QString& target,
                             const QStringList& names = {});

// Decides the folders for this run and, when they are the user's, fills them
// from the shipped defaults. main() calls it once, after the application
// object exists; returns the copy failures to report.
QStringList setUpProgramDirs();
