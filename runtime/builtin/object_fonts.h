// The font items that objects set while the frame runs: added to the application's font bank, described,
// and released with the cached GDI fonts made from them.
#pragma once

#include "win32/font.h"

#include <cstdint>

namespace vtrrt {

// The font item of a description (an equal font already in the bank is shared); 0 when it cannot be added.
std::uint16_t AddFontItem(const win32::LOGFONTW& font);
// Drops one reference; the cached GDI fonts of the item go with its last reference.
void ReleaseFontItem(std::uint16_t item);
// The item's description; false (and zeros) when there is none.
bool DescribeFontItem(std::uint16_t item, win32::LOGFONTW* font);

} // namespace vtrrt
