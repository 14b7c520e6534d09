// The per-thread message queue: posted, sent and generated messages, timers, painting and default handling.
#include "hooks.h"
#include "kernel/console_control.h"
#include "menu_internal.h"
#include "win32/dialog.h"
#include "win32/kernel.h"
#include "window_internal.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace win32 {
namespace {

std::atomic<bool> fakeClock{false};
std::atomic<DWORD> fakeNow{0};

constexpr UINT kTimerMinimum = 10;
constexpr UINT kTimerMaximum = 0x7FFFFFFF;
constexpr UINT kNoClientSize = 0x0800;
constexpr UINT kNoClientMove = 0x1000;
constexpr int kAltF4 = 0x73;
constexpr LPARAM kAltDown = 1 << 29;

bool Due(DWORD now, DWORD due) {
    return static_cast<std::int32_t>(now - due) >= 0;
}

bool InRange(UINT message, UINT min, UINT max) {
    return (min == 0 && max == 0) || (message >= min && message <= max);
}

bool Matches(const MSG& m, HWND filter, UINT min, UINT max) {
    if (filter == reinterpret_cast<HWND>(static_cast<intptr_t>(-1))) {
        if (m.hwnd) return false;
    } else if (filter && m.hwnd != filter) {
        return false;
    }
    return InRange(m.message, min, max);
}

POINT CursorNow() {
    POINT p{0, 0};
    GetCursorPos(&p);
    return p;
}

// Depth first, parents before children: a parent paints before the children drawn over it.
HWND FindWindowToPaint(HWND window, MessageQueue* queue, HWND filter) {
    WindowObject* w = Win(window);
    if (!w || !(w->style & WS_VISIBLE)) return nullptr;
    if (w->queue == queue && w->hasUpdate && (!filter || filter == window)) return window;
    for (HWND child : w->children)
        if (HWND found = FindWindowToPaint(child, queue, filter)) return found;
    return nullptr;
}

bool NextPaint(MessageQueue& q, HWND filter, MSG* msg) {
    for (HWND top = GetTopWindow(nullptr); top; top = GetWindow(top, GW_HWNDNEXT)) {
        if (HWND w = FindWindowToPaint(top, &q, filter)) {
            *msg = MSG{w, WM_PAINT, 0, 0, LayerTime(), CursorNow()};
            return true;
        }
    }
    return false;
}

bool NextTimer(MessageQueue& q, HWND filter, bool remove, MSG* msg) {
    const DWORD now = LayerTime();
    for (Timer& t : q.timers) {
        if (!Due(now, t.due)) continue;
        MSG m{t.window, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc), now, CursorNow()};
        if (!Matches(m, filter, WM_TIMER, WM_TIMER)) continue;
        // A late timer fires once, not once for every period it missed.
        if (remove) {
            t.due += t.period;
            if (Due(now, t.due)) t.due = now + t.period;
        }
        *msg = m;
        return true;
    }
    return false;
}

// The queue's next message, without asking SDL for input first.
bool FindQueued(MSG* msg, HWND filter, UINT min, UINT max, bool remove) {
    detail::DeliverConsoleControlEvents();
    PresentDirtyWindows();
    MessageQueue& q = ThreadQueue();
    MSG found{};
    bool have = false;
    {
        std::lock_guard guard(q.lock);
        auto it = std::find_if(q.posted.begin(), q.posted.end(),
                               [&](const MSG& m) { return Matches(m, filter, min, max); });
        if (it != q.posted.end()) {
            found = *it;
            have = true;
            if (remove) q.posted.erase(it);
        } else if (q.quit && InRange(WM_QUIT, min, max)) {
            found = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, LayerTime(), CursorNow()};
            have = true;
            if (remove) q.quit = false;
        }
    }
    if (!have && InRange(WM_PAINT, min, max)) have = NextPaint(q, filter, &found);
    if (!have && InRange(WM_TIMER, min, max)) have = NextTimer(q, filter, remove, &found);
    if (!have) return FALSE;
    if (remove) UpdateSyncKeyState(found);
    q.lastMessageTime = found.time;
    if (msg) *msg = found;
    return TRUE;
}

