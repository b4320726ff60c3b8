#pragma once

#include <QString>

// Keeps numbered backup copies of a file: path + ".bak1" is the newest, ".bak<generations>"
// the oldest. A copy is made only when the file changed since the newest backup; with
// onceADay, a file already changed today is left for tomorrow's backup. A missing file
// rotates nothing, so the existing generations are never pushed out for nothing.
// All failures are silent: a backup must never stop a save.
void rotateBackups(const QString& path, int generations, bool onceADay);

// Copies a file (never over an existing one) and gives the copy the source's
// last-modified time, so a backup carries the date of the state it holds.
bool copyKeepingModified(const QString& from, const QString& to);
