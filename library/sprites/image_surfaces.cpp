// Bank image rows in and out of memory surfaces.
#include "image_surfaces.h"

#include "vtrs2/banks.h"
#include "vtrs2/rle_codec.h"

#include <algorithm>
#include <cstring>

using namespace win32;

namespace sprites {

namespace {
constexpr ModeFormat Formats[] = {
    {3, 8, RlePixel8}, {4, 24, RlePixel24}, {6, 15, RlePixel16}, {7, 16, RlePixel16}, {8, 32, 0}};

std::size_t ImageRowBytes(const ModeFormat& format, int width, int height) {
    return GetImageDataSize(width, height, format.mode) / static_cast<DWORD>(height);
}

std::size_t PixelBytes(const ModeFormat& format) {
    return static_cast<std::size_t>((format.depth + 7) / 8);
}
} // namespace

const ModeFormat* FindModeFormat(DWORD mode) {
    for (const auto& f : Formats)
        if (f.mode == mode) return &f;
    return nullptr;
}

bool LoadImageRows(cBufferSurface& surface, const ModeFormat& format, int width, int height,
                   const BYTE* pixels) {
    if (!surface.SetDepth(format.depth) || !surface.AllocatePixels(width, height)) return false;
    const std::size_t rowBytes = ImageRowBytes(format, width, height);
    const std::size_t copied = std::min<std::size_t>(rowBytes, static_cast<std::size_t>(surface.pitch));
    for (int y = 0; y < height; ++y)
        std::memcpy(surface.Row(y), pixels + y * rowBytes, copied);
    return true;
}

void StoreImageRows(const cBufferSurface& surface, const ModeFormat& format, BYTE* pixels) {
    const std::size_t rowBytes = ImageRowBytes(format, surface.width, surface.height);
    // Only the pixels come from the surface: past them its rows hold nothing written, and the image's
    // padding to its row layout is zeros.
    const std::size_t pixelBytes = static_cast<std::size_t>(surface.width) * PixelBytes(format);
    const std::size_t copied = std::min({rowBytes, pixelBytes, static_cast<std::size_t>(surface.pitch)});
    for (int y = 0; y < surface.height; ++y) {
        BYTE* row = pixels + static_cast<std::size_t>(y) * rowBytes;
        std::memcpy(row, surface.Row(y), copied);
        std::memset(row + copied, 0, rowBytes - copied);
    }
}

} // namespace sprites
