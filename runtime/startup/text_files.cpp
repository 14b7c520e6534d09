#include "startup/text_files.h"

#include "core/application_record.h"
#include "core/runtime_services.h"

#include "vtrs2/memory.h"
#include "vtrs2/raw_files.h"
#include "win32/kernel.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::uint8_t Utf8Bom[] = {0xEF, 0xBB, 0xBF};
constexpr std::uint8_t Utf16LeBom[] = {0xFF, 0xFE};
constexpr std::uint8_t Utf16BeBom[] = {0xFE, 0xFF};

// The application's default encodings: [0] reading, [1] writing.
int DefaultEncoding(int which) {
    constexpr int fallback[2] = {TextAnsi, TextUtf16LeBom};
    const ApplicationRecord* app = CurrentApplication();
    return app ? static_cast<int>(app->textFileEncodings[which]) : fallback[which];
}

bool StartsWith(const std::vector<std::uint8_t>& bytes, const std::uint8_t* mark, std::size_t n) {
    return bytes.size() >= n && std::memcmp(bytes.data(), mark, n) == 0;
}

// A mark in the file wins; without one, an encoding that expects a mark reads as its form without.
int ChooseEncoding(const std::vector<std::uint8_t>& bytes, int given) {
    if (bytes.size() >= 2) {
        if (StartsWith(bytes, Utf16LeBom, 2)) return TextUtf16LeBom;
        if (StartsWith(bytes, Utf16BeBom, 2)) return TextUtf16BeBom;
        if (StartsWith(bytes, Utf8Bom, 3)) return TextUtf8Bom;
    }
    if (given == TextUtf8Bom || given == TextUtf16LeBom || given == TextUtf16BeBom) return given + 1;
    return given;
}

WCHAR* NewText(std::size_t units) {
    WCHAR* text = nullptr;
    if (!AllocZeroedMemory((units + 1) * sizeof(WCHAR), &text)) return nullptr;
    return text;
}

WCHAR* FromMultiByte(const std::uint8_t* bytes, std::size_t count, UINT codePage) {
    if (count == 0) return NewText(0);
    if (count > 0x7FFFFFFF) return nullptr;
    const auto* source = reinterpret_cast<LPCSTR>(bytes);
    const int units = MultiByteToWideChar(codePage, 0, source, static_cast<int>(count), nullptr, 0);
    if (units < 1) return nullptr;
    WCHAR* text = NewText(static_cast<std::size_t>(units));
    if (text) MultiByteToWideChar(codePage, 0, source, static_cast<int>(count), text, units);
    return text;
}

// An odd last byte is kept as the first byte of a unit padded with zero, in the file's byte order.
WCHAR* FromUtf16(const std::uint8_t* bytes, std::size_t count, bool bigEndian) {
    const std::size_t units = (count + 1) / 2;
    WCHAR* text = NewText(units);
    if (!text) return nullptr;
    for (std::size_t i = 0; i < units; ++i) {
        const std::uint16_t first = bytes[2 * i];
        const std::uint16_t second = 2 * i + 1 < count ? bytes[2 * i + 1] : 0;
        text[i] = static_cast<WCHAR>(bigEndian ? (first << 8) | second : first | (second << 8));
    }
    return text;
}

bool ReadWhole(const WCHAR* path, std::vector<std::uint8_t>& bytes) {
    HANDLE file = FileOpenRaw(path, 0);
    if (file == INVALID_HANDLE_VALUE) return false;
    const LONG size = FileGetSizeRaw(file);
    bool ok = size >= 0;
    if (ok) {
        bytes.resize(static_cast<std::size_t>(size));
        ok = size == 0 || FileReadRaw(file, bytes.data(), size) == 0;
    }
    FileCloseRaw(file);
    return ok;
}

std::size_t Units(const WCHAR* text) {
    std::size_t n = 0;
    while (text[n])
        ++n;
    return n;
}

