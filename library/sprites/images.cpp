// Image items of bank 0 and the collision-mask items made for them in banks 2 and 3.
#include "image_surfaces.h"
#include "nibble_expansion.h"
#include "texture_items.h"
#include "vtrs2/banks.h"
#include "vtrs2/context_record.h"
#include "vtrs2/memory.h"
#include "vtrs2/palette_matching.h"
#include "vtrs2/rle_codec.h"
#include "vtrs2/surface_engine.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

using namespace win32;
using namespace sprites;

namespace {

constexpr DWORD ImageHeaderSize = sizeof(ImageItem);
constexpr DWORD MaskItemHeaderSize = sizeof(ImageMaskItem);
// The header words after the checksum that the checksum covers.
constexpr std::size_t ChecksummedHeader = 40;
constexpr DWORD Mode8 = 3, Mode24 = 4, Mode15 = 6, Mode16 = 7;
constexpr DWORD ModeNibbles = 2, ModePlanar = 5;
// With a 4-bit source mode, a mask plane follows the pixels.
constexpr DWORD AddImageSourceMask = 0x10;

struct FreeBlock {
    void operator()(void* p) const { FreeMemoryBlock(p); }
};
using Buffer = std::unique_ptr<BYTE, FreeBlock>;

Buffer NewBuffer(std::size_t size) {
    BYTE* p = nullptr;
    AllocZeroedMemory(size ? size : 1, &p);
    return Buffer(p);
}

ImageItem* ImageOf(ContextBanks* banks, DWORD handle) {
    return reinterpret_cast<ImageItem*>(GetBankItem(banks, BankImages, handle));
}

// The largest data an item's 32-bit size field can state.
constexpr std::uint64_t MaxImageData = 0xFFFFFFFFu;

std::uint64_t AlphaSize(LONG width, LONG height) {
    if (width <= 0 || height <= 0) return 0;
    return ((static_cast<std::uint64_t>(width) + 3) & ~std::uint64_t{3}) * static_cast<std::uint64_t>(height);
}

// The packing flag that suits a display mode's pixel size; 0 for modes whose pixels are not packed.
DWORD PackingFor(DWORD mode) {
    switch (mode) {
    case Mode8:
        return RlePixel8;
    case Mode15:
    case Mode16:
        return RlePixel16;
    case Mode24:
        return RlePixel24;
    default:
        return 0;
    }
}

// The palette that the banks' context draws with: its shared palette, or the thread's default one for
// banks that belong to no context of the thread. The pointer is borrowed.
SharedPalette* PaletteOfBanks(ContextBanks* banks) {
    if (CIndexList* contexts = GetThreadContexts()) {
        int cursor = contexts->GetHead();
        while (auto* context = static_cast<AppContext*>(contexts->Next(cursor)))
            if (context->banks == banks && context->sharedPalette) return context->sharedPalette;
    }
    return FindMatchingSharedPalette(GetDefaultModePalette(Mode8)->Log());
}

// A palette passed with an 8-bit source: a LOGPALETTE of 256 entries, not a remap table.
const LOGPALETTE* AsLogPalette(const void* palette) {
    const auto* bytes = static_cast<const BYTE*>(palette);
    if (!bytes || (bytes[0] | (bytes[1] << 8)) != LogPaletteVersion ||
        (bytes[2] | (bytes[3] << 8)) != PaletteSize)
        return nullptr;
    return static_cast<const LOGPALETTE*>(palette);
}

COLORREF AdjustTransparent(DWORD mode, COLORREF colour, SharedPalette* palette) {
    if (mode == Mode8 && palette)
        return PaletteColor(palette->palette.entries[GetNearestPaletteIndex(palette, colour)]);
    if (mode == Mode15) return colour & 0xF8F8F8;
    if (mode == Mode16) return colour & 0xF8FCF8;
    return colour;
}

void SetChecksum(ImageItem* item) {
    const DWORD sum = ComputeItemChecksum(&item->width, ChecksummedHeader);
    item->checksum = ContinueChecksum(BankItemData(&item->header), item->header.dataSize, sum);
}

// Unpacked pixels plus alpha plane of the source, in `holder` when they had to be unpacked. Packed pixels
// are walked first, so that no buffer is made for data that cannot fill it.
const BYTE* UnpackedSource(const void* pixels, std::size_t pixelsSize, DWORD sourcePacking, DWORD expected,
                           Buffer& holder) {
    const auto* bytes = static_cast<const BYTE*>(pixels);
    if (!sourcePacking) return pixelsSize >= expected ? bytes : nullptr;
    if (GetRleDecodedSize(bytes, pixelsSize, sourcePacking, expected) != expected) return nullptr;
    holder = NewBuffer(static_cast<std::size_t>(expected) + 32);
    if (!holder) return nullptr;
    const std::size_t n = DecodeRlePixels(holder.get(), expected, bytes, pixelsSize, sourcePacking);
    return n == expected ? holder.get() : nullptr;
}

// A 16-colour source expanded to 8 bits (mode 3), its alpha plane carried over; opaque black takes the
// palette's black index, so that only transparent pixels are 0.
Buffer ExpandFourBits(LONG width, LONG height, DWORD mode, bool mask, const BYTE* source, DWORD sourceBytes,
                      DWORD alphaBytes, BYTE blackIndex) {
    const DWORD expandedBytes = GetImageDataSize(width, height, Mode8);
    Buffer out = NewBuffer(static_cast<std::size_t>(expandedBytes) + alphaBytes);
    if (!out) return nullptr;
    if (mode == ModeNibbles)
        sprites::ExpandNibbles4To8(out.get(), source, width, height, mask, blackIndex);
    else
        sprites::ExpandPlanar4To8(out.get(), source, width, height, mask, blackIndex);
    std::memcpy(out.get() + expandedBytes, source + sourceBytes, alphaBytes);
    return out;
}

// The bytes of a 4-bit source: its pixels and, with the mask flag, its mask; 0 when they overflow.
DWORD FourBitSourceBytes(LONG width, LONG height, DWORD mode, bool mask) {
    const std::uint64_t pixels = GetImageDataSize(width, height, mode);
    const std::uint64_t total = !mask ? pixels : pixels + (mode == ModeNibbles ? pixels : pixels / 4);
    return total > 0xFFFFFFFFu ? 0 : static_cast<DWORD>(total);
}

// The pixels in the target mode, alpha plane carried over as it is. An 8-bit image into an 8-bit context
// goes through the 256-byte remap table given in place of a palette; between palette and true-colour
// pixels the context's palette gives and takes the colours, or for an 8-bit source the LOGPALETTE given.
Buffer ConvertPixels(LONG width, LONG height, DWORD sourceMode, DWORD targetMode, const BYTE* source,
                     DWORD sourceBytes, DWORD alphaBytes, const void* palette,
                     SharedPalette* contextPalette) {
    const ModeFormat* from = FindModeFormat(sourceMode);
    const ModeFormat* to = FindModeFormat(targetMode);
    if (!from || !to) return nullptr;
    const DWORD targetBytes = GetImageDataSize(width, height, targetMode);
    Buffer out = NewBuffer(static_cast<std::size_t>(targetBytes) + alphaBytes);
    if (!out) return nullptr;
    if (sourceMode == Mode8 && targetMode == Mode8) {
        const auto* table = static_cast<const BYTE*>(palette);
        for (DWORD i = 0; i < targetBytes; ++i)
            out.get()[i] = table ? table[source[i]] : source[i];
    } else {
        cBufferSurface fromSurface, into;
        if (!LoadImageRows(fromSurface, *from, width, height, source)) return nullptr;
        if (sourceMode == Mode8) {
            SharedPalette* given = GetSharedPalette(AsLogPalette(palette));
            fromSurface.SetPalette(given ? given : contextPalette, 0);
            ReleaseSharedPalette(given);
        }
        if (!into.SetDepth(to->depth) || !into.AllocatePixels(width, height)) return nullptr;
        if (targetMode == Mode8) into.SetPalette(contextPalette, 0);
        if (!fromSurface.Blit(&into, 0, 0, 0, 0, width, height, 0, 0, 0, 0)) return nullptr;
        StoreImageRows(into, *to, out.get());
    }
    std::memcpy(out.get() + targetBytes, source + sourceBytes, alphaBytes);
    return out;
}

} // namespace

