#include "builtin/object_fonts.h"

#include "shell/font_cache.h"
#include "startup/banks.h"

#include "vtrs2/fonts.h"

#include <cstring>

namespace vtrrt {

using namespace win32;

namespace {

// The bank's item records hold the font after a 12-byte header.
constexpr std::size_t FontRecordHeader = 12;

} // namespace

std::uint16_t AddFontItem(const LOGFONTW& font) {
    ContextBanks* banks = CurrentLibraryBanks();
    if (!banks) return 0;
    std::uint8_t record[FontRecordHeader + sizeof(LOGFONTW)]{};
    std::memcpy(record + FontRecordHeader, &font, sizeof font);
    return AddFont(banks, AddFontDeduplicate, record);
}

void ReleaseFontItem(std::uint16_t item) {
    ContextBanks* banks = CurrentLibraryBanks();
    if (!item || !banks) return;
    if (ReleaseFont(banks, item) <= 0) {
        ReleaseCachedFont(item, true);
        ReleaseCachedFont(item, false);
    }
}

bool DescribeFontItem(std::uint16_t item, LOGFONTW* font) {
    if (!font) return false;
    std::memset(font, 0, sizeof *font);
    ContextBanks* banks = CurrentLibraryBanks();
    FontInfoW info{};
    if (!item || !banks || !GetFontInfoW(banks, item, &info)) return false;
    *font = info.font;
    return true;
}

} // namespace vtrrt
