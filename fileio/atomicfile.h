#pragma once

#include <QByteArray>
#include <QString>

namespace fileio {

// How much a written file is worth protecting. The user's own files (lists,
// settings, classes, help) are synced before they take the old file's place;
// caches (tiles, marker pictures) are only replaced in one step, since a lost
// one is simply fetched or drawn again. Drawn: a cache that only this program
// reads back, written as fast as it can be: a file that does not exist yet is
// created in place (there is no old content to protect, and a failed write
// removes it again); an existing one is replaced as a Cache file is.
enum class Durability
{
    Synced,
    Cache,
    Drawn
};

struct WriteResult
{
    bool ok = false;
    // Why it failed, as errorReason says it; empty on success.
    QString error;

    explicit operator bool() const { return ok; }
};

// The reason for a failed file operation as the user reads it: the common ones
// in Japanese with the system's own text after it in brackets
// ("ディスクの空き容量が足りません（No space left on device）"), any other just
// the system's text.
QString errorReason(int errnum);

// Writes bytes to path so that the file is either the complete new content or
// the old file untouched: a temporary file beside it is written without a
// hidden buffer, every write checked, synced when asked, and only then renamed
// over the old one. On any failure the temporary file is removed. The old
// file's permissions are kept.
WriteResult writeFileAtomically(const QString& path, const QByteArray& bytes,
                                Durability durability = Durability::Synced);

} // namespace fileio
