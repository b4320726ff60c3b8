#pragma once

#include <QtGlobal>

// The icons and the flag picture are compiled into the static library
// mivaromap_core. A static library's resources are registered only when
// somebody calls Q_INIT_RESOURCE, so main() calls this once before it builds
// the main window, and so does every test that shows a widget with an icon
// (in initTestCase()). Calling it more than once is harmless.
inline void initMivaroMapResources()
{
    Q_INIT_RESOURCE(mivaromap);
}
