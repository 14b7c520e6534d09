// The surface front end: ownership of the implementation, origins, error words and the members built from
// several implementation calls.
#include "vtrs2/surface.h"

#include "engine_interface.h"

#include "vtrs2/palette_matching.h"

#include "vtrs2/gdi_drawing.h"
#include "vtrs2/gdi_surfaces.h"
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/surface_engine.h"
#include "vtrs2/surface_prototypes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include <utility>

using namespace win32;

namespace {
bool IsErrorSurface(const cSurfaceImplementation* implementation) {
    return implementation == GetErrorSurface();
}

constexpr int SmallSurfaceSide = 8;

// Driver screens, and driver render textures made from anything but the render-texture holder itself, are
// not worth a device surface at 8 x 8 or less: a DIB section of the same depth stands in.
cSurfaceImplementation* SmallSizeSource(const cSurface& prototype) {
    cSurfaceImplementation* source = prototype.GetImplementation();
    const int code = source->GetType();
    const bool replaced =
        code == 9 || code == 13 ||
        (code == 10 && &prototype != GetDriverPrototypeHolder(1, PublicTypeRenderTexture)) ||
        (code == 14 && &prototype != GetDriverPrototypeHolder(0, PublicTypeRenderTexture));
    if (!replaced) return source;
    const cSurface* section = GetDibSectionPrototype(DepthIndexOf(source->depth));
    return section ? section->GetImplementation() : source;
}
} // namespace

cSurface::cSurface() : implementation_(GetErrorSurface()) {}

cSurface::cSurface(const cSurface& source) : implementation_(GetErrorSurface()) {
    CreateCopy(source, -1, -1);
}

cSurface::~cSurface() {
    implementation_->RemoveLostDeviceCallback(nullptr, this, 0);
    Drop();
}

void cSurface::Drop() {
    if (!IsErrorSurface(implementation_)) implementation_->Delete();
    implementation_ = GetErrorSurface();
}

cSurface* NewSurface() {
    return new (std::nothrow) cSurface;
}

void DeleteSurface(cSurface* surface) {
    delete surface;
}

int cSurface::Reset() {
    Drop();
    lastError_ = 0;
    return 0;
}

int cSurface::DeleteImplementation() {
    if (IsErrorSurface(implementation_)) return 0;
    implementation_->Delete();
    implementation_ = GetErrorSurface();
    return 1;
}

void cSurface::SetImplementation(cSurfaceImplementation* implementation) {
    if (implementation == implementation_) return;
    Drop();
    if (implementation) implementation_ = implementation;
}

int cSurface::HasImplementation() const {
    return !IsErrorSurface(implementation_);
}

cSurface* cSurface::GetDrawTarget() {
    cSurfaceImplementation* target = implementation_->GetDrawTarget();
    if (target == implementation_) return this;
    cSurface* wrapper = NewSurface();
    if (!wrapper) return nullptr;
    wrapper->implementation_ = target ? target : GetErrorSurface();
    return wrapper;
}

void cSurface::ReleaseDrawTarget(cSurface* other) {
    if (!other || other == this) return;
    other->implementation_->RemoveLostDeviceCallback(nullptr, other, 0);
    other->Drop();
    delete other;
}

int cSurface::Create(int w, int h, const cSurface* prototype) {
    Drop();
    if (w <= 0) w = 1;
    if (h <= 0) h = 1;
    cSurfaceImplementation* source = prototype ? prototype->implementation_ : GetErrorSurface();
    if (w <= SmallSurfaceSide && h <= SmallSurfaceSide && prototype) source = SmallSizeSource(*prototype);
    cSurfaceImplementation* created = source->CreateSameKind(w, h);
    lastError_ = 0;
    if (!created) {
        lastError_ = SurfaceErrorNoMemory;
        return 0;
    }
    implementation_ = created;
    return 1;
}

int cSurface::CreateOnDC(HDC dc) {
    Drop();
    lastError_ = 0;
    cDCSurface* created = cDCSurface::CreateForDC(dc);
    if (!created) {
        lastError_ = SurfaceErrorNoMemory;
        return 0;
    }
    implementation_ = created;
    return 1;
}