bool PeekInternal(MSG* msg, HWND filter, UINT min, UINT max, bool remove) {
    // Input first: what it changes on the screen (the menu's, for one) is presented at once. A signal's
    // routines run after it, so that a quit event SDL turned a signal into is among what they see.
    PumpSdlEvents();
    return FindQueued(msg, filter, min, max, remove);
}

DWORD NextTimerWait(MessageQueue& q) {
    const DWORD now = LayerTime();
    DWORD wait = 10;
    for (const Timer& t : q.timers)
        wait = std::min<DWORD>(wait, Due(now, t.due) ? 0 : t.due - now);
    return wait;
}

} // namespace

MessageQueue& ThreadQueue() {
    // Queues stay until the process ends: a window keeps a pointer to its thread's queue, and a message
    // posted to it after the thread ended must find memory that is still there.
    static std::mutex lock;
    static std::vector<std::unique_ptr<MessageQueue>> queues;
    thread_local MessageQueue* queue = [] {
        std::lock_guard guard(lock);
        queues.push_back(std::make_unique<MessageQueue>());
        return queues.back().get();
    }();
    return *queue;
}

DWORD LayerTime() {
    if (fakeClock) return fakeNow;
    static const auto start = std::chrono::steady_clock::now();
    return static_cast<DWORD>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count());
}

bool UsingFakeClock() {
    return fakeClock;
}

namespace testing {
void UseFakeClock(bool on) {
    fakeNow = LayerTime();
    fakeClock = on;
}
void AdvanceFakeClock(DWORD milliseconds) {
    fakeNow += milliseconds;
}
} // namespace testing

void RemoveWindowTimers(HWND window) {
    for (MessageQueue* q : {window->queue}) {
        auto& t = q->timers;
        t.erase(std::remove_if(t.begin(), t.end(), [&](const Timer& x) { return x.window == window; }),
                t.end());
    }
}

// --- posting and sending ---

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MessageQueue* q = &ThreadQueue();
    if (window) {
        WindowObject* w = Win(window);
        if (!w) return FALSE;
        q = w->queue;
    }
    std::lock_guard guard(q->lock);
    q->posted.push_back(MSG{window, message, wParam, lParam, LayerTime(), CursorNow()});
    return TRUE;
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!Win(window)) return 0;
    CallWindowProcHooks(window, message, wParam, lParam);
    // The hooks may have destroyed the window.
    WindowObject* w = Win(window);
    if (!w || !w->proc) return 0;
    return w->proc(window, message, wParam, lParam);
}

LRESULT CallWindowProcW(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(window, message, wParam, lParam) : 0;
}

void PostQuitMessage(int exitCode) {
    MessageQueue& q = ThreadQueue();
    std::lock_guard guard(q.lock);
    q.quit = true;
    q.quitCode = exitCode;
}

