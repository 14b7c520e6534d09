// Feeds arbitrary bytes to the image RLE decoder: the first byte picks the packing flags and the image
// size, the rest is the packed stream. The decoder must never write past the image it was given.
#include "vtrs2/rle_codec.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const win32::DWORD flags = data[0] & 7;
    const std::size_t capacity = (static_cast<std::size_t>(data[1]) << 4) | (data[0] >> 4);
    // An exact-size heap block, so that AddressSanitizer catches the first byte written past it.
    std::vector<win32::BYTE> image(capacity);
    const std::size_t written = DecodeRlePixels(image.data(), capacity, data + 2, size - 2, flags);
    if (written > capacity) std::abort();
    // Whatever came out must pack and unpack to itself.
    std::vector<win32::BYTE> packed(GetRleCompressedSize(image.data(), written, flags));
    const std::size_t n = RleCompressPixels(packed.data(), packed.size(), image.data(), written, flags);
    std::vector<win32::BYTE> again(written);
    const std::size_t back = DecodeRlePixels(again.data(), again.size(), packed.data(), n, flags);
    const std::size_t pixel = RlePixelSize(flags);
    const std::size_t whole = pixel ? written / pixel * pixel : 0;
    if (back != whole) std::abort();
    for (std::size_t i = 0; i < whole; ++i)
        if (again[i] != image[i]) std::abort();
    return 0;
}