int cSurface::CreateOnWindow(HWND window, int wholeWindow) {
    Drop();
    lastError_ = 0;
    cDCSurface* created = cDCSurface::CreateForWindow(window, wholeWindow);
    if (!created) {
        lastError_ = SurfaceErrorNoMemory;
        return 0;
    }
    implementation_ = created;
    return 1;
}

int cSurface::CreateCopy(const cSurface& source, int w, int h) {
    cSurfaceImplementation* created = nullptr;
    cSurfaceImplementation* from = source.implementation_;
    if (!IsErrorSurface(from)) {
        const bool sameSize = w == -1 && h == -1;
        created = from->CreateSameKind(sameSize ? from->width : w, sameSize ? from->height : h);
        if (!created) lastError_ = SurfaceErrorNoMemory;
        const int copied = !created ? 0
                           : sameSize
                               ? from->Blit(created, 0, 0, 0, 0, from->width, from->height, 0, 0, 0,
                                            engine::BlitFlagCopyAlpha)
                               : from->StretchBlit(created, 0, 0, w, h, 0, 0, from->width, from->height, 0, 0,
                                                   0, engine::StretchFlagScaleAlpha);
        // A copy whose pixels could not be drawn is no copy.
        if (created && !copied) {
            created->Delete();
            created = nullptr;
        }
    }
    // A copy of itself must not lose its source before it is made.
    Drop();
    if (created) implementation_ = created;
    return created != nullptr;
}

BYTE* cSurface::AllocateAlphaPlane() {
    return implementation_->AllocateAlphaPlane();
}

void cSurface::SetAlphaPlane(BYTE* plane, int signedPitch) {
    implementation_->SetAlphaPlane(plane, signedPitch);
}

BYTE* cSurface::DetachAlphaPlane(int* pitch) {
    return implementation_->DetachAlphaPlane(pitch);
}

cSurface* cSurface::CopyAlphaPlaneToSurface() {
    const cSurfaceImplementation& s = *implementation_;
    if (!s.alphaPlane) return nullptr;
    cAlphaBufferSurface view(s.alphaPlane, s.width, s.height, s.signedAlphaPitch);
    cSurfaceImplementation* copy = view.CreateSameKind(s.width, s.height);
    if (!copy) return nullptr;
    view.Blit(copy, 0, 0, 0, 0, s.width, s.height, 0, 0, 0, 0);
    cSurface* result = NewSurface();
    if (!result) {
        copy->Delete();
        return nullptr;
    }
    result->implementation_ = copy;
    return result;
}

// Plain forwarders.
#define VTR_FRONT_DEFINE_Fwd(ret, name, params, args)                                                        \
    ret cSurface::name params {                                                                              \
        return implementation_->name args;                                                                   \
    }
#define VTR_FRONT_DEFINE_Own(ret, name, params, args)
#define VTR_FRONT_DEFINE(slot, ret, name, params, args, base, error, front)                                  \
    VTR_FRONT_DEFINE_##front(ret, name, params, args)
VTR_SURFACE_OPERATIONS(VTR_FRONT_DEFINE)
#undef VTR_FRONT_DEFINE

int cSurface::ForwardBlit(cSurfaceImplementation* destination, int x, int y, int sourceX, int sourceY, int w,
                          int h, int mode, int ink, LPARAM parameter, int flags) const {
    return implementation_->Blit(destination, x, y, sourceX, sourceY, w, h, mode, ink, parameter, flags);
}

int cSurface::Blit(cSurface& destination, int x, int y, int sourceX, int sourceY, int w, int h, int mode,
                   int ink, LPARAM parameter, int flags) {
    return ForwardBlit(destination.implementation_, x - destination.originX_, y - destination.originY_,
                       sourceX - originX_, sourceY - originY_, w, h, mode, ink, parameter, flags);
}

int cSurface::BlitWhole(cSurface& destination, int x, int y, int mode, int ink, LPARAM parameter, int flags) {
    return ForwardBlit(destination.implementation_, x - destination.originX_, y - destination.originY_,
                       -originX_, -originY_, GetWidth(), GetHeight(), mode, ink, parameter, flags);
}

int cSurface::TransformBlit(cSurface& destination, float x, float y, int hotSpotX, int hotSpotY, int sourceX,
                            int sourceY, int w, int h, const float* scale, float angle, int mode, int ink,
                            LPARAM parameter, int flags) {
    return implementation_->TransformBlit(
        destination.implementation_, x - static_cast<float>(destination.originX_),
        y - static_cast<float>(destination.originY_), hotSpotX, hotSpotY, sourceX - originX_,
        sourceY - originY_, w, h, scale, angle, mode, ink, parameter, flags);
}