void DeleteTexture(TextureCacheItem& item) {
    if (cSurfaceImplementation* surface = std::exchange(item.surface, nullptr)) surface->Delete();
}

DWORD GetImageDataSize(LONG width, LONG height, DWORD flags) {
    if (width <= 0 || height <= 0) return 0;
    const auto w = static_cast<std::uint64_t>(width), h = static_cast<std::uint64_t>(height);
    std::uint64_t size = 0;
    switch (flags & 0xF) {
    case 2:
        size = ((w + 3) >> 2) * 2 * h;
        break;
    case Mode8:
        size = ((w + 1) & ~std::uint64_t{1}) * h;
        break;
    case Mode24:
        size = ((w + 1) >> 1) * 6 * h;
        break;
    case 5:
        size = ((w + 15) >> 4) * 8 * h;
        break;
    case Mode15:
    case Mode16:
        size = w * 2 * h;
        break;
    case 8:
        size = w * 4 * h;
        break;
    default:
        return 0;
    }
    if (flags & AddImageAlphaPlane) size += AlphaSize(width, height);
    return size <= MaxImageData ? static_cast<DWORD>(size) : 0;
}

DWORD AddImage(ContextBanks* banks, DWORD targetMode, LONG width, LONG height, LONG hotX, LONG hotY,
               LONG actionX, LONG actionY, COLORREF transparent, DWORD flags, const void* pixels,
               std::size_t pixelsSize, const void* palette) {
    width &= 0xFFFF, height &= 0xFFFF;
    if (!banks || width == 0 || height == 0) return 0;
    DWORD sourceMode = (flags & 0xF) ? (flags & 0xF) : targetMode;
    SharedPalette* contextPalette = PaletteOfBanks(banks);
    const bool alpha = flags & AddImageAlphaPlane;
    const DWORD sourcePacking = (flags >> 8) & 7;
    const DWORD pixelBytes = GetImageDataSize(width, height, targetMode);
    // With its alpha plane the image must still fit an item.
    const DWORD unpacked = GetImageDataSize(width, height, targetMode | (alpha ? AddImageAlphaPlane : 0));
    if (pixelBytes == 0 || unpacked == 0) return 0;
    const DWORD alphaBytes = unpacked - pixelBytes;
    // The packed item form has no settled layout; packed sources followed by an alpha plane cannot say where
    // the plane starts.
    if (pixels && ((flags & AddImagePackedItemForm) || (sourcePacking && alpha))) return 0;

    Buffer holder, expanded, converted;
    const BYTE* source = nullptr;
    if (pixels) {
        const bool fourBits = sourceMode == ModeNibbles || sourceMode == ModePlanar;
        const bool mask = fourBits && (flags & AddImageSourceMask);
        DWORD sourceBytes = fourBits ? FourBitSourceBytes(width, height, sourceMode, mask)
                                     : GetImageDataSize(width, height, sourceMode);
        const std::uint64_t sourceTotal = static_cast<std::uint64_t>(sourceBytes) + alphaBytes;
        if (!sourceBytes || sourceTotal > 0xFFFFFFFFu ||
            !(source =
                  UnpackedSource(pixels, pixelsSize, sourcePacking, static_cast<DWORD>(sourceTotal), holder)))
            return 0;
        if (fourBits) {
            const auto black = static_cast<BYTE>(contextPalette ? contextPalette->blackIndex : 0);
            expanded =
                ExpandFourBits(width, height, sourceMode, mask, source, sourceBytes, alphaBytes, black);
            if (!expanded) return 0;
            source = expanded.get();
            sourceMode = Mode8;
            sourceBytes = GetImageDataSize(width, height, Mode8);
        }
        if (sourceMode != targetMode || palette) {
            converted = ConvertPixels(width, height, sourceMode, targetMode, source, sourceBytes, alphaBytes,
                                      palette, contextPalette);
            if (!converted) return 0;
            source = converted.get();
        }
    }

    const DWORD packing = ((flags & AddImageStorePacked) && !alpha && source) ? PackingFor(targetMode) : 0;
    const std::size_t packedSize = packing ? GetRleCompressedSize(source, pixelBytes, packing) : 0;
    const DWORD dataSize = packing ? static_cast<DWORD>(packedSize) : unpacked;
    const DWORD handle = AddBankItem(banks, BankImages, ImageHeaderSize, dataSize, BankItemZeroFill, nullptr);
    if (!handle) return 0;
    auto* item = ImageOf(banks, handle);
    BYTE* data = BankItemData(&item->header);
    if (packing)
        RleCompressPixels(data, dataSize, source, pixelBytes, packing);
    else if (source)
        std::memcpy(data, source, unpacked);

    item->width = static_cast<DWORD>(width);
    item->height = static_cast<DWORD>(height);
    item->displayMode = targetMode;
    item->flags = (packing ? ImagePacked : 0) | (alpha ? ImageAlpha : 0);
    item->hotX = static_cast<SHORT>(hotX), item->hotY = static_cast<SHORT>(hotY);
    item->actionX = static_cast<SHORT>(actionX), item->actionY = static_cast<SHORT>(actionY);
    item->transparent = transparent ? AdjustTransparent(targetMode, transparent, contextPalette) : 0;
    SetChecksum(item);

    if (flags & AddImageDeduplicate) {
        if (const DWORD existing = FindDuplicateBankItem(banks, BankImages, &item->header)) {
            AddBankItemRef(banks, BankImages, existing);
            ReleaseBankItem(banks, BankImages, handle);
            return existing;
        }
    }
    return handle;
}

