// The prototypes every surface is cloned from: the library's own (memory, alpha, DIB section and DIB-DC
// surfaces of each depth, made once per process) and those of a display driver, loaded on demand from the
// library's own folder; and the per-thread start and end of the surface library.
#pragma once

#include "vtrs2/export.h"

class cSurface;

// Public surface types asked of GetSurfacePrototype.
constexpr int PublicTypeMemory = 0;
constexpr int PublicTypeDibSection = 1;
constexpr int PublicTypeDib = 2;
constexpr int PublicTypeDibSectionToo = 3;
constexpr int PublicTypeScreen = 4;
constexpr int PublicTypeRenderTexture = 5;
constexpr int PublicTypeTexture = 6;
constexpr int PublicTypeManagedTexture = 7;

// Driver kinds: 0 the library's own surfaces, 5 the Direct3D 9 driver, 6 the Direct3D 8 driver.
constexpr int DriverKindNone = 0;
constexpr int DriverKindDirect3D9 = 5;
constexpr int DriverKindDirect3D8 = 6;

// Registers the calling thread (counting repeated calls); the first thread of the process makes the
// library's prototypes. The library runs it for the thread that loads it.
VTRS2_API void InitSurfaceLibrary();
// Undoes one InitSurfaceLibrary of the calling thread; when the last thread leaves, every prototype holder
// is emptied (the library's prototypes deleted, the drivers' only forgotten).
VTRS2_API void ExitSurfaceLibrary();

// Sets *prototype to the prototype for the depth, public type (0..7) and driver kind, and answers 1 when its
// depth is the one asked (8, 15, 16, 24 or 32), 0 otherwise; *prototype is set whenever a prototype was
// chosen, and null when none exists.
VTRS2_API int GetSurfacePrototype(cSurface** prototype, int depth, int type, int driverKind);
// Loads the Direct3D 9 (non-zero flag) or Direct3D 8 display driver once and installs its prototypes;
// non-zero when its screen prototype is there. A load that failed is never tried again.
VTRS2_API int BindDisplayDriver(int direct3D9);
// Empties the holders of both drivers and unloads them.
VTRS2_API void UnloadDisplayDrivers();
// The holder of a driver's prototype of public type 4..7 (the render-texture holder tells a render texture
// from its prototype); null for other types.
VTRS2_API cSurface* GetDriverPrototypeHolder(int direct3D9, int type);
// The library's DIB-section prototype of a depth index (0..4), or null.
VTRS2_API cSurface* GetDibSectionPrototype(int depthIndex);
