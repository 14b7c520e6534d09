// Image files into and out of surfaces: loading by file name or stream, saving through a filter by its id,
// and the questions asked of a file.
#include "wide_name.h"

#include "vtrs2/compat.h"
#include "vtrs2/image_filters.h"
#include "vtrs2/streams.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>

using namespace win32;

namespace {

constexpr int ScratchSide = 4;
constexpr COLORREF NoColorKey = 0xFFFFFFFF;
constexpr int BlitCopiesAlpha = 2;

bool IsDriverTexture(const cSurface& surface) {
    const int type = surface.GetSurfaceType();
    return type >= PublicTypeRenderTexture && type <= PublicTypeManagedTexture;
}

// Gives the surface the image's depth (at least 8) from the prototype of its own type and driver kind.
bool TakeDepth(cSurface& surface, int depth) {
    cSurface* prototype = nullptr;
    GetSurfacePrototype(&prototype, depth < 8 ? 8 : depth, surface.GetSurfaceType(), surface.GetDriverKind());
    if (!prototype || !prototype->HasImplementation()) return false;
    return surface.Create(surface.GetWidth(), surface.GetHeight(), prototype) != 0;
}

// Resizes the surface, keeping its kind, through a small surface made from it.
bool TakeSize(cSurface& surface, int width, int height) {
    if (surface.GetWidth() == width && surface.GetHeight() == height && surface.HasImplementation())
        return true;
    cSurface scratch;
    if (!scratch.Create(ScratchSide, ScratchSide, &surface)) return false;
    return surface.Create(width, height, &scratch) != 0;
}

const LOGPALETTE* PaletteOf(const cSurface& surface) {
    const SharedPalette* palette = surface.GetImplementation()->palette;
    return palette ? palette->palette.Log() : nullptr;
}

// The open image into the surface: depth and size taken as the flags say, the palette, the pixels and alpha
// plane, the colour key. The file is closed on failure.
bool ReadOpenImage(ImageFile& file, cSurface& surface, int flags) {
    const int width = file.GetWidth(), height = file.GetHeight(), depth = file.GetDepth();
    if (width <= 0 || height <= 0) return false;
    if (!(flags & LoadImageKeepDepth) && surface.GetDepth() != depth && !TakeDepth(surface, depth))
        return false;
    if (!TakeSize(surface, width, height)) return false;
    if (surface.GetDepth() <= 8 && !(flags & LoadImageOwnPalette) && file.GetPalette())
        surface.SetLogPalette(file.GetPalette(), 0);
    cSurfaceImplementation* target = surface.GetImplementation();
    if (!target->LockBuffer()) return false;
    BYTE* alpha = nullptr;
    int alphaPitch = 0;
    if (file.HasAlpha() && target->depth > 8) {
        alpha = target->alphaPlane ? target->alphaPlane : target->AllocateAlphaPlane();
        alphaPitch = target->signedAlphaPitch;
    } else {
        target->FreeAlphaPlane();
    }
    const int code = file.ReadImage(target->Row(0), width, height, target->signedPitch, target->depth,
                                    target->depth == 8 ? PaletteOf(surface) : nullptr, alpha, alphaPitch);
    target->UnlockBuffer(nullptr);
    if (code != ImageOk) return false;
    if (COLORREF key = 0; file.GetTransparentColor(&key)) surface.SetColorKey(key);
    return true;
}

// A temporary ImageFile when the caller gives none.
struct FileUse {
    FileUse(CImageFilterMgr* manager, ImageFile* given)
        : own(given ? nullptr : new (std::nothrow) ImageFile(manager)), file(given ? given : own.get()) {}
    std::unique_ptr<ImageFile> own;
    ImageFile* file;
};

} // namespace

int LoadImageFileIntoSurface(CImageFilterMgr* manager, const WCHAR* name, cSurface* surface, ImageFile* given,
                             int flags) {
    FileUse use(manager, given);
    if (!use.file || !surface || !name) return 0;
    if (use.file->OpenRead(name) != ImageOk) return 0;
    const bool done = ReadOpenImage(*use.file, *surface, flags);
    if (!done || !given) use.file->Close();
    return done ? 1 : 0;
}

