// Texture surfaces and the upload of library pixels into textures: the format follows the screen's depth
// and the kind of transparency (none, the colour key, an alpha plane); 5-bit channels go to the top of 8
// bits and 8-bit ones lose their low bits; 8-bit pixels go through their palette.
#include "texture_surfaces.h"

#include "ink_mapping.h"
#include "plugin/display_driver.h"
#include "screen_registry.h"
#include "screen_surface.h"
#include "window_helpers.h"

#include "vtrs2/palettes.h"
#include "win32/d3dx8.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

using namespace win32;

namespace {

constexpr int TextureDepth = 32;
constexpr int PaletteColours = 256;

enum class Transparency { None, Key, Alpha };

// The texture format a screen of this depth takes for this transparency.
D3DFORMAT FormatFor(int screenDepth, Transparency t) {
    if (screenDepth == 15)
        return t == Transparency::None  ? D3DFMT_X1R5G5B5
               : t == Transparency::Key ? D3DFMT_A1R5G5B5
                                        : D3DFMT_A4R4G4B4;
    if (screenDepth == 16) return t == Transparency::None ? D3DFMT_R5G6B5 : D3DFMT_A4R4G4B4;
    return t == Transparency::None ? D3DFMT_X8R8G8B8 : D3DFMT_A8R8G8B8;
}

int BytesOf(D3DFORMAT f) {
    switch (f) {
    case D3DFMT_R8G8B8:
        return 3;
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        return 4;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
        return 2;
    default:
        return 0;
    }
}

// One source pixel: its raw value in the source's format and its colour as 0x00RRGGBB.
struct SourcePixel {
    DWORD value;
    DWORD rgb;
};

SourcePixel ReadPixel(const PixelSource& s, const BYTE* row, int x) {
    switch (s.depth) {
    case 8: {
        const DWORD index = row[x];
        const COLORREF c = s.palette ? s.palette[index] : 0;
        return {index, ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF)};
    }
    case 15: {
        const DWORD v = static_cast<DWORD>(row[2 * x] | (row[2 * x + 1] << 8));
        return {v, (((v >> 10) & 0x1F) << 19) | (((v >> 5) & 0x1F) << 11) | ((v & 0x1F) << 3)};
    }
    case 16: {
        const DWORD v = static_cast<DWORD>(row[2 * x] | (row[2 * x + 1] << 8));
        return {v, ((v >> 11) << 19) | (((v >> 5) & 0x3F) << 10) | ((v & 0x1F) << 3)};
    }
    case 24: {
        const BYTE* p = row + 3 * x;
        const DWORD v = static_cast<DWORD>(p[0] | (p[1] << 8) | (p[2] << 16));
        return {v, v};
    }
    default: {
        DWORD v = 0;
        std::memcpy(&v, row + 4 * x, sizeof v);
        v &= 0xFFFFFF;
        return {v, v};
    }
    }
}

void WritePixel(D3DFORMAT f, DWORD alpha, DWORD rgb, BYTE* out) {
    const DWORD r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    const auto store16 = [&](DWORD v) {
        out[0] = static_cast<BYTE>(v);
        out[1] = static_cast<BYTE>(v >> 8);
    };
    switch (f) {
    case D3DFMT_R8G8B8:
        out[0] = static_cast<BYTE>(b), out[1] = static_cast<BYTE>(g), out[2] = static_cast<BYTE>(r);
        break;
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8: {
        const DWORD v = ((f == D3DFMT_A8R8G8B8 ? alpha : 0xFF) << 24) | rgb;
        std::memcpy(out, &v, sizeof v);
        break;
    }
    case D3DFMT_R5G6B5:
        store16(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
        break;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
        store16(((f == D3DFMT_X1R5G5B5 || alpha) ? 0x8000u : 0) | ((r >> 3) << 10) | ((g >> 3) << 5) |
                (b >> 3));
        break;
    default: // A4R4G4B4: alpha is all or nothing
        store16((alpha ? 0xF000u : 0) | ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4));
        break;
    }
}

