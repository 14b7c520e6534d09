// The end of the program's own ELF image, where the file pack begins.
#include "startup/file_pack.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

using namespace win32;

namespace vtrrt {

std::optional<DWORD> FindProgramImageEnd(HANDLE file) {
    const DWORD length = GetFileLength(file);
    std::array<BYTE, vtrformat::ElfHeaderSize> header;
    if (length == INVALID_FILE_SIZE || SetFilePointer(file, 0, nullptr, FILE_BEGIN) != 0 ||
        ReadFileExact(file, header.data(), static_cast<DWORD>(header.size())) != 0)
        return std::nullopt;
    const auto layout = vtrformat::ReadElfSectionTable(header, length);
    if (!layout) return std::nullopt;
    std::vector<BYTE> table(layout->Bytes());
    if (SetFilePointer(file, static_cast<LONG>(layout->offset), nullptr, FILE_BEGIN) != layout->offset ||
        ReadFileExact(file, table.data(), static_cast<DWORD>(table.size())) != 0)
        return std::nullopt;
    const auto end = vtrformat::ElfImageEnd(*layout, table, length);
    if (!end) return std::nullopt;
    return static_cast<DWORD>(*end);
}

} // namespace vtrrt
