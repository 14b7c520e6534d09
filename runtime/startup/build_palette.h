// The application's palette: normalising a 256-entry palette for the system (static colours at both ends,
// the rest never collapsed), and making it the palette of the library context.
#pragma once

#include "core/frame_record.h"

class cSurface;

namespace vtrrt {

struct ApplicationRecord;

// Copies the source entries into the destination (the same block is accepted), then gives entries 0-9 and
// 246-255 the static colours with flags 0, and marks entries 10-245 PC_NOCOLLAPSE with pure black made
// RGB(8, 0, 0).
void BuildPalette(PaletteEntry (&destination)[256], const PaletteEntry (&source)[256]);
// Creates the palette as the runtime's palette, selects it into the library context and deletes the one
// it replaces.
void SelectRuntimePalette(const PaletteEntry (&entries)[256]);
// The first frame palette the loader kept, normalised and selected; nothing for a sub-application or an
// application without one.
void SelectApplicationPalette(const ApplicationRecord& app);
void DeleteRuntimePalette();
// Gives an 8-bit surface the runtime's palette (a sub-application's is its top application's), its pixels
// left as they are; nothing without one.
void SetRuntimePaletteOn(cSurface& surface);

} // namespace vtrrt
