// COutputFile: the fixed-width writes every output stream shares, built on its Write.
#include "vtrs2/streams.h"

using namespace win32;

namespace {

template <typename T> int WriteValue(COutputFile& stream, T value, bool bigEndian) {
    unsigned char bytes[sizeof(T)];
    for (std::size_t b = 0; b < sizeof(T); ++b) {
        const std::size_t shift = bigEndian ? (sizeof(T) - 1 - b) * 8 : b * 8;
        bytes[b] = static_cast<unsigned char>(static_cast<DWORD>(value) >> shift);
    }
    return stream.Write(bytes, sizeof(T));
}

} // namespace

COutputFile::COutputFile() = default;

COutputFile::~COutputFile() = default;

int COutputFile::WriteLong(const DWORD* value) {
    return WriteValue(*this, *value, false);
}
int COutputFile::WriteLong(const LONG* value) {
    return WriteValue(*this, static_cast<DWORD>(*value), false);
}
int COutputFile::WriteWord(const WORD* value) {
    return WriteValue(*this, *value, false);
}
int COutputFile::WriteLongBE(const DWORD* value) {
    return WriteValue(*this, *value, true);
}
int COutputFile::WriteWordBE(const WORD* value) {
    return WriteValue(*this, *value, true);
}
