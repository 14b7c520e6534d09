// Copies of file names that the file streams keep, in the library's memory, in either character set.
#pragma once

#include "win32/types.h"

namespace filenames {

// Each returns a new copy (free it with Free), or null for a null name or when memory runs out.
win32::WCHAR* CopyWide(const win32::WCHAR* name);
char* CopyAnsi(const char* name);
// Converted through the system's ANSI code page.
char* AnsiFromWide(const win32::WCHAR* name);
win32::WCHAR* WideFromAnsi(const char* name);

template <typename T> void Free(T*& name);

} // namespace filenames
