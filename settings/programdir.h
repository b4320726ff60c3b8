#pragma once

#include <QString>

// The directory beside the program, without a trailing slash. Every file the
// program keeps (settings, class file, default list, marker pictures, help)
// lives there. Tests point it at a temporary directory.
QString programDir();

// Overrides programDir(); an empty path restores the real one.
void setProgramDir(const QString& path);
