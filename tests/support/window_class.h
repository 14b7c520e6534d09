// A window class of a name and a procedure, as most window tests need one.
#pragma once

#include "win32/user.h"

namespace test_support {

// The class's atom; 0 when a class of that name is registered already (by an earlier test of the process).
inline win32::ATOM RegisterWindowClass(const char16_t* name, win32::WNDPROC proc) {
    win32::WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.lpszClassName = name;
    return win32::RegisterClassExW(&wc);
}

} // namespace test_support
