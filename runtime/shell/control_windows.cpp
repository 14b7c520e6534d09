#include "shell/control_windows.h"

#include "core/frame_run_state.h"
#include "objects/run_objects.h"
#include "startup/shell_services.h"

#include <cstring>
#include <vector>

namespace vtrrt {

using namespace win32;

namespace {

const WCHAR* Property(ShellProperty property) {
    return ShellPropertyName(property);
}

// The object's window list, checked against its record: an offset or count that reaches past the record
// gives no windows.
std::vector<HWND> ControlWindowsOf(const RunObject& object) {
    const auto offset = static_cast<std::size_t>(object.controlWindows);
    if (object.controlWindows <= 0 || offset + sizeof(std::int32_t) > object.recordSize) return {};
    const auto* base = reinterpret_cast<const std::uint8_t*>(&object);
    std::int32_t count = 0;
    std::memcpy(&count, base + offset, sizeof count);
    const std::size_t room = (object.recordSize - offset - sizeof count) / sizeof(HWND);
    if (count <= 0 || static_cast<std::size_t>(count) > room) return {};
    std::vector<HWND> windows(static_cast<std::size_t>(count));
    std::memcpy(windows.data(), base + offset + sizeof count, windows.size() * sizeof(HWND));
    return windows;
}

struct ControlWindow {
    const RunObject* object;
    HWND window;
};

// Every window of every live object's list, in the order of the frame's object list.
std::vector<ControlWindow> FrameControlWindows(const FrameRunState& s) {
    std::vector<ControlWindow> all;
    for (std::int32_t slot = 0; s.objects && slot < s.maxObjects; ++slot)
        if (const RunObject* object = s.objects[slot].object)
            for (HWND window : ControlWindowsOf(*object))
                all.push_back({object, window});
    return all;
}

bool Focusable(const ControlWindow& c) {
    return c.window && (c.object->objectFlags & ObjectCounted);
}

std::size_t IndexOfFocus(const std::vector<ControlWindow>& all) {
    const HWND focus = GetFocus();
    for (std::size_t i = 0; focus && i < all.size(); ++i)
        if (all[i].window == focus) return i;
    return all.size();
}

int FocusFrameWindow(const FrameRunState& s) {
    if (s.frameWindow && GetFocus() != s.frameWindow) SetFocus(s.frameWindow);
    return 0;
}

FrameRunState* RunStateOf(const RunObject* object) {
    return object && object->runState ? object->runState : CurrentRunState();
}

} // namespace

void SubclassControlWindows(RunObject* object, std::int16_t number, ControlMessageRoutine routine) {
    if (!object) return;
    for (HWND window : ControlWindowsOf(*object)) {
        if (!window || GetPropW(window, Property(ShellProperty::Owner))) continue;
        const LONG_PTR previous =
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ControlSubclassProc));
        SetPropW(window, Property(ShellProperty::Procedure), reinterpret_cast<HANDLE>(previous));
        SetPropW(window, Property(ShellProperty::Owner), object);
        SetPropW(window, Property(ShellProperty::Number),
                 reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(number)));
        if (!routine) continue;
        SetPropW(window, Property(ShellProperty::MessageRoutine), reinterpret_cast<HANDLE>(routine));
        if (FrameRunState* s = RunStateOf(object)) ++s->controlsWithRoutines;
    }
}

LRESULT ControlSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto previous = reinterpret_cast<WNDPROC>(GetPropW(window, Property(ShellProperty::Procedure)));
    // Between frames the owner is gone: the control keeps its own procedure's handling, its destroy
    // message included.
    if (!CurrentRunState()) {
        if (message == WM_NCDESTROY) return RestoreControlWindowProc(window, message, wParam, lParam);
        return CallWindowProcW(previous, window, message, wParam, lParam);
    }
    const auto* owner = static_cast<const RunObject*>(GetPropW(window, Property(ShellProperty::Owner)));
    FrameRunState* s = RunStateOf(owner);
    const auto routine =
        reinterpret_cast<ControlMessageRoutine>(GetPropW(window, Property(ShellProperty::MessageRoutine)));
    if (s->controlsWithRoutines > 0 && routine && routine(s, window, message, wParam, lParam) &&
        message != WM_NCDESTROY)
        return 0;
    if (message == WM_NCDESTROY) return RestoreControlWindowProc(window, message, wParam, lParam);
    if (message == WM_KEYDOWN && wParam == VK_TAB && owner) {
        if (owner->objectFlags & ObjectCounted) {
            if (GetKeyState(VK_SHIFT) & 0x8000)
                FocusPreviousControl(s);
            else
                FocusNextControl(s);
        }
        return 0;
    }
    return CallWindowProcW(previous, window, message, wParam, lParam);
}

LRESULT RestoreControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto previous = reinterpret_cast<WNDPROC>(RemovePropW(window, Property(ShellProperty::Procedure)));
    const auto* owner = static_cast<const RunObject*>(RemovePropW(window, Property(ShellProperty::Owner)));
    RemovePropW(window, Property(ShellProperty::Number));
    if (previous) SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    FrameRunState* s = CurrentRunState() ? RunStateOf(owner) : nullptr;
    if (RemovePropW(window, Property(ShellProperty::MessageRoutine)) && s && s->controlsWithRoutines > 0)
        --s->controlsWithRoutines;
    return CallWindowProcW(previous, window, message, wParam, lParam);
}

int FocusNextControl(FrameRunState* s) {
    if (!s) return 0;
    const std::vector<ControlWindow> all = FrameControlWindows(*s);
    const std::size_t focus = IndexOfFocus(all);
    for (std::size_t i = focus == all.size() ? 0 : focus + 1; i < all.size(); ++i) {
        if (!Focusable(all[i])) continue;
        SetFocus(all[i].window);
        return 1;
    }
    return FocusFrameWindow(*s);
}

int FocusPreviousControl(FrameRunState* s) {
    if (!s) return 0;
    const std::vector<ControlWindow> all = FrameControlWindows(*s);
    const std::size_t focus = IndexOfFocus(all);
    for (std::size_t i = focus; i-- > 0;) {
        if (!Focusable(all[i])) continue;
        SetFocus(all[i].window);
        return 1;
    }
    return FocusFrameWindow(*s);
}

} // namespace vtrrt
