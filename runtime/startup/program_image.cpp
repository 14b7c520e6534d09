// The end of the program's own ELF image, where the file pack begins.
#include "startup/file_pack.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

using namespace win32;

namespace vtrrt {

namespace {

constexpr DWORD ElfHeaderSize = 64;
constexpr DWORD SectionHeaderSize = 64;
constexpr DWORD SectionNoBits = 8; // occupies no bytes of the file

std::uint64_t GetLE(const BYTE* bytes, int width) {
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

} // namespace

std::optional<DWORD> FindProgramImageEnd(HANDLE file) {
    static constexpr BYTE ident[] = {0x7F, 'E', 'L', 'F', 2 /* 64-bit */, 1 /* little-endian */};
    DWORD length = GetFileLength(file);
    std::array<BYTE, ElfHeaderSize> header;
    if (length == INVALID_FILE_SIZE || SetFilePointer(file, 0, nullptr, FILE_BEGIN) != 0 ||
        ReadFileExact(file, header.data(), ElfHeaderSize) != 0 ||
        !std::equal(std::begin(ident), std::end(ident), header.begin()))
        return std::nullopt;

    std::uint64_t tableOffset = GetLE(&header[0x28], 8);
    std::uint64_t entrySize = GetLE(&header[0x3A], 2);
    std::uint64_t count = GetLE(&header[0x3C], 2);
    if (entrySize < SectionHeaderSize || tableOffset > length || count > (length - tableOffset) / entrySize)
        return std::nullopt;
    std::vector<BYTE> table(count * entrySize);
    if (SetFilePointer(file, static_cast<LONG>(tableOffset), nullptr, FILE_BEGIN) != tableOffset ||
        ReadFileExact(file, table.data(), static_cast<DWORD>(table.size())) != 0)
        return std::nullopt;

    std::uint64_t end = tableOffset + table.size();
    for (std::uint64_t i = 0; i < count; ++i) {
        const BYTE* section = &table[i * entrySize];
        if (GetLE(section + 4, 4) == SectionNoBits) continue;
        std::uint64_t offset = GetLE(section + 0x18, 8);
        std::uint64_t size = GetLE(section + 0x20, 8);
        if (offset > length || size > length - offset) return std::nullopt;
        end = std::max(end, offset + size);
    }
    return static_cast<DWORD>(end);
}

} // namespace vtrrt
