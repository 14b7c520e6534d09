// Reading and writing whole text files in the seven encodings the applications use.
#pragma once

#include "win32/types.h"

namespace vtrrt {

enum TextEncoding : int {
    TextAnsi = 0,
    TextUtf8Bom = 1,
    TextUtf8 = 2,
    TextUtf16LeBom = 3,
    TextUtf16Le = 4,
    TextUtf16BeBom = 5,
    TextUtf16Be = 6,
};
constexpr int TextEncodingCount = 7;

// A new terminated UTF-16 string (FreeMemory) with the file's text, or null. Encoding -1 takes the current
// application's default; a byte-order mark in the file overrides the encoding given.
win32::WCHAR* ReadTextFile(const win32::WCHAR* path, int encoding);
// 1 on success, 0 on failure. Encoding -1 takes the current application's default.
int WriteTextFile(int encoding, const win32::WCHAR* path, const win32::WCHAR* text);

} // namespace vtrrt
