// Window classes, window creation and destruction, geometry, styles and per-window data.
#include "handle_storage.h"
#include "menu_internal.h"
#include "win32/kernel.h"
#include "window_internal.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <unordered_set>

namespace win32 {
namespace {

std::recursive_mutex registryLock;
std::unordered_set<WindowObject*>& LiveWindows() {
    static std::unordered_set<WindowObject*> live;
    return live;
}
std::vector<HWND>& TopLevelWindows() {
    static std::vector<HWND> tops; // front = top of the z-order
    return tops;
}

// Class names compare without regard to case: the table is keyed by the folded name.
std::u16string ClassKey(LPCWSTR name) {
    std::u16string out;
    for (; name && *name; ++name)
        out.push_back(static_cast<char16_t>(FoldCase(*name)));
    return out;
}

std::u16string Copy(LPCWSTR text) {
    return text ? std::u16string(text) : std::u16string();
}

std::map<std::u16string, std::unique_ptr<ClassObject>>& Classes() {
    static std::map<std::u16string, std::unique_ptr<ClassObject>> classes;
    return classes;
}

// Frame sizes of the non-client area. Top-level windows get the same insets so that window and client
// rectangles stay consistent although the window manager draws the real decoration.
constexpr int kThickFrame = 4;
constexpr int kDialogFrame = 3;
constexpr int kBorder = 1;
constexpr int kEdge = 2;
constexpr int kCaption = 19;
constexpr int kMenuBar = 19;

LRESULT MdiClientProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void ForgetProperties(WindowObject* w);

struct MdiClientState {
    HWND active = nullptr;
};

// Class atoms come from the range of string atoms; the lowest one no registered class holds.
ATOM FreeClassAtom() {
    constexpr ATOM FirstClassAtom = 0xC000;
    for (ATOM atom = FirstClassAtom; atom != 0; ++atom) {
        const bool taken = std::any_of(Classes().begin(), Classes().end(),
                                       [&](const auto& entry) { return entry.second->atom == atom; });
        if (!taken) return atom;
    }
    return 0;
}

void RegisterSystemClasses() {
    static bool done = false;
    if (done) return;
    done = true;
    AddSystemClass(u"mdiclient", MdiClientProc, sizeof(void*));
    RegisterDialogClasses();
}

ClassObject* FindClass(LPCWSTR name) {
    RegisterSystemClasses();
    if (!name || reinterpret_cast<ULONG_PTR>(name) < 0x10000) {
        const auto atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name));
        for (auto& [key, cls] : Classes())
            if (atom && cls->atom == atom) return cls.get();
        return nullptr;
    }
    auto it = Classes().find(ClassKey(name));
    return it == Classes().end() ? nullptr : it->second.get();
}

void Unlink(WindowObject* w, HWND self) {
    auto& list = w->parent && IsChild(w) ? Win(w->parent)->children : TopLevelWindows();
    list.erase(std::remove(list.begin(), list.end(), self), list.end());
}

int ClientWidth(const WindowObject* w) {
    const RECT in = FrameInsets(w->style, w->exStyle, w->menu && !IsChild(w));
    return std::max<LONG>(0, (w->rect.right - w->rect.left) - in.left - in.right);
}
int ClientHeight(const WindowObject* w) {
    const RECT in = FrameInsets(w->style, w->exStyle, w->menu && !IsChild(w));
    return std::max<LONG>(0, (w->rect.bottom - w->rect.top) - in.top - in.bottom);
}

void FreeWindow(HWND handle) {
    WindowObject* w = Win(handle);
    if (!w) return;
    Unlink(w, handle);
    RemoveWindowTimers(handle);
    ForgetInputWindow(handle);
    // Keys still on their way are the keyboard's, not the window's: they go where the keyboard is now. A
    // dialog closed by a key's press would otherwise take the key's release with it, and the key would
    // stay down for the program.
    HWND heir = KeyboardWindow();
    if (heir && (heir == handle || heir->queue != w->queue)) heir = nullptr;
    {
        std::lock_guard guard(w->queue->lock);
        auto& q = w->queue->posted;
        for (MSG& m : q)
            if (m.hwnd == handle && heir && m.message >= WM_KEYFIRST && m.message <= WM_KEYLAST)
                m.hwnd = heir;
        q.erase(std::remove_if(q.begin(), q.end(), [&](const MSG& m) { return m.hwnd == handle; }), q.end());
    }
    FreeDc(w->ownDc);
    ForgetMenuWindow(handle);
    // A menu still set on a window goes with it; one taken off before stays its owner's to destroy.
    if (HMENU menu = IsChild(w) ? nullptr : w->menu) {
        w->menu = nullptr;
        DestroyMenu(menu);
    }
    DestroySdlWindow(w);
    ForgetProperties(w);
    {
        std::lock_guard guard(registryLock);
        LiveWindows().erase(w);
    }
    detail::DeleteHandleObject(w);
}

