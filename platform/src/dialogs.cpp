// The dialog manager: templates read into windows of the dialog class and its controls, the modal loop,
// the default handling of dialogs and their keyboard navigation.
#include "dialog_internal.h"
#include "win32/font.h"
#include "win32/gdi.h"
#include "win32/resource.h"
#include "window_internal.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace win32 {

namespace testing {
namespace {
void (*dialogShownHook)(HWND) = nullptr;
} // namespace
void SetDialogShownHook(void (*hook)(HWND dialog)) {
    dialogShownHook = hook;
}
} // namespace testing

namespace {

constexpr int kStateSlot = 3 * sizeof(LONG_PTR);
constexpr WORD kExtendedSignature = 0xFFFF;
constexpr int kScreenDpi = 96;
// Templates given by address alone are read at most this far.
constexpr std::size_t kLargestTemplate = 0x10000;

// ---- templates ----

struct ItemSpec {
    DWORD style = 0, exStyle = 0;
    SHORT x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    std::u16string className;
    std::u16string text;
    std::optional<WORD> textResource; // a title given by number (an icon)
    const BYTE* creationData = nullptr;
};

struct DialogSpec {
    DWORD style = 0, exStyle = 0;
    SHORT x = 0, y = 0, cx = 0, cy = 0;
    std::u16string className;
    std::u16string title;
    WORD pointSize = 0;
    WORD weight = FW_NORMAL;
    BYTE italic = 0, charSet = DEFAULT_CHARSET;
    std::u16string face;
    std::vector<ItemSpec> items;
};

// Reads little-endian words of a template; every read is checked against its end.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, std::size_t size) : data_(data), size_(size) {}
    bool Word(WORD& out) {
        if (pos_ + 2 > size_) return false;
        out = static_cast<WORD>(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
        return true;
    }
    bool Short(SHORT& out) {
        WORD w = 0;
        if (!Word(w)) return false;
        out = static_cast<SHORT>(w);
        return true;
    }
    bool Dword(DWORD& out) {
        WORD low = 0, high = 0;
        if (!Word(low) || !Word(high)) return false;
        out = static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16);
        return true;
    }
    bool Byte(BYTE& out) {
        if (pos_ + 1 > size_) return false;
        out = data_[pos_++];
        return true;
    }
    bool Text(std::u16string& out) {
        out.clear();
        for (WORD w = 0; Word(w);) {
            if (w == 0) return true;
            out.push_back(static_cast<char16_t>(w));
        }
        return false;
    }
    // A string, or 0xFFFF and a number; 0 alone is neither.
    bool TextOrNumber(std::u16string& text, std::optional<WORD>& number) {
        WORD first = 0;
        if (!Word(first)) return false;
        number.reset();
        text.clear();
        if (first == 0) return true;
        if (first == 0xFFFF) {
            WORD n = 0;
            if (!Word(n)) return false;
            number = n;
            return true;
        }
        pos_ -= 2;
        return Text(text);
    }
    bool Skip(std::size_t bytes) {
        if (bytes > size_ - pos_) return false;
        pos_ += bytes;
        return true;
    }
    void AlignToDword() { pos_ = std::min(size_, (pos_ + 3) & ~std::size_t{3}); }
    const BYTE* Here() const { return data_ + pos_; }

private:
    const BYTE* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

const char16_t* ClassOfOrdinal(WORD ordinal) {
    switch (ordinal) {
    case DialogClassButton:
        return u"Button";
    case DialogClassEdit:
        return u"Edit";
    case DialogClassStatic:
        return u"Static";
    case DialogClassListBox:
        return u"ListBox";
    default:
        return nullptr;
    }
}

bool ReadClass(TemplateReader& r, std::u16string& name) {
    std::optional<WORD> ordinal;
    if (!r.TextOrNumber(name, ordinal)) return false;
    if (ordinal) {
        const char16_t* known = ClassOfOrdinal(*ordinal);
        if (!known) return false;
        name = known;
    }
    return true;
}

bool ReadItem(TemplateReader& r, bool extended, ItemSpec& item) {
    r.AlignToDword();
    DWORD helpId = 0;
    if (extended) {
        if (!r.Dword(helpId) || !r.Dword(item.exStyle) || !r.Dword(item.style)) return false;
    } else if (!r.Dword(item.style) || !r.Dword(item.exStyle)) {
        return false;
    }
    if (!r.Short(item.x) || !r.Short(item.y) || !r.Short(item.cx) || !r.Short(item.cy)) return false;
    if (extended) {
        if (!r.Dword(item.id)) return false;
    } else {
        WORD id = 0;
        if (!r.Word(id)) return false;
        item.id = id;
    }
    if (!ReadClass(r, item.className) || item.className.empty()) return false;
    if (!r.TextOrNumber(item.text, item.textResource)) return false;
    WORD extra = 0;
    if (!r.Word(extra)) return false;
    item.creationData = extra ? r.Here() : nullptr;
    return r.Skip(extra);
}

std::optional<DialogSpec> ReadTemplate(const BYTE* data, std::size_t size) {
    if (!data) return std::nullopt;
    TemplateReader r(data, size);
    DialogSpec d;
    WORD version = 0, signature = 0;
    if (!r.Word(version) || !r.Word(signature)) return std::nullopt;
    const bool extended = version == 1 && signature == kExtendedSignature;
    WORD count = 0;
    if (extended) {
        DWORD helpId = 0;
        if (!r.Dword(helpId) || !r.Dword(d.exStyle) || !r.Dword(d.style)) return std::nullopt;
    } else {
        d.style = static_cast<DWORD>(version) | (static_cast<DWORD>(signature) << 16);
        if (!r.Dword(d.exStyle)) return std::nullopt;
    }
    if (!r.Word(count) || !r.Short(d.x) || !r.Short(d.y) || !r.Short(d.cx) || !r.Short(d.cy))
        return std::nullopt;
    std::u16string menu;
    std::optional<WORD> menuNumber;
    if (!r.TextOrNumber(menu, menuNumber) || !r.TextOrNumber(d.className, menuNumber) || !r.Text(d.title))
        return std::nullopt;
    if (d.style & DS_SETFONT) {
        if (!r.Word(d.pointSize)) return std::nullopt;
        if (extended && (!r.Word(d.weight) || !r.Byte(d.italic) || !r.Byte(d.charSet))) return std::nullopt;
        if (!r.Text(d.face)) return std::nullopt;
    }
    d.items.resize(count);
    for (ItemSpec& item : d.items)
        if (!ReadItem(r, extended, item)) return std::nullopt;
    return d;
}

// ---- dialog state ----

struct DialogState {
    DLGPROC proc = nullptr;
    HFONT font = nullptr;
    bool ownsFont = false;
    int baseX = 4, baseY = 8; // dialog base units, in pixels
    bool modal = false;
    bool ended = false;
    INT_PTR result = 0;
    HWND owner = nullptr;
    bool ownerWasEnabled = false;
    HWND lastFocus = nullptr;
    WORD defaultId = IDOK;
};

DialogState* StateOf(HWND dialog) {
    if (!Win(dialog) || dialog->cls->wc.lpfnWndProc != DialogWindowProc) return nullptr;
    return reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, kStateSlot));
}

