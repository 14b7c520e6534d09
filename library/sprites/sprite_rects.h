// Rectangle helpers of the sprite units; right and bottom are exclusive.
#pragma once

#include "win32/types.h"

#include <algorithm>

namespace sprites {

inline bool Meets(const win32::RECT& a, const win32::RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

inline bool IsEmptyRect(const win32::RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

inline win32::RECT Intersection(const win32::RECT& a, const win32::RECT& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

inline win32::RECT UnionOf(const win32::RECT& a, const win32::RECT& b) {
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

} // namespace sprites
