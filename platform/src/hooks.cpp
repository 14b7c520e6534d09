// Hook chains: the WH_CALLWNDPROC hooks that see every sent message, and the WH_MSGFILTER hooks that modal
// loops offer their messages to.
#include "hooks.h"
#include "handle_storage.h"
#include "win32/kernel.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <vector>

namespace win32 {

struct HookObject {
    int kind;
    HOOKPROC proc;
    DWORD thread; // 0: every thread
};

namespace {

struct HookChains {
    std::mutex lock;
    std::vector<HookObject*> hooks; // the hook installed last first
};

HookChains& Chains() {
    static auto* chains = new HookChains; // never destroyed: a hook may be removed during exit
    return *chains;
}

std::atomic<int> callWndProcHooks{0};

// The hooks running on this thread: a hook is not called again for what it sends itself.
thread_local std::vector<const HookObject*> running;

bool Applies(const HookObject* hook, int kind, DWORD thread) {
    return hook->kind == kind && (hook->thread == 0 || hook->thread == thread) &&
           std::find(running.begin(), running.end(), hook) == running.end();
}

struct Found {
    HHOOK hook;
    HOOKPROC proc;
};

// The first hook of the kind for this thread after `after` (null: from the start of the chain).
std::optional<Found> NextHook(int kind, const HookObject* after) {
    HookChains& c = Chains();
    const DWORD thread = GetCurrentThreadId();
    std::lock_guard guard(c.lock);
    auto it = c.hooks.begin();
    if (after) {
        it = std::find(c.hooks.begin(), c.hooks.end(), after);
        if (it == c.hooks.end()) return std::nullopt;
        ++it;
    }
    for (; it != c.hooks.end(); ++it)
        if (Applies(*it, kind, thread)) return Found{*it, (*it)->proc};
    return std::nullopt;
}

LRESULT Run(const Found& found, int code, WPARAM wParam, LPARAM lParam) {
    running.push_back(found.hook);
    const LRESULT result = found.proc(code, wParam, lParam);
    running.erase(std::find(running.begin(), running.end(), found.hook));
    return result;
}

std::optional<LRESULT> CallChain(int kind, int code, WPARAM wParam, LPARAM lParam) {
    const std::optional<Found> first = NextHook(kind, nullptr);
    if (!first) return std::nullopt;
    return Run(*first, code, wParam, lParam);
}

} // namespace

HHOOK SetWindowsHookExW(int kind, HOOKPROC proc, HINSTANCE, DWORD threadId) {
    if (!proc || (kind != WH_CALLWNDPROC && kind != WH_MSGFILTER)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HookObject* hook = detail::NewHandleObject<HookObject>(kind, proc, threadId);
    HookChains& c = Chains();
    std::lock_guard guard(c.lock);
    c.hooks.insert(c.hooks.begin(), hook);
    if (kind == WH_CALLWNDPROC) ++callWndProcHooks;
    return hook;
}

BOOL UnhookWindowsHookEx(HHOOK hook) {
    HookChains& c = Chains();
    {
        std::lock_guard guard(c.lock);
        auto it = std::find(c.hooks.begin(), c.hooks.end(), hook);
        if (it == c.hooks.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        c.hooks.erase(it);
        if (hook->kind == WH_CALLWNDPROC) --callWndProcHooks;
    }
    // A hook that removes itself while it runs is still on this thread's list of running hooks; its address
    // is never reused, so that entry names nothing else.
    detail::DeleteHandleObject(hook);
    return TRUE;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
    if (!hook) return 0;
    int kind;
    {
        HookChains& c = Chains();
        std::lock_guard guard(c.lock);
        if (std::find(c.hooks.begin(), c.hooks.end(), hook) == c.hooks.end()) return 0;
        kind = hook->kind;
    }
    const std::optional<Found> next = NextHook(kind, hook);
    return next ? Run(*next, code, wParam, lParam) : 0;
}

BOOL CallMsgFilterW(MSG* msg, int code) {
    if (!msg) return FALSE;
    const std::optional<LRESULT> taken = CallChain(WH_MSGFILTER, code, 0, reinterpret_cast<LPARAM>(msg));
    return taken && *taken ? TRUE : FALSE;
}

void CallWindowProcHooks(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (callWndProcHooks.load(std::memory_order_relaxed) == 0) return;
    CWPSTRUCT sent{lParam, wParam, message, window};
    CallChain(WH_CALLWNDPROC, HC_ACTION, 1, reinterpret_cast<LPARAM>(&sent));
}

} // namespace win32