void DestroyTree(HWND handle) {
    WindowObject* w = Win(handle);
    if (!w || w->destroying) return;
    w->destroying = true;
    if (!IsChild(w)) PassActivationFrom(handle);
    if (IsChild(w) && (w->style & WS_VISIBLE) && Win(w->parent)) {
        RECT r = w->rect;
        InvalidateRect(w->parent, &r, TRUE);
    }
    SendMessageW(handle, WM_DESTROY, 0, 0);
    for (HWND child : std::vector<HWND>(Win(handle) ? w->children : std::vector<HWND>{}))
        DestroyTree(child);
    std::vector<HWND> owned;
    for (HWND top : TopLevelWindows())
        if (Win(top) && Win(top)->owner == handle) owned.push_back(top);
    for (HWND top : owned)
        DestroyTree(top);
    if (Win(handle)) SendMessageW(handle, WM_NCDESTROY, 0, 0);
    FreeWindow(handle);
}

void SendShow(HWND handle, bool show) {
    WindowObject* w = Win(handle);
    const bool visible = (w->style & WS_VISIBLE) != 0;
    if (visible == show) return;
    SendMessageW(handle, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    if (!(w = Win(handle))) return;
    if (show)
        w->style |= WS_VISIBLE;
    else
        w->style &= ~WS_VISIBLE;
    if (!IsChild(w)) {
        SyncSdlWindow(w);
        if (!show) PassActivationFrom(handle);
    } else if (Win(w->parent)) {
        RECT r = w->rect;
        InvalidateRect(w->parent, &r, TRUE);
    }
    if (show) InvalidateRect(handle, nullptr, TRUE);
}

} // namespace

// --- shared helpers of the layer ---

void AddSystemClass(const WCHAR* name, WNDPROC proc, int extraBytes) {
    auto cls = std::make_unique<ClassObject>();
    cls->name = Copy(name);
    cls->system = true;
    cls->wc.cbSize = sizeof(WNDCLASSEXW);
    cls->wc.style = CS_DBLCLKS;
    cls->wc.lpfnWndProc = proc;
    cls->wc.cbWndExtra = extraBytes;
    cls->atom = FreeClassAtom();
    Classes()[ClassKey(name)] = std::move(cls);
}

WindowObject* Win(HWND window) {
    if (!window) return nullptr;
    std::lock_guard guard(registryLock);
    return LiveWindows().count(window) ? window : nullptr;
}

bool IsChild(const WindowObject* w) {
    return (w->style & WS_CHILD) != 0;
}

HWND TopLevelOf(HWND window) {
    WindowObject* w = Win(window);
    while (w && IsChild(w) && Win(w->parent))
        w = Win(w->parent);
    return w;
}

RECT FrameInsets(DWORD style, DWORD exStyle, bool menu) {
    int border = 0;
    if (style & WS_THICKFRAME)
        border = kThickFrame;
    else if (style & WS_DLGFRAME)
        border = kDialogFrame;
    else if (style & WS_BORDER)
        border = kBorder;
    if (exStyle & WS_EX_CLIENTEDGE) border += kEdge;
    int top = border;
    if ((style & WS_CAPTION) == WS_CAPTION) top += kCaption;
    if (menu) top += kMenuBar;
    return RECT{border, top, border, border};
}