int cSurface::StretchBlit(cSurface& destination, int x, int y, int w, int h, int sourceX, int sourceY,
                          int sourceWidth, int sourceHeight, int mode, int ink, LPARAM parameter, int flags) {
    return implementation_->StretchBlit(
        destination.implementation_, x - destination.originX_, y - destination.originY_, w, h,
        sourceX - originX_, sourceY - originY_, sourceWidth, sourceHeight, mode, ink, parameter, flags);
}

int cSurface::StretchBlitWhole(cSurface& destination, int x, int y, int w, int h, int mode, int ink,
                               LPARAM parameter, int flags) {
    return implementation_->StretchBlit(destination.implementation_, x - destination.originX_,
                                        y - destination.originY_, w, h, -originX_, -originY_, GetWidth(),
                                        GetHeight(), mode, ink, parameter, flags);
}

int cSurface::StretchToFit(cSurface& destination, int flags) {
    return implementation_->StretchBlit(
        destination.implementation_, -destination.originX_, -destination.originY_, destination.GetWidth(),
        destination.GetHeight(), -originX_, -originY_, GetWidth(), GetHeight(), 0, 0, 0, flags);
}

int cSurface::BlitSameDepthRect(cSurface& destination, int x, int y, int sourceX, int sourceY, int w, int h,
                                int mode, PixelCallback callback, LPARAM argument) {
    return implementation_->BlitSameDepth(destination.implementation_, x - destination.originX_,
                                          y - destination.originY_, sourceX - originX_, sourceY - originY_, w,
                                          h, mode, callback, argument);
}

int cSurface::BlitSameDepth(cSurface& destination, int mode, PixelCallback callback, LPARAM argument) {
    return implementation_->BlitSameDepth(destination.implementation_, 0, 0, 0, 0, GetWidth(), GetHeight(),
                                          mode, callback, argument);
}

int cSurface::BlitThroughFilter(cSurface& destination, int x, int y, int sourceX, int sourceY, int w, int h,
                                int blockWidth, int blockHeight, int blockOffsetX, int blockOffsetY,
                                int marginX, int marginY, BlockFilterCallback callback, LPARAM argument) {
    return implementation_->BlitThroughFilter(destination.implementation_, x - destination.originX_,
                                              y - destination.originY_, sourceX - originX_,
                                              sourceY - originY_, w, h, blockWidth, blockHeight, blockOffsetX,
                                              blockOffsetY, marginX, marginY, callback, argument);
}

void cSurface::CopyFullScreenState(cSurface& other) {
    if (GetSurfaceType() == other.GetSurfaceType() && GetDriverKind() == other.GetDriverKind())
        implementation_->CopyFullScreenState(other.implementation_);
}

int cSurface::FillValue(DWORD value) {
    return implementation_->FillRectValue(0, 0, GetWidth(), GetHeight(), value);
}

int cSurface::FillRgb(int red, int green, int blue) {
    return Fill(RGB(static_cast<BYTE>(red), static_cast<BYTE>(green), static_cast<BYTE>(blue)));
}

int cSurface::Fill(COLORREF color) {
    return implementation_->FillRect(0, 0, GetWidth(), GetHeight(), color);
}

int cSurface::FillRectValue(int x, int y, int w, int h, DWORD value) {
    return implementation_->FillRectValue(x - originX_, y - originY_, w, h, value);
}

int cSurface::FillRectRgb(int x, int y, int w, int h, int red, int green, int blue) {
    return FillRect(x, y, w, h,
                    RGB(static_cast<BYTE>(red), static_cast<BYTE>(green), static_cast<BYTE>(blue)));
}

int cSurface::FillRect(int x, int y, int w, int h, COLORREF color) {
    return implementation_->FillRect(x - originX_, y - originY_, w, h, color);
}

int cSurface::FillRectGradient(int x, int y, int w, int h, const COLORREF* corners, int extra) {
    return implementation_->FillRectGradient(x - originX_, y - originY_, w, h, corners, extra);
}

void cSurface::SetPixel(int x, int y, COLORREF color) {
    implementation_->SetPixel(x - originX_, y - originY_, color);
}

