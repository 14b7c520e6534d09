// Memory surfaces: owned pixel buffers, byte views and views over packed bitmaps.
#include "vtrs2/memory_surfaces.h"

#include "vtrs2/memory.h"
#include "vtrs2/palettes.h"
#include "vtrs2/raw_files.h"
#include "vtrs2/streams.h"

#include <cstdint>
#include <new>

using namespace win32;

namespace {

// A cache line: rows whose pitch is a multiple of it never have a vector load or store straddle two lines.
constexpr std::uintptr_t PixelAlignment = 64;

// Bytes per row, padded to 4 bytes; 15-bit pixels take 16 bits.
int RowBytes(int width, int depth) {
    const long long bits = depth == 15 ? 16 : depth;
    return static_cast<int>(((static_cast<long long>(width) * bits + 31) >> 5) * 4);
}

BYTE* AlignPixels(void* block) {
    const auto address = reinterpret_cast<std::uintptr_t>(block);
    return reinterpret_cast<BYTE*>((address + PixelAlignment - 1) & ~(PixelAlignment - 1));
}

// The grey palette of byte views: entry i is (i, i, i). The reference made with it is kept for the thread,
// whose palettes go when it ends; each view holds one more.
SharedPalette* GreyPalette() {
    static const LogPalette256 grey = [] {
        LogPalette256 p{};
        p.version = LogPaletteVersion;
        p.count = PaletteSize;
        for (int i = 0; i < PaletteSize; ++i)
            p.entries[i] = {static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
        return p;
    }();
    if (SharedPalette* kept = FindMatchingSharedPalette(grey.Log())) return kept;
    return GetSharedPalette(grey.Log());
}

bool SizeAllowed(int width, int height) {
    return width > 0 && height > 0 && width <= MaxSurfaceSide && height <= MaxSurfaceSide;
}

// Allocates rows of pitch bytes plus the alignment slack; null when it cannot.
void* AllocatePixelBlock(int pitch, int height) {
    void* block = nullptr;
    const std::size_t size =
        static_cast<std::size_t>(pitch) * static_cast<std::size_t>(height) + PixelAlignment;
    if (!AllocMemory(size, &block)) return nullptr;
    return block;
}

} // namespace

// cBufferSurface

cBufferSurface::~cBufferSurface() {
    if (pixelAllocation) FreeMemoryBlock(pixelAllocation);
    pixelAllocation = nullptr;
    pixels = nullptr;
}

cSurfaceImplementation* cBufferSurface::DestroyAndFree(unsigned freeFlags) {
    cSurfaceImplementation* self = this;
    if (freeFlags & 1)
        delete this;
    else
        this->~cBufferSurface();
    return self;
}

cSurfaceImplementation* cBufferSurface::CreateSameKind(int newWidth, int newHeight) {
    if (!SizeAllowed(newWidth, newHeight)) return nullptr;
    auto* created = new (std::nothrow) cBufferSurface;
    if (!created) return nullptr;
    const int rowBytes = RowBytes(newWidth, depth);
    created->InitSize(*this, newWidth, newHeight, rowBytes);
    // Pixels are addressed from row 0 downwards, whatever the prototype's row order.
    created->bottomUp = 0;
    created->signedPitch = rowBytes;
    void* block = AllocatePixelBlock(rowBytes, newHeight);
    if (!block) {
        created->Delete();
        return nullptr;
    }
    created->pixelAllocation = block;
    created->pixels = AlignPixels(block);
    return created;
}

int cBufferSurface::AllocatePixels(int newWidth, int newHeight) {
    if (!SizeAllowed(newWidth, newHeight) || depth <= 0) return 0;
    const int rowBytes = RowBytes(newWidth, depth);
    void* block = AllocatePixelBlock(rowBytes, newHeight);
    if (!block) return 0;
    pitch = signedPitch = rowBytes;
    bottomUp = 0;
    width = newWidth;
    height = newHeight;
    clipLeft = clipTop = 0;
    clipRight = newWidth;
    clipBottom = newHeight;
    if (pixelAllocation) FreeMemoryBlock(pixelAllocation);
    pixelAllocation = block;
    pixels = AlignPixels(block);
    FreeAlphaPlane();
    return 1;
}

namespace {
// The pixel bytes as one raw block, or -1 when they cannot be addressed as one.
long long PixelBytes(const cSurfaceImplementation& s) {
    const long long bytes = static_cast<long long>(s.pitch) * s.height;
    return s.pixels && bytes > 0 && bytes <= 0x7FFFFFFF ? bytes : -1;
}
} // namespace

int cBufferSurface::ReadPixels(HANDLE file) {
    const long long bytes = PixelBytes(*this);
    return bytes >= 0 && FileReadRaw(file, pixels, static_cast<LONG>(bytes)) == StreamOk;
}

int cBufferSurface::WritePixels(HANDLE file) {
    const long long bytes = PixelBytes(*this);
    return bytes >= 0 && FileWriteRaw(file, pixels, static_cast<LONG>(bytes)) == StreamOk;
}

// cAlphaBufferSurface

cAlphaBufferSurface::cAlphaBufferSurface(BYTE* bytes, int viewWidth, int viewHeight, int viewPitch) {
    SelectDepthRoutines(8);
    palette = AddRefSharedPalette(GreyPalette());
    width = viewWidth;
    height = viewHeight;
    pitch = viewPitch < 0 ? -viewPitch : viewPitch;
    signedPitch = viewPitch;
    bottomUp = viewPitch < 0;
    pixelAllocation = bytes;
    pixels = bytes;
    clipRight = viewWidth;
    clipBottom = viewHeight;
}

cAlphaBufferSurface::~cAlphaBufferSurface() {
    if (ownsPixels && pixelAllocation) FreeMemoryBlock(pixelAllocation);
    pixelAllocation = nullptr;
    pixels = nullptr;
}

cSurfaceImplementation* cAlphaBufferSurface::DestroyAndFree(unsigned freeFlags) {
    cSurfaceImplementation* self = this;
    if (freeFlags & 1)
        delete this;
    else
        this->~cAlphaBufferSurface();
    return self;
}

cSurfaceImplementation* cAlphaBufferSurface::CreateSameKind(int newWidth, int newHeight) {
    if (!SizeAllowed(newWidth, newHeight)) return nullptr;
    auto* created = new (std::nothrow) cAlphaBufferSurface;
    if (!created) return nullptr;
    const int rowBytes = RowBytes(newWidth, 8);
    void* block = AllocatePixelBlock(rowBytes, newHeight);
    if (!block) {
        created->Delete();
        return nullptr;
    }
    created->SelectDepthRoutines(8);
    created->palette = AddRefSharedPalette(palette);
    created->width = newWidth;
    created->height = newHeight;
    created->clipRight = newWidth;
    created->clipBottom = newHeight;
    created->pitch = created->signedPitch = rowBytes;
    created->pixelAllocation = block;
    created->pixels = AlignPixels(block);
    created->ownsPixels = 1;
    return created;
}

// cDIBSurface

cDIBSurface::cDIBSurface(const BITMAPINFOHEADER* header, void* bits, int makePalette) {
    if (!header || (header->biCompression != BI_RGB && header->biCompression != BI_BITFIELDS) ||
        header->biBitCount > 32 || header->biBitCount == 0)
        return;
    int bitCount = header->biBitCount;
    int viewDepth = bitCount;
    const auto* masks =
        reinterpret_cast<const DWORD*>(reinterpret_cast<const BYTE*>(header) + sizeof(BITMAPINFOHEADER));
    const BYTE* start = reinterpret_cast<const BYTE*>(header) + sizeof(BITMAPINFOHEADER);
    if (header->biCompression == BI_BITFIELDS) {
        if (bitCount == 16) {
            if (masks[2] != 0x1F) return;
            if (masks[1] == 0x3E0 && masks[0] == 0x7C00)
                viewDepth = 15;
            else if (masks[1] == 0x7E0 && masks[0] == 0xF800)
                viewDepth = 16;
            else
                return;
        } else if (bitCount == 32) {
            if (masks[0] != 0xFF0000 || masks[1] != 0xFF00 || masks[2] != 0xFF) return;
        } else {
            return;
        }
        start += 12;
    } else if (bitCount == 16) {
        viewDepth = 15;
    }
    if (viewDepth != 8 && viewDepth != 15 && viewDepth != 16 && viewDepth != 24 && viewDepth != 32) return;
    const long long absHeight =
        header->biHeight < 0 ? -static_cast<long long>(header->biHeight) : header->biHeight;
    if (header->biWidth <= 0 || absHeight <= 0 || header->biWidth > MaxSurfaceSide ||
        absHeight > MaxSurfaceSide)
        return;
    if (viewDepth <= 8) {
        const DWORD entries = header->biClrUsed ? header->biClrUsed : (1u << bitCount);
        const int count = static_cast<int>(entries > 256 ? 256 : entries);
        if (makePalette) palette = GetSharedPaletteForQuads(reinterpret_cast<const RGBQUAD*>(start), count);
        start += 4 * static_cast<std::size_t>(count);
    }
    auto* firstByte = bits ? static_cast<BYTE*>(bits) : const_cast<BYTE*>(start);
    SelectDepthRoutines(viewDepth);
    width = header->biWidth;
    height = static_cast<int>(absHeight);
    pitch = RowBytes(width, viewDepth);
    bottomUp = header->biHeight > 0;
    signedPitch = bottomUp ? -pitch : pitch;
    pixels = bottomUp ? firstByte + static_cast<std::ptrdiff_t>(height - 1) * pitch : firstByte;
    pixelAllocation = pixels;
    clipRight = width;
    clipBottom = height;
    if (viewDepth == 32 && AllocateAlphaPlane()) {
        bool allOpaque = true, allZero = true;
        for (int y = 0; y < height; ++y) {
            const BYTE* row = Row(y);
            BYTE* alpha = AlphaRow(y);
            for (int x = 0; x < width; ++x) {
                alpha[x] = row[4 * x + 3];
                allOpaque = allOpaque && alpha[x] == 255;
                allZero = allZero && alpha[x] == 0;
            }
        }
        // Most writers leave the fourth byte 0; a bitmap that would come out wholly invisible has no alpha.
        if (allOpaque || allZero) FreeAlphaPlane();
    }
}

cDIBSurface::~cDIBSurface() {
    pixelAllocation = nullptr;
    pixels = nullptr;
}

cSurfaceImplementation* cDIBSurface::DestroyAndFree(unsigned freeFlags) {
    cSurfaceImplementation* self = this;
    if (freeFlags & 1)
        delete this;
    else
        this->~cDIBSurface();
    return self;
}

cSurfaceImplementation* cDIBSurface::CreateSameKind(int, int) {
    return nullptr;
}

int cDIBSurface::SetDepth(int) {
    return 0;
}
