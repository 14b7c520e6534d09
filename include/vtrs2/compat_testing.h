// For tests only: undoes the choice IsUnicodeOS makes for the process, so that each test starts on the ANSI
// calls.
#pragma once

#include "vtrs2/export.h"

VTRS2_API void ResetWideCallsChoice();
