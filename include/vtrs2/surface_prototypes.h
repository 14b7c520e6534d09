// The prototypes every surface is cloned from: one per depth and kind of surface the library makes.
#pragma once

#include "vtrs2/export.h"

class cSurface;

// Public surface types asked of GetSurfacePrototype.
constexpr int PublicTypeMemory = 0;
constexpr int PublicTypeDib = 2;
constexpr int PublicTypeScreen = 4;

// Sets *prototype to the prototype for the depth and public type (driver kind 0: the library's own) and
// answers 1 when its depth is the one asked (8, 15, 16, 24 or 32), 0 otherwise; *prototype is set to the
// nearest depth's prototype whenever one exists, and to null when none can be made.
VTRS2_API int GetSurfacePrototype(cSurface** prototype, int depth, int type, int driverKind);