BOOL PeekMessageW(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT remove) {
    return PeekInternal(msg, window, filterMin, filterMax, (remove & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL GetInputState() {
    PumpSdlEvents();
    MessageQueue& q = ThreadQueue();
    std::lock_guard guard(q.lock);
    return std::any_of(q.posted.begin(), q.posted.end(),
                       [](const MSG& m) {
                           return InRange(m.message, WM_KEYFIRST, WM_KEYLAST) ||
                                  (m.message != WM_MOUSEMOVE &&
                                   InRange(m.message, WM_MOUSEFIRST, WM_MOUSELAST));
                       })
               ? TRUE
               : FALSE;
}

BOOL GetMessageW(MSG* msg, HWND window, UINT filterMin, UINT filterMax) {
    MSG local{};
    for (;;) {
        if (PeekInternal(&local, window, filterMin, filterMax, true)) {
            if (msg) *msg = local;
            return local.message == WM_QUIT ? FALSE : TRUE;
        }
        const DWORD wait = NextTimerWait(ThreadQueue());
        if (SDL_WasInit(SDL_INIT_VIDEO))
            SDL_WaitEventTimeout(nullptr, static_cast<int>(std::max<DWORD>(1, wait)));
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(std::max<DWORD>(1, wait)));
    }
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL, DWORD milliseconds, DWORD) {
    const auto start = std::chrono::steady_clock::now();
    // Asking the X server for input costs more than the wait itself: SDL is asked again only once its wait
    // saw an event.
    bool input = true;
    for (;;) {
        // Only process handles are waited for here: one whose process has ended is signalled.
        for (DWORD i = 0; i < count && handles; ++i) {
            DWORD code = 0;
            if (GetExitCodeProcess(handles[i], &code) && code != STILL_ACTIVE) return WAIT_OBJECT_0 + i;
        }
        MSG peeked{};
        if (input ? PeekInternal(&peeked, nullptr, 0, 0, false) : FindQueued(&peeked, nullptr, 0, 0, false))
            return WAIT_OBJECT_0 + count;
        const auto waited =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        if (milliseconds != INFINITE && waited.count() >= static_cast<long long>(milliseconds))
            return WAIT_TIMEOUT;
        // Messages posted from other threads wake no SDL wait: the wait is cut into steps, each no longer
        // than what is left of the timeout nor than the next timer's wait, so that a deadline is met.
        constexpr DWORD Step = 10;
        DWORD step = std::min(Step, NextTimerWait(ThreadQueue()));
        if (milliseconds != INFINITE)
            step = std::min(step, milliseconds - static_cast<DWORD>(waited.count()));
        step = std::max<DWORD>(step, 1);
        if (SDL_WasInit(SDL_INIT_VIDEO))
            input = SDL_WaitEventTimeout(nullptr, static_cast<int>(step)) != 0;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(step));
    }
}

DWORD GetMessageTime() {
    return ThreadQueue().lastMessageTime;
}

BOOL TranslateMessage(const MSG* msg) {
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
    // Printable characters come from the text input events; the control characters that produce no text
    // come from their keys here.
    WPARAM ch = 0;
    const int key = static_cast<int>(msg->wParam);
    if (key == VK_BACK || key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE)
        ch = static_cast<WPARAM>(key);
    else if ((GetKeyState(VK_CONTROL) & 0x8000) && key >= 'A' && key <= 'Z')
        ch = static_cast<WPARAM>(key - 'A' + 1);
    // With Alt held, letters and digits are system characters: the menu's mnemonics.
    else if (msg->message == WM_SYSKEYDOWN && key >= 'A' && key <= 'Z')
        ch = static_cast<WPARAM>((GetKeyState(VK_SHIFT) & 0x8000) ? key : key + ('a' - 'A'));
    else if (msg->message == WM_SYSKEYDOWN && key >= '0' && key <= '9')
        ch = static_cast<WPARAM>(key);
    if (!ch) return FALSE;
    PostMessageW(msg->hwnd, msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR, ch, msg->lParam);
    return TRUE;
}

LRESULT DispatchMessageW(const MSG* msg) {
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
        return 0;
    }
    // Posted messages reach the procedure without the hooks of sent messages.
    WindowObject* w = Win(msg->hwnd);
    if (!w || !w->proc) return 0;
    return w->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowObject* w = Win(window);
    if (!w) return 0;
    switch (message) {
    case WM_NCCREATE:
        return TRUE;
    case WM_SETTEXT:
        SetWindowTextW(window, reinterpret_cast<LPCWSTR>(lParam));
        return TRUE;
    case WM_GETTEXT:
        return GetWindowTextW(window, reinterpret_cast<LPWSTR>(lParam), static_cast<int>(wParam));
    case WM_GETTEXTLENGTH:
        return GetWindowTextLengthW(window);
    case WM_SETICON:
        return SetWindowIcon(w, wParam, reinterpret_cast<HICON>(lParam));
    case WM_GETICON:
        return reinterpret_cast<LRESULT>(WindowIcon(w, wParam));
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_ERASEBKGND: {
        HBRUSH brush = w->cls->wc.hbrBackground;
        if (!brush || !IsGdiObject(brush, GdiKind::Brush)) return 0;
        RECT box;
        GetClipBox(reinterpret_cast<HDC>(wParam), &box);
        FillRect(reinterpret_cast<HDC>(wParam), &box, brush);
        return 1;
    }
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE:
            SendMessageW(window, WM_CLOSE, 0, 0);
            break;
        case SC_MINIMIZE:
            ShowWindow(window, SW_MINIMIZE);
            break;
        case SC_MAXIMIZE:
            ShowWindow(window, SW_MAXIMIZE);
            break;
        case SC_RESTORE:
            ShowWindow(window, SW_RESTORE);
            break;
        case SC_KEYMENU:
            TrackMenuFromKey(window, static_cast<WCHAR>(lParam));
            break;
        case SC_MOUSEMENU:
            TrackMenuFromMouse(window, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            break;
        default:
            break;
        }
        return 0;
    case WM_NCLBUTTONDOWN:
        if (static_cast<int>(wParam) == HTMENU)
            SendMessageW(window, WM_SYSCOMMAND, SC_MOUSEMENU | static_cast<WPARAM>(HTMENU), lParam);
        return 0;
    case WM_SYSKEYDOWN:
        // Alt+F4 closes the top-level window, also when a child of it has the focus.
        if (static_cast<int>(wParam) == kAltF4 && (lParam & kAltDown))
            PostMessageW(TopLevelOf(window), WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    case WM_SYSCHAR:
        // Alt with a character opens the bar item it is the mnemonic of.
        if (wParam > 0x20 && (lParam & kAltDown) && GetMenu(TopLevelOf(window)))
            SendMessageW(TopLevelOf(window), WM_SYSCOMMAND, SC_KEYMENU, static_cast<LPARAM>(wParam));
        return 0;
    case WM_SYSKEYUP: {
        // Alt pressed and released alone, or F10, selects the menu bar.
        const int key = static_cast<int>(wParam);
        if (GetMenu(TopLevelOf(window)) && (key == VK_F10 || (key == VK_MENU && AltPressedAlone())))
            SendMessageW(TopLevelOf(window), WM_SYSCOMMAND, SC_KEYMENU, 0);
        return 0;
    }
    case WM_WINDOWPOSCHANGED: {
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        RECT client;
        GetClientRect(window, &client);
        if (pos && !(pos->flags & kNoClientMove)) {
            const RECT in = FrameInsets(w->style, w->exStyle, w->menu && !IsChild(w));
            SendMessageW(window, WM_MOVE, 0, MAKELPARAM(w->rect.left + in.left, w->rect.top + in.top));
        }
        if (pos && !(pos->flags & kNoClientSize) && Win(window))
            SendMessageW(window, WM_SIZE, static_cast<WPARAM>(w->showState),
                         MAKELPARAM(client.right, client.bottom));
        return 0;
    }
    case WM_MOUSEWHEEL:
        if (IsChild(w) && Win(w->parent)) return SendMessageW(w->parent, message, wParam, lParam);
        return 0;
    case WM_SETCURSOR:
        if (w->cls->wc.hCursor) SetCursor(w->cls->wc.hCursor);
        return 0;
    case WM_MOUSEACTIVATE:
        // A child lets its parent decide first.
        if (IsChild(w) && Win(w->parent)) {
            if (LRESULT r = SendMessageW(w->parent, message, wParam, lParam)) return r;
        }
        return MA_ACTIVATE;
    default:
        return 0;
    }
}

// --- timers ---

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    if (window && !Win(window)) return 0;
    MessageQueue& q = window ? *window->queue : ThreadQueue();
    static UINT_PTR nextThreadTimer = 0x7FF0;
    elapse = std::clamp(elapse, kTimerMinimum, kTimerMaximum);
    const DWORD due = LayerTime() + elapse;
    for (Timer& t : q.timers) {
        if (t.window == window && t.id == id) {
            t.period = elapse;
            t.proc = proc;
            t.due = due;
            return window ? id : t.id;
        }
    }
    if (!window) id = ++nextThreadTimer;
    q.timers.push_back(Timer{window, id, elapse, proc, due});
    return id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    if (window && !Win(window)) return FALSE;
    MessageQueue& q = window ? *window->queue : ThreadQueue();
    auto it = std::find_if(q.timers.begin(), q.timers.end(),
                           [&](const Timer& t) { return t.window == window && t.id == id; });
    if (it == q.timers.end()) return FALSE;
    q.timers.erase(it);
    return TRUE;
}

