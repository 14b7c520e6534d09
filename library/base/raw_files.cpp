// Plain file functions over the platform's file handles.
#include "vtrs2/raw_files.h"

#include "file_names.h"
#include "vtrs2/memory.h"
#include "vtrs2/streams.h"
#include "win32/kernel.h"

#include <cstring>

using namespace win32;

namespace {

constexpr int ModeWriteOnly = 1;
constexpr int ModeReadWrite = 2;
constexpr int ShareNoneBit = 0x10;
constexpr int ShareAllBit = 0x40;
constexpr int ShareNoneLowBit = 0x20;

DWORD AccessOf(int mode) {
    if (mode == ModeWriteOnly) return GENERIC_WRITE;
    if (mode == ModeReadWrite) return GENERIC_READ | GENERIC_WRITE;
    return GENERIC_READ;
}

DWORD SharingOf(int mode) {
    if (mode == ModeWriteOnly || (mode & ShareNoneBit)) return 0;
    if (mode & ShareAllBit) return FILE_SHARE_READ | FILE_SHARE_WRITE;
    if (mode & ShareNoneLowBit) return 0;
    return FILE_SHARE_READ;
}

// Calls `open` with the name made wide; -1 when the name cannot be converted.
template <typename Open> HANDLE WithWideName(const char* name, Open open) {
    WCHAR* wide = filenames::WideFromAnsi(name);
    if (!wide) return INVALID_HANDLE_VALUE;
    HANDLE file = open(wide);
    filenames::Free(wide);
    return file;
}

LONG MoveFile(HANDLE file, LONG offset, DWORD method) {
    const DWORD position = SetFilePointer(file, offset, nullptr, method);
    if (position == INVALID_SET_FILE_POINTER || position > 0x7FFFFFFF) return -1;
    return static_cast<LONG>(position);
}

// Reads a length of `bytes` bytes, then a block of that length plus `extra` zeroed bytes.
int ReadBlock(HANDLE file, int bytes, int extra, void** block) {
    unsigned char prefix[4] = {};
    if (const int code = FileReadRaw(file, prefix, bytes)) return code;
    DWORD length = 0;
    for (int i = bytes - 1; i >= 0; --i)
        length = (length << 8) | prefix[i];
    const LONG position = FileTellRaw(file);
    const LONG size = FileGetSizeRaw(file);
    if (position < 0 || size < 0) return StreamReadError;
    // Checked before allocating: a damaged length must not cost a huge allocation.
    if (length > static_cast<DWORD>(size - position)) return StreamEndOfData;
    void* data = nullptr;
    const std::size_t total = static_cast<std::size_t>(length) + static_cast<std::size_t>(extra);
    if (!(extra ? AllocZeroedMemory(total, &data) : AllocMemory(total, &data))) return StreamOutOfMemory;
    if (const int code = FileReadRaw(file, data, static_cast<LONG>(length))) {
        FreeMemory(&data);
        return code;
    }
    *block = data;
    return StreamOk;
}

} // namespace

HANDLE FileCreateRaw(const WCHAR* name) {
    if (!name) return INVALID_HANDLE_VALUE;
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

HANDLE FileCreateRawA(const char* name) {
    return WithWideName(name, FileCreateRaw);
}

HANDLE FileOpenRaw(const WCHAR* name, int mode) {
    if (!name) return INVALID_HANDLE_VALUE;
    return CreateFileW(name, AccessOf(mode), SharingOf(mode), nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

HANDLE FileOpenRawA(const char* name, int mode) {
    return WithWideName(name, [mode](const WCHAR* wide) { return FileOpenRaw(wide, mode); });
}

void FileCloseRaw(HANDLE file) {
    CloseHandle(file);
}

int FileExists(const WCHAR* name) {
    if (!name) return 0;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(name, &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    FindClose(find);
    return 1;
}

int FileExistsA(const char* name) {
    WCHAR* wide = filenames::WideFromAnsi(name);
    const int exists = FileExists(wide);
    filenames::Free(wide);
    return exists;
}

LONG FileGetSizeRaw(HANDLE file) {
    const LONG position = FileTellRaw(file);
    if (position < 0) return -1;
    const LONG end = MoveFile(file, 0, FILE_END);
    MoveFile(file, position, FILE_BEGIN);
    return end;
}

LONG FileTellRaw(HANDLE file) {
    return MoveFile(file, 0, FILE_CURRENT);
}

LONG FileSeekRaw(HANDLE file, LONG offset) {
    return MoveFile(file, offset, FILE_BEGIN);
}

LONG FileSkipRaw(HANDLE file, LONG offset) {
    return MoveFile(file, offset, FILE_CURRENT);
}

LONG FileSeekEndRaw(HANDLE file, LONG offset) {
    return MoveFile(file, offset, FILE_END);
}

int FileReadRaw(HANDLE file, void* buffer, LONG size) {
    if (size < 0) return StreamEndOfData;
    DWORD read = 0;
    if (!ReadFile(file, buffer, static_cast<DWORD>(size), &read, nullptr))
        return GetLastError() == ERROR_HANDLE_EOF ? StreamEndOfData : StreamReadError;
    return read < static_cast<DWORD>(size) ? StreamEndOfData : StreamOk;
}

LONG FileReadCountRaw(HANDLE file, void* buffer, LONG size) {
    if (size < 0) return -1;
    DWORD read = 0;
    if (!ReadFile(file, buffer, static_cast<DWORD>(size), &read, nullptr)) return -1;
    return static_cast<LONG>(read);
}

int FileReadBlock32Raw(HANDLE file, void** block) {
    return ReadBlock(file, 4, 0, block);
}

int FileReadBlock16Raw(HANDLE file, void** block) {
    return ReadBlock(file, 2, 0, block);
}

int FileReadString16Raw(HANDLE file, char** block) {
    return ReadBlock(file, 2, 1, reinterpret_cast<void**>(block));
}

int FileWriteRaw(HANDLE file, const void* data, LONG size) {
    if (size < 0) return StreamWriteError;
    DWORD written = 0;
    if (!WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr))
        return GetLastError() == ERROR_DISK_FULL ? StreamDiskFull : StreamWriteError;
    return written < static_cast<DWORD>(size) ? StreamDiskFull : StreamOk;
}
