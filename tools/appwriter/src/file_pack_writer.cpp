// The file pack writer: header and entries little-endian, the library raw, every other module deflated.
#include "appwriter/file_pack_writer.h"

#include <zlib.h>

#include <algorithm>
#include <bit>

namespace appwriter {

namespace {

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

bool EndsWithVxe(std::u16string_view name) {
    constexpr std::u16string_view extension = u".vxe";
    if (name.size() < extension.size()) return false;
    auto tail = name.substr(name.size() - extension.size());
    return std::equal(tail.begin(), tail.end(), extension.begin(),
                      [](char16_t a, char16_t b) { return (a >= u'A' && a <= u'Z' ? a + 32 : a) == b; });
}

} // namespace

std::uint32_t RollingChecksum(std::span<const std::uint8_t> data, std::uint32_t start) {
    std::uint32_t sum = start;
    std::size_t i = 0;
    for (; i + 4 <= data.size(); i += 4) {
        std::uint32_t word = data[i] | (data[i + 1] << 8) | (data[i + 2] << 16) |
                             (static_cast<std::uint32_t>(data[i + 3]) << 24);
        sum = std::rotl(sum, 1) + word;
    }
    for (; i < data.size(); ++i)
        sum = std::rotl(sum, 1) + data[i];
    return sum;
}

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
    std::vector<std::uint8_t> out;
    PutU32(out, FilePackMagic1);
    PutU32(out, FilePackMagic2);
    PutU32(out, FilePackHeaderSize);
    PutU32(out, 0); // the application data's offset, set below when there is any
    PutU32(out, 0);
    PutU32(out, options_);
    PutU32(out, 0);
    PutU32(out, static_cast<std::uint32_t>(entries_.size()));
    for (const Entry& entry : entries_) {
        PutU16(out, static_cast<std::uint16_t>(entry.name.size()));
        for (char16_t unit : entry.name)
            PutU16(out, unit);
        PutU32(out, entry.checksum);
        PutU32(out, static_cast<std::uint32_t>(entry.stored.size()));
        out.insert(out.end(), entry.stored.begin(), entry.stored.end());
    }
    if (!applicationData_.empty()) {
        // The stored offset counts from the pack's start plus the header: the data is at pack + offset - 32.
        const std::uint32_t offset = static_cast<std::uint32_t>(out.size()) + FilePackHeaderSize;
        for (int i = 0; i < 4; ++i)
            out[12 + i] = static_cast<std::uint8_t>(offset >> (8 * i));
        out.insert(out.end(), applicationData_.begin(), applicationData_.end());
    }
    return out;
}

} // namespace appwriter