LONG ReleaseImage(ContextBanks* banks, DWORD handle) {
    const LONG count = ReleaseBankItem(banks, BankImages, handle);
    if (count == 0) {
        // The texture dies with its image whatever its own count.
        if (TextureCacheItem* texture = FindImageTexture(banks, handle)) {
            DeleteTexture(*texture);
            texture->header.refCount = 1;
        }
        ReleaseImageTexture(banks, handle);
        ReleaseImageCollisionMasks(banks, handle);
    }
    return count;
}

LONG AddImageRef(ContextBanks* banks, DWORD handle) {
    return AddBankItemRef(banks, BankImages, handle);
}

int GetImageInfo(ContextBanks* banks, DWORD handle, ImageInfo* info) {
    const ImageItem* item = ImageOf(banks, handle);
    if (!item || !info) return 0;
    info->checksum = item->checksum;
    info->refCount = item->header.refCount;
    info->dataSize = item->header.dataSize;
    info->width = static_cast<WORD>(item->width);
    info->height = static_cast<WORD>(item->height);
    info->displayMode = static_cast<BYTE>(item->displayMode);
    info->flags = static_cast<BYTE>(item->flags);
    info->hotX = static_cast<SHORT>(item->hotX), info->hotY = static_cast<SHORT>(item->hotY);
    info->actionX = static_cast<SHORT>(item->actionX), info->actionY = static_cast<SHORT>(item->actionY);
    info->transparent = item->transparent;
    return 1;
}

