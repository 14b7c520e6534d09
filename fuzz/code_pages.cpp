// Converts arbitrary bytes from each of several code pages to UTF-16 and back: 8-bit text in application
// data and from extensions goes through these conversions.
#include "win32/kernel.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace win32;

namespace {

constexpr std::array<UINT, 10> CodePages{1252, 932, 936, 949, 950, 1251, CP_UTF8, 54936, CP_UTF7, 1200};

void RoundTrip(UINT codePage, const char* bytes, int size) {
    const int units = MultiByteToWideChar(codePage, 0, bytes, size, nullptr, 0);
    if (units <= 0) return;
    std::u16string text(static_cast<size_t>(units), u'\0');
    if (MultiByteToWideChar(codePage, 0, bytes, size, text.data(), units) != units) std::abort();
    const int length = WideCharToMultiByte(codePage, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return;
    std::string back(static_cast<size_t>(length), '\0');
    if (WideCharToMultiByte(codePage, 0, text.data(), units, back.data(), length, nullptr, nullptr) != length)
        std::abort();
    // Every byte string survives code page 1252, holes included.
    if (codePage == 1252 && back != std::string(bytes, static_cast<size_t>(size))) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 1 << 16) return 0;
    const UINT codePage = CodePages[data[0] % CodePages.size()];
    const auto* bytes = reinterpret_cast<const char*>(data + 1);
    const int count = static_cast<int>(size - 1);
    if (count > 0) RoundTrip(codePage, bytes, count);
    // The same bytes taken as UTF-16 text, unpaired surrogates and all.
    std::u16string wide((size - 1) / 2, u'\0');
    std::memcpy(wide.data(), bytes, wide.size() * 2);
    if (!wide.empty()) {
        BOOL usedDefault = FALSE;
        WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                            codePage == CP_UTF8 || codePage == CP_UTF7 ? nullptr : &usedDefault);
        const std::string utf8 = ToUtf8(wide);
        if (FromUtf8(utf8).size() != wide.size()) std::abort(); // one unit for each unit, replaced or not
    }
    return 0;
}
