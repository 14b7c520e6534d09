// The 1-bit collision mask of an image, as the image banks hand it out.
#pragma once

#include "win32/types.h"

// Rows of 16-pixel words; pixel x of a row is bit x & 7 of byte x >> 3 (bit 0 is the leftmost pixel).
struct ImageMask {
    win32::DWORD bitsOffset; // from the record's start to its bits: 44
    win32::LONG width;
    win32::LONG height;
    win32::LONG stride; // bytes per row, a multiple of 2
    win32::LONG hotX;
    win32::LONG hotY;
    win32::DWORD reserved[5];
};
static_assert(sizeof(ImageMask) == 44);

constexpr win32::DWORD ImageMaskHeaderSize = 44;

// Bytes per row of a mask `width` pixels wide: whole 16-pixel words.
constexpr win32::LONG MaskStride(win32::LONG width) {
    return ((width + 15) >> 4) * 2;
}

inline const win32::BYTE* ImageMaskBits(const ImageMask* mask) {
    return reinterpret_cast<const win32::BYTE*>(mask) + mask->bitsOffset;
}
inline win32::BYTE* ImageMaskBits(ImageMask* mask) {
    return reinterpret_cast<win32::BYTE*>(mask) + mask->bitsOffset;
}
