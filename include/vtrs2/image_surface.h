// cImageSurface: a surface over the pixels of an image-bank item, so that an image is drawn without a copy.
#pragma once

#include "vtrs2/export.h"
#include "vtrs2/surface_implementation.h"

struct ImageItem;

class VTRS2_API cImageSurface : public cSurfaceImplementation {
public:
    cImageSurface() = default;
    // Over an item of the image bank; empty (width 0) when the item's mode or data cannot be addressed.
    explicit cImageSurface(const ImageItem* item);
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
    void SetImageData(int width, int height, win32::COLORREF transparent, win32::BYTE* pixels,
                      win32::BYTE* alpha);
    // From the item's header and data; run-length packed items are unpacked into pixels of the surface's
    // own. 0 when the item cannot be addressed.
    int SetItemData(const ImageItem* item);

    std::int32_t ownsPixels = 0;

private:
    void ReleasePixels();
};
