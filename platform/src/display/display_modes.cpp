// Display modes: SDL's list of the first display at 32 bits, and the mode the program sets for full screen.
#include "win32/window_testing.h"
#include "window_internal.h"

#include <SDL.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace win32 {

namespace {

constexpr DWORD ListedBits = 32;
constexpr DWORD ModeFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;

struct SetMode {
    SIZE size;
    DWORD bits;
};

struct DisplayState {
    std::vector<SIZE> override;
    std::optional<SetMode> set;
};

DisplayState& State() {
    static DisplayState state;
    return state;
}

bool Same(const SIZE& a, const SIZE& b) {
    return a.cx == b.cx && a.cy == b.cy;
}

void AddOnce(std::vector<SIZE>& sizes, SIZE size) {
    if (size.cx <= 0 || size.cy <= 0) return;
    if (std::none_of(sizes.begin(), sizes.end(), [&](const SIZE& s) { return Same(s, size); }))
        sizes.push_back(size);
}

std::vector<SIZE> ListedSizes() {
    std::vector<SIZE> sizes;
    if (!State().override.empty()) {
        for (const SIZE& s : State().override)
            AddOnce(sizes, s);
        return sizes;
    }
    if (EnsureVideo()) {
        const int count = SDL_GetNumDisplayModes(0);
        for (int i = 0; i < count; ++i)
            if (SDL_DisplayMode mode{}; SDL_GetDisplayMode(0, i, &mode) == 0)
                AddOnce(sizes, SIZE{mode.w, mode.h});
    }
    AddOnce(sizes, DesktopSize());
    return sizes;
}

bool Emulated(DWORD bits) {
    return bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

void Fill(DEVMODEW* out, SIZE size, DWORD bits) {
    *out = DEVMODEW{};
    out->dmSize = sizeof(DEVMODEW);
    out->dmFields = ModeFields;
    out->dmBitsPerPel = bits;
    out->dmPelsWidth = static_cast<DWORD>(size.cx);
    out->dmPelsHeight = static_cast<DWORD>(size.cy);
}

// Every top-level window hears of the change, then shows itself in or out of full screen.
void Announce() {
    const SIZE size = ScreenSize();
    const DWORD bits = State().set ? State().set->bits : ListedBits;
    std::vector<HWND> tops;
    for (HWND top = GetTopWindow(nullptr); top; top = GetWindow(top, GW_HWNDNEXT))
        tops.push_back(top);
    for (HWND top : tops)
        if (Win(top)) SendMessageW(top, WM_DISPLAYCHANGE, bits, MAKELPARAM(size.cx, size.cy));
    for (HWND top : tops)
        if (WindowObject* w = Win(top)) SyncSdlWindow(w);
}

} // namespace

SIZE ScreenSize() {
    return State().set ? State().set->size : DesktopSize();
}

bool DisplayModeSet() {
    return State().set.has_value();
}

bool CoversSetScreen(const WindowObject* w) {
    if (!State().set || !w || IsChild(w) || !(w->style & WS_POPUP) || !(w->style & WS_VISIBLE)) return false;
    const SIZE size = State().set->size;
    return w->rect.left == 0 && w->rect.top == 0 && w->rect.right == size.cx && w->rect.bottom == size.cy;
}

BOOL EnumDisplaySettingsW(LPCWSTR device, DWORD modeNumber, DEVMODEW* mode) {
    if (device || !mode) return FALSE;
    if (modeNumber == ENUM_CURRENT_SETTINGS) {
        Fill(mode, ScreenSize(), State().set ? State().set->bits : ListedBits);
        return TRUE;
    }
    const std::vector<SIZE> sizes = ListedSizes();
    if (modeNumber >= sizes.size()) return FALSE;
    Fill(mode, sizes[modeNumber], ListedBits);
    return TRUE;
}

LONG ChangeDisplaySettingsW(DEVMODEW* mode, DWORD flags) {
    DisplayState& state = State();
    if (!mode || (mode->dmFields & ModeFields) == 0) {
        if (flags & CDS_TEST) return DISP_CHANGE_SUCCESSFUL;
        const bool was = state.set.has_value();
        state.set.reset();
        if (was) Announce();
        return DISP_CHANGE_SUCCESSFUL;
    }
    const SIZE current = ScreenSize();
    const SIZE size{(mode->dmFields & DM_PELSWIDTH) ? static_cast<LONG>(mode->dmPelsWidth) : current.cx,
                    (mode->dmFields & DM_PELSHEIGHT) ? static_cast<LONG>(mode->dmPelsHeight) : current.cy};
    const DWORD bits = (mode->dmFields & DM_BITSPERPEL) ? mode->dmBitsPerPel : ListedBits;
    const std::vector<SIZE> sizes = ListedSizes();
    if (!Emulated(bits) ||
        std::none_of(sizes.begin(), sizes.end(), [&](const SIZE& s) { return Same(s, size); }))
        return DISP_CHANGE_BADMODE;
    if (flags & CDS_TEST) return DISP_CHANGE_SUCCESSFUL;
    const bool changed = !state.set || !Same(state.set->size, size) || state.set->bits != bits;
    state.set = SetMode{size, bits};
    if (changed) Announce();
    return DISP_CHANGE_SUCCESSFUL;
}

namespace testing {

void SetDisplayModes(const SIZE* sizes, int count) {
    State().override.assign(sizes, sizes + std::max(0, count));
}

} // namespace testing

} // namespace win32