HFONT DialogFont(const DialogSpec& d, DialogState& state) {
    if (!(d.style & DS_SETFONT)) return GetStockFont(SYSTEM_FONT);
    LOGFONTW lf{};
    lf.lfHeight = -static_cast<LONG>((d.pointSize * kScreenDpi + 36) / 72);
    lf.lfWeight = d.weight;
    lf.lfItalic = d.italic;
    lf.lfCharSet = d.charSet;
    std::copy_n(d.face.begin(), std::min<std::size_t>(d.face.size(), LF_FACESIZE - 1), lf.lfFaceName);
    HFONT font = CreateFontIndirectW(&lf);
    if (!font) return GetStockFont(SYSTEM_FONT);
    state.ownsFont = true;
    return font;
}

// The dialog's base units: the average width of the letters, and the font's height.
void MeasureBaseUnits(DialogState& state) {
    static constexpr char16_t kLetters[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE size{};
    TEXTMETRICW metrics{};
    if (!GetFontTextExtentW(state.font, kLetters, 52, &size) || !GetFontTextMetricsW(state.font, &metrics))
        return;
    state.baseX = std::max<LONG>(1, (size.cx / 26 + 1) / 2);
    state.baseY = std::max<LONG>(1, metrics.tmHeight);
}

// Dialog units to pixels, rounded: four horizontal and eight vertical units to a base unit.
int UnitsX(const DialogState& s, int units) {
    return (units * s.baseX + (units < 0 ? -2 : 2)) / 4;
}
int UnitsY(const DialogState& s, int units) {
    return (units * s.baseY + (units < 0 ? -4 : 4)) / 8;
}

// A box of a template: its position and its size are each converted.
RECT ToPixels(const DialogState& s, SHORT x, SHORT y, SHORT cx, SHORT cy) {
    const int left = UnitsX(s, x), top = UnitsY(s, y);
    return RECT{left, top, left + UnitsX(s, cx), top + UnitsY(s, cy)};
}

// Where the dialog's window goes: centred on its owner (or the screen) when it asks, else at its position
// from the owner's client area.
RECT PlaceDialog(const DialogSpec& d, const DialogState& s, HWND owner) {
    RECT client = ToPixels(s, 0, 0, d.cx, d.cy);
    RECT frame = client;
    AdjustWindowRectEx(&frame, d.style, FALSE, d.exStyle);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    RECT around{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (owner) GetWindowRect(owner, &around);
    POINT at{};
    if (d.style & DS_CENTER) {
        at = POINT{around.left + (around.right - around.left - width) / 2,
                   around.top + (around.bottom - around.top - height) / 2};
    } else {
        const RECT offset = ToPixels(s, d.x, d.y, 0, 0);
        at = POINT{offset.left + frame.left, offset.top + frame.top};
        if (owner) ClientToScreen(owner, &at);
    }
    return RECT{at.x, at.y, at.x + width, at.y + height};
}

bool MakeItems(HWND dialog, HINSTANCE instance, const DialogSpec& d, const DialogState& s) {
    for (const ItemSpec& item : d.items) {
        const RECT r = ToPixels(s, item.x, item.y, item.cx, item.cy);
        HWND control = CreateWindowExW(item.exStyle, item.className.c_str(), item.text.c_str(),
                                       (item.style | WS_CHILD) & ~WS_POPUP, r.left, r.top, r.right - r.left,
                                       r.bottom - r.top, dialog, reinterpret_cast<HMENU>(item.id), instance,
                                       const_cast<BYTE*>(item.creationData));
        if (!control) return false;
        // The first control is the first of the tab order and of the z-order.
        SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(s.font), FALSE);
    }
    return true;
}

// A control the keyboard can reach: shown by its own style (the dialog may not show yet) and enabled.
bool Usable(HWND control) {
    return control && (GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) && IsWindowEnabled(control);
}

std::vector<HWND> Controls(HWND dialog) {
    std::vector<HWND> all;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        all.push_back(c);
    return all;
}

DWORD StyleOf(HWND window) {
    return static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
}

// Focus given by the dialog's keys: an edit has its whole text selected.
void FocusControl(HWND control) {
    if (!control) return;
    if (SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(control, EM_SETSEL, 0, -1);
    SetFocus(control);
}

HWND Create(HINSTANCE instance, const BYTE* data, std::size_t size, HWND owner, DLGPROC proc, LPARAM param,
            bool modal) {
    const std::optional<DialogSpec> d = ReadTemplate(data, size);
    if (!d) return nullptr;
    // A modeless dialog of WS_CHILD lies inside its owner, as a part of it.
    const bool inside = (d->style & WS_CHILD) && owner && !modal;
    auto state = std::make_unique<DialogState>();
    state->proc = proc;
    state->modal = modal;
    state->owner = owner && !inside ? TopLevelOf(owner) : nullptr;
    state->font = DialogFont(*d, *state);
    MeasureBaseUnits(*state);
    const RECT place =
        inside ? ToPixels(*state, d->x, d->y, d->cx, d->cy) : PlaceDialog(*d, *state, state->owner);
    DialogState* kept = state.get();
    const DWORD style = inside ? (d->style & ~(WS_VISIBLE | WS_POPUP)) | WS_CHILD
                               : (d->style & ~(WS_VISIBLE | WS_CHILD)) | WS_POPUP;
    HWND dialog = CreateWindowExW(d->exStyle, u"#32770", d->title.c_str(), style, place.left, place.top,
                                  place.right - place.left, place.bottom - place.top,
                                  inside ? owner : state->owner, nullptr, instance, state.get());
    if (!dialog) {
        if (kept->ownsFont) DeleteFont(kept->font);
        return nullptr;
    }
    state.release(); // the window owns it now
    SendMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(kept->font), FALSE);
    if (!MakeItems(dialog, instance, *d, *kept)) {
        DestroyWindow(dialog);
        return nullptr;
    }
    HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
    if (SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param) && IsWindow(dialog))
        FocusControl(first);
    if (!IsWindow(dialog)) return nullptr;
    if (modal || (d->style & WS_VISIBLE)) ShowWindow(dialog, SW_SHOW);
    if (testing::dialogShownHook && !inside) testing::dialogShownHook(dialog);
    return dialog;
}

