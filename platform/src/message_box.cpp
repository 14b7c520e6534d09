// Message boxes: one of the layer's own dialogs, measured round its text, and a line on stderr.
#include "win32/msgbox.h"

#include "win32/dialog.h"
#include "win32/dialog_template.h"
#include "win32/font.h"
#include "win32/gdi.h"
#include "win32/kernel.h"
#include "window_internal.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace win32 {

namespace {

struct Button {
    int id;
    const char* label;
};

std::vector<Button> ButtonsOf(UINT type) {
    switch (type & 0xF) {
    case MB_OKCANCEL:
        return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case MB_YESNOCANCEL:
        return {{IDYES, "Yes"}, {IDNO, "No"}, {IDCANCEL, "Cancel"}};
    case MB_YESNO:
        return {{IDYES, "Yes"}, {IDNO, "No"}};
    default:
        return {{IDOK, "OK"}};
    }
}

std::size_t DefaultIndex(UINT type, std::size_t count) {
    const std::size_t index = (type >> 8) & 0xF;
    return index < count ? index : 0;
}

bool Headless() {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (driver && std::strcmp(driver, "dummy") == 0) return true;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return !(x11 && *x11) && !(wayland && *wayland);
}

constexpr int kTextId = 100;
// In dialog units: the widest the text may be before it wraps, the margins, and a button.
constexpr LONG kTextWidth = 240, kMargin = 8, kGap = 6, kButtonWidth = 50, kButtonHeight = 14;

struct BoxState {
    std::u16string text;
    std::vector<Button> buttons;
    std::size_t defaultIndex;
};

// Dialog units of the box as pixels.
POINT Units(HWND dialog, LONG x, LONG y) {
    RECT r{0, 0, x, y};
    MapDialogRect(dialog, &r);
    return POINT{r.right, r.bottom};
}

// The text wrapped to at most the box's text width, with the buttons in a row below it, centred; the box
// fitted round both and centred over its owner (or the screen).
void LayOut(HWND dialog, const BoxState& box) {
    HWND text = GetDlgItem(dialog, kTextId);
    const POINT widest = Units(dialog, kTextWidth, 0), margin = Units(dialog, kMargin, kMargin);
    const POINT gap = Units(dialog, kGap, kGap), button = Units(dialog, kButtonWidth, kButtonHeight);
    RECT needed{0, 0, widest.x, 0};
    HDC dc = GetDC(text);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(text, WM_GETFONT, 0, 0)));
    DrawTextW(dc, box.text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(text, dc);
    const LONG count = static_cast<LONG>(box.buttons.size());
    const LONG row = count * button.x + (count - 1) * gap.x;
    const LONG inner = std::max({needed.right, row, 2 * button.x});
    SetWindowPos(text, nullptr, margin.x, margin.y, inner, needed.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
    const LONG buttonsTop = margin.y + needed.bottom + margin.y;
    for (LONG i = 0; i < count; ++i)
        SetWindowPos(GetDlgItem(dialog, box.buttons[static_cast<std::size_t>(i)].id), nullptr,
                     margin.x + (inner - row) / 2 + i * (button.x + gap.x), buttonsTop, button.x, button.y,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    RECT outer{0, 0, inner + 2 * margin.x, buttonsTop + button.y + margin.y};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
    const LONG width = outer.right - outer.left, height = outer.bottom - outer.top;
    RECT over{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (HWND owner = GetWindow(dialog, GW_OWNER)) GetWindowRect(owner, &over);
    SetWindowPos(dialog, nullptr, over.left + (over.right - over.left - width) / 2,
                 over.top + (over.bottom - over.top - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

bool HasButton(const BoxState& box, int id) {
    return std::any_of(box.buttons.begin(), box.buttons.end(), [&](const Button& b) { return b.id == id; });
}

INT_PTR BoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* box = reinterpret_cast<BoxState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        box = reinterpret_cast<BoxState*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SetDlgItemTextW(dialog, kTextId, box->text.c_str());
        LayOut(dialog, *box);
        // The default button takes Return and starts with the focus, which the dialog keeps for it.
        SendMessageW(dialog, DM_SETDEFID, static_cast<WPARAM>(box->buttons[box->defaultIndex].id), 0);
        SendMessageW(dialog, WM_NEXTDLGCTL,
                     reinterpret_cast<WPARAM>(GetDlgItem(dialog, box->buttons[box->defaultIndex].id)), TRUE);
        return FALSE;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (!box) return FALSE;
        // Escape and the close box are Cancel; a box without Cancel closes that way only when it has one
        // button, which they then stand for.
        if (id == IDCANCEL && !HasButton(*box, IDCANCEL)) {
            if (box->buttons.size() == 1) EndDialog(dialog, box->buttons.front().id);
        } else if (HasButton(*box, id)) {
            EndDialog(dialog, id);
        }
        return TRUE;
    }
    default:
        return FALSE;
    }
}

// The box as one of the layer's own dialogs, in the font and controls of the others; it is sized once
// its text is measured.
INT_PTR ShowBox(HWND owner, const std::u16string& caption, BoxState& box) {
    using Writer = DialogTemplateWriter<512>;
    std::vector<std::u16string> labels;
    for (const Button& button : box.buttons)
        labels.push_back(FromUtf8(button.label));
    auto writer = std::make_unique<Writer>(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0,
                                           Writer::Box{0, 0, 100, 40}, caption.c_str(), 8, u"Helv");
    writer->Item(DialogClassStatic, WS_VISIBLE | SS_LEFT | SS_NOPREFIX, {0, 0, 10, 10}, kTextId, u"");
    for (std::size_t i = 0; i < box.buttons.size(); ++i) {
        const DWORD kind = i == box.defaultIndex ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        writer->Item(DialogClassButton, WS_VISIBLE | WS_TABSTOP | kind, {0, 0, 10, 10},
                     static_cast<DWORD>(box.buttons[i].id), labels[i].c_str());
    }
    // A caption too long for the template: the box is not shown (its text is on stderr).
    if (!writer->Complete()) return -1;
    return DialogBoxIndirectParamW(nullptr, writer->Data(), owner, BoxProc, reinterpret_cast<LPARAM>(&box));
}

} // namespace

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    const std::u16string title = caption ? std::u16string(caption) : std::u16string(u"Error");
    BoxState box{text ? std::u16string(text) : std::u16string(), ButtonsOf(type), 0};
    box.defaultIndex = DefaultIndex(type, box.buttons.size());
    // Also on stderr, where a run from a terminal or its log keeps it.
    std::fprintf(stderr, "%s: %s\n", ToUtf8(title).c_str(), ToUtf8(box.text).c_str());
    std::fflush(stderr);
    if (Headless() || !EnsureVideo()) return box.buttons[box.defaultIndex].id;
    const INT_PTR pressed = ShowBox(owner, title, box);
    if (pressed > 0) return static_cast<int>(pressed);
    // The dialog could not be made: the default, as without a display.
    return box.buttons[box.defaultIndex].id;
}

} // namespace win32
