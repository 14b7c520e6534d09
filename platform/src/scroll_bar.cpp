// The "ScrollBar" control: two arrow buttons at the ends, the track between them and the thumb on it. Held
// arrows and track parts scroll again and again on a timer; the thumb is dragged. The parent hears every
// step as WM_VSCROLL or WM_HSCROLL, and sets the position itself.
#include "dialog_internal.h"
#include "window_internal.h"

#include "win32/font.h"
#include "win32/gdi.h"
#include "win32/kernel.h"

#include <algorithm>
#include <cstdint>

namespace win32 {

namespace {

constexpr UINT_PTR RepeatTimer = 1;
constexpr UINT FirstRepeatDelay = 400; // milliseconds from the press to the first repeat
constexpr UINT RepeatInterval = 50;
constexpr int MinimumThumb = 8;

enum class Part { None, ArrowLess, ArrowMore, PageLess, PageMore, Thumb };

struct BarState {
    int minimum = 0;
    int maximum = 100;
    UINT page = 0;
    int position = 0;
    // Where the thumb is held while it is dragged; the position otherwise.
    int trackPosition = 0;
    Part held = Part::None;
    bool dragging = false;
    int grip = 0;    // from the thumb's start to the pointer, while dragging
    int pointer = 0; // where the pointer was last seen along the bar while a part is held
};

BarState* StateOf(HWND window) {
    return reinterpret_cast<BarState*>(GetWindowLongPtrW(window, 0));
}

bool Vertical(HWND window) {
    return (GetWindowLongPtrW(window, GWL_STYLE) & SBS_VERT) != 0;
}

int HighestPosition(const BarState& s) {
    const std::int64_t highest = s.page ? std::int64_t{s.maximum} - s.page + 1 : s.maximum;
    return static_cast<int>(std::max<std::int64_t>(s.minimum, highest));
}

int Clamped(const BarState& s, int position) {
    return std::clamp(position, s.minimum, HighestPosition(s));
}

// The bar along its length: the arrows' size, the track, and the thumb's start and length (0: no thumb).
struct Layout {
    int length = 0;
    int arrow = 0;
    int thumbStart = 0;
    int thumbLength = 0;
};

Layout LayoutOf(HWND window, const BarState& s, int position) {
    RECT client;
    GetClientRect(window, &client);
    const bool vertical = Vertical(window);
    Layout l;
    l.length = vertical ? client.bottom : client.right;
    const int thickness = vertical ? client.right : client.bottom;
    l.arrow = std::min(thickness, l.length / 2);
    const int track = l.length - 2 * l.arrow;
    const std::int64_t span = std::int64_t{HighestPosition(s)} - s.minimum;
    if (span <= 0 || track <= 0) return l;
    std::int64_t thumb = thickness;
    if (s.page) {
        const std::int64_t range = std::int64_t{s.maximum} - s.minimum + 1;
        thumb = std::max<std::int64_t>(MinimumThumb,
                                       track * std::int64_t{s.page} / std::max<std::int64_t>(1, range));
    }
    if (thumb >= track) return l;
    l.thumbLength = static_cast<int>(thumb);
    l.thumbStart = l.arrow + static_cast<int>((std::int64_t{position} - s.minimum) * (track - thumb) / span);
    return l;
}

// The position whose thumb starts nearest to `start`.
int PositionAt(HWND window, const BarState& s, int start) {
    const Layout l = LayoutOf(window, s, s.minimum);
    const int room = l.length - 2 * l.arrow - l.thumbLength;
    if (l.thumbLength == 0 || room <= 0) return s.position;
    const std::int64_t along = std::clamp(start - l.arrow, 0, room);
    const std::int64_t span = std::int64_t{HighestPosition(s)} - s.minimum;
    return static_cast<int>(s.minimum + (along * span + room / 2) / room);
}

int Along(HWND window, LPARAM lParam) {
    return Vertical(window) ? GET_Y_LPARAM(lParam) : GET_X_LPARAM(lParam);
}

Part PartAt(HWND window, const BarState& s, int along) {
    const Layout l = LayoutOf(window, s, s.dragging ? s.trackPosition : s.position);
    if (along < 0 || along >= l.length) return Part::None;
    if (along < l.arrow) return Part::ArrowLess;
    if (along >= l.length - l.arrow) return Part::ArrowMore;
    if (l.thumbLength == 0) return Part::None;
    if (along < l.thumbStart) return Part::PageLess;
    if (along >= l.thumbStart + l.thumbLength) return Part::PageMore;
    return Part::Thumb;
}

int CodeOf(Part part) {
    switch (part) {
    case Part::ArrowLess:
        return SB_LINEUP;
    case Part::ArrowMore:
        return SB_LINEDOWN;
    case Part::PageLess:
        return SB_PAGEUP;
    case Part::PageMore:
        return SB_PAGEDOWN;
    default:
        return SB_ENDSCROLL;
    }
}

void Tell(HWND window, int code, int position) {
    const WPARAM wParam =
        MAKEWPARAM(code, code == SB_THUMBTRACK || code == SB_THUMBPOSITION ? static_cast<WORD>(position) : 0);
    SendMessageW(GetParent(window), Vertical(window) ? WM_VSCROLL : WM_HSCROLL, wParam,
                 reinterpret_cast<LPARAM>(window));
}

RECT Box(HWND window, int from, int to) {
    RECT client;
    GetClientRect(window, &client);
    return Vertical(window) ? RECT{0, from, client.right, to} : RECT{from, 0, to, client.bottom};
}

void DrawArrow(HDC dc, HWND window, const RECT& box, bool towardsEnd, bool pushed, bool enabled) {
    RECT edge = box;
    DrawEdge(dc, &edge, pushed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_MIDDLE);
    const int w = box.right - box.left, h = box.bottom - box.top;
    const int size = std::max(1, std::min(w, h) / 4);
    const int cx = (box.left + box.right) / 2 + (pushed ? 1 : 0),
              cy = (box.top + box.bottom) / 2 + (pushed ? 1 : 0);
    POINT points[3];
    if (Vertical(window)) {
        const int tip = towardsEnd ? cy + size / 2 + 1 : cy - size / 2 - 1;
        const int base = towardsEnd ? tip - size - 1 : tip + size + 1;
        points[0] = POINT{cx, tip};
        points[1] = POINT{cx - size - 1, base};
        points[2] = POINT{cx + size + 1, base};
    } else {
        const int tip = towardsEnd ? cx + size / 2 + 1 : cx - size / 2 - 1;
        const int base = towardsEnd ? tip - size - 1 : tip + size + 1;
        points[0] = POINT{tip, cy};
        points[1] = POINT{base, cy - size - 1};
        points[2] = POINT{base, cy + size + 1};
    }
    HBRUSH brush = CreateSolidBrush(GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    Polygon(dc, points, 3);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
}

void Paint(HWND window, const BarState& s) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_SCROLLBAR));
    const Layout l = LayoutOf(window, s, s.dragging ? s.trackPosition : s.position);
    const bool enabled = l.thumbLength > 0;
    const bool lessPushed = s.held == Part::ArrowLess, morePushed = s.held == Part::ArrowMore;
    DrawArrow(dc, window, Box(window, 0, l.arrow), false, lessPushed, enabled);
    DrawArrow(dc, window, Box(window, l.length - l.arrow, l.length), true, morePushed, enabled);
    if (enabled) {
        // The part of the track held down shows darker.
        if (s.held == Part::PageLess || s.held == Part::PageMore) {
            const RECT held = s.held == Part::PageLess
                                  ? Box(window, l.arrow, l.thumbStart)
                                  : Box(window, l.thumbStart + l.thumbLength, l.length - l.arrow);
            FillRect(dc, &held, GetSysColorBrush(COLOR_BTNSHADOW));
        }
        RECT thumb = Box(window, l.thumbStart, l.thumbStart + l.thumbLength);
        DrawEdge(dc, &thumb, EDGE_RAISED, BF_RECT | BF_MIDDLE);
    }
    EndPaint(window, &paint);
}