int LoadImageFileIntoSurfaceA(CImageFilterMgr* manager, const char* name, cSurface* surface, ImageFile* file,
                              int flags) {
    const WideName wide(name);
    return LoadImageFileIntoSurface(manager, wide.get(), surface, file, flags);
}

int LoadImageStreamIntoSurface(CImageFilterMgr* manager, CInputFile* stream, cSurface* surface,
                               DWORD* filterId, int flags) {
    if (!stream || !surface) return 0;
    ImageFile file(manager);
    if (file.AttachInput(stream) != ImageOk) return 0;
    const COLORREF oldKey = surface->GetImplementation()->GetColorKey();
    bool done = false;
    if (IsDriverTexture(*surface)) {
        // Textures are filled from a memory surface of the image's depth and size.
        cSurface* prototype = nullptr;
        GetSurfacePrototype(&prototype, file.GetDepth(), PublicTypeMemory, DriverKindNone);
        cSurface memory;
        done = prototype && memory.Create(file.GetWidth(), file.GetHeight(), prototype) &&
               ReadOpenImage(file, memory, flags | LoadImageKeepDepth) &&
               TakeSize(*surface, memory.GetWidth(), memory.GetHeight()) && memory.CopyTo(*surface);
    } else {
        done = ReadOpenImage(file, *surface, flags);
    }
    if (done) {
        COLORREF key = 0;
        if (!file.GetTransparentColor(&key)) {
            // The colour key the surface had stays, unless the corner is to give one.
            if (flags & LoadImageKeyFromCorner) surface->GetPixel(0, 0, key);
            if (COLORREF kept = (flags & LoadImageKeyFromCorner) ? key : oldKey) surface->SetColorKey(kept);
        }
        if (flags & LoadImageNoKey) surface->SetColorKey(NoColorKey);
        if (filterId && file.GetFilter()) *filterId = file.GetFilter()->GetFilterID();
    }
    file.Close();
    return done ? 1 : 0;
}

int LoadImageFileStream(CImageFilterMgr* manager, const WCHAR* name, DWORD* filterId, int flags,
                        cSurface* surface) {
    if (!name) return 0;
    CInputBufFile stream;
    if (stream.Open(name) != 0) return 0;
    return LoadImageStreamIntoSurface(manager, &stream, surface, filterId, flags);
}

int LoadImageFileStreamA(CImageFilterMgr* manager, const char* name, DWORD* filterId, int flags,
                         cSurface* surface) {
    const WideName wide(name);
    return LoadImageFileStream(manager, wide.get(), filterId, flags, surface);
}

int ReadImageIntoSurface(CImageFilterMgr*, cSurface* surface, ImageFile* file) {
    if (!surface || !file || !file->GetFilter()) return 0;
    return ReadOpenImage(*file, *surface, LoadImageKeepDepth | LoadImageOwnPalette) ? 1 : 0;
}

namespace {

// The depth a surface is saved at, and the depths tried after it when the filter cannot write it.
std::array<int, 3> SaveDepthsFor(const cSurface& surface) {
    if (surface.HasAlphaPlane()) return {32, 24, 8};
    if (surface.GetDepth() == 8) return {8, 24, 32};
    return {24, 32, 8};
}

int SaveBit(int depth) {
    return depth == 8 ? SaveDepth8 : depth == 24 ? SaveDepth24 : SaveDepth32;
}

} // namespace

int SaveImageFile(CImageFilterMgr* manager, const WCHAR* name, cSurface* surface, DWORD filterId) {
    if (!name || !surface || !surface->HasImplementation()) return 0;
    ImageFile file(manager);
    if (!file.SelectFilterByID(filterId ? filterId : BmpFilterId) || !file.CanSaveImage()) return 0;
    int depth = 0;
    for (int candidate : SaveDepthsFor(*surface))
        if (file.GetSaveDepths() & SaveBit(candidate)) {
            depth = candidate;
            break;
        }
    if (depth == 0) return 0;
    // A surface of another depth is written from a copy at the chosen depth.
    cSurface copy;
    cSurface* source = surface;
    if (surface->GetDepth() != depth) {
        cSurface* prototype = nullptr;
        GetSurfacePrototype(&prototype, depth, PublicTypeMemory, DriverKindNone);
        if (!prototype || !copy.Create(surface->GetWidth(), surface->GetHeight(), prototype)) return 0;
        if (depth == 8 && surface->GetDepth() <= 8) copy.CopyPalette(*surface, 0);
        cSurfaceImplementation* from = surface->GetImplementation();
        if (!from->Blit(copy.GetImplementation(), 0, 0, 0, 0, from->width, from->height, 0, 0, 0,
                        depth == 32 ? BlitCopiesAlpha : 0))
            return 0;
        copy.SetColorKey(surface->GetImplementation()->GetColorKey());
        source = &copy;
    }
    cSurfaceImplementation* s = source->GetImplementation();
    if (!s->LockBuffer()) return 0;
    const int code =
        file.Save(name, s->Row(0), s->width, s->height, s->depth, s->signedPitch,
                  s->depth == 8 ? PaletteOf(*source) : nullptr, s->alphaPlane, s->signedAlphaPitch);
    s->UnlockBuffer(nullptr);
    return code == ImageOk ? 1 : 0;
}

