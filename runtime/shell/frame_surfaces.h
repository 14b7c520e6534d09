// The frame's surfaces in display-driver modes. The frame is drawn into its screen surface between
// ClearFrameSurfaces and PresentFrameSurface, as one scene; when it shows through its own effect, or full
// screen shows it at another size than the screen, it is drawn into a window-size surface (a render texture
// of the frame surface's size) first, which the present puts on the screen through the effect, stretched
// when the sizes differ. In the library's own modes both do nothing.
#pragma once

#include "win32/types.h"

class CEffectEx;

namespace vtrrt {

struct FrameRecord;

bool NeedsWindowSurface(const FrameRecord& frame);
// Makes it when it is needed and absent: a render texture of the frame surface's depth and size (cut to the
// application's window in full screen); without the Direct3D 8 flag its colour key is off.
void CreateWindowSurface(FrameRecord& frame);
void DestroyWindowSurface(FrameRecord& frame);

// Opens the frame's drawing: the window-size surface made or dropped as needed (dropped once when the frame
// asked for a new check), then, when `clear` is set, the screen begun and cleared (to the border colour
// around a window-size surface, else to the frame's background) and the window-size surface begun and
// cleared to the frame's background. An open drawing is left as it is.
void ClearFrameSurfaces(int clear);
// Ends the frame's drawing: the sub-applications drawn into the frame and a question's box drawn over it,
// the window-size surface put on the screen (the same size: copied through the
// frame's effect; else stretched over the screen, smoothed when the application asks), the screen's scene
// ended. Nothing when no drawing is open.
void PresentFrameSurface();

// The frame's effect: ink 13's effect object, made on first use from the frame's effect chunk (freed with
// the frame); the ink and the parameter the frame draws with (the effect object for ink 13).
CEffectEx* GetFrameEffect(FrameRecord& frame);
win32::DWORD GetFrameEffectInk(const FrameRecord& frame);
win32::LPARAM GetFrameEffectParam(FrameRecord& frame);
// Deletes the frame's effect object (its compiled form leaves the display driver with it); the next
// GetFrameEffect makes a new one.
void ReleaseFrameEffect(FrameRecord& frame);

} // namespace vtrrt
