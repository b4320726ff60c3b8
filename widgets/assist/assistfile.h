#pragma once

#include "widgets/assist/assistwindowspec.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace assist {

// One entry of a help index: the menu text and the assist file it opens.
struct HelpEntry
{
    QString title;
    QString file;
};

// The entries of a help index file, in group order; a missing file has none.
QList<HelpEntry> readHelpIndex(const QString& path);

struct AssistFile
{
    // The groups read, in order, up to the first one without a usable "window".
    QList<AssistWindowSpec> specs;
    // A group had no "window" of four numbers; reading stopped there.
    bool missingWindow = false;
};

// Reads an assist file; colours a group does not name come from the settings.
AssistFile readAssistFile(const QString& path);

// The help folder beside the program.
QString helpFolder();

// The full path of a help entry (a path under the program directory starting
// with "/"), or an empty string when it leads out of the help folder: help
// files are written back when dragged, so they must stay there.
QString helpFilePath(const QString& entry);
bool insideHelpFolder(const QString& path);

// The INI text with one key of one group set to value, every other line kept
// as it was; the group or key is added when missing.
QByteArray withIniValue(const QByteArray& text, const QString& group, const QString& key,
                        const QString& value);

// Rewrites the "window" key of a group of an assist file, keeping the rest of
// the file. Empty on success, else the reason.
QString writeWindowKey(const QString& path, const QString& group, const QStringList& window);

} // namespace assist
