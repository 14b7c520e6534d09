#include "startup/stored_text.h"

#include "vtrs2/memory.h"
#include "win32/kernel.h"

#include <algorithm>

using namespace win32;

namespace vtrrt {

std::span<const std::uint8_t> StoredTextBytes(std::span<const std::uint8_t> bytes, bool unicode) {
    const std::size_t unit = unicode ? 2 : 1;
    std::size_t n = 0;
    while (n + unit <= bytes.size() && (bytes[n] != 0 || (unicode && bytes[n + 1] != 0)))
        n += unit;
    return bytes.first(n);
}

std::size_t NarrowToWide(std::span<const std::uint8_t> text, std::uint32_t codePage, WCHAR* out,
                         std::size_t capacity) {
    if (capacity == 0) return 0;
    int written = 0;
    if (!text.empty() && capacity > 1) {
        written =
            MultiByteToWideChar(codePage ? codePage : CP_ACP, 0, reinterpret_cast<const char*>(text.data()),
                                static_cast<int>(text.size()), out, static_cast<int>(capacity - 1));
        written = std::max(written, 0);
    }
    out[written] = 0;
    return static_cast<std::size_t>(written);
}

WCHAR* StoredTextToWide(std::span<const std::uint8_t> bytes, bool unicode, std::uint32_t codePage) {
    const std::span<const std::uint8_t> text = StoredTextBytes(bytes, unicode);
    // An 8-bit unit never becomes more than one UTF-16 unit in the code pages of the data.
    const std::size_t units = unicode ? text.size() / 2 : text.size();
    WCHAR* out = nullptr;
    if (!AllocMemory((units + 1) * sizeof(WCHAR), &out)) return nullptr;
    if (unicode) {
        for (std::size_t i = 0; i < units; ++i)
            out[i] = static_cast<WCHAR>(text[2 * i] | (text[2 * i + 1] << 8));
        out[units] = 0;
    } else {
        NarrowToWide(text, codePage, out, units + 1);
    }
    return out;
}

} // namespace vtrrt
