// The six reference-counted banks of an application context, and the image items of bank 0.
#pragma once

#include "vtrs2/export.h"
#include "vtrs2/image_mask.h"
#include "win32/types.h"

#include <cstddef>

// Bank indexes.
constexpr int BankImages = 0;
constexpr int BankSounds = 1;
constexpr int BankMasks = 2;
constexpr int BankPlatformMasks = 3;
constexpr int BankTextures = 4;
constexpr int BankFonts = 5;
constexpr int BankCount = 6;

// One bank: a 16-byte header, then `capacity` item pointers; handle h is slot h - 1.
struct BankTable {
    win32::DWORD highestHandle; // the largest handle ever stored
    win32::DWORD capacity;
    win32::DWORD flags; // bit 0: locked
    win32::DWORD reserved;
};

// The banks of one AppContext; the context holds this record and passes it to every bank function.
struct ContextBanks {
    BankTable* tables[BankCount];
};

// The first words of every item.
struct BankItemHeader {
    win32::DWORD headerSize; // the item's data begins this many bytes from its start
    win32::DWORD dataSize;
    win32::DWORD refCount;
};

// Image flags.
constexpr win32::DWORD ImagePacked = 0x40;
constexpr win32::DWORD ImageAlpha = 0x10;

struct ImageItem {
    BankItemHeader header;
    win32::DWORD checksum; // over the 40 bytes that follow and the data
    win32::DWORD width;
    win32::DWORD height;
    win32::DWORD displayMode;
    win32::DWORD flags;
    win32::LONG hotX, hotY;
    win32::LONG actionX, actionY;
    win32::COLORREF transparent;
    win32::DWORD reserved;
};
static_assert(sizeof(ImageItem) == 56);

// Items of banks 2 and 3: the mask record, then its bits.
struct ImageMaskItem {
    BankItemHeader header;
    win32::DWORD reserved;
    ImageMask mask;
};
static_assert(sizeof(ImageMaskItem) == 60);

class cSurfaceImplementation;
struct AppContext;

// Items of bank 4: the display-driver texture made for the image of the same handle; the texture is
// deleted before the item is freed.
struct TextureCacheItem {
    BankItemHeader header;
    cSurfaceImplementation* surface;
    win32::DWORD flags;   // bit 0: locked (never purged, its time never updated)
    win32::DWORD lastUse; // timeGetTime of the last use
};
constexpr win32::DWORD TextureLocked = 0x1;

struct ImageInfo {
    win32::DWORD checksum;
    win32::DWORD refCount;
    win32::DWORD dataSize;
    win32::WORD width;
    win32::WORD height;
    win32::BYTE displayMode;
    win32::BYTE flags;
    win32::SHORT hotX, hotY;
    win32::SHORT actionX, actionY;
    win32::COLORREF transparent;
};

struct FullScreenModeEntry {
    win32::DWORD bitsPerPixel;
    win32::DWORD colourDepth;
    win32::DWORD displayMode;
    win32::DWORD reserved[5];
};

inline const win32::BYTE* BankItemData(const BankItemHeader* item) {
    return reinterpret_cast<const win32::BYTE*>(item) + item->headerSize;
}
inline win32::BYTE* BankItemData(BankItemHeader* item) {
    return reinterpret_cast<win32::BYTE*>(item) + item->headerSize;
}

// Add flag: the new item is zero-filled, not only its header.
constexpr win32::DWORD BankItemZeroFill = 0x40;

// Generic bank functions; handles are 1-based, 0 means none.
VTRS2_API win32::DWORD AddBankItem(ContextBanks* banks, int bank, win32::DWORD headerSize,
                                   win32::DWORD dataSize, win32::DWORD flags, const BankItemHeader* source);
VTRS2_API win32::DWORD ReplaceBankItem(ContextBanks* banks, int bank, win32::DWORD handle,
                                       win32::DWORD headerSize, win32::DWORD dataSize, win32::DWORD flags,
                                       const BankItemHeader* source);
VTRS2_API win32::DWORD FindDuplicateBankItem(ContextBanks* banks, int bank, const BankItemHeader* item);
VTRS2_API win32::LONG AddBankItemRef(ContextBanks* banks, int bank, win32::DWORD handle);
VTRS2_API win32::LONG ReleaseBankItem(ContextBanks* banks, int bank, win32::DWORD handle);
VTRS2_API BankItemHeader* GetBankItem(ContextBanks* banks, int bank, win32::DWORD handle);
VTRS2_API win32::DWORD GetBankCount(ContextBanks* banks, int bank);
VTRS2_API win32::DWORD GetBankCapacity(ContextBanks* banks, int bank);
VTRS2_API void FreeBank(ContextBanks* banks, int bank);
VTRS2_API void FreeAllBanks(ContextBanks* banks);
VTRS2_API int LockBank(ContextBanks* banks, int bank);
VTRS2_API int UnlockBank(ContextBanks* banks, int bank);
VTRS2_API int CompactBanks(ContextBanks* banks, int bank);