// The common case, 32-bit pixels into a 32-bit format, a row at a time (bank images need not be aligned).
void ConvertRows32(const PixelSource& s, Transparency t, int x, int y, int w, int h, D3DFORMAT format,
                   const D3DLOCKED_RECT& locked, DWORD key) {
    std::vector<DWORD> row(static_cast<std::size_t>(w));
    for (int j = 0; j < h; ++j) {
        std::memcpy(row.data(), s.pixels + static_cast<std::ptrdiff_t>(y + j) * s.pitch + 4 * x, 4u * w);
        const BYTE* alpha =
            s.alpha ? s.alpha + static_cast<std::ptrdiff_t>(y + j) * s.alphaPitch + x : nullptr;
        if (t == Transparency::Alpha && format == D3DFMT_A8R8G8B8) {
            for (int i = 0; i < w; ++i)
                row[i] = (row[i] & 0xFFFFFFu) | (static_cast<DWORD>(alpha[i]) << 24);
        } else if (t == Transparency::Key) {
            for (int i = 0; i < w; ++i) {
                const DWORD v = row[i] & 0xFFFFFFu;
                row[i] = v == key ? 0 : (v | 0xFF000000u);
            }
        } else {
            for (int i = 0; i < w; ++i)
                row[i] |= 0xFF000000u;
        }
        std::memcpy(static_cast<BYTE*>(locked.pBits) + static_cast<std::ptrdiff_t>(j) * locked.Pitch,
                    row.data(), 4u * w);
    }
}

bool ConvertInto(const PixelSource& s, Transparency t, int x, int y, int w, int h, D3DFORMAT format,
                 const D3DLOCKED_RECT& locked) {
    const int bytes = BytesOf(format);
    if (bytes == 0) return false;
    const DWORD key = s.depth >= 24 ? (s.transparentValue & 0xFFFFFF) : s.transparentValue;
    if (s.depth == 32 && (format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8) &&
        (t != Transparency::Alpha || format == D3DFMT_A8R8G8B8)) {
        ConvertRows32(s, t, x, y, w, h, format, locked, key);
        return true;
    }
    for (int j = 0; j < h; ++j) {
        const BYTE* row = s.pixels + static_cast<std::ptrdiff_t>(y + j) * s.pitch;
        const BYTE* alphaRow =
            s.alpha ? s.alpha + static_cast<std::ptrdiff_t>(y + j) * s.alphaPitch + x : nullptr;
        BYTE* out = static_cast<BYTE*>(locked.pBits) + static_cast<std::ptrdiff_t>(j) * locked.Pitch;
        for (int i = 0; i < w; ++i) {
            const SourcePixel p = ReadPixel(s, row, x + i);
            DWORD alpha = 0xFF, rgb = p.rgb;
            if (t == Transparency::Key && p.value == key)
                alpha = rgb = 0;
            else if (t == Transparency::Alpha)
                alpha = alphaRow[i];
            WritePixel(format, alpha, rgb, out + static_cast<std::ptrdiff_t>(i) * bytes);
        }
    }
    return true;
}

cD3DScreenSurface* CurrentScreen() {
    cD3DScreenSurface* current = nullptr;
    Registry().GetThreadDirect3D(&current);
    return current;
}

} // namespace

int DriverSurfaceDepth() {
    IDirect3D8* direct3D = Registry().GetThreadDirect3D(nullptr);
    D3DDISPLAYMODE mode{};
    if (!direct3D || FAILED(direct3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode))) return TextureDepth;
    const int depth = DisplayFormatDepth(mode.Format);
    return depth == 24 ? TextureDepth : depth;
}

