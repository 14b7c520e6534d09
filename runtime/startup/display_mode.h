// The display mode of the run, chosen once when the first application loads, and the surface prototype
// and depth an application's surfaces are made with.
#pragma once

#include "win32/types.h"

struct AppContext;

namespace vtrrt {

struct ApplicationRecord;

// Display flags: the low nibble is the depth code (3 256 colours, 4 24 bits, 6 15, 7 16, 8 32 bits); 0x10 a
// display driver, with 0x80 the Direct3D 8 one. 0: not chosen yet.
constexpr win32::WORD DisplayDriverFlag = 0x10;
constexpr win32::WORD DisplayDirect3D8Flag = 0x80;
constexpr win32::WORD Palette256 = 3;

// The flags the command line or the application's header ask for.
void UpdateDisplayFlags(const ApplicationRecord& app);
// Negotiates the display mode with the library context; nothing once the flags are set.
int ChooseDisplayMode(const ApplicationRecord& app);
// The application's surface depth and prototype from the chosen mode; 1 when a prototype exists.
int SetColourDepth(ApplicationRecord& app);

// What answers the modes ChooseDisplayMode asks for: the library's SetAppDisplayMode, unless a test puts
// its own display in its place (null puts the library's back).
using DisplayModeAnswer = int (*)(AppContext* context, int mode);
void SetDisplayModeAnswerer(DisplayModeAnswer answerer);

} // namespace vtrrt
