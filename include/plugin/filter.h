// The entry points a filter plug-in (an image filter ".ift" or a sound filter ".sft") exports by name, as
// extern "C" functions. CreateFilter and GetFilterID are required, and one of the two name entry points.
#pragma once

#include "win32/types.h"

class CInputFile;

// (manager value) -> a new filter object of the filter's kind, or null.
using FilterCreateProc = void* (*)(win32::DWORD value);
// (stream) -> non-zero when the plug-in can read it; the stream may be left anywhere.
using FilterCanReadProc = int (*)(CInputFile* stream);
using FilterIdProc = win32::DWORD (*)();
using FilterNameAProc = const char* (*)();
using FilterNameWProc = const win32::WCHAR* (*)();
// Lower priorities are tried first; a plug-in without the entry point has 8192.
using FilterPriorityProc = int (*)();
// Null-terminated arrays of strings (extensions without the dot, or module names).
using FilterListAProc = const char* const* (*)();
using FilterListWProc = const win32::WCHAR* const* (*)();

constexpr int DefaultFilterPriority = 8192;