IDirect3DTexture8* CreateTextureFromPixels(const PixelSource& s, int x, int y, int w, int h, bool opaque,
                                           bool managed) {
    cD3DScreenSurface* screen = CurrentScreen();
    IDirect3DDevice8* device = screen ? screen->Device() : nullptr;
    if (!device || !s.pixels || w <= 0 || h <= 0) return nullptr;
    const Transparency t = opaque ? Transparency::None : s.alpha ? Transparency::Alpha : Transparency::Key;
    D3DFORMAT format = FormatFor(screen->depth, t);
    UINT width = static_cast<UINT>(w), height = static_cast<UINT>(h), levels = 1;
    const D3DPOOL pool = managed ? D3DPOOL_MANAGED : D3DPOOL_SYSTEMMEM;
    if (FAILED(D3DXCheckTextureRequirements(device, &width, &height, &levels, 0, &format, pool))) {
        width = static_cast<UINT>(w);
        height = static_cast<UINT>(h);
    }
    IDirect3DTexture8* texture = nullptr;
    if (FAILED(D3DXCreateTexture(device, width, height, 1, 0, format, pool, &texture))) return nullptr;
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    D3DLOCKED_RECT locked{};
    bool filled = false;
    if (SUCCEEDED(texture->LockRect(0, &locked, nullptr, 0))) {
        filled = ConvertInto(s, t, x, y, std::min<int>(w, static_cast<int>(desc.Width)),
                             std::min<int>(h, static_cast<int>(desc.Height)), desc.Format, locked);
        texture->UnlockRect(0);
    }
    if (!filled) {
        texture->Release();
        return nullptr;
    }
    if (managed) return texture;
    IDirect3DTexture8* inContext = nullptr;
    const bool copied = SUCCEEDED(device->CreateTexture(desc.Width, desc.Height, 1, 0, desc.Format,
                                                        D3DPOOL_DEFAULT, &inContext)) &&
                        SUCCEEDED(device->UpdateTexture(texture, inContext));
    texture->Release();
    if (!copied && inContext) std::exchange(inContext, nullptr)->Release();
    return inContext;
}

IDirect3DTexture8* UploadSurfaceToTexture(cSurfaceImplementation* source, int x, int y, int w, int h,
                                          bool opaque, bool managed) {
    cD3DScreenSurface* screen = CurrentScreen();
    if (!source || !screen || w <= 0 || h <= 0 || w > screen->MaxTextureWidth() ||
        h > screen->MaxTextureHeight())
        return nullptr;
    // A region that leaves the source would read outside its pixels.
    if (x < 0 || y < 0 || w > source->width - x || h > source->height - y) return nullptr;
    cSurfaceImplementation* unpacked = nullptr;
    if (source->IsPacked()) {
        unpacked = source->CreateSameKind(source->width, source->height);
        if (!unpacked ||
            !source->Blit(unpacked, 0, 0, 0, 0, source->width, source->height, 0, 0, 0, BlitFlagCopyAlpha)) {
            if (unpacked) unpacked->Delete();
            return nullptr;
        }
        source = unpacked;
    }
    IDirect3DTexture8* texture = nullptr;
    if (const BYTE* pixels = source->LockBuffer()) {
        std::array<COLORREF, PaletteColours> palette{};
        if (source->depth == 8)
            for (int i = 0; i < PaletteColours; ++i)
                palette[static_cast<std::size_t>(i)] = source->GetPaletteColor(i);
        const PixelSource from{pixels,
                               source->signedPitch,
                               source->depth,
                               source->GetColorKeyValue(),
                               source->alphaPlane,
                               source->signedAlphaPitch,
                               source->depth == 8 ? palette.data() : nullptr};
        texture = CreateTextureFromPixels(from, x, y, w, h, opaque, managed);
        source->UnlockBuffer(nullptr);
    }
    if (unpacked) unpacked->Delete();
    return texture;
}

cD3DTextureSurface::~cD3DTextureSurface() {
    if (texture_ && ownsTexture_) texture_->Release();
}

int cD3DTextureSurface::SetDepth(int) {
    cSurfaceImplementation::SetDepth(TextureDepth);
    return 1;
}

template <typename Kind>
cSurfaceImplementation* cD3DTextureSurface::MakeSameKind(int newWidth, int newHeight) {
    auto* made = new (std::nothrow) Kind;
    if (!made) return nullptr;
    made->InitSize(*this, newWidth, newHeight, ((newWidth * depth + 31) >> 5) * 4);
    if (texture_) {
        texture_->AddRef();
        made->texture_ = texture_;
        made->ownsTexture_ = true;
    }
    made->SelectDepthRoutines(DriverSurfaceDepth());
    if (made->depth != 8) {
        ReleaseSharedPalette(made->palette);
        made->palette = nullptr;
    }
    return made;
}

cSurfaceImplementation* cD3DUnmanagedTextureSurface::CreateSameKind(int newWidth, int newHeight) {
    return MakeSameKind<cD3DUnmanagedTextureSurface>(newWidth, newHeight);
}