void Redraw(HWND window) {
    InvalidateRect(window, nullptr, TRUE);
}

int SetPosition(HWND window, BarState& s, int position, bool redraw) {
    const int previous = s.position;
    s.position = Clamped(s, position);
    if (!s.dragging) s.trackPosition = s.position;
    if (redraw && s.position != previous) Redraw(window);
    return previous;
}

void SetInfo(HWND window, BarState& s, const SCROLLINFO& info, bool redraw) {
    if (info.fMask & SIF_RANGE) {
        s.minimum = info.nMin;
        s.maximum = std::max(info.nMin, info.nMax);
    }
    if (info.fMask & SIF_PAGE)
        s.page =
            static_cast<UINT>(std::min<std::int64_t>(info.nPage, std::int64_t{s.maximum} - s.minimum + 1));
    const int wanted = (info.fMask & SIF_POS) ? info.nPos : s.position;
    SetPosition(window, s, wanted, false);
    if (redraw) Redraw(window);
}

void GetInfo(const BarState& s, SCROLLINFO& info) {
    if (info.fMask & SIF_RANGE) {
        info.nMin = s.minimum;
        info.nMax = s.maximum;
    }
    if (info.fMask & SIF_PAGE) info.nPage = s.page;
    if (info.fMask & SIF_POS) info.nPos = s.position;
    if (info.fMask & SIF_TRACKPOS) info.nTrackPos = s.trackPosition;
}

void Press(HWND window, BarState& s, LPARAM lParam) {
    const int along = Along(window, lParam);
    const Part part = PartAt(window, s, along);
    if (part == Part::None) return;
    SetCapture(window);
    s.held = part;
    s.pointer = along;
    if (part == Part::Thumb) {
        s.dragging = true;
        s.trackPosition = s.position;
        s.grip = along - LayoutOf(window, s, s.position).thumbStart;
    } else {
        Tell(window, CodeOf(part), s.position);
        SetTimer(window, RepeatTimer, FirstRepeatDelay, nullptr);
    }
    Redraw(window);
}

