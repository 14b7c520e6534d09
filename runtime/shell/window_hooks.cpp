#include "shell/window_hooks.h"

#include "events/extension_host.h"

#include "core/application_record.h"
#include "core/header_flags.h"
#include "objects/display_list.h"
#include "richtext/rich_text_object.h"
#include "shell/control_windows.h"

#include <span>
#include <utility>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::uint16_t FocusMoved = 4;

std::span<WindowHook> Hooks(FrameRunState& s) {
    return {s.windowHooks, static_cast<std::size_t>(s.windowHookCount)};
}

// Tab moves through the controls only when the frame has objects whose controls take part.
bool MoveFocus(FrameRunState& s, WPARAM key) {
    if (key != VK_TAB || s.countedObjects <= 0) return false;
    const bool back = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    return (back ? FocusPreviousControl(&s) : FocusNextControl(&s)) != 0;
}

} // namespace

void BuildWindowHookList(FrameRunState& s) {
    s.windowHookCount = 0;
    // The rich text object's message routine comes first (priority 100) when the frame uses one.
    if (FrameUsesRichText(s)) AppendWindowHook(s, RtfObjectScrollHook, RichTextHookPriority);
    AddExtensionWindowHooks(s);
    SortWindowHooks(s);
}

bool AppendWindowHook(FrameRunState& s, WindowHookRoutine routine, std::int32_t priority) {
    if (!routine || s.windowHookCount < 0 || s.windowHookCount >= MaxWindowHooks) return false;
    s.windowHooks[s.windowHookCount++] = {routine, priority};
    return true;
}

void SortWindowHooks(FrameRunState& s) {
    std::span<WindowHook> hooks = Hooks(s);
    for (bool swapped = true; swapped;) {
        swapped = false;
        for (std::size_t i = 1; i < hooks.size(); ++i) {
            if (hooks[i - 1].priority <= hooks[i].priority) continue;
            std::swap(hooks[i - 1], hooks[i]);
            swapped = true;
        }
    }
}

std::uint16_t CallWindowHooks(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    FrameRunState* s = CurrentRunState();
    if (!s) return 0;
    if (message == WM_KEYDOWN && MoveFocus(*s, wParam)) return FocusMoved;
    // A frame fitted to its window is drawn again at the new size once its objects are on screen.
    if (message == WM_SIZE && s->application && (s->application->header.flags1 & HeaderFitFrame) &&
        s->firstDisplayDone)
        RedisplayAllObjects();
    std::uint16_t result = 0;
    for (const WindowHook& hook : Hooks(*s)) {
        result = hook.routine(s, window, message, wParam, lParam);
        if (result & HookStopMask) break;
        // A hook may have ended the frame.
        if (CurrentRunState() != s) return result;
    }
    return result;
}

} // namespace vtrrt
