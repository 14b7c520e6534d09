// The controls of dialogs: "Static" (texts, frames, icons, owner-drawn boxes), "Button" (push buttons, check
// boxes, group boxes) and "Edit" (one line, with a length limit and a password style), drawn with the layer's
// GDI in the system colours and the font the dialog gives them.
#include "dialog_internal.h"
#include "win32/font.h"
#include "win32/gdi.h"
#include "win32/menu.h"
#include "window_internal.h"

#include <algorithm>
#include <string>

namespace win32 {
namespace {

constexpr int kCheckBox = 13;        // side of a check box's square
constexpr int kCheckGap = 4;         // between the square and the text
constexpr int kGroupTextInset = 8;   // of a group box's caption
constexpr int kEditInset = 3;        // of an edit's text inside its frame
constexpr int kFocusInset = 4;       // of a push button's focus rectangle
constexpr int kDefaultLimit = 30000; // characters an edit takes without EM_SETLIMITTEXT
constexpr WCHAR kPasswordChar = u'*';

// What every control keeps: its font, and for buttons and edits their state.
struct ControlState {
    HFONT font = nullptr;
    // Buttons.
    WPARAM check = BST_UNCHECKED;
    bool pushed = false;    // drawn pressed
    bool tracking = false;  // the mouse went down on it
    bool spaceDown = false; // the space bar went down on it
    // Edits.
    int limit = kDefaultLimit;
    int selStart = 0, selEnd = 0; // selEnd is the caret
    WCHAR passwordChar = kPasswordChar;
};

ControlState* StateOf(HWND window) {
    return reinterpret_cast<ControlState*>(GetWindowLongPtrW(window, 0));
}

LRESULT Notify(HWND control, WORD code) {
    HWND parent = GetParent(control);
    return SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
                        reinterpret_cast<LPARAM>(control));
}

// Common messages of every control: its state and its font.
bool CommonMessage(HWND window, UINT message, WPARAM wParam, LRESULT& result) {
    switch (message) {
    case WM_NCCREATE:
        SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(new ControlState));
        result = TRUE;
        return true;
    case WM_NCDESTROY:
        delete StateOf(window);
        SetWindowLongPtrW(window, 0, 0);
        result = 0;
        return true;
    case WM_SETFONT:
        if (ControlState* s = StateOf(window)) s->font = reinterpret_cast<HFONT>(wParam);
        InvalidateRect(window, nullptr, TRUE);
        result = 0;
        return true;
    case WM_GETFONT:
        result = StateOf(window) ? reinterpret_cast<LRESULT>(StateOf(window)->font) : 0;
        return true;
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(window, nullptr, TRUE);
        result = 0;
        return false; // the control may want these too
    case WM_ERASEBKGND:
        result = 1; // each control paints its whole face
        return true;
    default:
        return false;
    }
}

DWORD StyleOf(HWND window) {
    return static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
}

std::u16string TextOf(HWND window) {
    std::u16string text(static_cast<std::size_t>(GetWindowTextLengthW(window)), u'\0');
    GetWindowTextW(window, text.data(), static_cast<int>(text.size()) + 1);
    return text;
}

