#include "app/mivaromap.h"

// The About dialog arrives with its own feature.
void MivaroMap::about() {}
