// cImageSurface: a surface over the pixels of an image-bank item, so that an image is drawn without a copy.
#pragma once

#include "vtrs2/export.h"
#include "vtrs2/surface_implementation.h"

#include <cstddef>

struct ImageItem;
struct AppContext;
struct SharedPalette;

// Bytes of an image's pixels in the layout image surfaces address: rows of an even width at 8 bits, 2 x
// width at 15 and 16, pairs of 3-byte pixels at 24, 4 x width at 32 (depth x height for other depths).
VTRS2_API std::size_t ImageDataSize(int width, int height, int depth);
// The depth of images of a display-mode code (its low 4 bits): 3 -> 8, 4 -> 24, 6 -> 15, 7 -> 16, 8 -> 32.
VTRS2_API int ImageDepthOfMode(int code);

class VTRS2_API cImageSurface : public cSurfaceImplementation {
public:
    cImageSurface() = default;
    // Over an item of the image bank; empty (width 0) when the item's mode or data cannot be addressed.
    explicit cImageSurface(const ImageItem* item);
    // No pixels yet; the depth of the context's display mode, and at 8 bits its shared palette.
    explicit cImageSurface(AppContext* context);
    // New surfaces of the context's depth over a caller's pixels (not owned), or over a bank item; null only
    // when memory runs out (an item that cannot be addressed leaves the surface empty).
    static cImageSurface* ConstructFromPixels(AppContext* context, int width, int height,
                                              win32::COLORREF transparent, win32::BYTE* pixels,
                                              win32::BYTE* alpha, int packed);
    static cImageSurface* ConstructFromItemData(AppContext* context, const ImageItem* item);
    cImageSurface(const cImageSurface&) = delete;
    cImageSurface& operator=(const cImageSurface&) = delete;
    ~cImageSurface() override;

    cSurfaceImplementation* DestroyAndFree(unsigned flags) override;
    // A plain copy of the same depth that owns its pixels.
    cSurfaceImplementation* CreateSameKind(int width, int height) override;
    // The depth is the image's.
    int SetDepth(int depth) override;
    int IsPacked() override;

    // Addresses rows in the image layout of the surface's depth (not owned) and an alpha plane of rows of
    // (width + 3) & ~3 bytes; nothing when pixels is null.
    // Packed pixels are in the transparent-run layout, drawn by the packed routine table.
    void SetImageData(int width, int height, win32::COLORREF transparent, win32::BYTE* pixels,
                      win32::BYTE* alpha, int packed = 0);
    // From the item's header and data; run-length packed items are unpacked into pixels of the surface's
    // own. 0 when the item cannot be addressed.
    int SetItemData(const ImageItem* item);
    // Depth and, at 8 bits or less, the palette (a reference is taken, the old one released).
    void SetFormat(int depth, SharedPalette* palette);

    // The pixel bytes and the alpha plane's.
    std::size_t GetDataSize() const;
    // Copies the pixels, then the alpha plane, into the buffer; the bytes copied (0 without buffer or
    // pixels).
    std::size_t CopyPixelsTo(win32::BYTE* buffer) const;
    // Pixels and alpha plane run-length packed as one run of bytes (mode bits 1, 2, 4: pixels of 1, 2 or 3
    // bytes); the bytes written, or the bytes it would take.
    std::size_t EncodeRle(win32::BYTE* buffer, win32::DWORD mode) const;
    std::size_t GetRleSize(win32::DWORD mode) const;

    std::int32_t ownsPixels = 0;

private:
    void TakeContextFormat(AppContext* context);
    void ReleasePixels();
};

// The transparent-run form of a plain surface's pixels, through its routine table; MeasureTransparentRuns
// answers the bytes EncodeTransparentRuns writes.
VTRS2_API void EncodeTransparentRuns(cSurfaceImplementation* surface, win32::BYTE* buffer);
VTRS2_API win32::DWORD MeasureTransparentRuns(cSurfaceImplementation* surface, win32::BYTE* buffer);

class cSurface;
// Puts a bank image into a cSurface: in a display-driver mode with kind 2 a copy of the image's texture;
// otherwise a cImageSurface over the item (a plain copy of a packed image with kind 1); 1/0.
constexpr int CopyImagePlain = 1;
constexpr int CopyImageTexture = 2;
VTRS2_API int CopyImageToSurface(AppContext* context, win32::DWORD image, cSurface* surface, int kind);
// Releases the surface's implementation.
VTRS2_API void ClearSurface(cSurface* surface);
// The display driver's texture of an image, made once and kept in bank 4 (flags bit 0: never purged).
VTRS2_API cSurfaceImplementation* GetImageTexture(AppContext* context, win32::DWORD image,
                                                  win32::DWORD flags);
// At most once a second: frees the textures not used for more than ten seconds.
VTRS2_API void PurgeTextureCache(AppContext* context);