std::pair<const BYTE*, std::size_t> FindTemplate(HINSTANCE instance, LPCWSTR name) {
    HRSRC found = FindResourceW(instance, name, MAKEINTRESOURCEW(RT_DIALOG));
    if (!found) return {nullptr, 0};
    return {static_cast<const BYTE*>(LockResource(LoadResource(instance, found))),
            SizeofResource(instance, found)};
}

INT_PTR RunModal(HWND dialog) {
    DialogState* s = StateOf(dialog);
    if (!s) return -1;
    if (s->owner) s->ownerWasEnabled = EnableWindow(s->owner, FALSE) == FALSE;
    MSG msg{};
    while (IsWindow(dialog) && !StateOf(dialog)->ended) {
        if (!GetMessageW(&msg, nullptr, 0, 0)) {
            // The quit is the caller's loop's to see.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (CallMsgFilterW(&msg, MSGF_DIALOGBOX)) continue;
        if (!IsDialogMessageW(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    INT_PTR result = -1;
    if (DialogState* left = StateOf(dialog)) {
        result = left->result;
        if (left->owner && left->ownerWasEnabled) EnableWindow(left->owner, TRUE);
        DestroyWindow(dialog);
    }
    return result;
}

// Messages whose answer is what the procedure returns rather than DWLP_MSGRESULT.
bool AnswersDirectly(UINT message) {
    return message == WM_INITDIALOG || (message >= WM_CTLCOLOREDIT && message <= WM_CTLCOLORSTATIC) ||
           message == 0x0037 /* WM_QUERYDRAGICON */;
}

HWND NextInDirection(HWND dialog, HWND from, bool previous, bool inGroup) {
    return inGroup ? GetNextDlgGroupItem(dialog, from, previous) : GetNextDlgTabItem(dialog, from, previous);
}

LRESULT DefaultDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogState* s = StateOf(dialog);
    switch (message) {
    case WM_NCCREATE: {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(dialog, kStateSlot, reinterpret_cast<LONG_PTR>(cs ? cs->lpCreateParams : nullptr));
        if (DialogState* created = StateOf(dialog))
            SetWindowLongPtrW(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(created->proc));
        return TRUE;
    }
    case WM_NCDESTROY:
        if (s) {
            if (s->ownsFont) DeleteFont(s->font);
            delete s;
            SetWindowLongPtrW(dialog, kStateSlot, 0);
        }
        return 0;
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(dialog, &client);
        auto brush = reinterpret_cast<HBRUSH>(
            SendMessageW(dialog, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(dialog)));
        FillRect(reinterpret_cast<HDC>(wParam), &client, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    case WM_CLOSE:
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
        return 0;
    case WM_SETFONT:
        if (s) s->font = reinterpret_cast<HFONT>(wParam);
        return 0;
    case WM_GETFONT:
        return s ? reinterpret_cast<LRESULT>(s->font) : 0;
    case DM_GETDEFID:
        return s ? MAKELONG(s->defaultId, DC_HASDEFID) : 0;
    case DM_SETDEFID:
        if (s) s->defaultId = static_cast<WORD>(wParam);
        return TRUE;
    case WM_NEXTDLGCTL: {
        HWND to = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                 : GetNextDlgTabItem(dialog, GetFocus(), wParam != 0 ? TRUE : FALSE);
        FocusControl(to);
        return 0;
    }
    case WM_SETFOCUS: {
        HWND to = s && IsWithin(dialog, s->lastFocus) && s->lastFocus != dialog
                      ? s->lastFocus
                      : GetNextDlgTabItem(dialog, nullptr, FALSE);
        if (to) SetFocus(to);
        return 0;
    }
    default:
        return DefWindowProcW(dialog, message, wParam, lParam);
    }
}

// The command a key press means for the dialog, if any: Return the default (or focused) button, Escape
// IDCANCEL.
std::optional<int> KeyCommand(HWND dialog, HWND focus, WPARAM key, LRESULT code) {
    if (code & DLGC_WANTALLKEYS) return std::nullopt;
    if (key == VK_ESCAPE) return IDCANCEL;
    if (key != VK_RETURN) return std::nullopt;
    if (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) return GetDlgCtrlID(focus);
    const LRESULT def = SendMessageW(dialog, DM_GETDEFID, 0, 0);
    return HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
}

bool DialogKey(HWND dialog, MSG& msg) {
    HWND focus = msg.hwnd;
    const LRESULT code = SendMessageW(focus, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
    const WPARAM key = msg.wParam;
    if (key == VK_TAB && !(code & (DLGC_WANTTAB | DLGC_WANTALLKEYS))) {
        FocusControl(GetNextDlgTabItem(dialog, focus == dialog ? nullptr : focus,
                                       (GetKeyState(VK_SHIFT) & 0x8000) ? TRUE : FALSE));
        return true;
    }
    const bool arrow = key == VK_LEFT || key == VK_UP || key == VK_RIGHT || key == VK_DOWN;
    if (arrow && !(code & (DLGC_WANTARROWS | DLGC_WANTALLKEYS)) && focus != dialog) {
        FocusControl(NextInDirection(dialog, focus, key == VK_LEFT || key == VK_UP, true));
        return true;
    }
    const std::optional<int> command = KeyCommand(dialog, focus, key, code);
    if (!command) return false;
    HWND button = GetDlgItem(dialog, *command);
    if (button && !IsWindowEnabled(button)) return true;
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(*command, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return true;
}

} // namespace

bool IsWithin(HWND ancestor, HWND window) {
    for (WindowObject* w = Win(window); w; w = IsChild(w) ? Win(w->parent) : nullptr)
        if (w == ancestor) return true;
    return false;
}

LRESULT DialogWindowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE || message == WM_NCDESTROY)
        return DefaultDialogMessage(dialog, message, wParam, lParam);
    if (message == WM_KILLFOCUS || message == WM_ACTIVATE) {
        // The control that had the focus gets it back when the dialog is active again.
        if (DialogState* s = StateOf(dialog); s && IsWithin(dialog, GetFocus())) s->lastFocus = GetFocus();
    }
    auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(dialog, DWLP_DLGPROC));
    if (proc) {
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 0);
        const INT_PTR handled = proc(dialog, message, wParam, lParam);
        if (!IsWindow(dialog)) return 0;
        if (handled) return AnswersDirectly(message) ? handled : GetWindowLongPtrW(dialog, DWLP_MSGRESULT);
    }
    return DefaultDialogMessage(dialog, message, wParam, lParam);
}

LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefaultDialogMessage(dialog, message, wParam, lParam);
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, const void* dialogTemplate, HWND owner, DLGPROC proc,
                                LPARAM param) {
    HWND dialog = Create(instance, static_cast<const BYTE*>(dialogTemplate), kLargestTemplate, owner, proc,
                         param, true);
    return dialog ? RunModal(dialog) : -1;
}

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR name, HWND owner, DLGPROC proc, LPARAM param) {
    const auto [data, size] = FindTemplate(instance, name);
    HWND dialog = data ? Create(instance, data, size, owner, proc, param, true) : nullptr;
    return dialog ? RunModal(dialog) : -1;
}

