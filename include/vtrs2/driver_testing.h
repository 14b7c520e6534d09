// For tests only: where the display drivers are looked for, and how often a load was attempted.
#pragma once

#include "vtrs2/export.h"

// Null goes back to the library's own folder. Unloads both drivers and forgets their failed loads, so that
// the next request tries the new folder.
VTRS2_API void SetDisplayDriverFolder(const char16_t* folder);
// Loads attempted (files looked for) since the library was loaded.
VTRS2_API int GetDisplayDriverLoadAttempts();
