// Compression between the library's streams: zlib streams (deflate with the zlib header), worked in 8 KB
// blocks so that any size runs in fixed memory. Every function returns a stream result code.
#pragma once

#include "vtrs2/export.h"
#include "vtrs2/streams.h"

// Size -1 means the rest of the input; level -1 is zlib's default, other levels are limited to 0..9.
VTRS2_API int CompressStream(COutputFile* output, CInputFile* input, win32::LONG size, int level);
VTRS2_API int CompressMemoryToHandle(win32::HANDLE output, const void* data, win32::LONG size, int level);
// Compresses `size` bytes from the input handle's current position.
VTRS2_API int CompressHandleToHandle(win32::HANDLE output, win32::HANDLE input, win32::LONG size, int level);

// Inflates one zlib stream of at most `compressedSize` bytes (-1: the rest of the input). Corrupt data, and
// data that ends before the zlib stream does, give StreamDataError.
VTRS2_API int DecompressStream(COutputFile* output, CInputFile* input, win32::LONG compressedSize);
VTRS2_API int DecompressMemoryToHandle(win32::HANDLE output, const void* data, win32::LONG size);
// Inflates from the input handle's current position into the caller's buffer of `capacity` bytes; a result
// that does not fit gives StreamBufferFull and nothing is written past the buffer.
VTRS2_API int DecompressFileToMemory(void* buffer, win32::HANDLE input, win32::LONG compressedSize,
                                     win32::LONG capacity);
VTRS2_API int DecompressFileToFile(win32::HANDLE output, win32::HANDLE input, win32::LONG compressedSize);