MINMAXINFO MinMaxOf(HWND window) {
    MINMAXINFO info{};
    WindowObject* w = Win(window);
    if (!w) return info;
    const RECT in = FrameInsets(w->style, w->exStyle, w->menu && !IsChild(w));
    info.ptMaxSize = POINT{GetSystemMetrics(SM_CXSCREEN) + in.left + in.right,
                           GetSystemMetrics(SM_CYSCREEN) + in.top + in.bottom};
    info.ptMaxPosition = POINT{-in.left, -in.top};
    info.ptMinTrackSize = POINT{in.left + in.right + 1, in.top + in.bottom + 1};
    info.ptMaxTrackSize = POINT{GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
    SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    return info;
}

RECT ClientInTopLevel(HWND window) {
    WindowObject* w = Win(window);
    if (!w) return RECT{};
    RECT client{0, 0, ClientWidth(w), ClientHeight(w)};
    while (IsChild(w) && Win(w->parent)) {
        const RECT in = FrameInsets(w->style, w->exStyle, false);
        OffsetRect(&client, w->rect.left + in.left, w->rect.top + in.top);
        w = Win(w->parent);
    }
    return client;
}

// --- classes ---

ATOM RegisterClassExW(const WNDCLASSEXW* wc) {
    if (!wc || wc->cbSize != sizeof(WNDCLASSEXW) || !wc->lpfnWndProc || !wc->lpszClassName ||
        reinterpret_cast<ULONG_PTR>(wc->lpszClassName) < 0x10000 || wc->cbWndExtra < 0 || wc->cbClsExtra < 0)
        return 0;
    RegisterSystemClasses();
    const std::u16string key = ClassKey(wc->lpszClassName);
    if (key.empty() || Classes().count(key)) return 0;
    auto cls = std::make_unique<ClassObject>();
    cls->name = Copy(wc->lpszClassName);
    cls->wc = *wc;
    cls->wc.lpszClassName = cls->name.c_str();
    cls->wc.lpszMenuName = nullptr;
    cls->atom = FreeClassAtom();
    if (!cls->atom) return 0;
    const ATOM atom = cls->atom;
    Classes()[key] = std::move(cls);
    return atom;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
    ClassObject* cls = FindClass(className);
    if (!cls || cls->system) return FALSE;
    std::lock_guard guard(registryLock);
    for (WindowObject* w : LiveWindows())
        if (w->cls == cls) return FALSE;
    Classes().erase(ClassKey(cls->name.c_str()));
    return TRUE;
}

int GetClassNameW(HWND window, LPWSTR buffer, int capacity) {
    WindowObject* w = Win(window);
    if (!w || !buffer || capacity <= 0) return 0;
    const int n = std::min<int>(capacity - 1, static_cast<int>(w->cls->name.size()));
    std::copy_n(w->cls->name.begin(), n, buffer);
    buffer[n] = 0;
    return n;
}

ULONG_PTR GetClassLongPtrW(HWND window, int index) {
    WindowObject* w = Win(window);
    if (!w) return 0;
    if (index == GCL_CBWNDEXTRA) return static_cast<ULONG_PTR>(w->cls->wc.cbWndExtra);
    return 0;
}

// --- windows ---

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    ClassObject* cls = FindClass(className);
    if (!cls) return nullptr;
    if ((style & WS_CHILD) && !Win(parent)) return nullptr;
    auto* w = detail::NewHandleObject<WindowObject>();
    w->cls = cls;
    w->proc = cls->wc.lpfnWndProc;
    w->style = style & ~WS_VISIBLE;
    w->exStyle = exStyle;
    w->instance = instance;
    w->title = Copy(title);
    w->extra.assign(static_cast<std::size_t>(cls->wc.cbWndExtra), 0);
    w->queue = &ThreadQueue();
    if (style & WS_CHILD) {
        w->parent = parent;
        w->id = reinterpret_cast<LONG_PTR>(menu);
    } else {
        w->owner = Win(parent) ? TopLevelOf(parent) : nullptr;
        w->parent = w->owner;
        w->menu = menu;
    }
    if (x == CW_USEDEFAULT) {
        x = IsChild(w) ? 0 : 100;
        y = IsChild(w) ? 0 : 100;
    }
    if (width == CW_USEDEFAULT) {
        width = 640;
        height = 480;
    }
    w->rect = RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
    {
        std::lock_guard guard(registryLock);
        LiveWindows().insert(w);
    }
    if (IsChild(w))
        Win(parent)->children.insert(Win(parent)->children.begin(), w);
    else
        TopLevelWindows().insert(TopLevelWindows().begin(), w);
    if (!IsChild(w)) CreateSdlWindow(w);
    if (cls->wc.style & CS_OWNDC) {
        w->ownDc = NewDc(DcKind::Window, w);
        w->ownDc->ownDc = true;
    }

    CREATESTRUCTW cs{param, instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
                     title, className, exStyle};
    HWND handle = w;
    if (!SendMessageW(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) || !Win(handle)) {
        DestroyTree(handle);
        return nullptr;
    }
    if (SendMessageW(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1 || !Win(handle)) {
        DestroyTree(handle);
        return nullptr;
    }
    SendMessageW(handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(ClientWidth(w), ClientHeight(w)));
    if (!Win(handle)) return nullptr;
    if (style & WS_VISIBLE) SendShow(handle, true);
    return Win(handle);
}

BOOL DestroyWindow(HWND window) {
    if (!Win(window)) return FALSE;
    DestroyTree(window);
    return TRUE;
}

BOOL IsWindow(HWND window) {
    return Win(window) && !window->destroying ? TRUE : FALSE;
}

BOOL ShowWindow(HWND window, int command) {
    WindowObject* w = Win(window);
    if (!w) return FALSE;
    const BOOL wasVisible = (w->style & WS_VISIBLE) ? TRUE : FALSE;
    switch (command) {
    case SW_HIDE:
        SendShow(window, false);
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
        SendShow(window, true);
        if ((w = Win(window)) && !(w->style & WS_MINIMIZE)) {
            if (!(w->style & WS_MAXIMIZE)) w->normal = w->rect;
            w->style = (w->style | WS_MINIMIZE) & ~WS_MAXIMIZE;
            w->showState = SIZE_MINIMIZED;
            SyncSdlWindow(w);
            SendMessageW(window, WM_SIZE, SIZE_MINIMIZED, 0);
        }
        break;
    case SW_SHOWMAXIMIZED: {
        SendShow(window, true);
        if (!(w = Win(window)) || (w->style & WS_MAXIMIZE)) break;
        if (!(w->style & WS_MINIMIZE)) w->normal = w->rect;
        w->style = (w->style | WS_MAXIMIZE) & ~WS_MINIMIZE;
        w->showState = SIZE_MAXIMIZED;
        if (IsChild(w) && Win(w->parent)) {
            RECT area;
            GetClientRect(w->parent, &area);
            const RECT in = FrameInsets(w->style, w->exStyle, false);
            SetWindowPos(window, nullptr, -in.left, -in.top, area.right + in.left + in.right,
                         area.bottom + in.top + in.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
        } else {
            const MINMAXINFO info = MinMaxOf(window);
            SetWindowPos(window, nullptr, info.ptMaxPosition.x, info.ptMaxPosition.y, info.ptMaxSize.x,
                         info.ptMaxSize.y, SWP_NOZORDER | SWP_NOACTIVATE);
        }
        break;
    }
    case SW_RESTORE:
        SendShow(window, true);
        if ((w = Win(window)) && (w->style & (WS_MINIMIZE | WS_MAXIMIZE))) {
            w->style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
            w->showState = SIZE_RESTORED;
            const RECT n = w->normal;
            const RECT before = ClientInTopLevel(window);
            SetWindowPos(window, nullptr, n.left, n.top, n.right - n.left, n.bottom - n.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            // A restore that keeps the client size still tells the window it is restored.
            const RECT after = ClientInTopLevel(window);
            if ((w = Win(window)) && after.right - after.left == before.right - before.left &&
                after.bottom - after.top == before.bottom - before.top)
                SendMessageW(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(ClientWidth(w), ClientHeight(w)));
        }
        break;
    default:
        SendShow(window, true);
        break;
    }
    return wasVisible;
}

BOOL IsWindowVisible(HWND window) {
    for (WindowObject* w = Win(window); w; w = IsChild(w) ? Win(w->parent) : nullptr)
        if (!(w->style & WS_VISIBLE)) return FALSE;
    return Win(window) ? TRUE : FALSE;
}

BOOL IsIconic(HWND window) {
    return Win(window) && (window->style & WS_MINIMIZE) ? TRUE : FALSE;
}
BOOL IsZoomed(HWND window) {
    return Win(window) && (window->style & WS_MAXIMIZE) ? TRUE : FALSE;
}

BOOL EnableWindow(HWND window, BOOL enable) {
    WindowObject* w = Win(window);
    if (!w) return FALSE;
    const BOOL wasDisabled = w->enabled ? FALSE : TRUE;
    w->enabled = enable != FALSE;
    if (enable)
        w->style &= ~WS_DISABLED;
    else
        w->style |= WS_DISABLED;
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND window) {
    return Win(window) && window->enabled ? TRUE : FALSE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(window, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : SWP_NOREDRAW));
}

constexpr UINT kNoClientSize = 0x0800;
constexpr UINT kNoClientMove = 0x1000;

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
    WindowObject* w = Win(window);
    if (!w) return FALSE;
    WINDOWPOS pos{window, insertAfter, x, y, width, height, flags};
    if (flags & SWP_NOMOVE) {
        pos.x = w->rect.left;
        pos.y = w->rect.top;
    }
    if (flags & SWP_NOSIZE) {
        pos.cx = w->rect.right - w->rect.left;
        pos.cy = w->rect.bottom - w->rect.top;
    }
    SendMessageW(window, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
    if (!(w = Win(window))) return FALSE;
    const RECT old = w->rect;
    const RECT oldClient = ClientInTopLevel(window);
    w->rect = RECT{pos.x, pos.y, pos.x + std::max(0, pos.cx), pos.y + std::max(0, pos.cy)};
    if (!(pos.flags & SWP_NOZORDER)) {
        auto& list = IsChild(w) && Win(w->parent) ? Win(w->parent)->children : TopLevelWindows();
        list.erase(std::remove(list.begin(), list.end(), window), list.end());
        if (pos.hwndInsertAfter == HWND_BOTTOM)
            list.push_back(window);
        else
            list.insert(list.begin(), window);
    }
    const RECT client = ClientInTopLevel(window);
    const bool sized = (client.right - client.left) != (oldClient.right - oldClient.left) ||
                       (client.bottom - client.top) != (oldClient.bottom - oldClient.top);
    const bool moved = old.left != w->rect.left || old.top != w->rect.top;
    if (!sized) pos.flags |= kNoClientSize;
    if (!moved) pos.flags |= kNoClientMove;
    if (!IsChild(w)) SyncSdlWindow(w);
    if (pos.flags & SWP_SHOWWINDOW) SendShow(window, true);
    if (pos.flags & SWP_HIDEWINDOW) SendShow(window, false);
    if (!(w = Win(window))) return FALSE;
    if (!(pos.flags & SWP_NOREDRAW) && (sized || moved)) {
        InvalidateRect(window, nullptr, TRUE);
        if (IsChild(w) && Win(w->parent) && (w->style & WS_VISIBLE)) {
            RECT both;
            UnionRect(&both, &old, &w->rect);
            InvalidateRect(w->parent, &both, TRUE);
        }
    }
    SendMessageW(window, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
    WindowObject* w = Win(window);
    if (!w || !rect) return FALSE;
    *rect = RECT{0, 0, ClientWidth(w), ClientHeight(w)};
    return TRUE;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
    WindowObject* w = Win(window);
    if (!w || !rect) return FALSE;
    *rect = w->rect;
    if (IsChild(w) && Win(w->parent)) {
        POINT origin{0, 0};
        ClientToScreen(w->parent, &origin);
        OffsetRect(rect, origin.x, origin.y);
    }
    return TRUE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle) {
    if (!rect) return FALSE;
    const RECT in = FrameInsets(style, exStyle, menu != FALSE);
    rect->left -= in.left;
    rect->top -= in.top;
    rect->right += in.right;
    rect->bottom += in.bottom;
    return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point) {
    WindowObject* w = Win(window);
    if (!w || !point) return FALSE;
    const RECT client = ClientInTopLevel(window);
    WindowObject* top = Win(TopLevelOf(window));
    const RECT in = FrameInsets(top->style, top->exStyle, top->menu != nullptr);
    point->x += client.left + top->rect.left + in.left;
    point->y += client.top + top->rect.top + in.top;
    return TRUE;
}

BOOL ScreenToClient(HWND window, POINT* point) {
    POINT origin{0, 0};
    if (!point || !ClientToScreen(window, &origin)) return FALSE;
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
    POINT shift{0, 0}, back{0, 0};
    if ((from && !ClientToScreen(from, &shift)) || (to && !ClientToScreen(to, &back))) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    shift.x -= back.x;
    shift.y -= back.y;
    for (UINT i = 0; points && i < count; ++i) {
        points[i].x += shift.x;
        points[i].y += shift.y;
    }
    return static_cast<int>(static_cast<WORD>(shift.x) | static_cast<DWORD>(static_cast<WORD>(shift.y))
                                                             << 16);
}

BOOL TranslateMDISysAccel(HWND client, MSG* msg) {
    constexpr WPARAM F4 = 0x73, F6 = 0x75;
    if (!msg || !Win(client) || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
    if (!(GetKeyState(VK_CONTROL) & 0x8000) || (msg->wParam != F4 && msg->wParam != F6)) return FALSE;
    const auto active = reinterpret_cast<HWND>(SendMessageW(client, WM_MDIGETACTIVE, 0, 0));
    if (!active) return FALSE;
    if (msg->wParam == F4)
        PostMessageW(active, WM_SYSCOMMAND, SC_CLOSE, 0);
    else
        SendMessageW(client, WM_MDINEXT, reinterpret_cast<WPARAM>(active),
                     (GetKeyState(VK_SHIFT) & 0x8000) ? 1 : 0);
    return TRUE;
}

HWND GetParent(HWND window) {
    WindowObject* w = Win(window);
    if (!w) return nullptr;
    return IsChild(w) ? w->parent : w->owner;
}

HWND GetAncestor(HWND window, UINT flags) {
    WindowObject* w = Win(window);
    if (!w) return nullptr;
    if (flags == GA_PARENT) return IsChild(w) ? w->parent : nullptr;
    return TopLevelOf(window);
}

HWND GetWindow(HWND window, UINT relation) {
    WindowObject* w = Win(window);
    if (!w) return nullptr;
    if (relation == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
    if (relation == GW_OWNER) return IsChild(w) ? nullptr : w->owner;
    const auto& list = IsChild(w) && Win(w->parent) ? Win(w->parent)->children : TopLevelWindows();
    auto it = std::find(list.begin(), list.end(), window);
    if (it == list.end()) return nullptr;
    if (relation == GW_HWNDNEXT) return (it + 1 == list.end()) ? nullptr : *(it + 1);
    if (relation == GW_HWNDPREV) return it == list.begin() ? nullptr : *(it - 1);
    return nullptr;
}

HWND GetTopWindow(HWND window) {
    if (!window) return TopLevelWindows().empty() ? nullptr : TopLevelWindows().front();
    return GetWindow(window, GW_CHILD);
}

LONG_PTR GetWindowLongPtrW(HWND window, int index) {
    WindowObject* w = Win(window);
    if (!w) return 0;
    switch (index) {
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>(GetParent(window));
    case GWLP_ID:
        return w->id;
    case GWL_STYLE:
        return static_cast<LONG>(w->style);
    case GWL_EXSTYLE:
        return static_cast<LONG>(w->exStyle);
    case GWLP_USERDATA:
        return w->userData;
    default:
        break;
    }
    if (index < 0 || static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) return 0;
    LONG_PTR value;
    std::memcpy(&value, w->extra.data() + index, sizeof value);
    return value;
}

LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value) {
    WindowObject* w = Win(window);
    if (!w) return 0;
    const LONG_PTR old = GetWindowLongPtrW(window, index);
    switch (index) {
    case GWLP_WNDPROC:
        if (value) w->proc = reinterpret_cast<WNDPROC>(value);
        return old;
    case GWLP_HINSTANCE:
        w->instance = reinterpret_cast<HINSTANCE>(value);
        return old;
    case GWLP_ID:
        w->id = value;
        return old;
    case GWL_STYLE:
        // The visible bit follows ShowWindow; other bits take effect at once, the frame included.
        w->style = (static_cast<DWORD>(value) & ~WS_VISIBLE) | (w->style & WS_VISIBLE);
        if (!IsChild(w)) SyncSdlWindow(w);
        return old;
    case GWL_EXSTYLE:
        w->exStyle = static_cast<DWORD>(value);
        return old;
    case GWLP_USERDATA:
        w->userData = value;
        return old;
    default:
        break;
    }
    if (index < 0 || static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) return 0;
    std::memcpy(w->extra.data() + index, &value, sizeof value);
    return old;
}

BOOL SetMenu(HWND window, HMENU menu) {
    WindowObject* w = Win(window);
    if (!w || IsChild(w) || (menu && !IsMenu(menu))) return FALSE;
    const RECT before = ClientInTopLevel(window);
    w->menu = menu;
    MenuBarChanged(window);
    SyncSdlWindow(w);
    const RECT after = ClientInTopLevel(window);
    if (after.right - after.left != before.right - before.left ||
        after.bottom - after.top != before.bottom - before.top) {
        InvalidateRect(window, nullptr, TRUE);
        SendMessageW(window, WM_SIZE, static_cast<WPARAM>(w->showState),
                     MAKELPARAM(after.right - after.left, after.bottom - after.top));
    }
    return TRUE;
}

HMENU GetMenu(HWND window) {
    WindowObject* w = Win(window);
    return w && !IsChild(w) ? w->menu : nullptr;
}

BOOL SetWindowTextW(HWND window, LPCWSTR text) {
    WindowObject* w = Win(window);
    if (!w) return FALSE;
    w->title = Copy(text);
    if (!IsChild(w))
        SyncSdlWindow(w);
    else
        InvalidateRect(window, nullptr, TRUE); // a control shows its text
    return TRUE;
}

int GetWindowTextLengthW(HWND window) {
    WindowObject* w = Win(window);
    return w ? static_cast<int>(std::min<std::size_t>(w->title.size(), INT32_MAX)) : 0;
}

int GetWindowTextW(HWND window, LPWSTR buffer, int capacity) {
    WindowObject* w = Win(window);
    if (!w || !buffer || capacity <= 0) return 0;
    const int n = std::min<int>(capacity - 1, static_cast<int>(w->title.size()));
    std::copy_n(w->title.begin(), n, buffer);
    buffer[n] = 0;
    return n;
}

// --- properties ---

namespace {

ATOM PropertyAtom(LPCWSTR name) {
    const auto value = reinterpret_cast<ULONG_PTR>(name);
    if (value < 0x10000) return static_cast<ATOM>(value);
    return GlobalFindAtomW(name);
}

auto FindProperty(WindowObject* w, ATOM atom) {
    return std::find_if(w->properties.begin(), w->properties.end(),
                        [&](const WindowObject::Property& p) { return atom && p.atom == atom; });
}

void ForgetProperties(WindowObject* w) {
    for (const WindowObject::Property& p : w->properties)
        if (p.ownsAtom) GlobalDeleteAtom(p.atom);
    w->properties.clear();
}

} // namespace

BOOL SetPropW(HWND window, LPCWSTR name, HANDLE value) {
    WindowObject* w = Win(window);
    if (!w || !name) return FALSE;
    if (auto it = FindProperty(w, PropertyAtom(name)); it != w->properties.end()) {
        it->value = value;
        return TRUE;
    }
    const bool named = reinterpret_cast<ULONG_PTR>(name) >= 0x10000;
    const ATOM atom = named ? GlobalAddAtomW(name) : PropertyAtom(name);
    if (!atom) return FALSE;
    w->properties.push_back({atom, named, value});
    return TRUE;
}

HANDLE GetPropW(HWND window, LPCWSTR name) {
    WindowObject* w = Win(window);
    if (!w || !name) return nullptr;
    auto it = FindProperty(w, PropertyAtom(name));
    return it == w->properties.end() ? nullptr : it->value;
}

HANDLE RemovePropW(HWND window, LPCWSTR name) {
    WindowObject* w = Win(window);
    if (!w || !name) return nullptr;
    auto it = FindProperty(w, PropertyAtom(name));
    if (it == w->properties.end()) return nullptr;
    const WindowObject::Property p = *it;
    w->properties.erase(it);
    if (p.ownsAtom) GlobalDeleteAtom(p.atom);
    return p.value;
}

// --- the MDI client: children without MDI chrome inside the frame's client area ---

namespace {

// Tells the children that lose and gain the activation: without MDI chrome, activation is what MDI keeps.
void ActivateMdiChild(MdiClientState* state, HWND child) {
    HWND old = Win(state->active);
    if (old == child) return;
    state->active = child;
    if (old)
        SendMessageW(old, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(old), reinterpret_cast<LPARAM>(child));
    if (Win(child))
        SendMessageW(child, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(old), reinterpret_cast<LPARAM>(child));
}

// The children an arrangement places: the visible ones, bottom of the z-order first, iconic or not.
std::vector<HWND> ArrangedChildren(HWND client, bool iconic) {
    std::vector<HWND> out;
    for (auto it = client->children.rbegin(); it != client->children.rend(); ++it)
        if (((*it)->style & WS_VISIBLE) && ((IsIconic(*it) != FALSE) == iconic)) out.push_back(*it);
    return out;
}

void Place(HWND child, int x, int y, int width, int height) {
    if (IsZoomed(child)) ShowWindow(child, SW_RESTORE);
    SetWindowPos(child, nullptr, x, y, std::max(1, width), std::max(1, height),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// Each child one caption lower and to the right of the one below it, the top one at the end.
void Cascade(HWND client) {
    const std::vector<HWND> children = ArrangedChildren(client, false);
    RECT area;
    GetClientRect(client, &area);
    const int step = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFRAME);
    const int n = static_cast<int>(children.size());
    const int width = std::max<int>(area.right / 2, area.right - (n - 1) * step);
    const int height = std::max<int>(area.bottom / 2, area.bottom - (n - 1) * step);
    // Past the room left, the cascade starts again from the corner.
    const int places =
        std::max(1, std::min(area.right - width, area.bottom - height) / std::max(1, step) + 1);
    for (int i = 0; i < n; ++i)
        Place(children[static_cast<std::size_t>(i)], (i % places) * step, (i % places) * step, width, height);
}

// Strips over the whole client area: one above another (horizontal) or side by side.
void Tile(HWND client, bool horizontal) {
    const std::vector<HWND> children = ArrangedChildren(client, false);
    RECT area;
    GetClientRect(client, &area);
    const int n = static_cast<int>(children.size());
    for (int i = 0; i < n; ++i) {
        const HWND child = children[static_cast<std::size_t>(n - 1 - i)]; // the top child first
        if (horizontal) {
            const int top = area.bottom * i / n, bottom = area.bottom * (i + 1) / n;
            Place(child, 0, top, area.right, bottom - top);
        } else {
            const int left = area.right * i / n, right = area.right * (i + 1) / n;
            Place(child, left, 0, right - left, area.bottom);
        }
    }
}

// Minimized children in a row along the bottom of the client area.
void ArrangeIcons(HWND client) {
    constexpr int kIconWidth = 160;
    RECT area;
    GetClientRect(client, &area);
    const int height = GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYFRAME);
    int x = 0, y = area.bottom - height;
    for (HWND child : ArrangedChildren(client, true)) {
        if (x > 0 && x + kIconWidth > area.right) {
            x = 0;
            y -= height;
        }
        SetWindowPos(child, nullptr, x, y, kIconWidth, height, SWP_NOZORDER | SWP_NOACTIVATE);
        x += kIconWidth;
    }
}

LRESULT MdiClientProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto state = reinterpret_cast<MdiClientState*>(GetWindowLongPtrW(window, 0));
    switch (message) {
    case WM_CREATE:
        SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(new MdiClientState));
        return 0;
    case WM_NCDESTROY:
        delete state;
        SetWindowLongPtrW(window, 0, 0);
        return 0;
    case WM_MDICREATE: {
        const auto* mdi = reinterpret_cast<const MDICREATESTRUCTW*>(lParam);
        if (!mdi || !state) return 0;
        RECT client;
        GetClientRect(window, &client);
        const bool defPos = mdi->x == CW_USEDEFAULT;
        const bool defSize = mdi->cx == CW_USEDEFAULT;
        const DWORD style = (mdi->style & ~(WS_CAPTION | WS_THICKFRAME | WS_POPUP)) | WS_CHILD | WS_VISIBLE;
        HWND child = CreateWindowExW(
            0, mdi->szClass, mdi->szTitle, style, defPos ? 0 : mdi->x, defPos ? 0 : mdi->y,
            defSize ? client.right : mdi->cx, defSize ? client.bottom : mdi->cy, window, nullptr,
            reinterpret_cast<HINSTANCE>(mdi->hOwner), const_cast<MDICREATESTRUCTW*>(mdi));
        if (child && Win(window)) ActivateMdiChild(state, child);
        return reinterpret_cast<LRESULT>(Win(child));
    }
    case WM_MDIDESTROY: {
        HWND child = reinterpret_cast<HWND>(wParam);
        if (state && state->active == child) state->active = nullptr;
        DestroyWindow(child);
        if (state && Win(window) && !state->active) {
            for (HWND other : Win(window)->children) {
                if (other != child) {
                    ActivateMdiChild(state, other);
                    break;
                }
            }
        }
        return 0;
    }
    case WM_MDIACTIVATE:
        if (state && Win(reinterpret_cast<HWND>(wParam)) &&
            GetParent(reinterpret_cast<HWND>(wParam)) == window)
            ActivateMdiChild(state, reinterpret_cast<HWND>(wParam));
        return 0;
    case WM_MDIGETACTIVE: {
        HWND active = state ? Win(state->active) : nullptr;
        if (lParam) *reinterpret_cast<BOOL*>(lParam) = active && IsZoomed(active) ? TRUE : FALSE;
        return reinterpret_cast<LRESULT>(active);
    }
    case WM_MDINEXT: {
        // Next: the child behind the given one comes up and the given one goes to the bottom; previous: the
        // bottom child comes up.
        HWND from = wParam ? reinterpret_cast<HWND>(wParam) : (state ? Win(state->active) : nullptr);
        auto& list = window->children;
        auto at = std::find(list.begin(), list.end(), from);
        if (!state || list.size() < 2 || at == list.end()) return 0;
        HWND to = lParam ? list.back() : (at + 1 == list.end() ? list.front() : *(at + 1));
        if (!lParam) SetWindowPos(from, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        SetWindowPos(to, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        ActivateMdiChild(state, to);
        return 0;
    }
    case WM_MDIMAXIMIZE:
        if (Win(reinterpret_cast<HWND>(wParam)) && GetParent(reinterpret_cast<HWND>(wParam)) == window)
            ShowWindow(reinterpret_cast<HWND>(wParam), SW_MAXIMIZE);
        return 0;
    case WM_MDICASCADE:
        Cascade(window);
        return TRUE;
    case WM_MDITILE:
        Tile(window, (wParam & MDITILE_HORIZONTAL) != 0);
        return TRUE;
    case WM_MDIICONARRANGE:
        ArrangeIcons(window);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

LRESULT DefFrameProcW(HWND window, HWND mdiClient, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SIZE && Win(mdiClient)) {
        RECT client;
        GetClientRect(window, &client);
        MoveWindow(mdiClient, 0, 0, client.right, client.bottom, TRUE);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT DefMDIChildProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

// --- rectangles ---

BOOL SetRect(RECT* rect, int left, int top, int right, int bottom) {
    if (!rect) return FALSE;
    *rect = RECT{left, top, right, bottom};
    return TRUE;
}

BOOL SetRectEmpty(RECT* rect) {
    return SetRect(rect, 0, 0, 0, 0);
}

BOOL IsRectEmpty(const RECT* rect) {
    return !rect || rect->right <= rect->left || rect->bottom <= rect->top ? TRUE : FALSE;
}

BOOL EqualRect(const RECT* a, const RECT* b) {
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom
               ? TRUE
               : FALSE;
}

BOOL IntersectRect(RECT* out, const RECT* a, const RECT* b) {
    if (!out || !a || !b) return FALSE;
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&r)) {
        SetRectEmpty(out);
        return FALSE;
    }
    *out = r;
    return TRUE;
}

BOOL UnionRect(RECT* out, const RECT* a, const RECT* b) {
    if (!out || !a || !b) return FALSE;
    if (IsRectEmpty(a)) {
        *out = IsRectEmpty(b) ? RECT{} : *b;
    } else if (IsRectEmpty(b)) {
        *out = *a;
    } else {
        *out = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                    std::max(a->bottom, b->bottom)};
    }
    return IsRectEmpty(out) ? FALSE : TRUE;
}

BOOL OffsetRect(RECT* rect, int dx, int dy) {
    if (!rect) return FALSE;
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL InflateRect(RECT* rect, int dx, int dy) {
    if (!rect) return FALSE;
    rect->left -= dx;
    rect->right += dx;
    rect->top -= dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL PtInRect(const RECT* rect, POINT point) {
    return rect && point.x >= rect->left && point.x < rect->right && point.y >= rect->top &&
                   point.y < rect->bottom
               ? TRUE
               : FALSE;
}

} // namespace win32
