#pragma once

class QObject;

// Turns SIGTERM and SIGINT into an orderly close of the main windows, so that a
// session logout (or a script) still saves the settings as a user's close would.
void closeWindowsOnTerminate(QObject* parent);
