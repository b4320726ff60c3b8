#pragma once

#include "records/placerecord.h"

#include <QColor>

#include <functional>

class AppSettings;

// The rules behind the class page: renumbering the places when classes move,
// shifting the 200 entries, and the random colours. Only numbers 0..199 are
// class numbers here; a place holding anything else is left as it is.
namespace classtable {

// The class a place's colour field names, as every user converts it ("05" and
// " 5" are 5, a non-number is 0); -1 when it names no entry of the table.
int classOf(const PlaceRecord& place);
bool inUse(const PlaceList& places, int n);

// Renumbering the places; each returns whether any place changed.
bool swapInPlaces(PlaceList& places, int a, int b);
// Insert before n: n..198 become one more. Nobody may be on 199 (see canInsert).
bool shiftForInsert(PlaceList& places, int n);
// Erase n (nobody on it): n+1..199 become one less.
bool shiftForErase(PlaceList& places, int n);

// Inserting pushes entry 199 out of the table: only when it is free.
bool canInsert(const AppSettings& s, const PlaceList& places);

// The table itself.
void swapEntries(AppSettings& s, int a, int b);
// Entries n..198 move to n+1..199 and n becomes blank.
void insertBlank(AppSettings& s, int n);
// Entries n+1..199 move to n..198 and 199 becomes blank.
void eraseEntry(AppSettings& s, int n);

// The colours of a free entry.
const QColor& blankBack();

// One channel of a base colour moved by chance: stays within 80..240.
int vary(int v, int m, const std::function<int()>& random);
// New colours for every class: class 0 black on white text, named classes
// through the 24 base colours (varied from class 24 on), free classes grey.
// `random` gives 0..32767 like the C library's rand().
void randomColors(AppSettings& s, const std::function<int()>& random);

} // namespace classtable