HWND CreateDialogIndirectParamW(HINSTANCE instance, const void* dialogTemplate, HWND owner, DLGPROC proc,
                                LPARAM param) {
    return Create(instance, static_cast<const BYTE*>(dialogTemplate), kLargestTemplate, owner, proc, param,
                  false);
}

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR name, HWND owner, DLGPROC proc, LPARAM param) {
    const auto [data, size] = FindTemplate(instance, name);
    return data ? Create(instance, data, size, owner, proc, param, false) : nullptr;
}

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param) {
    return DialogBoxParamW(instance, reinterpret_cast<LPCWSTR>(name), owner, proc, param);
}

INT_PTR DialogBoxIndirectParamA(HINSTANCE instance, const void* dialogTemplate, HWND owner, DLGPROC proc,
                                LPARAM param) {
    return DialogBoxIndirectParamW(instance, dialogTemplate, owner, proc, param);
}

HWND CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param) {
    return CreateDialogParamW(instance, reinterpret_cast<LPCWSTR>(name), owner, proc, param);
}

HWND CreateDialogIndirectParamA(HINSTANCE instance, const void* dialogTemplate, HWND owner, DLGPROC proc,
                                LPARAM param) {
    return CreateDialogIndirectParamW(instance, dialogTemplate, owner, proc, param);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    DialogState* s = StateOf(dialog);
    if (!s) return FALSE;
    s->result = result;
    s->ended = true;
    if (s->modal && s->owner && s->ownerWasEnabled) {
        EnableWindow(s->owner, TRUE);
        s->ownerWasEnabled = false;
    }
    ShowWindow(dialog, SW_HIDE);
    return TRUE;
}