int GetTransformedImageInfo(ContextBanks* banks, DWORD handle, float angle, float scaleX, float scaleY,
                            ImageInfo* info) {
    if (!GetImageInfo(banks, handle, info)) return 0;
    info->checksum = 0;
    info->dataSize = 0;
    auto scale = [](auto value, float factor) {
        return factor == 1.0f ? value : static_cast<decltype(value)>(static_cast<LONG>(value * factor));
    };
    info->width = scale(info->width, scaleX), info->hotX = scale(info->hotX, scaleX);
    info->actionX = scale(info->actionX, scaleX);
    info->height = scale(info->height, scaleY), info->hotY = scale(info->hotY, scaleY);
    info->actionY = scale(info->actionY, scaleY);
    if (angle != 0) {
        SIZE size{info->width, info->height};
        POINT hot{info->hotX, info->hotY}, action{info->actionX, info->actionY};
        RotateImageBounds(&size, &hot, &action, angle);
        info->width = static_cast<WORD>(size.cx), info->height = static_cast<WORD>(size.cy);
        info->hotX = static_cast<SHORT>(hot.x), info->hotY = static_cast<SHORT>(hot.y);
        info->actionX = static_cast<SHORT>(action.x), info->actionY = static_cast<SHORT>(action.y);
    }
    return 1;
}

