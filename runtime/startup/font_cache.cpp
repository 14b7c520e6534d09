#include "startup/font_cache.h"

#include "core/application_record.h"
#include "core/runtime_services.h"
#include "startup/banks.h"

#include "vtrs2/fonts.h"

#include <array>
#include <vector>

namespace vtrrt {

using namespace win32;

namespace {

// An item's font (key 0: a free entry) and how often it was asked for.
struct FontCacheEntry {
    std::int32_t key;
    std::int32_t useCount;
    HFONT font;
};

using FontTable = std::array<FontCacheEntry, FontCacheEntries>;

struct FontCache {
    FontTable antialiased{};
    FontTable nonAntialiased{};
    // Fonts whose entries were taken for other items while callers still held them: deleted with the
    // cache, never under a caller's feet.
    std::vector<HFONT> retired;
};

FontCache& Cache() {
    static FontCache cache;
    return cache;
}

FontTable& TableOf(bool nonAntialiased) {
    return nonAntialiased ? Cache().nonAntialiased : Cache().antialiased;
}

HFONT SystemFont() {
    return GetStockFont(SYSTEM_FONT);
}

HFONT MakeFont(std::int32_t key, bool nonAntialiased) {
    const ApplicationRecord* app = CurrentApplication();
    ContextBanks* banks = app && app->banks ? app->banks->library : nullptr;
    FontInfoW info{};
    if (!banks || !GetFontInfoW(banks, static_cast<DWORD>(key), &info)) return nullptr;
    if (nonAntialiased) info.font.lfQuality = NONANTIALIASED_QUALITY;
    return CreateFontIndirectW(&info.font);
}

// A free entry; else, from the last entry back, the first with a single use, or the least used (the later
// one of equal counts).
FontCacheEntry& EntryFor(FontTable& table) {
    for (FontCacheEntry& entry : table)
        if (entry.key == 0) return entry;
    FontCacheEntry* victim = &table.back();
    for (auto it = table.rbegin(); it != table.rend(); ++it) {
        if (it->useCount == 1) return *it;
        if (it->useCount < victim->useCount) victim = &*it;
    }
    return *victim;
}

void Free(FontCacheEntry& entry) {
    if (entry.font) DeleteFont(entry.font);
    entry = FontCacheEntry{};
}

} // namespace

HFONT GetCachedFont(std::int32_t key, bool nonAntialiased) {
    if (key == 0) return SystemFont();
    FontTable& table = TableOf(nonAntialiased);
    for (FontCacheEntry& entry : table) {
        if (entry.key != key) continue;
        ++entry.useCount;
        return entry.font;
    }
    HFONT font = MakeFont(key, nonAntialiased);
    if (!font) return SystemFont();
    FontCacheEntry& entry = EntryFor(table);
    if (entry.font) Cache().retired.push_back(entry.font);
    entry = FontCacheEntry{key, 1, font};
    return font;
}

void ReleaseCachedFont(std::int32_t key, bool nonAntialiased) {
    if (key == 0) return;
    for (FontCacheEntry& entry : TableOf(nonAntialiased))
        if (entry.key == key) Free(entry);
}

void ClearFontCache() {
    FontCache& cache = Cache();
    for (FontTable* table : {&cache.antialiased, &cache.nonAntialiased})
        for (FontCacheEntry& entry : *table)
            Free(entry);
    for (HFONT font : cache.retired)
        DeleteFont(font);
    cache.retired.clear();
}

} // namespace vtrrt
