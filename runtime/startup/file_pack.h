// The file pack behind the program's image: finding it, unpacking its modules, and checking them.
#pragma once

#include "vtrs2/streams.h"
#include "win32/kernel.h"

#include <optional>
#include <span>
#include <string_view>

#include "vtrformat/file_pack.h"

namespace vtrrt {

using vtrformat::FilePackHeaderSize;
using vtrformat::FilePackMagic1;
using vtrformat::FilePackMagic2;
// How far behind the program's image the pack is looked for.
constexpr win32::DWORD FilePackSearchLength = 1'400'000;
// Pack entry names are 1..259 UTF-16 units.
constexpr win32::DWORD MaxPackNameLength = 259;

// Looks for the pack's two magic words from file offset `start` over at most `length` bytes; the first hit
// is kept as the pack position. 1 when found, else 0.
int FindFilePack(win32::HANDLE file, win32::DWORD start, win32::DWORD length);

// Unpacks the pack behind the program's own image into the temporary folder: 0 or an error code.
int UnpackFilePack();
// The same over any file, searching from `searchStart` over `searchLength` bytes.
int UnpackFilePack(win32::HANDLE file, win32::DWORD searchStart, win32::DWORD searchLength);

// Where the pack is looked for in the program file: the end of its ELF image (the later of the end of the
// section-header table and of the last section). Nothing when the file is not a readable ELF64 image.
std::optional<win32::DWORD> FindProgramImageEnd(win32::HANDLE file);

using vtrformat::RollingChecksum;
// The same over `count` bytes of a file from its current position, in blocks; a read failure ends it early.
win32::DWORD ChecksumFile(win32::HANDLE file, win32::DWORD count);

// The raw file helpers answer with the library's stream result codes.
// 0, StreamReadError, or StreamEndOfData when fewer bytes came than asked.
int ReadFileExact(win32::HANDLE file, void* buffer, win32::DWORD count);
// 0, StreamWriteError, or StreamDiskFull when fewer bytes went out than asked.
int WriteFileExact(win32::HANDLE file, const void* buffer, win32::DWORD count);
// The file's length; its position is kept.
win32::DWORD GetFileLength(win32::HANDLE file);

// Whether a pack entry name stays inside the temporary folder and names a file there: relative, without a
// drive, a terminator inside, or an empty, "." or ".." component (so no trailing separator either).
bool IsSafePackEntryName(std::u16string_view name);

} // namespace vtrrt
