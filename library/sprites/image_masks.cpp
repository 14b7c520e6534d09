// Builds the collision mask of a bank image through a memory surface holding its pixels.
#include "image_surfaces.h"
#include "vtrs2/banks.h"
#include "vtrs2/memory.h"
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/rle_codec.h"

#include <algorithm>
#include <cstring>
#include <memory>

using namespace win32;
using namespace sprites;

namespace {

struct FreeBlock {
    void operator()(void* p) const { FreeMemoryBlock(p); }
};

bool LoadPixels(cBufferSurface& surface, const ImageItem& item, const BYTE* data, const ModeFormat& format) {
    const int width = static_cast<int>(item.width), height = static_cast<int>(item.height);
    if (!LoadImageRows(surface, format, width, height, data)) return false;
    surface.SetColorKey(item.transparent);
    if (item.flags & ImageAlpha) {
        if (!surface.AllocateAlphaPlane()) return false;
        const DWORD pixelBytes = GetImageDataSize(width, height, item.displayMode);
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
    const ModeFormat* depth = FindModeFormat(item->displayMode);
    if (!depth) return nullptr;
    const BYTE* data = BankItemData(&item->header);
    std::unique_ptr<BYTE, FreeBlock> unpacked;
    if (item->flags & ImagePacked) {
        const DWORD size = GetImageDataSize(item->width, item->height, item->displayMode);
        BYTE* buffer = nullptr;
        if (!size || !AllocMemory(size, &buffer)) return nullptr;
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