void cSurface::SetPixelRgb(int x, int y, int red, int green, int blue) {
    SetPixel(x, y, RGB(static_cast<BYTE>(red), static_cast<BYTE>(green), static_cast<BYTE>(blue)));
}

void cSurface::SetPixelIndex(int x, int y, int index) {
    implementation_->SetPixelIndex(x - originX_, y - originY_, index);
}

int cSurface::GetPixelValue(int x, int y, DWORD& value) const {
    return implementation_->GetPixelValue(x - originX_, y - originY_, value);
}

int cSurface::GetPixel(int x, int y, COLORREF& color) const {
    return implementation_->GetPixel(x - originX_, y - originY_, color);
}

int cSurface::GetPixelRgb(int x, int y, int& red, int& green, int& blue) const {
    COLORREF color = 0;
    if (!GetPixel(x, y, color)) return 0;
    red = GetRValue(color);
    green = GetGValue(color);
    blue = GetBValue(color);
    return 1;
}

void cSurface::GetClipRect(int& x, int& y, int& w, int& h) const {
    implementation_->GetClipRect(x, y, w, h);
    x += originX_;
    y += originY_;
}

void cSurface::SetClipRect(int x, int y, int w, int h) {
    implementation_->SetClipRect(x - originX_, y - originY_, w, h);
}

int cSurface::MirrorHorizontal(int x, int y, int w, int h) {
    return implementation_->MirrorHorizontal(x - originX_, y - originY_, w, h);
}

int cSurface::MirrorVertical(int x, int y, int w, int h) {
    return implementation_->MirrorVertical(x - originX_, y - originY_, w, h);
}

int cSurface::MirrorHorizontalAll() {
    return implementation_->MirrorHorizontal(-originX_, -originY_, GetWidth(), GetHeight());
}

int cSurface::MirrorVerticalAll() {
    return implementation_->MirrorVertical(-originX_, -originY_, GetWidth(), GetHeight());
}

int cSurface::RotateQuarter(cSurface& destination, int direction) {
    return implementation_->RotateQuarter(destination.implementation_, direction);
}

void cSurface::RemapPixels(const BYTE* table) {
    if (GetDepth() <= 8) implementation_->RemapPixels(table);
}

BYTE* cSurface::LockPixels() {
    implementation_->LockPixels();
    return implementation_->pixels;
}

int cSurface::GetPixelIndexDirect(int x, int y) const {
    const cSurfaceImplementation& s = *implementation_;
    if (s.depth != 8 || !s.pixels) return 0;
    return s.Row(y)[x];
}

COLORREF cSurface::GetPixelDirect(int x, int y) const {
    const cSurfaceImplementation& s = *implementation_;
    if (!s.pixels) {
        COLORREF color = 0;
        implementation_->GetPixel(x - originX_, y - originY_, color);
        return color;
    }
    const BYTE* p = s.Row(y) + static_cast<std::ptrdiff_t>(x) * s.bytesPerPixel;
    switch (s.depth) {
    case 8:
        return implementation_->GetPaletteColor(*p);
    case 15: {
        const DWORD v = p[0] | (p[1] << 8);
        return RGB(static_cast<BYTE>(((v >> 10) & 0x1F) << 3), static_cast<BYTE>(((v >> 5) & 0x1F) << 3),
                   static_cast<BYTE>((v & 0x1F) << 3));
    }
    case 16: {
        const DWORD v = p[0] | (p[1] << 8);
        return RGB(static_cast<BYTE>((v >> 11) << 3), static_cast<BYTE>(((v >> 5) & 0x3F) << 2),
                   static_cast<BYTE>((v & 0x1F) << 3));
    }
    case 24:
    case 32:
        return RGB(p[2], p[1], p[0]);
    default:
        return 0;
    }
}

void cSurface::SetPixelIndexDirect(int x, int y, int index) {
    cSurfaceImplementation& s = *implementation_;
    if (s.depth == 8 && s.pixels) s.Row(y)[x] = static_cast<BYTE>(index);
}

