// For tests only: the clock the texture cache ages its items by.
#pragma once

#include "vtrs2/export.h"
#include "win32/types.h"

// Null goes back to timeGetTime. Setting a clock also forgets when the cache was last purged.
VTRS2_API void SetTextureCacheClock(win32::DWORD (*clock)());
