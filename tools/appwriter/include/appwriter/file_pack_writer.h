// Writes the file pack that travels behind the program: a 32-byte header, then the runtime modules.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vtrformat/file_pack.h"

namespace appwriter {

// The name the library travels under; the runtime binds it from the unpacked copy of that name.
inline constexpr std::u16string_view LibraryEntryName = u"libvtrs2.so";

using vtrformat::FilePackHeaderSize;
using vtrformat::FilePackMagic1;
using vtrformat::FilePackMagic2;
// The checksum the runtime verifies on object-extension modules (".vxe").
using vtrformat::RollingChecksum;

class FilePackWriter {
public:
    // The library, stored as it is: the runtime needs it before it can inflate anything else.
    void AddLibrary(std::span<const std::uint8_t> bytes);
    // Any other module, deflated; a name ending in ".vxe" also carries the module's checksum.
    void AddFile(std::u16string_view name, std::span<const std::uint8_t> bytes);
    // An entry written exactly as given: for packs that must be malformed on purpose.
    void AddRawEntry(std::u16string_view name, std::uint32_t checksum, std::span<const std::uint8_t> stored);
    // Bit 0: wait for the vertical blank.
    void SetOptions(std::uint32_t options) { options_ = options; }
    // Application data written behind the last entry; the header then says where it starts.
    void SetApplicationData(std::span<const std::uint8_t> data) {
        applicationData_.assign(data.begin(), data.end());
    }

    std::vector<std::uint8_t> Write() const;

private:
    struct Entry {
        std::u16string name;
        std::uint32_t checksum;
        std::vector<std::uint8_t> stored;
    };
    std::vector<Entry> entries_;
    std::uint32_t options_ = 0;
    std::vector<std::uint8_t> applicationData_;
};

// Deflates bytes into one zlib stream, as the pack stores every module but the library.
std::vector<std::uint8_t> Deflate(std::span<const std::uint8_t> bytes);

} // namespace appwriter