// A paint of a control with its font, its parent's brush for the background and the text colour.
class ControlPaint {
public:
    ControlPaint(HWND window, UINT colourMessage, int defaultBrush) : window_(window) {
        dc_ = BeginPaint(window, &paint_);
        GetClientRect(window, &client_);
        SetBkMode(dc_, TRANSPARENT);
        if (ControlState* s = StateOf(window); s && s->font) SelectFont(dc_, s->font);
        SetTextColor(dc_, GetSysColor(IsWindowEnabled(window) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
        HWND parent = GetParent(window);
        auto brush = reinterpret_cast<HBRUSH>(SendMessageW(
            parent, colourMessage, reinterpret_cast<WPARAM>(dc_), reinterpret_cast<LPARAM>(window)));
        brush_ = brush ? brush : GetSysColorBrush(defaultBrush);
    }
    ~ControlPaint() { EndPaint(window_, &paint_); }
    ControlPaint(const ControlPaint&) = delete;
    ControlPaint& operator=(const ControlPaint&) = delete;

    HDC dc() const { return dc_; }
    RECT client() const { return client_; }
    void FillBackground(const RECT& r) const { FillRect(dc_, &r, brush_); }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_ = nullptr;
    RECT client_{};
    HBRUSH brush_ = nullptr;
};

void Outline(HDC dc, RECT r, COLORREF colour) {
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, r.left, r.top, r.right, r.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

int TextHeight(HDC dc) {
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    return metrics.tmHeight;
}

// --- Static ---

UINT StaticTextFormat(DWORD style) {
    UINT format = DT_WORDBREAK | DT_EXPANDTABS;
    switch (style & SS_TYPEMASK) {
    case SS_CENTER:
        format |= DT_CENTER;
        break;
    case SS_RIGHT:
        format |= DT_RIGHT;
        break;
    default:
        break;
    }
    if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
    return format;
}

// The parent draws the whole box, on the control's own device context.
void PaintOwnerDrawnStatic(HWND window) {
    PAINTSTRUCT paint{};
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_STATIC;
    item.CtlID = static_cast<UINT>(GetDlgCtrlID(window));
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = IsWindowEnabled(window) ? 0 : ODS_DISABLED;
    item.hwndItem = window;
    item.hDC = BeginPaint(window, &paint);
    GetClientRect(window, &item.rcItem);
    SendMessageW(GetParent(window), WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
    EndPaint(window, &paint);
}

void PaintStatic(HWND window) {
    const DWORD style = StyleOf(window);
    if ((style & SS_TYPEMASK) == SS_OWNERDRAW) {
        PaintOwnerDrawnStatic(window);
        return;
    }
    ControlPaint paint(window, WM_CTLCOLORSTATIC, COLOR_BTNFACE);
    RECT r = paint.client();
    switch (style & SS_TYPEMASK) {
    case SS_BLACKFRAME:
        Outline(paint.dc(), r, GetSysColor(COLOR_WINDOWFRAME));
        return; // a frame leaves what lies inside it as its parent drew it
    case SS_GRAYFRAME:
        Outline(paint.dc(), r, GetSysColor(COLOR_BTNSHADOW));
        return;
    case SS_WHITEFRAME:
        Outline(paint.dc(), r, GetSysColor(COLOR_BTNHIGHLIGHT));
        return;
    case SS_ETCHEDFRAME:
        DrawEdge(paint.dc(), &r, EDGE_ETCHED, BF_RECT);
        return;
    case SS_BLACKRECT:
        FillRect(paint.dc(), &r, GetSysColorBrush(COLOR_WINDOWFRAME));
        return;
    case SS_ICON:
        return; // the layer keeps no icons: the place stays as the parent drew it
    default:
        break;
    }
    paint.FillBackground(r);
    const std::u16string text = TextOf(window);
    DrawTextW(paint.dc(), text.c_str(), -1, &r, StaticTextFormat(style));
}

LRESULT StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (CommonMessage(window, message, wParam, result)) {
        if (message == WM_NCCREATE && !(StyleOf(window) & SS_NOTIFY)) window->mouseTransparent = true;
        return result;
    }
    switch (message) {
    case WM_PAINT:
        PaintStatic(window);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_STATIC;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

// --- Button ---

DWORD ButtonType(HWND window) {
    return StyleOf(window) & BS_TYPEMASK;
}

bool IsPushButton(DWORD type) {
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

void DrawCheckMark(HDC dc, RECT box) {
    HPEN pen = CreatePen(PS_SOLID, 2, GetSysColor(COLOR_WINDOWTEXT));
    HGDIOBJ old = SelectObject(dc, pen);
    const POINT mark[] = {
        {box.left + 3, box.top + 6}, {box.left + 5, box.top + 9}, {box.left + 10, box.top + 3}};
    Polyline(dc, mark, 3);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void PaintPushButton(const ControlPaint& paint, HWND window, const ControlState& s) {
    RECT r = paint.client();
    paint.FillBackground(r);
    const bool isDefault = ButtonType(window) == BS_DEFPUSHBUTTON;
    if (isDefault) {
        Outline(paint.dc(), r, GetSysColor(COLOR_WINDOWFRAME));
        InflateRect(&r, -1, -1);
    }
    FillRect(paint.dc(), &r, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(paint.dc(), &r, s.pushed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    RECT text = r;
    if (s.pushed) OffsetRect(&text, 1, 1);
    const std::u16string caption = TextOf(window);
    DrawTextW(paint.dc(), caption.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (GetFocus() == window) {
        RECT focus = paint.client();
        InflateRect(&focus, -kFocusInset, -kFocusInset);
        DrawFocusRect(paint.dc(), &focus);
    }
}

void PaintCheckBox(const ControlPaint& paint, HWND window, const ControlState& s) {
    const RECT r = paint.client();
    paint.FillBackground(r);
    const int top = (r.bottom - kCheckBox) / 2;
    RECT box{0, top, kCheckBox, top + kCheckBox};
    FillRect(paint.dc(), &box, GetSysColorBrush(s.pushed ? COLOR_BTNFACE : COLOR_WINDOW));
    RECT edge = box;
    DrawEdge(paint.dc(), &edge, EDGE_SUNKEN, BF_RECT);
    if (s.check == BST_CHECKED) DrawCheckMark(paint.dc(), box);
    RECT text{kCheckBox + kCheckGap, r.top, r.right, r.bottom};
    const std::u16string caption = TextOf(window);
    DrawTextW(paint.dc(), caption.c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    if (GetFocus() == window) {
        RECT measured = text;
        DrawTextW(paint.dc(), caption.c_str(), -1, &measured, DT_LEFT | DT_SINGLELINE | DT_CALCRECT);
        measured.top = text.top + (text.bottom - text.top - (measured.bottom - measured.top)) / 2;
        measured.bottom = measured.top + TextHeight(paint.dc());
        InflateRect(&measured, 1, 0);
        DrawFocusRect(paint.dc(), &measured);
    }
}

// A group box draws only its frame and caption: the controls inside it show through.
void PaintGroupBox(const ControlPaint& paint, HWND window) {
    const RECT r = paint.client();
    const int textHeight = TextHeight(paint.dc());
    RECT frame{r.left, r.top + textHeight / 2, r.right, r.bottom};
    DrawEdge(paint.dc(), &frame, EDGE_ETCHED, BF_RECT);
    const std::u16string caption = TextOf(window);
    if (caption.empty()) return;
    RECT text{r.left + kGroupTextInset, r.top, r.right - kGroupTextInset, r.top + textHeight};
    DrawTextW(paint.dc(), caption.c_str(), -1, &text, DT_LEFT | DT_SINGLELINE | DT_CALCRECT);
    InflateRect(&text, 2, 0);
    paint.FillBackground(text);
    InflateRect(&text, -2, 0);
    DrawTextW(paint.dc(), caption.c_str(), -1, &text, DT_LEFT | DT_SINGLELINE);
}

void PaintButton(HWND window) {
    ControlPaint paint(window, WM_CTLCOLORBTN, COLOR_BTNFACE);
    const ControlState* s = StateOf(window);
    if (!s) return;
    const DWORD type = ButtonType(window);
    if (IsPushButton(type))
        PaintPushButton(paint, window, *s);
    else if (type == BS_GROUPBOX)
        PaintGroupBox(paint, window);
    else
        PaintCheckBox(paint, window, *s);
}

void SetPushed(HWND window, ControlState& s, bool pushed) {
    if (s.pushed == pushed) return;
    s.pushed = pushed;
    InvalidateRect(window, nullptr, TRUE);
}

// The button was clicked: an automatic check box changes, then the parent is told. The parent may
// destroy the button while it is told.
void Click(HWND window) {
    ControlState* s = StateOf(window);
    if (!s || !IsWindowEnabled(window)) return;
    if (ButtonType(window) == BS_AUTOCHECKBOX) {
        s->check = s->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        InvalidateRect(window, nullptr, TRUE);
    }
    Notify(window, BN_CLICKED);
}

bool Inside(HWND window, LPARAM lParam) {
    RECT client;
    GetClientRect(window, &client);
    return PtInRect(&client, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}) != FALSE;
}

LRESULT ButtonMouse(HWND window, UINT message, LPARAM lParam) {
    ControlState* s = StateOf(window);
    if (!s) return 0;
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetFocus(window);
        SetCapture(window);
        s->tracking = true;
        SetPushed(window, *s, true);
        break;
    case WM_MOUSEMOVE:
        if (s->tracking) SetPushed(window, *s, Inside(window, lParam));
        break;
    case WM_LBUTTONUP: {
        if (!s->tracking) break;
        s->tracking = false;
        ReleaseCapture();
        const bool clicked = s->pushed;
        SetPushed(window, *s, false);
        if (clicked) Click(window);
        break;
    }
    default:
        break;
    }
    return 0;
}

LRESULT ButtonKey(HWND window, UINT message, WPARAM key) {
    ControlState* s = StateOf(window);
    if (!s || key != VK_SPACE) return 0;
    if (message == WM_KEYDOWN) {
        s->spaceDown = true;
        SetPushed(window, *s, true);
    } else if (s->spaceDown) {
        s->spaceDown = false;
        SetPushed(window, *s, false);
        Click(window);
    }
    return 0;
}

LRESULT ButtonDialogCode(HWND window) {
    const DWORD type = ButtonType(window);
    if (type == BS_GROUPBOX) return DLGC_STATIC;
    if (type == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
    if (type == BS_PUSHBUTTON) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    return DLGC_BUTTON;
}

LRESULT ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (CommonMessage(window, message, wParam, result)) {
        if (message == WM_NCCREATE && ButtonType(window) == BS_GROUPBOX) window->mouseTransparent = true;
        return result;
    }
    ControlState* s = StateOf(window);
    switch (message) {
    case WM_PAINT:
        PaintButton(window);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
        return ButtonMouse(window, message, lParam);
    case WM_KEYDOWN:
    case WM_KEYUP:
        return ButtonKey(window, message, wParam);
    case WM_KILLFOCUS:
        if (s && s->spaceDown) {
            s->spaceDown = false;
            SetPushed(window, *s, false);
        }
        return 0;
    case WM_GETDLGCODE:
        return ButtonDialogCode(window);
    case BM_CLICK:
        Click(window);
        return 0;
    case BM_GETCHECK:
        return s ? static_cast<LRESULT>(s->check) : 0;
    case BM_SETCHECK:
        if (s) s->check = wParam == BST_CHECKED ? BST_CHECKED : BST_UNCHECKED;
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    case BM_GETSTATE:
        return s ? static_cast<LRESULT>(s->check) | (s->pushed ? BST_PUSHED : 0) |
                       (GetFocus() == window ? BST_FOCUS : 0)
                 : 0;
    case BM_SETSTYLE:
        SetWindowLongPtrW(window, GWL_STYLE,
                          static_cast<LONG_PTR>((StyleOf(window) & ~BS_TYPEMASK) | (wParam & BS_TYPEMASK)));
        if (lParam) InvalidateRect(window, nullptr, TRUE);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

// --- Edit ---

std::u16string Shown(HWND window, const ControlState& s) {
    std::u16string text = TextOf(window);
    if ((StyleOf(window) & ES_PASSWORD) && s.passwordChar) text.assign(text.size(), s.passwordChar);
    return text;
}

int Width(HDC dc, std::u16string_view text) {
    SIZE size{};
    if (!text.empty()) GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
}

void PaintEdit(HWND window) {
    ControlPaint paint(window, WM_CTLCOLOREDIT, COLOR_WINDOW);
    const ControlState* s = StateOf(window);
    RECT r = paint.client();
    paint.FillBackground(r);
    DrawEdge(paint.dc(), &r, EDGE_SUNKEN, BF_RECT);
    if (!s) return;
    const std::u16string text = Shown(window, *s);
    SetTextColor(paint.dc(), GetSysColor(IsWindowEnabled(window) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    const int top = (r.bottom - TextHeight(paint.dc())) / 2;
    const int from = std::min(s->selStart, s->selEnd), to = std::max(s->selStart, s->selEnd);
    const bool focused = GetFocus() == window;
    if (focused && from != to) {
        const std::u16string_view all(text);
        RECT sel{kEditInset + Width(paint.dc(), all.substr(0, static_cast<std::size_t>(from))), top,
                 kEditInset + Width(paint.dc(), all.substr(0, static_cast<std::size_t>(to))),
                 top + TextHeight(paint.dc())};
        FillRect(paint.dc(), &sel, GetSysColorBrush(COLOR_HIGHLIGHT));
    }
    TextOutW(paint.dc(), kEditInset, top, text.c_str(), static_cast<int>(text.size()));
    if (focused) {
        const int x =
            kEditInset +
            Width(paint.dc(), std::u16string_view(text).substr(0, static_cast<std::size_t>(s->selEnd)));
        RECT caret{x, top, x + 1, top + TextHeight(paint.dc())};
        FillRect(paint.dc(), &caret, GetSysColorBrush(COLOR_WINDOWTEXT));
    }
}

void Select(HWND window, ControlState& s, int start, int end) {
    const int length = GetWindowTextLengthW(window);
    s.selStart = start < 0 ? length : std::min(start, length);
    s.selEnd = end < 0 ? length : std::min(end, length);
    InvalidateRect(window, nullptr, TRUE);
}

void ReplaceSelection(HWND window, ControlState& s, std::u16string_view with) {
    std::u16string text = TextOf(window);
    const auto from = static_cast<std::size_t>(std::min(s.selStart, s.selEnd));
    const auto to = static_cast<std::size_t>(std::max(s.selStart, s.selEnd));
    text.replace(from, to - from, with);
    SetWindowTextW(window, text.c_str());
    s.selStart = s.selEnd = static_cast<int>(from + with.size());
    Notify(window, EN_CHANGE);
}

WCHAR Cased(DWORD style, WCHAR c) {
    if ((style & ES_UPPERCASE) && c >= u'a' && c <= u'z') return static_cast<WCHAR>(c - u'a' + u'A');
    if ((style & ES_LOWERCASE) && c >= u'A' && c <= u'Z') return static_cast<WCHAR>(c - u'A' + u'a');
    return c;
}

void TypeCharacter(HWND window, ControlState& s, WCHAR c) {
    const DWORD style = StyleOf(window);
    if (c == VK_BACK) {
        if (s.selStart == s.selEnd && s.selEnd > 0) s.selStart = s.selEnd - 1;
        if (s.selStart != s.selEnd) ReplaceSelection(window, s, u"");
        return;
    }
    if (c < u' ') return;
    if ((style & ES_NUMBER) && (c < u'0' || c > u'9')) return;
    const int length = GetWindowTextLengthW(window) - std::abs(s.selEnd - s.selStart);
    if (length >= s.limit) {
        Notify(window, EN_MAXTEXT);
        return;
    }
    const WCHAR typed = Cased(style, c);
    ReplaceSelection(window, s, std::u16string_view(&typed, 1));
}

void EditKey(HWND window, ControlState& s, WPARAM key) {
    const int length = GetWindowTextLengthW(window);
    const bool extend = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    int caret = s.selEnd;
    switch (key) {
    case VK_LEFT:
        caret = std::max(0, caret - 1);
        break;
    case VK_RIGHT:
        caret = std::min(length, caret + 1);
        break;
    case VK_HOME:
        caret = 0;
        break;
    case VK_END:
        caret = length;
        break;
    case VK_DELETE:
        if (s.selStart == s.selEnd && s.selEnd < length) s.selEnd = s.selEnd + 1;
        if (s.selStart != s.selEnd) ReplaceSelection(window, s, u"");
        return;
    default:
        return;
    }
    Select(window, s, extend ? s.selStart : caret, caret);
}

// The caret position nearest a point of the client area.
int PositionAt(HWND window, const ControlState& s, int x) {
    HDC dc = GetDC(window);
    if (s.font) SelectFont(dc, s.font);
    const std::u16string text = Shown(window, s);
    int best = 0;
    for (std::size_t i = 1; i <= text.size(); ++i) {
        const int before = kEditInset + Width(dc, std::u16string_view(text).substr(0, i - 1));
        const int after = kEditInset + Width(dc, std::u16string_view(text).substr(0, i));
        if (x >= (before + after) / 2) best = static_cast<int>(i);
    }
    ReleaseDC(window, dc);
    return best;
}

LRESULT EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (CommonMessage(window, message, wParam, result)) return result;
    ControlState* s = StateOf(window);
    if (!s) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_PAINT:
        PaintEdit(window);
        return 0;
    case WM_CHAR:
        TypeCharacter(window, *s, static_cast<WCHAR>(wParam));
        return 0;
    case WM_KEYDOWN:
        EditKey(window, *s, wParam);
        return 0;
    case WM_LBUTTONDOWN: {
        SetFocus(window);
        const int at = PositionAt(window, *s, GET_X_LPARAM(lParam));
        Select(window, *s, at, at);
        return 0;
    }
    case WM_SETTEXT:
        DefWindowProcW(window, message, wParam, lParam);
        Select(window, *s, -1, -1);
        return TRUE;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_HASSETSEL;
    case EM_SETLIMITTEXT:
        s->limit = wParam == 0 || wParam > 0x7FFFFFFE ? 0x7FFFFFFE : static_cast<int>(wParam);
        return 0;
    case EM_GETLIMITTEXT:
        return s->limit;
    case EM_SETSEL:
        Select(window, *s, static_cast<int>(static_cast<INT_PTR>(wParam)), static_cast<int>(lParam));
        return 0;
    case EM_GETSEL:
        return MAKELPARAM(std::min(s->selStart, s->selEnd), std::max(s->selStart, s->selEnd));
    case EM_SETPASSWORDCHAR:
        s->passwordChar = static_cast<WCHAR>(wParam);
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

void RegisterDialogClasses() {
    AddSystemClass(u"#32770", DialogWindowProc, DialogExtraBytes);
    AddSystemClass(u"Static", StaticProc, sizeof(LONG_PTR));
    AddSystemClass(u"Button", ButtonProc, sizeof(LONG_PTR));
    AddSystemClass(u"Edit", EditProc, sizeof(LONG_PTR));
    AddSystemClass(u"ListBox", ListBoxProc, sizeof(LONG_PTR));
    AddSystemClass(u"ScrollBar", ScrollBarProc, sizeof(LONG_PTR));
}

} // namespace win32