// --- painting ---

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    if (!window) {
        for (HWND top = GetTopWindow(nullptr); top; top = GetWindow(top, GW_HWNDNEXT))
            InvalidateRect(top, nullptr, erase);
        return TRUE;
    }
    WindowObject* w = Win(window);
    if (!w) return FALSE;
    RECT client;
    GetClientRect(window, &client);
    RECT r = client;
    if (rect && !IntersectRect(&r, rect, &client)) return TRUE;
    if (IsRectEmpty(&r)) return TRUE;
    if (w->hasUpdate)
        UnionRect(&w->update, &w->update, &r);
    else
        w->update = r;
    w->hasUpdate = true;
    w->updateErase = w->updateErase || erase;
    // Children drawn over the invalid area are repainted too unless the parent clips them out.
    if (!(w->style & WS_CLIPCHILDREN)) {
        for (HWND child : w->children) {
            RECT overlap;
            if (IntersectRect(&overlap, &child->rect, &r)) {
                const RECT in = FrameInsets(child->style, child->exStyle, false);
                OffsetRect(&overlap, -child->rect.left - in.left, -child->rect.top - in.top);
                InvalidateRect(child, &overlap, erase);
            }
        }
    }
    return TRUE;
}

BOOL ValidateRect(HWND window, const RECT* rect) {
    WindowObject* w = Win(window);
    if (!w) return FALSE;
    RECT inter;
    if (!rect || (IntersectRect(&inter, rect, &w->update) && EqualRect(&inter, &w->update))) {
        w->hasUpdate = false;
        w->updateErase = false;
    }
    return TRUE;
}

