// Shows a picture in a window's client area of the layer's backing bitmap, scaled to it.
#pragma once

#include "win32/d3d8.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace win32::d3d {

// pixels: width x height of 0xAARRGGBB, top row first. fullScreen: scaled as large as the client area
// allows without changing its shape, centred, black around, and over the window's child windows too (the
// device holds the whole screen). False when the window is not a live window.
bool CopyToWindowClient(HWND window, std::span<const D3DCOLOR> pixels, UINT width, UINT height,
                        bool fullScreen);

// Where a picture of exactly the client area's size can be written straight into the window's backing
// bitmap: the whole client area is visible, the bitmap holds 32 bits a pixel and its rows run top down.
// Rows are `pitch` pixels apart from `first` and receive red, green, blue and alpha bytes; FinishDirectCopy
// turns them into the bitmap's pixels (its top bytes clear) and tells the window it changed.
struct DirectCopy {
    HWND window = nullptr;
    HDC dc = nullptr;
    std::uint32_t* first = nullptr;
    std::size_t pitch = 0;
    UINT width = 0;
    UINT height = 0;
};
bool BeginDirectCopy(HWND window, UINT width, UINT height, bool fullScreen, DirectCopy* copy);
void FinishDirectCopy(DirectCopy& copy);
// Lets the window's DC go without showing anything, when the picture could not be read.
void AbandonDirectCopy(DirectCopy& copy);

} // namespace win32::d3d
