// The library's wide/ANSI platform wrappers, its string conversions and the virtual-screen rectangle.
#pragma once

#include "vtrs2/export.h"
#include "win32/font.h"
#include "win32/kernel.h"

// Chooses the wide system calls for every wrapper below (they take the ANSI path until then); returns 1 when
// the wide calls work, which they always do here. The program calls it once at start-up.
VTRS2_API int IsUnicodeOS();

// The code page of the ANSI path's conversions; 0 means the system's ANSI code page.
VTRS2_API win32::UINT GetConversionCodePage();
// Returns the previous one.
VTRS2_API win32::UINT SetConversionCodePage(win32::UINT codePage);

// Code page -1 means the conversion code page. Null for a null string or a code page that does not convert.
// The narrow block is zeroed and at least 3 x length + 3 bytes, and always large enough for the code page.
VTRS2_API char* ToNarrowString(const win32::WCHAR* text, int codePage);
// A new wide string of length + 1 characters.
VTRS2_API win32::WCHAR* ToWideString(const char* text, int codePage);
// Frees a string from ToNarrowString or ToWideString.
VTRS2_API void FreeString(void* text);

// The first argument is not used. INVALID_HANDLE_VALUE when nothing matches.
VTRS2_API win32::HANDLE FindFirstFileCompat(void* unused, const win32::WCHAR* pattern,
                                            win32::WIN32_FIND_DATAW* data);
VTRS2_API win32::BOOL FindNextFileCompat(win32::HANDLE find, win32::WIN32_FIND_DATAW* data);
VTRS2_API win32::HMODULE LoadLibraryCompat(const win32::WCHAR* name);
// Null on failure.
VTRS2_API win32::HFONT CreateFontIndirectCompat(const win32::LOGFONTW* font);
// String `id` of the module into the buffer (at most size - 1 characters, terminated); the count of
// characters copied, 0 when there is no such string.
VTRS2_API int LoadStringCompat(win32::HMODULE module, win32::UINT id, win32::WCHAR* buffer, int size);

// The numeric fields are copied; the face name is converted with the system code page, always terminated.
VTRS2_API void LogFontToWide(win32::LOGFONTW* out, const win32::LOGFONTA* in);
VTRS2_API void LogFontToNarrow(win32::LOGFONTA* out, const win32::LOGFONTW* in);

// The rectangle that covers every monitor.
VTRS2_API void GetVirtualScreenRect(win32::RECT* rect);
