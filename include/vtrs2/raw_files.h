// Plain file functions over the platform's file handles, reporting the stream result codes.
#pragma once

#include "vtrs2/export.h"

#include "win32/types.h"

// Each returns INVALID_HANDLE_VALUE (-1) on failure.
// Creates or truncates a file for reading and writing.
VTRS2_API win32::HANDLE FileCreateRaw(const win32::WCHAR* name);
VTRS2_API win32::HANDLE FileCreateRawA(const char* name);
// Opens an existing file: mode 1 writes only, mode 2 reads and writes, any other value reads only.
VTRS2_API win32::HANDLE FileOpenRaw(const win32::WCHAR* name, int mode);
VTRS2_API win32::HANDLE FileOpenRawA(const char* name, int mode);
VTRS2_API void FileCloseRaw(win32::HANDLE file);
// 1 when a directory search for the name finds something.
VTRS2_API int FileExists(const win32::WCHAR* name);
VTRS2_API int FileExistsA(const char* name);

VTRS2_API win32::LONG FileGetSizeRaw(win32::HANDLE file);
VTRS2_API win32::LONG FileTellRaw(win32::HANDLE file);
// Each returns the new position from the start, or -1.
VTRS2_API win32::LONG FileSeekRaw(win32::HANDLE file, win32::LONG offset);
VTRS2_API win32::LONG FileSkipRaw(win32::HANDLE file, win32::LONG offset);
VTRS2_API win32::LONG FileSeekEndRaw(win32::HANDLE file, win32::LONG offset);

// StreamReadError when the read fails, StreamEndOfData when fewer bytes are there.
VTRS2_API int FileReadRaw(win32::HANDLE file, void* buffer, win32::LONG size);
// The bytes read, or -1 when the read fails.
VTRS2_API win32::LONG FileReadCountRaw(win32::HANDLE file, void* buffer, win32::LONG size);
// A 32-bit (16-bit) length, then a new block (AllocMemory) of that length read from the file. A length
// beyond what the file has left gives StreamEndOfData before anything is allocated.
VTRS2_API int FileReadBlock32Raw(win32::HANDLE file, void** block);
VTRS2_API int FileReadBlock16Raw(win32::HANDLE file, void** block);
// As FileReadBlock16Raw, with the block one byte longer and zero-terminated.
VTRS2_API int FileReadString16Raw(win32::HANDLE file, char** block);
// StreamWriteError when the write fails, StreamDiskFull when the disk is full or fewer bytes were written.
VTRS2_API int FileWriteRaw(win32::HANDLE file, const void* data, win32::LONG size);