BOOL IsDialogMessageW(HWND dialog, MSG* msg) {
    if (!msg || !StateOf(dialog) || !IsWithin(dialog, msg->hwnd)) return FALSE;
    if (msg->message == WM_KEYDOWN && DialogKey(dialog, *msg)) return TRUE;
    TranslateMessage(msg);
    DispatchMessageW(msg);
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) {
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (GetDlgCtrlID(c) == id) return c;
    return nullptr;
}

int GetDlgCtrlID(HWND control) {
    return static_cast<int>(GetWindowLongPtrW(control, GWLP_ID));
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
    HWND control = GetDlgItem(dialog, id);
    return control ? static_cast<BOOL>(SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)))
                   : FALSE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int capacity) {
    if (!buffer || capacity <= 0) return 0;
    buffer[0] = 0;
    HWND control = GetDlgItem(dialog, id);
    if (!control) return 0;
    return static_cast<UINT>(
        SendMessageW(control, WM_GETTEXT, static_cast<WPARAM>(capacity), reinterpret_cast<LPARAM>(buffer)));
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND control = GetDlgItem(dialog, id);
    return control ? SendMessageW(control, message, wParam, lParam) : 0;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) return FALSE;
    SendMessageW(control, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    return static_cast<UINT>(SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0));
}

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
    const std::vector<HWND> all = Controls(dialog);
    if (all.empty()) return nullptr;
    const auto n = static_cast<std::ptrdiff_t>(all.size());
    const auto found = std::find(all.begin(), all.end(), control);
    const std::ptrdiff_t from = found == all.end() ? (previous ? 0 : n - 1) : found - all.begin();
    const std::ptrdiff_t step = previous ? n - 1 : 1;
    for (std::ptrdiff_t k = 1; k <= n; ++k) {
        HWND candidate = all[static_cast<std::size_t>((from + k * step) % n)];
        if (Usable(candidate) && (StyleOf(candidate) & WS_TABSTOP)) return candidate;
    }
    return nullptr;
}

HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
    const std::vector<HWND> all = Controls(dialog);
    const auto at = std::find(all.begin(), all.end(), control);
    if (at == all.end()) return nullptr;
    // The group runs from a control with WS_GROUP up to the next one with it.
    auto first = at;
    while (first != all.begin() && !(StyleOf(*first) & WS_GROUP))
        --first;
    auto last = at + 1;
    while (last != all.end() && !(StyleOf(*last) & WS_GROUP))
        ++last;
    const std::vector<HWND> group(first, last);
    const auto n = static_cast<std::ptrdiff_t>(group.size());
    const std::ptrdiff_t from = std::find(group.begin(), group.end(), control) - group.begin();
    for (std::ptrdiff_t k = 1; k <= n; ++k) {
        HWND candidate = group[static_cast<std::size_t>((from + (previous ? (n - 1) * k : k)) % n)];
        if (Usable(candidate)) return candidate;
    }
    return control;
}

BOOL MapDialogRect(HWND dialog, RECT* rect) {
    DialogState* s = StateOf(dialog);
    if (!s || !rect) return FALSE;
    *rect = RECT{UnitsX(*s, rect->left), UnitsY(*s, rect->top), UnitsX(*s, rect->right),
                 UnitsY(*s, rect->bottom)};
    return TRUE;
}

} // namespace win32
