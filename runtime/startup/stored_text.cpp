#include "startup/stored_text.h"

#include "vtrs2/memory.h"
#include "win32/kernel.h"

#include <algorithm>
#include <vector>

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

std::optional<std::u16string> TerminatedStoredText(std::span<const std::uint8_t> block, std::size_t at,
                                                   bool unicode, std::uint32_t codePage, std::size_t* next) {
    if (at >= block.size()) return std::nullopt;
    const std::span<const std::uint8_t> rest = block.subspan(at);
    const std::span<const std::uint8_t> text = StoredTextBytes(rest, unicode);
    const std::size_t unit = unicode ? 2 : 1;
    if (text.size() + unit > rest.size()) return std::nullopt;
    if (next) *next = at + text.size() + unit;
    std::u16string out;
    if (unicode) {
        for (std::size_t i = 0; i + 1 < text.size(); i += 2)
            out.push_back(static_cast<char16_t>(text[i] | (text[i + 1] << 8)));
        return out;
    }
    std::vector<WCHAR> converted(text.size() + 1);
    return std::u16string(converted.data(), NarrowToWide(text, codePage, converted.data(), converted.size()));
}

} // namespace vtrrt