// AddImage flags beyond the source display-mode code in the low 4 bits.
constexpr win32::DWORD AddImageDeduplicate = 0x20;
constexpr win32::DWORD AddImageStorePacked = 0x80;
constexpr win32::DWORD AddImageAlphaPlane = 0x1000;
constexpr win32::DWORD AddImagePackedItemForm = 0x4000;

// Pixel bytes of an image of a display mode (0 for an unknown mode); with flag 0x1000 the alpha plane too.
VTRS2_API win32::DWORD GetImageDataSize(win32::LONG width, win32::LONG height, win32::DWORD flags);
// `targetMode` is the context's display-mode code; `pixelsSize` is the byte count of `pixels`, so that an
// image whose size does not match its data is refused.
VTRS2_API win32::DWORD AddImage(ContextBanks* banks, win32::DWORD targetMode, win32::LONG width,
                                win32::LONG height, win32::LONG hotX, win32::LONG hotY, win32::LONG actionX,
                                win32::LONG actionY, win32::COLORREF transparent, win32::DWORD flags,
                                const void* pixels, std::size_t pixelsSize, const void* palette);
// An image made from a packed bitmap of `dibSize` bytes (header, colours, bits, then with flag 0x1000 an
// alpha plane of ((width + 3) & ~3) bytes per row); hot spot and action point come from `info`.
VTRS2_API win32::DWORD AddImageFromDibEx(ContextBanks* banks, win32::DWORD targetMode, const ImageInfo* info,
                                         const win32::BITMAPINFO* dib, std::size_t dibSize,
                                         win32::COLORREF transparent, win32::DWORD flags);
VTRS2_API win32::DWORD AddImageFromDib(ContextBanks* banks, win32::DWORD targetMode, const ImageInfo* info,
                                       const win32::BITMAPINFO* dib, std::size_t dibSize);
VTRS2_API win32::LONG ReleaseImage(ContextBanks* banks, win32::DWORD handle);
VTRS2_API win32::LONG AddImageRef(ContextBanks* banks, win32::DWORD handle);
VTRS2_API int GetImageInfo(ContextBanks* banks, win32::DWORD handle, ImageInfo* info);
VTRS2_API int GetTransformedImageInfo(ContextBanks* banks, win32::DWORD handle, float angle, float scaleX,
                                      float scaleY, ImageInfo* info);
// Pixels and alpha plane into `buffer` (null: size only), packed with `packing` & 7 when non-zero and the
// image has no alpha plane; 0 when `capacity` is too small.
VTRS2_API win32::DWORD GetImageData(ContextBanks* banks, win32::DWORD handle, win32::DWORD packing,
                                    void* buffer, std::size_t capacity);
// Builds the image's mask from its pixels (solid: opaque alpha, or not the transparent colour) at the
// image's handle in bank 2 (mode bit 0 clear) or 3 (set: each column keeps its first 6 solid pixels).
VTRS2_API ImageMask* BuildImageCollisionMask(ContextBanks* banks, win32::DWORD image, win32::DWORD mode);
VTRS2_API ImageMask* GetImageCollisionMask(ContextBanks* banks, win32::DWORD image, win32::DWORD mode);
VTRS2_API win32::LONG ReleaseImageCollisionMasks(ContextBanks* banks, win32::DWORD image);
// The cached texture is deleted when its item's last reference goes.
VTRS2_API win32::LONG ReleaseImageTexture(ContextBanks* banks, win32::DWORD image);
// Puts a texture made for the image into bank 4 at the image's handle (count 1), deleting one already
// there; 0 when the image does not exist or the item cannot be made (the texture is then deleted too).
VTRS2_API TextureCacheItem* SetImageTexture(ContextBanks* banks, win32::DWORD image,
                                            cSurfaceImplementation* texture);
VTRS2_API TextureCacheItem* FindImageTexture(ContextBanks* banks, win32::DWORD image);
// Puts a mask record of the image's size at the image's handle in bank 2 (mode bit 0 clear) or 3, zeroed,
// and returns it for the mask builder to fill.
VTRS2_API ImageMask* PrepareImageCollisionMask(ContextBanks* banks, win32::DWORD image, win32::DWORD mode);
VTRS2_API int GetFullScreenModes(FullScreenModeEntry* entries, int count);
// The bitmap header and colour table of a display mode's images (codes 6, 7 and 8 as 24 bits, bottom-up
// rows) into `out` when given; answers the bytes of header, colour table and pixels.
VTRS2_API win32::DWORD BuildDibHeader(AppContext* context, int width, int height, int code,
                                      win32::BITMAPINFO* out);
