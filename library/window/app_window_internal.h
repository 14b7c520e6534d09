// What the window units of the library share: freeing a record and copying the work surface to the window.
#pragma once

#include "vtrs2/app_window.h"

// Frees the record's resources, takes it out of its context and frees it.
void FreeAppWindow(AppWindow* window);
// Copies a rectangle of the work surface to the window, 1:1, or the whole surface stretched to the client.
void PaintWindowFromSurface(AppWindow* window, int x, int y, int width, int height);
// The record kept in a window's first data slot, when it names that window.
AppWindow* RecordOfWindow(win32::HWND window);