void Drag(HWND window, BarState& s, LPARAM lParam) {
    s.pointer = Along(window, lParam);
    if (!s.dragging) return;
    const int position = PositionAt(window, s, Along(window, lParam) - s.grip);
    if (position == s.trackPosition) return;
    s.trackPosition = position;
    Redraw(window);
    Tell(window, SB_THUMBTRACK, position);
}

// A held arrow repeats while the pointer stays on it; a held track part until the thumb reaches the pointer.
void Repeat(HWND window, BarState& s) {
    if (s.held == Part::None || s.dragging) {
        KillTimer(window, RepeatTimer);
        return;
    }
    SetTimer(window, RepeatTimer, RepeatInterval, nullptr);
    if (PartAt(window, s, s.pointer) == s.held) Tell(window, CodeOf(s.held), s.position);
}

void Release(HWND window, BarState& s, bool tell) {
    if (s.held == Part::None) return;
    KillTimer(window, RepeatTimer);
    const bool dragged = s.dragging;
    s.held = Part::None;
    if (GetCapture() == window) ReleaseCapture();
    if (tell && dragged) Tell(window, SB_THUMBPOSITION, s.trackPosition);
    s.dragging = false;
    if (tell) Tell(window, SB_ENDSCROLL, 0);
    Redraw(window);
}

LRESULT BarMessage(HWND window, BarState& s, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case SBM_SETPOS:
        return SetPosition(window, s, static_cast<int>(wParam), lParam != 0);
    case SBM_GETPOS:
        return s.position;
    case SBM_SETRANGE: {
        const int previous = s.position;
        s.minimum = static_cast<int>(wParam);
        s.maximum = std::max(s.minimum, static_cast<int>(lParam));
        SetPosition(window, s, s.position, false);
        Redraw(window);
        return previous;
    }
    case SBM_GETRANGE:
        if (auto* minimum = reinterpret_cast<int*>(wParam)) *minimum = s.minimum;
        if (auto* maximum = reinterpret_cast<int*>(lParam)) *maximum = s.maximum;
        return 0;
    case SBM_SETSCROLLINFO: {
        const auto* info = reinterpret_cast<const SCROLLINFO*>(lParam);
        if (!info || info->cbSize != sizeof(SCROLLINFO)) return s.position;
        SetInfo(window, s, *info, wParam != 0);
        return s.position;
    }
    case SBM_GETSCROLLINFO: {
        auto* info = reinterpret_cast<SCROLLINFO*>(lParam);
        if (!info || info->cbSize != sizeof(SCROLLINFO)) return FALSE;
        GetInfo(s, *info);
        return TRUE;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

BarState* BarOf(HWND window, int bar) {
    if (bar != SB_CTL || !IsWindow(window)) return nullptr;
    WCHAR name[16] = {};
    GetClassNameW(window, name, 16);
    return EqualsIgnoringCase(name, u"ScrollBar") ? StateOf(window) : nullptr;
}

} // namespace

LRESULT ScrollBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return WithControlState<BarState>(window, message, wParam, lParam, [&](BarState& s) -> LRESULT {
        switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            Paint(window, s);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            Press(window, s, lParam);
            return 0;
        case WM_MOUSEMOVE:
            Drag(window, s, lParam);
            return 0;
        case WM_LBUTTONUP:
            Release(window, s, true);
            return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != window) Release(window, s, true);
            return 0;
        case WM_TIMER:
            if (wParam == RepeatTimer) Repeat(window, s);
            return 0;
        default:
            return BarMessage(window, s, message, wParam, lParam);
        }
    });
}

int SetScrollPos(HWND window, int bar, int position, BOOL redraw) {
    return BarOf(window, bar)
               ? static_cast<int>(SendMessageW(window, SBM_SETPOS, static_cast<WPARAM>(position), redraw))
               : 0;
}

int GetScrollPos(HWND window, int bar) {
    return BarOf(window, bar) ? static_cast<int>(SendMessageW(window, SBM_GETPOS, 0, 0)) : 0;
}

BOOL SetScrollRange(HWND window, int bar, int minimum, int maximum, BOOL redraw) {
    if (!BarOf(window, bar)) return FALSE;
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE, minimum, maximum, 0, 0, 0};
    SendMessageW(window, SBM_SETSCROLLINFO, redraw, reinterpret_cast<LPARAM>(&info));
    return TRUE;
}

BOOL GetScrollRange(HWND window, int bar, int* minimum, int* maximum) {
    if (!BarOf(window, bar)) return FALSE;
    SendMessageW(window, SBM_GETRANGE, reinterpret_cast<WPARAM>(minimum), reinterpret_cast<LPARAM>(maximum));
    return TRUE;
}

int SetScrollInfo(HWND window, int bar, const SCROLLINFO* info, BOOL redraw) {
    if (!BarOf(window, bar) || !info) return 0;
    return static_cast<int>(SendMessageW(window, SBM_SETSCROLLINFO, redraw, reinterpret_cast<LPARAM>(info)));
}

BOOL GetScrollInfo(HWND window, int bar, SCROLLINFO* info) {
    if (!BarOf(window, bar) || !info) return FALSE;
    return static_cast<BOOL>(SendMessageW(window, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(info)));
}

} // namespace win32
