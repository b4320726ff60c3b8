#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

// What the command line asks for: a file to open in the window, or a
// conversion without one.
struct CommandLine
{
    QString file; // FILE: opened at start
    bool convert = false;
    QString convertIn;
    QString convertOut;
    QString error; // a command line that makes no sense, in one line
};

// The arguments as the program got them, the program itself first.
CommandLine parseCommandLine(const QStringList& arguments);

// --convert IN OUT: 0 on success; otherwise 1 with the reason on `err`, and
// no OUT written. Needs an application object, not a display.
int runConvert(const CommandLine& line, QTextStream& err);
