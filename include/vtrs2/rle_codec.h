// Run-length packing of image pixels and the 16-bit checksum that bank items are compared by.
#pragma once

#include "vtrs2/export.h"
#include "win32/types.h"

#include <cstddef>

// Packing flags choose the pixel size, tested in this order: 4 three bytes, 2 two bytes, 1 one byte.
constexpr win32::DWORD RlePixel24 = 4;
constexpr win32::DWORD RlePixel16 = 2;
constexpr win32::DWORD RlePixel8 = 1;

// Bytes per pixel for packing flags; 0 when no size flag is set (the stream is then the end byte alone).
VTRS2_API int RlePixelSize(win32::DWORD flags);

// Packs `size` bytes of `source`; returns the bytes written, end byte included, or 0 when `capacity`
// is too small to hold them (nothing is written past `capacity`).
VTRS2_API std::size_t RleCompressPixels(win32::BYTE* destination, std::size_t capacity,
                                        const win32::BYTE* source, std::size_t size, win32::DWORD flags);
// The count RleCompressPixels would write.
VTRS2_API std::size_t GetRleCompressedSize(const win32::BYTE* source, std::size_t size, win32::DWORD flags);
// Unpacks until the end byte, the end of the packed bytes or the end of the destination, whichever comes
// first; returns the bytes written. Runs that claim more than the destination holds are cut at its end.
VTRS2_API std::size_t DecodeRlePixels(win32::BYTE* destination, std::size_t capacity,
                                      const win32::BYTE* source, std::size_t sourceSize, win32::DWORD flags);
// The count DecodeRlePixels would write into a destination of `limit` bytes, found without writing.
VTRS2_API std::size_t GetRleDecodedSize(const win32::BYTE* source, std::size_t sourceSize, win32::DWORD flags,
                                        std::size_t limit);

VTRS2_API win32::DWORD ComputeItemChecksum(const void* buffer, std::size_t count);
VTRS2_API win32::DWORD ContinueChecksum(const void* buffer, std::size_t count, win32::DWORD start);
// 0 when the two buffers hold the same bytes.
VTRS2_API int CompareItemBytes(const void* first, const void* second, std::size_t count);
