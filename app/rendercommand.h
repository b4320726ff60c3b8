#pragma once

#include "app/commandline.h"

#include <QTextStream>

#include <chrono>

// How long a render waits for the tiles of its view.
constexpr std::chrono::seconds RenderTileWait(30);

// Draws the map as the options say and writes the PNG through the file
// writer. Needs the application object and the loaded settings; returns the
// exit code (0, or 1 with the reason written to `err`). Notes (tiles that did
// not come) go to `err` too.
int runRender(const RenderOptions& options, QTextStream& err,
              std::chrono::milliseconds tileWait = RenderTileWait);
