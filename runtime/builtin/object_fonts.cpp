#include "builtin/object_fonts.h"

#include "builtin/object_state.h"
#include "events/event_program.h"
#include "events/extension_host.h"

#include "win32/gdi.h"
#include "win32/user.h"

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

} // namespace vtrrt
