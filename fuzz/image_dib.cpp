// Feeds arbitrary bytes as a packed bitmap to the image bank: the first byte picks the context's display
// mode and the flags, the rest is the bitmap. Nothing may be read outside the bytes given.
#include "vtrs2/banks.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static constexpr win32::DWORD modes[] = {3, 4, 6, 7, 8};
    const win32::DWORD mode = modes[data[0] % 5];
    const win32::DWORD flags =
        ((data[0] & 0x10) ? AddImageAlphaPlane : 0) | ((data[0] & 0x20) ? AddImageDeduplicate : 0);
    // An exact-size heap copy, so that AddressSanitizer sees the first byte read past it.
    std::vector<std::uint8_t> bitmap(data + 1, data + size);
    ContextBanks banks{};
    ImageInfo info{};
    const auto* dib = reinterpret_cast<const win32::BITMAPINFO*>(bitmap.data());
    const win32::DWORD handle =
        AddImageFromDibEx(&banks, mode, &info, bitmap.empty() ? nullptr : dib, bitmap.size(), 0, flags);
    if (handle) GetImageCollisionMask(&banks, handle, data[0] & 1);
    FreeAllBanks(&banks);
    return 0;
}
