// CInputFile: the operations every input stream shares, built on its byte reads.
#include "vtrs2/memory.h"
#include "vtrs2/streams.h"

#include <climits>
#include <cstring>

using namespace win32;

namespace {

WORD Swap(WORD value) {
    return static_cast<WORD>((value >> 8) | (value << 8));
}

// Reads `count` values of T as raw bytes, then puts each into host order (swapping for big-endian data).
template <typename T> int ReadArray(CInputFile& stream, T* values, LONG count, bool bigEndian) {
    if (count < 0 || count > LONG_MAX / static_cast<LONG>(sizeof(T))) return StreamEndOfData;
    LONG done = 0;
    const int code = stream.ReadCounted(values, count * static_cast<LONG>(sizeof(T)), &done);
    if (code) return code;
    for (LONG i = 0; i < count; ++i) {
        unsigned char bytes[sizeof(T)];
        std::memcpy(bytes, &values[i], sizeof(T));
        T value = 0;
        for (std::size_t b = 0; b < sizeof(T); ++b) {
            const std::size_t shift = bigEndian ? (sizeof(T) - 1 - b) * 8 : b * 8;
            value = static_cast<T>(value | static_cast<T>(static_cast<DWORD>(bytes[b]) << shift));
        }
        values[i] = value;
    }
    return StreamOk;
}

} // namespace

CInputFile::CInputFile() = default;

CInputFile::~CInputFile() = default;

void CInputFile::Delete() {
    delete this;
}

int CInputFile::ReadWord(WORD* value) {
    BYTE low = 0;
    BYTE high = 0;
    if (const int code = ReadByte(&low)) return code;
    if (const int code = ReadByte(&high)) return code;
    *value = static_cast<WORD>(low | (high << 8));
    return StreamOk;
}

int CInputFile::ReadLong(DWORD* value) {
    WORD low = 0;
    WORD high = 0;
    if (const int code = ReadWord(&low)) return code;
    if (const int code = ReadWord(&high)) return code;
    *value = static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16);
    return StreamOk;
}

int CInputFile::ReadWordBE(WORD* value) {
    WORD word = 0;
    if (const int code = ReadWord(&word)) return code;
    *value = Swap(word);
    return StreamOk;
}

int CInputFile::ReadLongBE(DWORD* value) {
    WORD high = 0;
    WORD low = 0;
    if (const int code = ReadWordBE(&high)) return code;
    if (const int code = ReadWordBE(&low)) return code;
    *value = static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16);
    return StreamOk;
}

int CInputFile::ReadInt(LONG* value) {
    DWORD word = 0;
    if (const int code = ReadLong(&word)) return code;
    *value = static_cast<LONG>(word);
    return StreamOk;
}

int CInputFile::ReadIntBE(LONG* value) {
    DWORD word = 0;
    if (const int code = ReadLongBE(&word)) return code;
    *value = static_cast<LONG>(word);
    return StreamOk;
}

int CInputFile::ReadWords(WORD* values, LONG count) {
    return ReadArray(*this, values, count, false);
}
int CInputFile::ReadLongs(DWORD* values, LONG count) {
    return ReadArray(*this, values, count, false);
}
int CInputFile::ReadInts(LONG* values, LONG count) {
    return ReadArray(*this, values, count, false);
}
int CInputFile::ReadWordsBE(WORD* values, LONG count) {
    return ReadArray(*this, values, count, true);
}
int CInputFile::ReadLongsBE(DWORD* values, LONG count) {
    return ReadArray(*this, values, count, true);
}
int CInputFile::ReadIntsBE(LONG* values, LONG count) {
    return ReadArray(*this, values, count, true);
}

void* CInputFile::ReadAlloc(LONG size) {
    if (size <= 0) return nullptr;
    void* block = nullptr;
    if (!AllocMemory(static_cast<std::size_t>(size), &block)) return nullptr;
    if (Read(block, size) != StreamOk) FreeMemory(&block);
    return block;
}

void CInputFile::FreeBuffer(void* block) {
    FreeMemoryBlock(block);
}