DWORD GetImageData(ContextBanks* banks, DWORD handle, DWORD packing, void* buffer, std::size_t capacity) {
    const ImageItem* item = ImageOf(banks, handle);
    if (!item) return 0;
    const bool alpha = item->flags & ImageAlpha;
    const LONG width = static_cast<LONG>(item->width), height = static_cast<LONG>(item->height);
    const DWORD pixelBytes = GetImageDataSize(width, height, item->displayMode);
    const DWORD unpacked =
        GetImageDataSize(width, height, item->displayMode | (alpha ? AddImageAlphaPlane : 0));
    if (!pixelBytes || !unpacked) return 0;
    const BYTE* data = BankItemData(&item->header);
    Buffer holder;
    if (item->flags & ImagePacked) {
        holder = NewBuffer(unpacked);
        if (!holder || DecodeRlePixels(holder.get(), unpacked, data, item->header.dataSize,
                                       PackingFor(item->displayMode)) != unpacked)
            return 0;
        data = holder.get();
    }
    packing &= 7;
    if (!packing || alpha) {
        if (!buffer) return unpacked;
        if (capacity < unpacked) return 0;
        std::memcpy(buffer, data, unpacked);
        return unpacked;
    }
    if (!buffer) return static_cast<DWORD>(GetRleCompressedSize(data, pixelBytes, packing));
    return static_cast<DWORD>(
        RleCompressPixels(static_cast<BYTE*>(buffer), capacity, data, pixelBytes, packing));
}

ImageMask* GetImageCollisionMask(ContextBanks* banks, DWORD image, DWORD mode) {
    const ImageItem* item = ImageOf(banks, image);
    if (!item || item->width == 0 || item->height == 0) return nullptr;
    auto* mask = reinterpret_cast<ImageMaskItem*>(
        GetBankItem(banks, (mode & 1) ? BankPlatformMasks : BankMasks, image));
    return mask ? &mask->mask : BuildImageCollisionMask(banks, image, mode);
}

ImageMask* PrepareImageCollisionMask(ContextBanks* banks, DWORD image, DWORD mode) {
    const ImageItem* item = ImageOf(banks, image);
    if (!item || item->width == 0 || item->height == 0) return nullptr;
    const LONG width = static_cast<LONG>(item->width), height = static_cast<LONG>(item->height);
    const LONG hotX = item->hotX, hotY = item->hotY;
    const LONG stride = MaskStride(width);
    const DWORD dataSize = static_cast<DWORD>((height * stride + 7) & ~7);
    const int bank = (mode & 1) ? BankPlatformMasks : BankMasks;
    if (!ReplaceBankItem(banks, bank, image, MaskItemHeaderSize, dataSize, BankItemZeroFill, nullptr))
        return nullptr;
    auto* maskItem = reinterpret_cast<ImageMaskItem*>(GetBankItem(banks, bank, image));
    maskItem->header.refCount = 1;
    ImageMask& mask = maskItem->mask;
    mask.bitsOffset = ImageMaskHeaderSize;
    mask.width = width, mask.height = height, mask.stride = stride;
    mask.hotX = hotX, mask.hotY = hotY;
    return &mask;
}

LONG ReleaseImageCollisionMasks(ContextBanks* banks, DWORD image) {
    ReleaseBankItem(banks, BankPlatformMasks, image);
    return ReleaseBankItem(banks, BankMasks, image);
}

LONG ReleaseImageTexture(ContextBanks* banks, DWORD image) {
    // Deleting the texture while other references remain would leave them pointing at a freed surface.
    if (TextureCacheItem* item = FindImageTexture(banks, image); item && item->header.refCount <= 1)
        DeleteTexture(*item);
    return ReleaseBankItem(banks, BankTextures, image);
}

TextureCacheItem* FindImageTexture(ContextBanks* banks, DWORD image) {
    return reinterpret_cast<TextureCacheItem*>(GetBankItem(banks, BankTextures, image));
}

TextureCacheItem* SetImageTexture(ContextBanks* banks, DWORD image, cSurfaceImplementation* texture) {
    if (!ImageOf(banks, image)) {
        if (texture) texture->Delete();
        return nullptr;
    }
    if (TextureCacheItem* old = FindImageTexture(banks, image)) DeleteTexture(*old);
    if (!ReplaceBankItem(banks, BankTextures, image, sizeof(TextureCacheItem), 0, BankItemZeroFill,
                         nullptr)) {
        if (texture) texture->Delete();
        return nullptr;
    }
    TextureCacheItem* item = FindImageTexture(banks, image);
    item->header.refCount = 1;
    item->surface = texture;
    return item;
}
