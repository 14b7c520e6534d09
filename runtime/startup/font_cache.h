// The GDI fonts made from the application's font bank: kept by font item, apart for fonts drawn with and
// without antialiasing, and shared by every object that draws with them.
#pragma once

#include "win32/font.h"

#include <cstdint>

namespace vtrrt {

constexpr int FontCacheEntries = 8;

// The font of a font item (the stock system font for item 0, or when none can be made).
win32::HFONT GetCachedFont(std::int32_t key, bool nonAntialiased);
// Deletes the item's font and frees its entry.
void ReleaseCachedFont(std::int32_t key, bool nonAntialiased);
// Deletes every font the cache made.
void ClearFontCache();

} // namespace vtrrt
