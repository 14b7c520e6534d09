// Bitmaps in a context's palette: filling and remapping packed DIBs, and bank images as DIBs.
#include "vtrs2/palette_dibs.h"

#include "sprites/image_surfaces.h"
#include "vtrs2/app_context.h"
#include "vtrs2/app_palette.h"
#include "vtrs2/banks.h"
#include "vtrs2/image_surface.h"
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/surface.h"

#include <vector>

using namespace win32;

namespace {

constexpr int WholeSize = 0x3FFFFFFF;

BYTE* BitsAfterHeader(BITMAPINFO* dib) {
    const BITMAPINFOHEADER& h = dib->bmiHeader;
    std::size_t offset = h.biSize + (h.biCompression == BI_BITFIELDS ? 12 : 0);
    if (h.biBitCount <= 8)
        offset += 4 * static_cast<std::size_t>(h.biClrUsed ? h.biClrUsed : 1u << h.biBitCount);
    return reinterpret_cast<BYTE*>(dib) + offset;
}

// The bank image in a memory surface of its own mode, with its colour key and alpha plane; 8-bit images
// take the context's palette.
bool CopyImageIntoSurface(AppContext* context, DWORD image, cBufferSurface& surface) {
    if (!context || !context->banks) return false;
    ImageInfo info{};
    if (!GetImageInfo(context->banks, image, &info)) return false;
    const sprites::ModeFormat* format = sprites::FindModeFormat(info.displayMode);
    if (!format) return false;
    const DWORD size = GetImageData(context->banks, image, 0, nullptr, 0);
    std::vector<BYTE> data(size);
    if (size == 0 || GetImageData(context->banks, image, 0, data.data(), data.size()) != size) return false;
    if (!sprites::LoadImageRows(surface, *format, info.width, info.height, data.data())) return false;
    if (format->depth == 8 && context->sharedPalette) surface.SetPalette(context->sharedPalette, 0);
    surface.SetColorKey(info.transparent);
    if (info.flags & ImageAlpha) {
        const DWORD pixels = GetImageDataSize(info.width, info.height, info.displayMode);
        surface.SetAlphaRows(data.data() + pixels, (info.width + 3) & ~3);
    }
    return true;
}

int DibBitsOfCode(int code) {
    switch (code & 0xF) {
    case 1:
        return 1;
    case 2:
    case 5:
        return 4;
    case 3:
        return 8;
    case 4:
    case 6:
    case 7:
    case 8:
        return 24;
    default:
        return 0;
    }
}

} // namespace

void FillDib(BITMAPINFO* dib, COLORREF color) {
    if (!dib) return;
    const BITMAPINFOHEADER& h = dib->bmiHeader;
    if (h.biBitCount < 8 || h.biBitCount > 32 || h.biCompression != BI_RGB) return;
    cDIBSurface view(&dib->bmiHeader, BitsAfterHeader(dib), 1);
    if (view.width == 0) return;
    view.FillRect(0, 0, view.width, view.height, color);
}

void RemapDibToContextPalette(BITMAPINFO* dib, AppContext* context, const BYTE* table) {
    if (!dib || !context || !context->sharedPalette || dib->bmiHeader.biBitCount != 8) return;
    cDIBSurface view(&dib->bmiHeader, BitsAfterHeader(dib), 1);
    if (view.width == 0) return;
    if (table)
        view.RemapPixels(table);
    else
        view.SetPalette(context->sharedPalette, 1);
    const LogPalette256& p = context->sharedPalette->palette;
    PaletteToRgbQuads(dib->bmiColors, p.entries, p.count);
}

int IsImageFullyTransparent(AppContext* context, DWORD image) {
    cBufferSurface surface;
    return CopyImageIntoSurface(context, image, surface) ? surface.IsFullyTransparent() : 0;
}

// The buffer holds rows in the image layout of the image's depth (15 bits for 16-bit images).
int StretchImageToBuffer(AppContext* context, DWORD image, int width, int height, void* buffer) {
    if (!context || !buffer || width <= 0 || height <= 0) return 0;
    const auto* item = reinterpret_cast<const ImageItem*>(GetBankItem(context->banks, BankImages, image));
    if (!item) return 0;
    cImageSurface source(item);
    if (source.width <= 0) return 0;
    constexpr DWORD Mode16 = 7;
    cImageSurface target;
    target.SelectDepthRoutines(item->displayMode == Mode16 ? 15 : source.depth);
    target.SetImageData(width, height, item->transparent, static_cast<BYTE*>(buffer), nullptr);
    return source.StretchBlit(&target, 0, 0, width, height, 0, 0, source.width, source.height, 0, 0, 0, 0);
}

DWORD BuildDibHeader(AppContext* context, int width, int height, int code, BITMAPINFO* out) {
    const int bits = DibBitsOfCode(code);
    if (bits == 0 || width <= 0 || height <= 0) return 0;
    const DWORD tableBytes = bits <= 8 ? static_cast<DWORD>(4 << bits) & 0xFFFF : 0;
    const DWORD imageBytes = static_cast<DWORD>(GetDibRowBytes(width, bits)) * static_cast<DWORD>(height);
    if (out) {
        BITMAPINFOHEADER& h = out->bmiHeader;
        h = BITMAPINFOHEADER{};
        h.biSize = sizeof(BITMAPINFOHEADER);
        h.biWidth = width;
        h.biHeight = height;
        h.biPlanes = 1;
        h.biBitCount = static_cast<WORD>(bits);
        h.biCompression = BI_RGB;
        h.biSizeImage = imageBytes;
        if (bits <= 8) {
            std::vector<RGBQUAD> quads(static_cast<std::size_t>(1) << bits);
            const int count = GetModeRgbQuads(quads.data(), bits == 8 ? 3 : code, context);
            for (int i = 0; i < count && i < static_cast<int>(quads.size()); ++i)
                out->bmiColors[i] = quads[static_cast<std::size_t>(i)];
        }
    }
    return static_cast<DWORD>(sizeof(BITMAPINFOHEADER)) + tableBytes + imageBytes;
}

int ImageToDib(AppContext* context, DWORD image, int code, BITMAPINFO* dib) {
    ImageInfo info{};
    if (!context || !context->banks || !GetImageInfo(context->banks, image, &info)) return 0;
    const int bits =
        code ? DibBitsOfCode(code) : (info.displayMode == 3 ? 8 : DibBitsOfCode(info.displayMode));
    if (bits != 8 && bits != 24) return 0;
    if (!dib) return GetDibSize(info.width, info.height, bits);
    BuildDibHeader(context, info.width, info.height, bits == 8 ? 3 : 4, dib);
    cBufferSurface surface;
    if (!CopyImageIntoSurface(context, image, surface)) return 0;
    cDIBSurface view(&dib->bmiHeader, BitsAfterHeader(dib), 1);
    if (view.width == 0) return 0;
    return surface.Blit(&view, 0, 0, 0, 0, WholeSize, WholeSize, 0, 0, 0, 0);
}
