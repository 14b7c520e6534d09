// Normalising a 256-entry palette for the system: static colours at both ends, the rest never collapsed.
#pragma once

#include "startup/frame_record.h"

namespace vtrrt {

// Copies the source entries into the destination (the same block is accepted), then marks entries 10-245
// PC_NOCOLLAPSE with pure black made RGB(8, 0, 0), and gives the static entries flags 0.
void BuildPalette(PaletteEntry (&destination)[256], const PaletteEntry (&source)[256]);

} // namespace vtrrt
