// The layer's basic types are header-only; this unit checks their sizes where the layer is built.
#include "win32/types.h"

static_assert(sizeof(win32::WCHAR) == 2);
static_assert(sizeof(win32::LONG) == 4 && sizeof(win32::DWORD) == 4);
static_assert(sizeof(win32::LPARAM) == sizeof(void*) && sizeof(win32::WPARAM) == sizeof(void*));
