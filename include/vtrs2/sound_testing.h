// What tests of the sound service use: a clock of their own for the service's check of gaps between ticks.
#pragma once

#include "vtrs2/export.h"
#include "win32/types.h"

// Null puts timeGetTime back.
VTRS2_API void SetSoundServiceClock(win32::DWORD (*clock)());