cSurfaceImplementation* cD3DManagedTextureSurface::CreateSameKind(int newWidth, int newHeight) {
    return MakeSameKind<cD3DManagedTextureSurface>(newWidth, newHeight);
}

void cD3DTextureSurface::ReplaceTexture(IDirect3DTexture8* texture) {
    if (texture_ && ownsTexture_) texture_->Release();
    texture_ = texture;
    ownsTexture_ = true;
}

int cD3DTextureSurface::UploadFrom(cSurfaceImplementation* source) {
    if (!source) return 0;
    IDirect3DTexture8* made =
        UploadSurfaceToTexture(source, 0, 0, source->width, source->height, opaque_, managed_);
    if (!made) return 0;
    ReplaceTexture(made);
    return 1;
}

bool cD3DTextureSurface::EnsureTexture() {
    if (texture_) return true;
    cD3DScreenSurface* screen = CurrentScreen();
    IDirect3DDevice8* device = screen ? screen->Device() : nullptr;
    if (!device || width <= 0 || height <= 0) return false;
    IDirect3DTexture8* made = nullptr;
    const D3DFORMAT format = FormatFor(screen->depth, opaque_ ? Transparency::None : Transparency::Key);
    if (FAILED(D3DXCreateTexture(device, static_cast<UINT>(width), static_cast<UINT>(height), 1, 0, format,
                                 managed_ ? D3DPOOL_MANAGED : D3DPOOL_DEFAULT, &made)))
        return false;
    ReplaceTexture(made);
    return true;
}

void cD3DTextureSurface::SetOpaque(int opaque) {
    opaque_ = opaque != 0;
}

int cD3DTextureSurface::GetDriverInfo(void* block) {
    return FillDriverInfo(block, CurrentScreen(), texture_);
}

int cD3DTextureSurface::Mirror(int x, int y, int w, int h, bool horizontal) {
    cD3DScreenSurface* screen = CurrentScreen();
    if (!texture_ || !screen || !screen->Device()) return 0;
    // Cut to the surface's size, not to its clip rectangle.
    const int left = std::max(x, 0), top = std::max(y, 0);
    const int right = std::min(x + w, width), bottom = std::min(y + h, height);
    if (left >= right || top >= bottom) return 0;
    IDirect3DSurface8* level = nullptr;
    if (FAILED(texture_->GetSurfaceLevel(0, &level))) return 0;
    D3DSURFACE_DESC desc{};
    level->GetDesc(&desc);
    const int bytes = BytesOf(desc.Format);
    const RECT r{left, top, std::min<LONG>(right, static_cast<LONG>(desc.Width)),
                 std::min<LONG>(bottom, static_cast<LONG>(desc.Height))};
    D3DLOCKED_RECT locked{};
    if (bytes == 0 || r.left >= r.right || r.top >= r.bottom || FAILED(level->LockRect(&locked, &r, 0))) {
        level->Release();
        return bytes == 0 ? 1 : 0;
    }
    const int cw = r.right - r.left, ch = r.bottom - r.top;
    auto* first = static_cast<BYTE*>(locked.pBits);
    if (horizontal) {
        for (int j = 0; j < ch; ++j) {
            BYTE* row = first + static_cast<std::ptrdiff_t>(j) * locked.Pitch;
            for (int i = 0; i < cw / 2; ++i)
                std::swap_ranges(row + i * bytes, row + (i + 1) * bytes, row + (cw - 1 - i) * bytes);
        }
    } else {
        for (int j = 0; j < ch / 2; ++j)
            std::swap_ranges(first + static_cast<std::ptrdiff_t>(j) * locked.Pitch,
                             first + static_cast<std::ptrdiff_t>(j) * locked.Pitch + cw * bytes,
                             first + static_cast<std::ptrdiff_t>(ch - 1 - j) * locked.Pitch);
    }
    level->UnlockRect();
    level->Release();
    return 1;
}

int cD3DTextureSurface::MirrorHorizontal(int x, int y, int w, int h) {
    return Mirror(x, y, w, h, true);
}

int cD3DTextureSurface::MirrorVertical(int x, int y, int w, int h) {
    return Mirror(x, y, w, h, false);
}
