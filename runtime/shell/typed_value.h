// The 16-byte value of expressions, alterable values and global values: integer, string or double.
#pragma once

#include "win32/types.h"

#include <cstdint>

namespace vtrrt {

constexpr std::int32_t TypeInteger = 0;
constexpr std::int32_t TypeString = 1;
constexpr std::int32_t TypeDouble = 2;

struct TypedValue {
    std::int32_t type;
    std::int32_t reserved;
    union {
        std::int32_t integer;
        win32::WCHAR* string;
        double real;
    };
};
static_assert(sizeof(TypedValue) == 16);

// Copies the type, then the 32-bit value (integer, string pointer) or the double; strings are not
// duplicated.
inline void CopyTypedValue(TypedValue& destination, const TypedValue& source) {
    destination.type = source.type;
    if (source.type == TypeDouble)
        destination.real = source.real;
    else if (source.type == TypeString)
        destination.string = source.string;
    else
        destination.integer = source.integer;
}

} // namespace vtrrt
