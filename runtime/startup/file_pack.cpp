// Finding and unpacking the file pack: the library first and raw, every other module inflated by it.
#include "startup/file_pack.h"

#include "startup/runtime_files.h"
#include "vtrs2/compression.h"
#include "win32/kernel.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include "vtrformat/bytes.h"

using namespace win32;

namespace vtrrt {

namespace {

constexpr DWORD CopyBlockSize = 32768;
constexpr DWORD ChecksumBlockSize = 32768;

bool IsObjectExtension(std::u16string_view name) {
    constexpr std::u16string_view extension = u".vxe";
    return name.size() >= extension.size() &&
           EqualsIgnoringCase(name.substr(name.size() - extension.size()), extension);
}

bool SeekTo(HANDLE file, DWORD position) {
    return SetFilePointer(file, static_cast<LONG>(position), nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

DWORD Tell(HANDLE file) {
    return SetFilePointer(file, 0, nullptr, FILE_CURRENT);
}

// A little-endian field read whole from the file.
template <typename T> int ReadField(HANDLE file, T& value) {
    return vtrformat::ReadFieldFrom(
        [file](BYTE* bytes, std::size_t n) { return ReadFileExact(file, bytes, static_cast<DWORD>(n)); },
        value);
}

int ReadPackHeader(HANDLE file, FilePackHeader& header) {
    std::array<BYTE, FilePackHeaderSize> bytes;
    if (int code = ReadFileExact(file, bytes.data(), FilePackHeaderSize)) return code;
    DWORD* fields[] = {&header.magic1,     &header.magic2,  &header.headerSize, &header.dataOffset,
                       &header.reserved16, &header.options, &header.reserved24, &header.entryCount};
    for (std::size_t i = 0; i < std::size(fields); ++i)
        *fields[i] = vtrformat::GetU32(bytes.data() + i * 4);
    return 0;
}

int ReadName(HANDLE file, std::u16string& name) {
    WORD length = 0;
    if (int code = ReadField(file, length)) return code;
    if (length == 0 || length > MaxPackNameLength) return ErrorBadFilePack;
    std::vector<BYTE> bytes(length * 2u);
    if (int code = ReadFileExact(file, bytes.data(), length * 2u)) return code;
    name.resize(length);
    for (WORD i = 0; i < length; ++i)
        name[i] = static_cast<char16_t>(bytes[i * 2] | (bytes[i * 2 + 1] << 8));
    return 0;
}

// A stored size must fit in what is left of the file, so that neither the copy nor the inflater runs past the
// pack, and so that a size with its top bit set never reaches the stream layer as a negative count.
bool FitsInFile(HANDLE file, DWORD size) {
    DWORD position = Tell(file);
    DWORD length = GetFileLength(file);
    return position != INVALID_SET_FILE_POINTER && position <= length && size <= length - position;
}

int CopyRaw(HANDLE from, HANDLE to, DWORD size) {
    std::vector<BYTE> block(std::min(size, CopyBlockSize));
    while (size > 0) {
        DWORD chunk = std::min(size, CopyBlockSize);
        if (int code = ReadFileExact(from, block.data(), chunk)) return code;
        if (int code = WriteFileExact(to, block.data(), chunk)) return code;
        size -= chunk;
    }
    return 0;
}

int Inflate(HANDLE from, HANDLE to, DWORD size) {
    DWORD start = Tell(from);
    int code = DecompressFileToFile(to, from, static_cast<int>(size));
    // The inflater reads ahead; the next entry starts where this one's stored bytes end.
    if (!SeekTo(from, start + size) && code == 0) code = StreamReadError;
    return code;
}

int VerifyChecksum(HANDLE target, DWORD expected) {
    DWORD length = GetFileLength(target);
    if (!SeekTo(target, 0)) return StreamReadError;
    DWORD sum = ChecksumFile(target, length);
    SetFilePointer(target, 0, nullptr, FILE_END);
    return sum == expected ? 0 : ErrorBadFilePack;
}

struct FileCloser {
    HANDLE handle;
    ~FileCloser() { CloseHandle(handle); }
};

int UnpackEntry(HANDLE file, bool first, RuntimeFiles& files) {
    std::u16string name;
    if (int code = ReadName(file, name)) return code;
    if (!IsSafePackEntryName(name)) return ErrorBadFilePack;
    // The library must come first (it inflates everything after it), and only once: a second copy would
    // overwrite the module already bound.
    bool library = EqualsIgnoringCase(name, LibraryFileName);
    if (library != first) return ErrorBadFilePack;

    std::u16string target = files.tempFolder + name;
    files.unpackedFiles.push_back(target);
    DWORD checksum = 0;
    if (int code = ReadField(file, checksum)) return code;
    if (CreateFolderPath(target) != 0) return ErrorCannotCreateFolder;
    HANDLE out = CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return ErrorCannotCreateFile;
    FileCloser closer{out};

    DWORD size = 0;
    if (int code = ReadField(file, size)) return code;
    if (!FitsInFile(file, size)) return StreamEndOfData;
    if (library) {
        if (int code = CopyRaw(file, out, size)) return code;
        files.libraryPath = target;
    } else if (int code = Inflate(file, out, size)) {
        return code;
    }
    return IsObjectExtension(name) ? VerifyChecksum(out, checksum) : 0;
}

} // namespace

DWORD ChecksumFile(HANDLE file, DWORD count) {
    std::vector<BYTE> block(std::min(count, ChecksumBlockSize));
    DWORD sum = 0;
    while (count > 0) {
        DWORD read = 0;
        if (!ReadFile(file, block.data(), std::min(count, ChecksumBlockSize), &read, nullptr) || read == 0)
            break;
        sum = RollingChecksum(std::span(block.data(), read), sum);
        count -= read;
    }
    return sum;
}

int ReadFileExact(HANDLE file, void* buffer, DWORD count) {
    DWORD read = 0;
    if (!ReadFile(file, buffer, count, &read, nullptr))
        return GetLastError() == ERROR_HANDLE_EOF ? StreamEndOfData : StreamReadError;
    return read < count ? StreamEndOfData : 0;
}

int WriteFileExact(HANDLE file, const void* buffer, DWORD count) {
    DWORD written = 0;
    if (!WriteFile(file, buffer, count, &written, nullptr))
        return GetLastError() == ERROR_DISK_FULL ? StreamDiskFull : StreamWriteError;
    return written < count ? StreamDiskFull : 0;
}

DWORD GetFileLength(HANDLE file) {
    DWORD position = Tell(file);
    DWORD length = SetFilePointer(file, 0, nullptr, FILE_END);
    SeekTo(file, position);
    return length;
}

bool IsSafePackEntryName(std::u16string_view name) {
    if (name.empty() || IsPathSeparator(name.front())) return false;
    if (name.size() >= 2 && name[1] == u':') return false;
    if (name.find(u'\0') != std::u16string_view::npos) return false;
    for (std::size_t start = 0; start <= name.size();) {
        std::size_t end = start;
        while (end < name.size() && !IsPathSeparator(name[end]))
            ++end;
        std::u16string_view component = name.substr(start, end - start);
        if (component.empty() || component == u"." || component == u"..") return false;
        start = end + 1;
    }
    return true;
}

int FindFilePack(HANDLE file, DWORD start, DWORD length) {
    RuntimeFiles& files = GetRuntimeFiles();
    files.packFound = false;
    DWORD fileLength = GetFileLength(file);
    if (fileLength == INVALID_FILE_SIZE || start >= fileLength || !SeekTo(file, start)) return 0;
    DWORD wanted = std::min(length, fileLength - start);
    // Eight zero bytes behind the window let the last positions be compared without reading past it.
    std::vector<BYTE> window(wanted + 8, 0);
    DWORD read = 0;
    if (!ReadFile(file, window.data(), wanted, &read, nullptr)) return 0;
    for (DWORD i = 0; i < read; ++i) {
        if (vtrformat::GetU32(&window[i]) == FilePackMagic1 &&
            vtrformat::GetU32(&window[i + 4]) == FilePackMagic2) {
            files.packFound = true;
            files.packPosition = start + i;
            return 1;
        }
    }
    return 0;
}

int UnpackFilePack(HANDLE file, DWORD searchStart, DWORD searchLength) {
    RuntimeFiles& files = GetRuntimeFiles();
    if (!FindFilePack(file, searchStart, searchLength) || !SeekTo(file, files.packPosition))
        return ErrorBadFilePack;
    FilePackHeader& header = files.packHeader;
    if (int code = ReadPackHeader(file, header)) return code;
    if (header.dataOffset != 0) {
        // The data offset counts from 32 bytes before the pack; one that leads before the pack or past 4 GB
        // cannot be right.
        std::uint64_t absolute = std::uint64_t{files.packPosition} + header.dataOffset - FilePackHeaderSize;
        if (header.dataOffset < FilePackHeaderSize || absolute > 0xFFFFFFFF) return ErrorBadFilePack;
        header.dataOffset = static_cast<DWORD>(absolute);
    }
    for (DWORD i = 0; i < header.entryCount; ++i) {
        if (int code = UnpackEntry(file, i == 0, files)) return code;
    }
    return 0;
}

int UnpackFilePack() {
    RuntimeFiles& files = GetRuntimeFiles();
    HANDLE file = CreateFileW(files.programPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return ErrorCannotOpenProgram;
    FileCloser closer{file};
    auto imageEnd = FindProgramImageEnd(file);
    if (!imageEnd) return ErrorBadFilePack;
    return UnpackFilePack(file, *imageEnd, FilePackSearchLength);
}

} // namespace vtrrt