BOOL GetUpdateRect(HWND window, RECT* rect, BOOL) {
    WindowObject* w = Win(window);
    if (!w) return FALSE;
    if (rect) *rect = w->hasUpdate ? w->update : RECT{};
    return w->hasUpdate ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND window) {
    WindowObject* w = Win(window);
    if (!w) return FALSE;
    if (w->hasUpdate && IsWindowVisible(window)) SendMessageW(window, WM_PAINT, 0, 0);
    return TRUE;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    WindowObject* w = Win(window);
    if (!w || !paint) return nullptr;
    *paint = PAINTSTRUCT{};
    HDC dc = GetDC(window);
    paint->hdc = dc;
    paint->rcPaint = w->hasUpdate ? w->update : RECT{};
    const bool erase = w->hasUpdate && w->updateErase;
    w->hasUpdate = false;
    w->updateErase = false;
    dc->paintClip = true;
    dc->paintRect = paint->rcPaint;
    if (erase)
        paint->fErase = SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
    return dc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
    if (!paint || !paint->hdc) return FALSE;
    paint->hdc->paintClip = false;
    ReleaseDC(window, paint->hdc);
    return TRUE;
}

HDC GetDC(HWND window) {
    if (!window) return NewDc(DcKind::Screen, nullptr);
    WindowObject* w = Win(window);
    if (!w) return nullptr;
    if (w->ownDc) return w->ownDc;
    return NewDc(DcKind::Window, window);
}

int ReleaseDC(HWND, HDC dc) {
    if (!IsLiveDc(dc)) return 0;
    if (!dc->ownDc && dc->kind != DcKind::Memory) FreeDc(dc);
    PresentDirtyWindows();
    return 1;
}

} // namespace win32
