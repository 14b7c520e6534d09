// cImageSurface: bank image pixels addressed in place, or unpacked once when they are run-length packed.
#include "vtrs2/image_surface.h"

#include "image_surfaces.h"
#include "vtrs2/banks.h"
#include "vtrs2/context_record.h"
#include "vtrs2/memory.h"
#include "vtrs2/palettes.h"
#include "vtrs2/rle_codec.h"

#include <cstring>
#include <new>
#include <vector>

using namespace win32;
using namespace sprites;

namespace {

// Bytes per row of the image layout: 8 bits rounded up to an even width, 24 bits in pairs of pixels.
int ImagePitch(int width, int depth) {
    switch (depth) {
    case 8:
        return (width + 1) & ~1;
    case 15:
    case 16:
        return 2 * width;
    case 24:
        return (width + 1) / 2 * 6;
    case 32:
        return 4 * width;
    default:
        return depth;
    }
}

constexpr int ModeDepths[16] = {0, 1, 4, 8, 24, 4, 15, 16, 32, -1, 3, 3, 3, 3, 3, 3};

std::size_t AlphaBytes(int width, int height) {
    return static_cast<std::size_t>((width + 3) & ~3) * static_cast<std::size_t>(height);
}

} // namespace

std::size_t ImageDataSize(int width, int height, int depth) {
    if (width <= 0 || height <= 0) return 0;
    return static_cast<std::size_t>(ImagePitch(width, depth)) * static_cast<std::size_t>(height);
}

int ImageDepthOfMode(int code) {
    return ModeDepths[code & 0xF];
}

cImageSurface::cImageSurface(const ImageItem* item) {
    SetItemData(item);
}

cImageSurface::cImageSurface(AppContext* context) {
    TakeContextFormat(context);
}

void cImageSurface::TakeContextFormat(AppContext* context) {
    if (!context) return;
    const int imageDepth = ImageDepthOfMode(context->displayMode);
    SetFormat(imageDepth, imageDepth <= 8 ? context->sharedPalette : nullptr);
}

void cImageSurface::SetFormat(int newDepth, SharedPalette* newPalette) {
    SelectDepthRoutines(newDepth);
    bottomUp = 0;
    if (newDepth <= 8 && newPalette != palette) {
        AddRefSharedPalette(newPalette);
        ReleaseSharedPalette(palette);
        palette = newPalette;
    }
}

cImageSurface* cImageSurface::ConstructFromPixels(AppContext* context, int w, int h, COLORREF transparent,
                                                  BYTE* data, BYTE* alpha, int packed) {
    auto* surface = new (std::nothrow) cImageSurface(context);
    if (surface) surface->SetImageData(w, h, transparent, data, alpha, packed);
    return surface;
}

cImageSurface* cImageSurface::ConstructFromItemData(AppContext* context, const ImageItem* item) {
    auto* surface = new (std::nothrow) cImageSurface(context);
    if (surface) surface->SetItemData(item);
    return surface;
}

std::size_t cImageSurface::GetDataSize() const {
    return ImageDataSize(width, height, depth) + (alphaPlane ? AlphaBytes(width, height) : 0);
}

std::size_t cImageSurface::CopyPixelsTo(BYTE* buffer) const {
    if (!buffer || !pixelAllocation) return 0;
    const std::size_t pixelBytes = ImageDataSize(width, height, depth);
    std::memcpy(buffer, pixelAllocation, pixelBytes);
    if (!alphaPlane) return pixelBytes;
    std::memcpy(buffer + pixelBytes, alphaPlane, AlphaBytes(width, height));
    return pixelBytes + AlphaBytes(width, height);
}

namespace {
// Pixels and alpha plane as one run of bytes, as the codec packs them.
std::vector<BYTE> ImageBytes(const cImageSurface& surface) {
    std::vector<BYTE> bytes(surface.GetDataSize());
    surface.CopyPixelsTo(bytes.data());
    return bytes;
}
} // namespace

std::size_t cImageSurface::EncodeRle(BYTE* buffer, DWORD mode) const {
    if (!buffer || !pixelAllocation) return 0;
    const std::vector<BYTE> bytes = ImageBytes(*this);
    const std::size_t size = GetRleCompressedSize(bytes.data(), bytes.size(), mode & 7);
    return RleCompressPixels(buffer, size, bytes.data(), bytes.size(), mode & 7);
}

std::size_t cImageSurface::GetRleSize(DWORD mode) const {
    if (!pixelAllocation) return 0;
    const std::vector<BYTE> bytes = ImageBytes(*this);
    return GetRleCompressedSize(bytes.data(), bytes.size(), mode & 7);
}

void EncodeTransparentRuns(cSurfaceImplementation* surface, BYTE* buffer) {
    if (!surface || !buffer || !surface->pixels || !surface->routines || !surface->routines->EncodeRuns)
        return;
    surface->routines->EncodeRuns(buffer, surface->pixels, surface->width, surface->height,
                                  surface->signedPitch, surface->transparentValue);
}

