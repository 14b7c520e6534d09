#include "core/key_names.h"

#include "win32/kernel.h"

#include "win32/resource.h"
#include "win32/user.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

namespace vtrrt {

using namespace win32;

namespace {

constexpr int NumberPadString = 101;
constexpr int FirstFunctionKey = 0x70, LastFunctionKey = 0x87;

struct NamedKey {
    int key;
    UINT string;
};

constexpr std::array<NamedKey, 20> NamedKeys{{
    {0x08, 102}, {0x09, 103}, {0x0C, 104}, {0x0D, 105}, {0x10, 106}, {0x11, 107}, {0x20, 108},
    {0x21, 109}, {0x22, 110}, {0x23, 111}, {0x24, 112}, {0x25, 113}, {0x26, 114}, {0x27, 115},
    {0x28, 116}, {0x29, 117}, {0x2B, 118}, {0x2D, 119}, {0x2E, 120}, {0x1B, 121},
}};

constexpr std::array<int, 8> Unassignable{0x12, 0x2C, 0x14, 0x1B, 0x2F, 0x13, 0x91, 0x90};

void Put(WCHAR* buffer, std::u16string_view text) {
    const std::size_t n = std::min<std::size_t>(text.size(), KeyNameUnits - 1);
    std::copy_n(text.begin(), n, buffer);
    buffer[n] = 0;
}

// A string of the table with its one %d replaced by a number.
std::u16string WithNumber(std::u16string_view pattern, int number) {
    const std::size_t at = pattern.find(u"%d");
    if (at == std::u16string_view::npos) return std::u16string(pattern);
    char digits[16];
    const int n = std::snprintf(digits, sizeof digits, "%d", number);
    return std::u16string(pattern.substr(0, at)) + std::u16string(digits, digits + std::max(0, n)) +
           std::u16string(pattern.substr(at + 2));
}

std::u16string TableString(UINT id) {
    WCHAR text[KeyNameUnits]{};
    LoadStringW(GetModuleHandleW(nullptr), id, text, KeyNameUnits);
    return text;
}

} // namespace

void GetKeyName(WCHAR* buffer, int key) {
    if (!buffer) return;
    if (key >= VK_NUMPAD0 && key <= VK_NUMPAD0 + 9) {
        Put(buffer, WithNumber(TableString(NumberPadString), key - VK_NUMPAD0));
        return;
    }
    if (key >= FirstFunctionKey && key <= LastFunctionKey) {
        Put(buffer, WithNumber(u"F%d", key - (FirstFunctionKey - 1)));
        return;
    }
    for (const NamedKey& named : NamedKeys) {
        if (named.key != key) continue;
        Put(buffer, TableString(named.string));
        return;
    }
    const auto c = static_cast<WCHAR>(MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_CHAR));
    Put(buffer, c ? std::u16string(1, c) : std::u16string());
}

bool KeyCanBeAssigned(int key) {
    return std::find(Unassignable.begin(), Unassignable.end(), key) == Unassignable.end();
}

} // namespace vtrrt
