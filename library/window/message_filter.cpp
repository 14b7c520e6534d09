// The message-filter hook that turns a key pressed in a dialog into a message to the dialog.
#include "vtrs2/app_window.h"
#include "win32/kernel.h"

using namespace win32;

namespace {

struct FilterHook {
    HHOOK hook = nullptr;
    int installs = 0;
};

thread_local FilterHook filter;

} // namespace

LRESULT MessageFilterProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code < 0) return CallNextHookEx(filter.hook, code, wParam, lParam);
    const auto* msg = reinterpret_cast<const MSG*>(lParam);
    if (code != MSGF_DIALOGBOX || !msg || msg->message != WM_KEYDOWN) return 0;
    // The key went to the control that has the focus; the dialog is its parent.
    PostMessageW(GetParent(msg->hwnd), DialogKeyMessage, msg->wParam, msg->lParam);
    return 1;
}

int InstallMessageFilterHook() {
    if (filter.installs == 0) {
        filter.hook = SetWindowsHookExW(WH_MSGFILTER, MessageFilterProc, nullptr, GetCurrentThreadId());
        if (!filter.hook) return 0;
    }
    ++filter.installs;
    return 1;
}

int RemoveMessageFilterHook() {
    if (filter.installs == 0) return 0;
    if (--filter.installs == 0) {
        UnhookWindowsHookEx(filter.hook);
        filter.hook = nullptr;
    }
    return 1;
}
