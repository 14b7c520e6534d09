// The layer's per-DC text state (font and alignment), kept beside the DC.
#pragma once

#include "win32/types.h"

namespace win32 {

// Drops the text state of a DC that is being deleted or released, so that a later DC at the same address
// starts with the default font and alignment again. Called by the DC code when a DC goes away.
void ForgetTextState(HDC dc);

} // namespace win32