int SaveImageFileA(CImageFilterMgr* manager, const char* name, cSurface* surface, DWORD filterId) {
    const WideName wide(name);
    return SaveImageFile(manager, wide.get(), surface, filterId);
}

int SaveSurfaceAnimation(CImageFilterMgr*, const WCHAR* name, cSurface* surface, ImageFile* file, int valueA,
                         int valueB, int valueC, int valueD) {
    if (!surface || !file) return 0;
    const int values[9] = {
        surface->GetWidth(), surface->GetHeight(), surface->GetDepth(), valueA, valueB, valueC, valueD, 0, 0};
    // A file that cannot be begun is no failure of the surface: nothing was written.
    if (file->BeginSaveAnimationFile(name, values) != ImageOk) return 1;
    cSurfaceImplementation* s = surface->GetImplementation();
    if (!s->LockBuffer()) {
        file->Close();
        return 0;
    }
    const int code = file->SaveFrameEx(s->Row(0), s->width, s->height, s->signedPitch, s->depth, valueA);
    s->UnlockBuffer(nullptr);
    if (code != ImageOk) {
        file->Close();
        return 0;
    }
    return 1;
}

int SaveSurfaceFrame(CImageFilterMgr*, cSurface* surface, ImageFile* file, int value) {
    if (!surface || !file) return 0;
    cSurfaceImplementation* s = surface->GetImplementation();
    if (!s->LockBuffer()) return 0;
    const int code = file->SaveFrameEx(s->Row(0), s->width, s->height, s->signedPitch, s->depth, value);
    s->UnlockBuffer(nullptr);
    return code == ImageOk ? 1 : 0;
}

int IsImageFile(CImageFilterMgr* manager, const WCHAR* name, int* stillImage) {
    ImageFile file(manager);
    if (file.OpenRead(name) != ImageOk) return 0;
    if (stillImage) *stillImage = file.IsAnimation() ? 0 : 1;
    return 1;
}

int IsImageFileA(CImageFilterMgr* manager, const char* name, int* stillImage) {
    const WideName wide(name);
    return IsImageFile(manager, wide.get(), stillImage);
}

int CanOpenImageFile(CImageFilterMgr* manager, const WCHAR* name) {
    ImageFile file(manager);
    return file.OpenRead(name) == ImageOk ? 1 : 0;
}

int CanOpenImageFileA(CImageFilterMgr* manager, const char* name) {
    const WideName wide(name);
    return CanOpenImageFile(manager, wide.get());
}

int GetImageFilePalette(CImageFilterMgr* manager, const WCHAR* name, LOGPALETTE* out) {
    ImageFile file(manager);
    if (!out || file.OpenRead(name) != ImageOk || file.GetDepth() > 8) return 0;
    const LOGPALETTE* palette = file.GetPalette();
    if (!palette) return 0;
    std::memcpy(out, palette,
                4 + 4 * static_cast<std::size_t>(std::min<int>(palette->palNumEntries, PaletteSize)));
    return 1;
}

int GetImageFilePaletteA(CImageFilterMgr* manager, const char* name, LOGPALETTE* out) {
    const WideName wide(name);
    return GetImageFilePalette(manager, wide.get(), out);
}

int CloseImageFile(CImageFilterMgr*, ImageFile* file) {
    return file ? file->Close() : ImageNotOpen;
}
