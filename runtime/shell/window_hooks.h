// The running frame's window-message hooks: the rich text object's and the object extensions' routines that
// see the shell's window messages before the shell does, in order of priority.
#pragma once

#include "core/frame_run_state.h"

#include "win32/user.h"

#include <cstdint>

namespace vtrrt {

// Result flags of a hook, and of CallWindowHooks.
constexpr std::uint16_t HookHandled = 0x4;       // the window procedure returns 0
constexpr std::uint16_t HookDefaultOnly = 0x10;  // only the default handling runs
constexpr std::uint16_t HookStoredResult = 0x40; // the procedure returns the run state's hook result
constexpr std::uint16_t HookStopMask = 0x5C;     // no later hook is called

// At frame start: the hooks of the frame's rich text objects and loaded extensions, sorted.
void BuildWindowHookList(FrameRunState& state);
// Adds a hook at the end of the list; false when the list is full.
bool AppendWindowHook(FrameRunState& state, WindowHookRoutine routine, std::int32_t priority);
// Ascending priority; hooks of equal priority keep their order.
void SortWindowHooks(FrameRunState& state);

// What a window message of the running frame meets first: Tab and Shift+Tab through the extensions'
// controls, then the hooks in order until one asks to stop. The last hook's result; 0 without a frame.
std::uint16_t CallWindowHooks(win32::HWND window, win32::UINT message, win32::WPARAM wParam,
                              win32::LPARAM lParam);

} // namespace vtrrt
