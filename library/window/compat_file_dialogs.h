// The common open and save dialogs as the library's wrappers call them: the wide calls once IsUnicodeOS has
// chosen them, else the ANSI calls over converted texts.
#pragma once

#include "win32/comdlg.h"

// TRUE when a file was chosen; the chosen path, its name, the custom filter and the chosen type come back in
// the wide record either way. A hook is told with the record of the call made (OPENFILENAMEA on the ANSI
// path, which keeps the wide record's custom data).
win32::BOOL GetOpenFileNameCompat(win32::OPENFILENAMEW* ofn);
win32::BOOL GetSaveFileNameCompat(win32::OPENFILENAMEW* ofn);