bool WriteMultiByte(HANDLE file, const WCHAR* text, std::size_t units, UINT codePage) {
    if (units == 0) return true;
    if (units > 0x7FFFFFFF) return false;
    const int bytes =
        WideCharToMultiByte(codePage, 0, text, static_cast<int>(units), nullptr, 0, nullptr, nullptr);
    if (bytes < 1) return false;
    std::vector<char> out(static_cast<std::size_t>(bytes));
    WideCharToMultiByte(codePage, 0, text, static_cast<int>(units), out.data(), bytes, nullptr, nullptr);
    return FileWriteRaw(file, out.data(), bytes) == 0;
}

bool WriteUtf16(HANDLE file, const WCHAR* text, std::size_t units, bool bigEndian) {
    if (units == 0) return true;
    if (units > 0x3FFFFFFF) return false;
    std::vector<std::uint8_t> out(units * 2);
    for (std::size_t i = 0; i < units; ++i) {
        const auto unit = static_cast<std::uint16_t>(text[i]);
        out[2 * i + (bigEndian ? 1 : 0)] = static_cast<std::uint8_t>(unit);
        out[2 * i + (bigEndian ? 0 : 1)] = static_cast<std::uint8_t>(unit >> 8);
    }
    return FileWriteRaw(file, out.data(), static_cast<LONG>(out.size())) == 0;
}

bool WriteEncoded(HANDLE file, int encoding, const WCHAR* text) {
    const std::size_t units = Units(text);
    switch (encoding) {
    case TextAnsi:
        return WriteMultiByte(file, text, units, CP_ACP);
    case TextUtf8Bom:
        if (FileWriteRaw(file, Utf8Bom, 3) != 0) return false;
        [[fallthrough]];
    case TextUtf8:
        return WriteMultiByte(file, text, units, CP_UTF8);
    case TextUtf16LeBom:
        if (FileWriteRaw(file, Utf16LeBom, 2) != 0) return false;
        [[fallthrough]];
    case TextUtf16Le:
        return WriteUtf16(file, text, units, false);
    case TextUtf16BeBom:
        if (FileWriteRaw(file, Utf16BeBom, 2) != 0) return false;
        [[fallthrough]];
    case TextUtf16Be:
        return WriteUtf16(file, text, units, true);
    default:
        return false;
    }
}

} // namespace

WCHAR* ReadTextFile(const WCHAR* path, int encoding) {
    if (!path) return nullptr;
    if (encoding == -1) encoding = DefaultEncoding(0);
    if (encoding < 0) return nullptr;
    std::vector<std::uint8_t> bytes;
    if (!ReadWhole(path, bytes)) return nullptr;
    encoding = ChooseEncoding(bytes, encoding);
    const std::uint8_t* data = bytes.data();
    std::size_t count = bytes.size();
    switch (encoding) {
    case TextAnsi:
        return FromMultiByte(data, count, CP_ACP);
    case TextUtf8Bom:
        return FromMultiByte(data + 3, count - 3, CP_UTF8);
    case TextUtf8:
        return FromMultiByte(data, count, CP_UTF8);
    case TextUtf16LeBom:
        return FromUtf16(data + 2, count - 2, false);
    case TextUtf16Le:
        return FromUtf16(data, count, false);
    case TextUtf16BeBom:
        return FromUtf16(data + 2, count - 2, true);
    case TextUtf16Be:
        return FromUtf16(data, count, true);
    default:
        return nullptr;
    }
}

int WriteTextFile(int encoding, const WCHAR* path, const WCHAR* text) {
    if (encoding == -1) encoding = DefaultEncoding(1);
    if (!text || !path || encoding < 0 || encoding >= TextEncodingCount) return 0;
    HANDLE file = FileCreateRaw(path);
    if (file == INVALID_HANDLE_VALUE) return 0;
    const bool ok = WriteEncoded(file, encoding, text);
    FileCloseRaw(file);
    return ok ? 1 : 0;
}

} // namespace vtrrt
