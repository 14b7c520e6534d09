// Builds the collision mask of a bank image through a memory surface holding its pixels.
#include "vtrs2/banks.h"
#include "vtrs2/memory.h"
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/rle_codec.h"

#include <algorithm>
#include <cstring>
#include <memory>

using namespace win32;

namespace {

struct DepthOfMode {
    DWORD mode;
    int depth;
    DWORD packing;
};
constexpr DepthOfMode ModeDepths[] = {
    {3, 8, RlePixel8}, {4, 24, RlePixel24}, {6, 15, RlePixel16}, {7, 16, RlePixel16}, {8, 32, 0}};

const DepthOfMode* FindMode(DWORD mode) {
    for (const auto& m : ModeDepths)
        if (m.mode == mode) return &m;
    return nullptr;
}

struct FreeBlock {
    void operator()(void* p) const { FreeMemoryBlock(p); }
};

// Copies the image's rows (and alpha plane) into the surface; the image's rows may be padded differently.
bool LoadPixels(cBufferSurface& surface, const ImageItem& item, const BYTE* data, const DepthOfMode& mode) {
    const int width = static_cast<int>(item.width), height = static_cast<int>(item.height);
    if (!surface.SetDepth(mode.depth) || !surface.AllocatePixels(width, height)) return false;
    const DWORD pixelBytes = GetImageDataSize(width, height, item.displayMode);
    const std::size_t rowBytes = pixelBytes / static_cast<DWORD>(height);
    const std::size_t copied = std::min<std::size_t>(rowBytes, static_cast<std::size_t>(surface.pitch));
    for (int y = 0; y < height; ++y)
        std::memcpy(surface.Row(y), data + y * rowBytes, copied);
    surface.SetColorKey(item.transparent);
    if (item.flags & ImageAlpha) {
        if (!surface.AllocateAlphaPlane()) return false;
        const std::size_t alphaRow = static_cast<std::size_t>((width + 3) & ~3);
        for (int y = 0; y < height; ++y)
            std::memcpy(surface.AlphaRow(y), data + pixelBytes + y * alphaRow, width);
    }
    return true;
}

} // namespace

ImageMask* BuildImageCollisionMask(ContextBanks* banks, DWORD image, DWORD mode) {
    const auto* item = reinterpret_cast<const ImageItem*>(GetBankItem(banks, BankImages, image));
    if (!item || item->width == 0 || item->height == 0) return nullptr;
    const DepthOfMode* depth = FindMode(item->displayMode);
    if (!depth) return nullptr;
    const BYTE* data = BankItemData(&item->header);
    std::unique_ptr<BYTE, FreeBlock> unpacked;
    if (item->flags & ImagePacked) {
        const DWORD size = GetImageDataSize(item->width, item->height, item->displayMode);
        BYTE* buffer = nullptr;
        if (!AllocMemory(size, &buffer)) return nullptr;
        unpacked.reset(buffer);
        if (DecodeRlePixels(buffer, size, data, item->header.dataSize, depth->packing) != size)
            return nullptr;
        data = buffer;
    }
    cBufferSurface surface;
    if (!LoadPixels(surface, *item, data, *depth)) return nullptr;
    const LONG hotX = item->hotX, hotY = item->hotY;
    ImageMask* mask = PrepareImageCollisionMask(banks, image, mode);
    if (!mask) return nullptr;
    if (!surface.CreateCollisionMask(mask, static_cast<int>(mode & 1))) {
        ReleaseBankItem(banks, (mode & 1) ? BankPlatformMasks : BankMasks, image);
        return nullptr;
    }
    // The surface knows nothing of hot spots.
    mask->hotX = hotX, mask->hotY = hotY;
    return mask;
}