void cSurface::SetPixelDirect(int x, int y, COLORREF color) {
    cSurfaceImplementation& s = *implementation_;
    if (!s.pixels) return;
    BYTE* p = s.Row(y) + static_cast<std::ptrdiff_t>(x) * s.bytesPerPixel;
    const DWORD r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
    DWORD v = 0;
    switch (s.depth) {
    case 8:
        *p = static_cast<BYTE>(implementation_->GetNearestIndex(color));
        return;
    case 15:
        v = (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
        break;
    case 16:
        v = (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
        break;
    case 24:
    case 32:
        p[0] = static_cast<BYTE>(b);
        p[1] = static_cast<BYTE>(g);
        p[2] = static_cast<BYTE>(r);
        return;
    default:
        return;
    }
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}

void cSurface::GetOrigin(int& x, int& y) const {
    x = originX_;
    y = originY_;
}

void cSurface::GetOriginPoint(POINT* point) const {
    if (point) *point = POINT{originX_, originY_};
}

void cSurface::SetOrigin(int x, int y) {
    if (implementation_->SupportsOrigin()) implementation_->SetOrigin(x, y);
    originX_ = x;
    originY_ = y;
}

void cSurface::SetOriginPoint(POINT point) {
    SetOrigin(point.x, point.y);
}

int cSurface::MoveOrigin(int dx, int dy) {
    originX_ += dx;
    originY_ += dy;
    if (!implementation_->SupportsOrigin()) return 0;
    implementation_->SetOrigin(originX_, originY_);
    return 1;
}

int cSurface::GetSize(int& w, int& h, int& d) const {
    w = GetWidth();
    h = GetHeight();
    d = GetDepth();
    return HasImplementation();
}

int cSurface::GetSurfaceType() const {
    switch (implementation_->GetType()) {
    case 3:
    case 5:
        return 1;
    case 4:
        return 2;
    case 9:
    case 13:
        return 4;
    case 10:
    case 14:
        return 5;
    case 11:
    case 15:
        return 6;
    case 12:
    case 16:
        return 7;
    default:
        return 0;
    }
}

int cSurface::GetDriverKind() const {
    const int code = implementation_->GetType();
    if (code >= 9 && code <= 12) return 5;
    if (code >= 13 && code <= 16) return 6;
    return 0;
}

int cSurface::SetPalette(SharedPalette* palette, int remap) {
    if (GetDepth() > 8 || !implementation_->SetPalette(palette, remap)) {
        lastError_ = SurfaceErrorRefused;
        return 0;
    }
    return 1;
}

int cSurface::SetLogPalette(const LOGPALETTE* palette, int remap) {
    if (GetDepth() > 8 || !implementation_->SetLogPalette(palette, remap)) {
        lastError_ = SurfaceErrorRefused;
        return 0;
    }
    return 1;
}

int cSurface::CopyPalette(const cSurface& other, int remap) {
    return SetPalette(other.implementation_->GetPalette(), remap);
}

void cSurface::RemapToPaletteOf(const cSurface& other) {
    const SharedPalette* from = implementation_->palette;
    const SharedPalette* to = other.implementation_->palette;
    if (GetDepth() > 8 || other.GetDepth() > 8 || !from || !to) return;
    BYTE table[PaletteSize];
    if (RemapPalette(table, to->palette.Log(), from->palette.Log(), 0)) implementation_->RemapPixels(table);
}

void cSurface::SetColorKey(COLORREF color) {
    if (color == static_cast<COLORREF>(-1)) {
        implementation_->SetOpaque(1);
        return;
    }
    implementation_->SetOpaque(0);
    implementation_->SetColorKey(color);
}

void cSurface::AddLostDeviceCallback(LostDeviceCallback callback, LPARAM argument) {
    implementation_->AddLostDeviceCallback(callback, this, argument);
}

void cSurface::RemoveLostDeviceCallback(LostDeviceCallback callback, LPARAM argument) {
    implementation_->RemoveLostDeviceCallback(callback, this, argument);
}

int cSurface::CopyTo(cSurface& destination) const {
    const int type = destination.GetSurfaceType();
    if (type == 6 || type == 7) return destination.implementation_->UploadFrom(implementation_);
    return implementation_->Blit(destination.implementation_, -destination.originX_, -destination.originY_,
                                 -originX_, -originY_, GetWidth(), GetHeight(), 0, 0, 0,
                                 engine::BlitFlagCopyAlpha);
}

int cSurface::CropToContent(RECT* bounds) {
    RECT r{};
    if (!implementation_->GetOpaqueBounds(&r)) return 0;
    if (bounds) *bounds = r;
    if (r.right <= r.left || r.bottom <= r.top) return 0;
    if (r.left == 0 && r.top == 0 && r.right == GetWidth() && r.bottom == GetHeight()) return 0;
    cSurfaceImplementation* cropped = implementation_->CreateSameKind(r.right - r.left, r.bottom - r.top);
    if (!cropped) return 0;
    implementation_->Blit(cropped, 0, 0, r.left, r.top, r.right - r.left, r.bottom - r.top, 0, 0, 0,
                          engine::BlitFlagCopyAlpha);
    SetImplementation(cropped);
    return 1;
}

namespace {
int ReduceDegrees(int angle) {
    int reduced = angle % 360;
    return reduced < 0 ? reduced + 360 : reduced;
}
} // namespace

int cSurface::RotateDegrees(cSurface& destination, int angle, int antialias, COLORREF background,
                            int transparency) {
    switch (ReduceDegrees(angle)) {
    case 90:
        return implementation_->RotateQuarter(destination.implementation_, 0);
    case 270:
        return implementation_->RotateQuarter(destination.implementation_, 1);
    case 180:
        if (!CopyTo(destination)) return 0;
        destination.MirrorHorizontalAll();
        destination.MirrorVerticalAll();
        return 1;
    default:
        return implementation_->Rotate(destination.implementation_, static_cast<float>(ReduceDegrees(angle)),
                                       antialias, background, transparency);
    }
}

int cSurface::Rotate(cSurface& destination, double angle, int antialias, COLORREF background,
                     int transparency) {
    double reduced = std::fmod(angle, 360.0);
    if (reduced < 0) reduced += 360.0;
    if (reduced == 90.0) return implementation_->RotateQuarter(destination.implementation_, 0);
    if (reduced == 270.0) return implementation_->RotateQuarter(destination.implementation_, 1);
    if (reduced == 180.0) return RotateDegrees(destination, 180, antialias, background, transparency);
    return implementation_->Rotate(destination.implementation_, static_cast<float>(reduced), antialias,
                                   background, transparency);
}

void cSurface::GetRotatedSize(int& width, int& height, float angle) {
    float reduced = std::fmod(angle, 360.0f);
    if (reduced < 0) reduced += 360.0f;
    if (reduced == 90.0f || reduced == 270.0f) {
        std::swap(width, height);
        return;
    }
    if (reduced == 180.0f) return;
    SIZE size{width, height};
    RotateImageBounds(&size, nullptr, nullptr, reduced);
    width = size.cx;
    height = size.cy;
}

namespace {
// Makes the destination of a rotation into a new surface, from the source as prototype, at the turned
// size; angles other than the quarter and half turns leave corners uncovered, which get the background.
int MakeRotatedDestination(const cSurface& source, cSurface& destination, double reduced,
                           COLORREF background) {
    // Creating the destination would drop the source's own pixels.
    if (&destination == &source) return 0;
    int width = source.GetWidth(), height = source.GetHeight();
    const bool quarter = reduced == 90.0 || reduced == 270.0;
    const bool exact = quarter || reduced == 180.0;
    if (quarter) std::swap(width, height);
    if (!exact) {
        cSurface::GetRotatedSize(width, height, static_cast<float>(reduced));
        if (width <= 0 || height <= 0) return 0;
    }
    if (!destination.Create(width, height, &source)) return 0;
    if (!exact) destination.Fill(background);
    return 1;
}
} // namespace

int cSurface::RotateInto(cSurface& destination, int angle, int antialias, COLORREF background) {
    const int reduced = ReduceDegrees(angle);
    if (!MakeRotatedDestination(*this, destination, reduced, background)) return 0;
    return RotateDegrees(destination, reduced, antialias, background, 1);
}

int cSurface::RotateIntoExact(cSurface& destination, double angle, int antialias, COLORREF background) {
    double reduced = std::fmod(angle, 360.0);
    if (reduced < 0) reduced += 360.0;
    if (!MakeRotatedDestination(*this, destination, reduced, background)) return 0;
    return Rotate(destination, reduced, antialias, background, 1);
}

// Lines of thickness 1 in software; thicker lines are drawn through a device context by the GDI unit.
int cSurface::DrawLine(int x1, int y1, int x2, int y2, int thickness, COLORREF color) {
    if (implementation_->CanDrawLine()) return implementation_->DrawLine(x1, y1, x2, y2, thickness, color);
    int cx = 0, cy = 0, cw = 0, ch = 0;
    GetClipRect(cx, cy, cw, ch);
    if (thickness != 1) {
        HDC dc = implementation_->GetDeviceContext();
        if (!dc) {
            lastError_ = SurfaceErrorNoDeviceContext;
            return 0;
        }
        HRGN kept = ApplyClipToDC(dc);
        const POINT shift = DcShift();
        GdiLine(dc, x1 + shift.x, y1 + shift.y, x2 + shift.x, y2 + shift.y, thickness, color);
        RestoreClipRegion(dc, kept);
        implementation_->ReleaseDeviceContext(dc);
        return 1;
    }
    const long long left = cx, top = cy, right = static_cast<long long>(cx) + cw - 1,
                    bottom = static_cast<long long>(cy) + ch - 1;
    long long ax = x1, ay = y1, bx = x2, by = y2;
    auto outCode = [&](long long x, long long y) {
        int code = 0;
        if (y > bottom) code |= 1;
        if (y < top) code |= 2;
        if (x > right) code |= 4;
        if (x < left) code |= 8;
        return code;
    };
    int codeA = outCode(ax, ay), codeB = outCode(bx, by);
    if (codeA & codeB) return 1;
    // A line of ordinary length is walked from its own end points, only its pixels inside the clip drawn, so
    // that a clipped line shows the same pixels as the whole one; moving an end point to the clip's edge
    // would start the walk on another pixel.
    constexpr long long WalkedWhole = 1 << 16;
    const bool walkWhole = std::llabs(bx - ax) <= WalkedWhole && std::llabs(by - ay) <= WalkedWhole;
    while (!walkWhole && (codeA | codeB)) {
        if (codeA & codeB) return 1;
        const int code = codeA ? codeA : codeB;
        long long x = 0, y = 0;
        if (code & 1) {
            y = bottom;
            x = ax + (bottom - ay) * (bx - ax) / (by - ay);
        } else if (code & 2) {
            y = top;
            x = ax + (top - ay) * (bx - ax) / (by - ay);
        } else if (code & 4) {
            x = right;
            y = ay + (right - ax) * (by - ay) / (bx - ax);
        } else {
            x = left;
            y = ay + (left - ax) * (by - ay) / (bx - ax);
        }
        if (code == codeA) {
            ax = x;
            ay = y;
            codeA = outCode(ax, ay);
        } else {
            bx = x;
            by = y;
            codeB = outCode(bx, by);
        }
    }
    const bool paletted = GetDepth() <= 8;
    const int index = paletted ? implementation_->GetNearestIndex(color) : 0;
    const long long dx = std::llabs(bx - ax), dy = std::llabs(by - ay);
    const int stepX = bx >= ax ? 1 : -1, stepY = by >= ay ? 1 : -1;
    const bool xMajor = dx >= dy;
    const long long major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
    long long error = 2 * minor - major;
    long long x = ax, y = ay;
    for (long long i = 0; i <= major; ++i) {
        const bool inside = x >= left && x <= right && y >= top && y <= bottom;
        if (inside && paletted)
            SetPixelIndex(static_cast<int>(x), static_cast<int>(y), index);
        else if (inside)
            SetPixel(static_cast<int>(x), static_cast<int>(y), color);
        if (error >= 0) {
            if (xMajor)
                y += stepY;
            else
                x += stepX;
            error -= 2 * major;
        }
        error += 2 * minor;
        if (xMajor)
            x += stepX;
        else
            y += stepY;
    }
    return 1;
}

int cSurface::RectangleFlat(int x1, int y1, int x2, int y2, COLORREF inside, int thickness, COLORREF outline,
                            int fill) {
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    const int w = x2 - x1, h = y2 - y1;
    if (fill) FillRect(x1 + thickness, y1 + thickness, w - 2 * thickness, h - 2 * thickness, inside);
    if (thickness > 0) {
        FillRect(x1, y1, w, thickness, outline);
        FillRect(x1, y1, thickness, h, outline);
        FillRect(x1, y2 - thickness, w, thickness, outline);
        FillRect(x2 - thickness, y1, thickness, h, outline);
    }
    return 1;
}
