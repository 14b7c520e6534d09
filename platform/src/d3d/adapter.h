// What the adapter and its devices share: the display's mode, its refresh rate and the device's caps.
#pragma once

#include "win32/d3d8.h"

namespace win32::d3d {

D3DDISPLAYMODE DesktopMode();
UINT RefreshRate(); // the display's, 60 when it does not say
// The caps of the one device kind there is, from the context's limits.
void FillCaps(D3DCAPS8* caps);
// Whether a size can be a back buffer or texture of this context.
bool FitsCaps(UINT width, UINT height);

} // namespace win32::d3d
