// The "ListBox" control: a column of text items inside a sunken frame, one selected, scrolled so that the
// selection stays in view; clicks, the arrow and page keys and the wheel move through it, and with
// LBS_NOTIFY its parent hears of selection changes and double clicks.
#include "dialog_internal.h"
#include "win32/font.h"
#include "win32/gdi.h"
#include "win32/kernel.h"

#include <algorithm>
#include <string>
#include <vector>

namespace win32 {

namespace {

constexpr int kInset = 2;     // of the items inside the frame
constexpr int kTextInset = 2; // of an item's text
constexpr int kWheelRows = 3;

struct ListItem {
    std::u16string text;
    LPARAM data = 0;
};

struct ListState {
    HFONT font = nullptr;
    std::vector<ListItem> items;
    int selected = -1;
    int top = 0;
};

int Count(const ListState& s) {
    return static_cast<int>(s.items.size());
}

bool Valid(const ListState& s, WPARAM index) {
    return index < s.items.size();
}

int ItemHeight(HWND window, const ListState& s) {
    HDC dc = GetDC(window);
    if (s.font) SelectFont(dc, s.font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    ReleaseDC(window, dc);
    return std::max<int>(1, metrics.tmHeight + 1);
}

int VisibleRows(HWND window, const ListState& s) {
    RECT client;
    GetClientRect(window, &client);
    return std::max(1, (client.bottom - client.top - 2 * kInset) / ItemHeight(window, s));
}

void ScrollTo(HWND window, ListState& s, int top) {
    const int highest = std::max(0, Count(s) - VisibleRows(window, s));
    top = std::clamp(top, 0, highest);
    if (top == s.top) return;
    s.top = top;
    InvalidateRect(window, nullptr, TRUE);
}

void KeepInView(HWND window, ListState& s) {
    if (s.selected < 0) return;
    const int rows = VisibleRows(window, s);
    if (s.selected < s.top)
        ScrollTo(window, s, s.selected);
    else if (s.selected >= s.top + rows)
        ScrollTo(window, s, s.selected - rows + 1);
}

void Notify(HWND window, WORD code) {
    if (!(GetWindowLongPtrW(window, GWL_STYLE) & LBS_NOTIFY)) return;
    SendMessageW(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), code),
                 reinterpret_cast<LPARAM>(window));
}

// Selects by the user's hand: the parent hears of a change.
void Choose(HWND window, ListState& s, int index) {
    if (Count(s) == 0) return;
    index = std::clamp(index, 0, Count(s) - 1);
    if (index == s.selected) {
        KeepInView(window, s);
        return;
    }
    s.selected = index;
    KeepInView(window, s);
    InvalidateRect(window, nullptr, TRUE);
    Notify(window, LBN_SELCHANGE);
}

void Paint(HWND window, const ListState& s) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    RECT frame = client;
    DrawEdge(dc, &frame, EDGE_SUNKEN, BF_RECT);
    if (s.font) SelectFont(dc, s.font);
    SetBkMode(dc, TRANSPARENT);
    const int height = ItemHeight(window, s);
    const bool focused = GetFocus() == window;
    for (int i = s.top, y = kInset; i < Count(s) && y + height <= client.bottom - kInset; ++i, y += height) {
        RECT row{kInset, y, client.right - kInset, y + height};
        const bool selected = i == s.selected;
        if (selected) FillRect(dc, &row, GetSysColorBrush(focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
        SetTextColor(dc, GetSysColor(selected && focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        RECT text{row.left + kTextInset, row.top, row.right - kTextInset, row.bottom};
        const std::u16string& t = s.items[static_cast<std::size_t>(i)].text;
        DrawTextW(dc, t.c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        if (selected && focused) DrawFocusRect(dc, &row);
    }
    EndPaint(window, &paint);
}

int IndexAt(HWND window, const ListState& s, LPARAM lParam) {
    const int y = GET_Y_LPARAM(lParam) - kInset;
    if (y < 0) return -1;
    const int index = s.top + y / ItemHeight(window, s);
    return index < Count(s) ? index : -1;
}

LRESULT Key(HWND window, ListState& s, WPARAM key) {
    const int rows = VisibleRows(window, s);
    const int at = s.selected < 0 ? -1 : s.selected;
    switch (key) {
    case VK_UP:
        Choose(window, s, std::max(0, at - 1));
        break;
    case VK_DOWN:
        Choose(window, s, at + 1);
        break;
    case VK_PRIOR:
        Choose(window, s, std::max(0, at - rows + 1));
        break;
    case VK_NEXT:
        Choose(window, s, at + rows - 1);
        break;
    case VK_HOME:
        Choose(window, s, 0);
        break;
    case VK_END:
        Choose(window, s, Count(s) - 1);
        break;
    default:
        break;
    }
    return 0;
}

LRESULT ItemMessage(HWND window, ListState& s, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case LB_ADDSTRING: {
        const auto* text = reinterpret_cast<LPCWSTR>(lParam);
        s.items.push_back(ListItem{text ? std::u16string(text) : std::u16string(), 0});
        InvalidateRect(window, nullptr, TRUE);
        return Count(s) - 1;
    }
    case LB_RESETCONTENT:
        s.items.clear();
        s.selected = -1;
        s.top = 0;
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    case LB_SETCURSEL:
        s.selected = Valid(s, wParam) ? static_cast<int>(wParam) : -1;
        KeepInView(window, s);
        InvalidateRect(window, nullptr, TRUE);
        return s.selected < 0 ? LB_ERR : s.selected;
    case LB_GETCURSEL:
        return s.selected;
    case LB_GETTEXTLEN:
        return Valid(s, wParam) ? static_cast<LRESULT>(s.items[wParam].text.size()) : LB_ERR;
    case LB_GETTEXT: {
        auto* buffer = reinterpret_cast<LPWSTR>(lParam);
        if (!Valid(s, wParam) || !buffer) return LB_ERR;
        const std::u16string& text = s.items[wParam].text;
        std::copy(text.begin(), text.end(), buffer);
        buffer[text.size()] = 0;
        return static_cast<LRESULT>(text.size());
    }
    case LB_GETCOUNT:
        return Count(s);
    case LB_GETTOPINDEX:
        return s.top;
    case LB_GETITEMDATA:
        return Valid(s, wParam) ? s.items[wParam].data : LB_ERR;
    case LB_SETITEMDATA:
        if (!Valid(s, wParam)) return LB_ERR;
        s.items[wParam].data = lParam;
        return 0;
    case LB_FINDSTRINGEXACT: {
        const auto* text = reinterpret_cast<LPCWSTR>(lParam);
        if (!text || s.items.empty()) return LB_ERR;
        const int start = Valid(s, wParam) ? static_cast<int>(wParam) + 1 : 0;
        for (int k = 0; k < Count(s); ++k) {
            const int i = (start + k) % Count(s);
            if (EqualsIgnoringCase(s.items[static_cast<std::size_t>(i)].text, text)) return i;
        }
        return LB_ERR;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

LRESULT ListBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return WithControlState<ListState>(window, message, wParam, lParam, [&](ListState& state) -> LRESULT {
        ListState* s = &state;
        switch (message) {
        case WM_SETFONT:
            s->font = reinterpret_cast<HFONT>(wParam);
            InvalidateRect(window, nullptr, TRUE);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(s->font);
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            Paint(window, *s);
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_ENABLE:
            InvalidateRect(window, nullptr, TRUE);
            return 0;
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        case WM_KEYDOWN:
            return Key(window, *s, wParam);
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            SetFocus(window);
            const int index = IndexAt(window, *s, lParam);
            if (index >= 0) Choose(window, *s, index);
            if (index >= 0 && message == WM_LBUTTONDBLCLK) Notify(window, LBN_DBLCLK);
            return 0;
        }
        case WM_MOUSEWHEEL:
            ScrollTo(window, *s, s->top - GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA * kWheelRows);
            return 0;
        default:
            return ItemMessage(window, *s, message, wParam, lParam);
        }
    });
}

} // namespace win32
