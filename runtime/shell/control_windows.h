// The control windows that object extensions make: subclassed so that Tab moves the focus between them
// and the extension can see their messages first.
#pragma once

#include "win32/user.h"

#include <cstdint>

namespace vtrrt {

struct FrameRunState;
struct RunObject;

// An extension's routine for its controls' messages; a nonzero result ends the message with 0.
using ControlMessageRoutine = win32::LRESULT (*)(FrameRunState* state, win32::HWND window,
                                                 win32::UINT message, win32::WPARAM wParam,
                                                 win32::LPARAM lParam);

// Subclasses each window of the object's list that is not subclassed yet; with a routine, the run state
// counts one more control that has one.
void SubclassControlWindows(RunObject* object, std::int16_t number, ControlMessageRoutine routine);
win32::LRESULT ControlSubclassProc(win32::HWND window, win32::UINT message, win32::WPARAM wParam,
                                   win32::LPARAM lParam);
// Puts the replaced procedure back, forgets the window's properties and passes the message on.
win32::LRESULT RestoreControlWindowProc(win32::HWND window, win32::UINT message, win32::WPARAM wParam,
                                        win32::LPARAM lParam);

// Tab and Shift+Tab through the focusable controls of the running frame's objects, in object-list order;
// past either end the frame window takes the focus. 1 when a control got it.
int FocusNextControl(FrameRunState* state);
int FocusPreviousControl(FrameRunState* state);

} // namespace vtrrt