// The measure fills the 12-byte head of the encoding; without a buffer it goes to a scratch one.
DWORD MeasureTransparentRuns(cSurfaceImplementation* surface, BYTE* buffer) {
    constexpr std::size_t HeadBytes = 12;
    if (!surface || !surface->pixels || !surface->routines || !surface->routines->MeasureRuns) return 0;
    BYTE scratch[HeadBytes] = {};
    return surface->routines->MeasureRuns(buffer ? buffer : scratch, surface->pixels, surface->width,
                                          surface->height, surface->signedPitch, surface->transparentValue);
}

cImageSurface::~cImageSurface() {
    ReleasePixels();
}

void cImageSurface::ReleasePixels() {
    if (ownsPixels && pixelAllocation) FreeMemoryBlock(pixelAllocation);
    ownsPixels = 0;
    pixelAllocation = nullptr;
    pixels = nullptr;
}

cSurfaceImplementation* cImageSurface::DestroyAndFree(unsigned freeFlags) {
    cSurfaceImplementation* self = this;
    if (freeFlags & 1)
        delete this;
    else
        this->~cImageSurface();
    return self;
}

cSurfaceImplementation* cImageSurface::CreateSameKind(int newWidth, int newHeight) {
    if (newWidth <= 0 || newHeight <= 0 || newWidth > MaxSurfaceSide || newHeight > MaxSurfaceSide)
        return nullptr;
    auto* created = new (std::nothrow) cImageSurface;
    if (!created) return nullptr;
    const long long bits = depth == 15 ? 16 : depth;
    const int rowBytes = static_cast<int>(((newWidth * bits + 31) >> 5) * 4);
    created->InitSize(*this, newWidth, newHeight, rowBytes);
    created->flags = 0;
    created->bottomUp = 0;
    created->signedPitch = rowBytes;
    created->routines = GetPixelRoutineTable(depthIndex);
    void* block = nullptr;
    if (!AllocMemory(static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(newHeight), &block)) {
        created->Delete();
        return nullptr;
    }
    created->pixelAllocation = block;
    created->pixels = static_cast<BYTE*>(block);
    created->ownsPixels = 1;
    return created;
}

int cImageSurface::SetDepth(int) {
    return 0;
}

int cImageSurface::IsPacked() {
    return routines != GetPixelRoutineTable(depthIndex);
}

void cImageSurface::SetImageData(int newWidth, int newHeight, COLORREF transparent, BYTE* data, BYTE* alpha,
                                 int packed) {
    if (!data) return;
    width = newWidth;
    height = newHeight;
    pitch = signedPitch = ImagePitch(newWidth, depth);
    pixelAllocation = pixels = data;
    clipLeft = clipTop = 0;
    clipRight = newWidth;
    clipBottom = newHeight;
    // The pixels belong to the bank: no processor feature bits, and the alpha plane is not owned.
    flags = 0;
    alphaAllocation = nullptr;
    alphaPlane = alpha;
    alphaPitch = signedAlphaPitch = alpha ? (newWidth + 3) & ~3 : 0;
    SetColorKey(transparent);
    routines = packed ? GetPackedSourceRoutineTable(depthIndex) : GetPixelRoutineTable(depthIndex);
}

int cImageSurface::SetItemData(const ImageItem* item) {
    if (!item) return 0;
    const ModeFormat* format = FindModeFormat(item->displayMode);
    const int w = static_cast<int>(item->width), h = static_cast<int>(item->height);
    const DWORD pixelBytes = GetImageDataSize(w, h, item->displayMode);
    if (!format || pixelBytes == 0 || w > MaxSurfaceSide || h > MaxSurfaceSide) return 0;
    const bool alpha = item->flags & ImageAlpha;
    const std::size_t total = pixelBytes + (alpha ? AlphaBytes(w, h) : 0);
    ReleasePixels();
    SelectDepthRoutines(format->depth);
    auto* data = const_cast<BYTE*>(BankItemData(&item->header));
    if (!(item->flags & ImagePacked)) {
        if (item->header.dataSize < total) return 0;
        SetImageData(w, h, item->transparent, data,
                     alpha ? data + item->header.dataSize - AlphaBytes(w, h) : nullptr);
        return 1;
    }
    // Packed items hold the run-length codec's stream, which the pixel routines do not read.
    BYTE* unpacked = nullptr;
    if (!AllocMemory(total, &unpacked)) return 0;
    if (DecodeRlePixels(unpacked, total, data, item->header.dataSize, format->packing) != total) {
        FreeMemoryBlock(unpacked);
        return 0;
    }
    SetImageData(w, h, item->transparent, unpacked, alpha ? unpacked + pixelBytes : nullptr);
    ownsPixels = 1;
    return 1;
}
