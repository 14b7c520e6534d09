#include "loop/menu_pause_hook.h"

#include "core/runtime_services.h"
#include "loop/pause.h"

#include "win32/kernel.h"
#include "win32/menu.h"

namespace vtrrt {

using namespace win32;

namespace {

// A scroll bar's thumb let go, or its scrolling ended, resumes; codes 0 to 7 otherwise pause.
void OnScroll(WPARAM wParam) {
    const int code = LOWORD(wParam);
    if (code == SB_THUMBPOSITION || code == SB_ENDSCROLL)
        ResumeFrameTimer();
    else if (code < SB_ENDSCROLL)
        PauseFrameTimer();
}

void OnSentMessage(const CWPSTRUCT& sent) {
    const bool keepRunning = Services().keepRunningInModalLoops;
    switch (sent.message) {
    case WM_HSCROLL:
    case WM_VSCROLL:
        OnScroll(sent.wParam);
        break;
    case WM_INITMENU:
    case WM_INITMENUPOPUP:
        PauseFrameTimer();
        break;
    case WM_MENUSELECT:
        // The menu closed.
        if (sent.lParam == 0 && HIWORD(sent.wParam) == 0xFFFF) ResumeFrameTimer();
        break;
    case WM_ENTERSIZEMOVE:
        if (!keepRunning) PauseFrameTimer();
        break;
    case WM_EXITSIZEMOVE:
        if (!keepRunning) ResumeFrameTimer();
        break;
    default:
        break;
    }
}

} // namespace

LRESULT MenuPauseHookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code >= 0 && CurrentApplication() && lParam)
        OnSentMessage(*reinterpret_cast<const CWPSTRUCT*>(lParam));
    return CallNextHookEx(Services().hook, code, wParam, lParam);
}

void InstallMenuPauseHook() {
    RuntimeServices& services = Services();
    if (!services.hook)
        services.hook = SetWindowsHookExW(WH_CALLWNDPROC, MenuPauseHookProc, nullptr, GetCurrentThreadId());
}

void RemoveMenuPauseHook() {
    RuntimeServices& services = Services();
    if (services.hook) UnhookWindowsHookEx(services.hook);
    services.hook = nullptr;
    services.hookPaused = false;
}

} // namespace vtrrt
