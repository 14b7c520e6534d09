#include "builtin/object_fonts.h"

#include "builtin/object_state.h"
#include "events/extension_host.h"
#include "startup/banks.h"
#include "startup/event_program.h"
#include "startup/font_cache.h"

#include "vtrs2/fonts.h"
#include "win32/gdi.h"
#include "win32/user.h"

#include <cstring>

namespace vtrrt {

using namespace win32;

namespace {

const ObjectTextRoutines* RoutinesOf(const RunObject* o) {
    if (!o || o->objectType < 0 || o->objectType > LastKindType) return nullptr;
    return &KindTextRoutines()[static_cast<std::size_t>(o->objectType)];
}

} // namespace

std::array<ObjectTextRoutines, LastKindType + 1>& KindTextRoutines() {
    static std::array<ObjectTextRoutines, LastKindType + 1> table{};
    return table;
}

// Object extensions answer for their font and colour through their own entry points.

bool GetObjectFont(RunObject* o, LOGFONTW* font) {
    if (o && font && o->objectType >= FirstExtensionType) return GetExtensionFont(o, *font);
    const ObjectTextRoutines* r = RoutinesOf(o);
    return r && r->getFont && font && r->getFont(o, font);
}

void SetObjectFont(RunObject* o, const LOGFONTW* font, const RECT* newSize) {
    if (o && font && o->objectType >= FirstExtensionType) {
        SetExtensionFont(o, *font, newSize);
        return;
    }
    const ObjectTextRoutines* r = RoutinesOf(o);
    if (r && r->setFont && font) r->setFont(o, font, newSize);
}

COLORREF GetObjectTextColor(RunObject* o) {
    COLORREF colour = 0;
    if (o && o->objectType >= FirstExtensionType) return GetExtensionTextColour(o, colour) ? colour : 0;
    const ObjectTextRoutines* r = RoutinesOf(o);
    return r && r->getTextColor ? r->getTextColor(o) : 0;
}

void SetObjectTextColor(RunObject* o, COLORREF colour) {
    const ObjectTextRoutines* r = RoutinesOf(o);
    if (o && o->objectType >= FirstExtensionType) {
        if (!SetExtensionTextColour(o, colour)) return;
    } else if (!r || !r->setTextColor) {
        return;
    } else {
        r->setTextColor(o, colour);
    }
    if (o->displayRoutine) o->displayRoutine(o);
    MarkObjectChanged(o);
}

int ScreenPixelsPerInch() {
    HDC dc = GetDC(nullptr);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
    if (dc) ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : 96;
}

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
