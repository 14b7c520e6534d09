// The file pack writer: header and entries little-endian, the library raw, every other module deflated.
#include "appwriter/file_pack_writer.h"

#include <zlib.h>

#include "appwriter/byte_writer.h"
#include <algorithm>
#include <bit>

namespace appwriter {

namespace {

constexpr std::size_t PackDataOffset = 12;

bool EndsWithVxe(std::u16string_view name) {
    constexpr std::u16string_view extension = u".vxe";
    if (name.size() < extension.size()) return false;
    auto tail = name.substr(name.size() - extension.size());
    return std::equal(tail.begin(), tail.end(), extension.begin(),
                      [](char16_t a, char16_t b) { return (a >= u'A' && a <= u'Z' ? a + 32 : a) == b; });
}

} // namespace

std::vector<std::uint8_t> Deflate(std::span<const std::uint8_t> bytes) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::vector<std::uint8_t> out(size);
    if (compress2(out.data(), &size, bytes.data(), static_cast<uLong>(bytes.size()), Z_DEFAULT_COMPRESSION) !=
        Z_OK)
        return {};
    out.resize(size);
    return out;
}

void FilePackWriter::AddLibrary(std::span<const std::uint8_t> bytes) {
    AddRawEntry(LibraryEntryName, 0, bytes);
}

void FilePackWriter::AddFile(std::u16string_view name, std::span<const std::uint8_t> bytes) {
    AddRawEntry(name, EndsWithVxe(name) ? RollingChecksum(bytes) : 0, Deflate(bytes));
}

void FilePackWriter::AddRawEntry(std::u16string_view name, std::uint32_t checksum,
                                 std::span<const std::uint8_t> stored) {
    entries_.push_back({std::u16string(name), checksum, {stored.begin(), stored.end()}});
}

std::vector<std::uint8_t> FilePackWriter::Write() const {
    ByteWriter out;
    out.U32(FilePackMagic1);
    out.U32(FilePackMagic2);
    out.U32(FilePackHeaderSize);
    out.U32(0); // the application data's offset, set below when there is any
    out.U32(0);
    out.U32(options_);
    out.U32(0);
    out.U32(static_cast<std::uint32_t>(entries_.size()));
    for (const Entry& entry : entries_) {
        out.U16(static_cast<std::uint16_t>(entry.name.size()));
        for (char16_t unit : entry.name)
            out.U16(unit);
        out.U32(entry.checksum);
        out.U32(static_cast<std::uint32_t>(entry.stored.size()));
        out.Bytes(entry.stored);
    }
    if (!applicationData_.empty()) {
        // The stored offset counts from the pack's start plus the header: the data is at pack + offset - 32.
        out.PatchU32(PackDataOffset, static_cast<std::uint32_t>(out.Size()) + FilePackHeaderSize);
        out.Bytes(applicationData_);
    }
    return out.Take();
}

} // namespace appwriter
