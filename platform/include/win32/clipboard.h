// The clipboard, as far as Unicode text goes, and the movable global memory blocks it exchanges.
#pragma once

#include "win32/types.h"

#include <cstddef>

namespace win32 {

constexpr UINT CF_UNICODETEXT = 13;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_DDESHARE = 0x2000;
constexpr UINT GMEM_ZEROINIT = 0x0040;

// Global memory blocks: handles of the layer's own, locked for their bytes.
HANDLE GlobalAlloc(UINT flags, std::size_t bytes);
void* GlobalLock(HANDLE memory);
BOOL GlobalUnlock(HANDLE memory);
// Null on success, else the handle.
HANDLE GlobalFree(HANDLE memory);
std::size_t GlobalSize(HANDLE memory);

// The desktop's clipboard through SDL while video runs; a clipboard of the process's own before that. Only
// CF_UNICODETEXT is offered and taken; one opener at a time.
BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
// Must be open.
BOOL EmptyClipboard();
// The clipboard takes the block (and frees it); its text is read up to its first 0. Null when refused.
HANDLE SetClipboardData(UINT format, HANDLE memory);
// A block the clipboard keeps until it is closed or changed; null when it holds no such text.
HANDLE GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);

} // namespace win32
