// cSurface: the one surface type that the program, the display driver and the library draw with. It owns
// one implementation, shifts every coordinate by its origin and records why the last failure happened.
#pragma once

#include "vtrs2/export.h"
#include "vtrs2/surface_implementation.h"
#include "win32/types.h"

// Error word values.
constexpr win32::DWORD SurfaceErrorNoMemory = 0x40000000;
constexpr win32::DWORD SurfaceErrorRead = 0x40000001;
constexpr win32::DWORD SurfaceErrorEndOfFile = 0x40000002;
constexpr win32::DWORD SurfaceErrorWrite = 0x40000003;
constexpr win32::DWORD SurfaceErrorDiskFull = 0x40000004;
constexpr win32::DWORD SurfaceErrorCannotOpen = 0x40000005;
constexpr win32::DWORD SurfaceErrorCannotCreate = 0x40000006;
constexpr win32::DWORD SurfaceErrorRefused = 0x40010000;
constexpr win32::DWORD SurfaceErrorNoDeviceContext = 0x40010002;

class CFillData;
namespace win32 {
struct RegionObject;
using HRGN = RegionObject*;
} // namespace win32

class VTRS2_API cSurface {
public:
    cSurface();
    // A copy gets pixels of its own.
    cSurface(const cSurface& source);
    // Assignment would leave two surfaces owning one implementation.
    cSurface& operator=(const cSurface&) = delete;
    ~cSurface();

    // Ownership of the implementation.
    int Reset();
    int DeleteImplementation();
    void SetImplementation(cSurfaceImplementation* implementation);
    cSurfaceImplementation* GetImplementation() const { return implementation_; }
    int HasImplementation() const;
    cSurface* GetDrawTarget();
    void ReleaseDrawTarget(cSurface* other);

    // Creation.
    int Create(int width, int height, const cSurface* prototype);
    int CreateCopy(const cSurface& source, int width = -1, int height = -1);
    // A device-context surface over the DC (null: the screen's), or over a window's DC.
    int CreateOnDC(win32::HDC dc);
    int CreateOnWindow(win32::HWND window, int wholeWindow);
    win32::BYTE* AllocateAlphaPlane();
    void SetAlphaPlane(win32::BYTE* plane, int signedPitch);
    win32::BYTE* DetachAlphaPlane(int* pitch);
    cSurface* CopyAlphaPlaneToSurface();

    // Forwarders without origin handling, one per operation marked so in the operation table.
#define VTR_FRONT_DECLARE_Fwd(ret, name, params) ret name params;
#define VTR_FRONT_DECLARE_Own(ret, name, params)
#define VTR_FRONT_DECLARE(slot, ret, name, params, args, base, error, front)                                 \
    VTR_FRONT_DECLARE_##front(ret, name, params)
    VTR_SURFACE_OPERATIONS(VTR_FRONT_DECLARE)
#undef VTR_FRONT_DECLARE
#undef VTR_FRONT_DECLARE_Fwd
#undef VTR_FRONT_DECLARE_Own

    // Blits: destination coordinates minus the destination's origin, source coordinates minus this one's.
    int Blit(cSurface& destination, int x, int y, int sourceX, int sourceY, int width, int height, int mode,
             int ink = 0, win32::LPARAM parameter = 0, int flags = 0);
    int BlitWhole(cSurface& destination, int x, int y, int mode, int ink = 0, win32::LPARAM parameter = 0,
                  int flags = 0);
    int TransformBlit(cSurface& destination, float x, float y, int hotSpotX, int hotSpotY, int sourceX,
                      int sourceY, int width, int height, const float* scale, float angle, int mode, int ink,
                      win32::LPARAM parameter, int flags);
    int StretchBlit(cSurface& destination, int x, int y, int width, int height, int sourceX, int sourceY,
                    int sourceWidth, int sourceHeight, int mode, int ink = 0, win32::LPARAM parameter = 0,
                    int flags = 0);
    int StretchBlitWhole(cSurface& destination, int x, int y, int width, int height, int mode, int ink = 0,
                         win32::LPARAM parameter = 0, int flags = 0);
    int StretchToFit(cSurface& destination, int flags);
    int BlitSameDepthRect(cSurface& destination, int x, int y, int sourceX, int sourceY, int width,
                          int height, int mode, PixelCallback callback, win32::LPARAM argument);
    int BlitSameDepth(cSurface& destination, int mode, PixelCallback callback, win32::LPARAM argument);
    int BlitThroughFilter(cSurface& destination, int x, int y, int sourceX, int sourceY, int width,
                          int height, int blockWidth, int blockHeight, int blockOffsetX, int blockOffsetY,
                          int marginX, int marginY, BlockFilterCallback callback, win32::LPARAM argument);
    void CopyFullScreenState(cSurface& other);

    // Fills.
    int FillValue(win32::DWORD value);
    int FillRgb(int red, int green, int blue);
    int Fill(win32::COLORREF color);
    int FillRectValue(int x, int y, int width, int height, win32::DWORD value);
    int FillRectRgb(int x, int y, int width, int height, int red, int green, int blue);
    int FillRect(int x, int y, int width, int height, win32::COLORREF color);
    int FillRectGradient(int x, int y, int width, int height, const win32::COLORREF* corners, int extra);

    // Pixels and clipping, in this surface's coordinates.
    void SetPixel(int x, int y, win32::COLORREF color);
    void SetPixelRgb(int x, int y, int red, int green, int blue);
    void SetPixelIndex(int x, int y, int index);
    int GetPixelValue(int x, int y, win32::DWORD& value) const;
    int GetPixel(int x, int y, win32::COLORREF& color) const;
    int GetPixelRgb(int x, int y, int& red, int& green, int& blue) const;
    void GetClipRect(int& x, int& y, int& width, int& height) const;
    void SetClipRect(int x, int y, int width, int height);
    int MirrorHorizontal(int x, int y, int width, int height);
    int MirrorVertical(int x, int y, int width, int height);
    int MirrorHorizontalAll();
    int MirrorVerticalAll();
    int RotateQuarter(cSurface& destination, int direction);
    void RemapPixels(const win32::BYTE* table);
    win32::BYTE* LockPixels();

    // Direct pixel access: no clip, no origin; the caller stays inside the locked surface.
    int GetPixelIndexDirect(int x, int y) const;
    win32::COLORREF GetPixelDirect(int x, int y) const;
    void SetPixelIndexDirect(int x, int y, int index);
    void SetPixelDirect(int x, int y, win32::COLORREF color);

    // Origin.
    void GetOrigin(int& x, int& y) const;
    void GetOriginPoint(win32::POINT* point) const;
    void SetOrigin(int x, int y);
    void SetOriginPoint(win32::POINT point);
    int MoveOrigin(int dx, int dy);

    // Size and type.
    int GetWidth() const {
        return implementation_->width;
    }
    int GetHeight() const {
        return implementation_->height;
    }
    int GetDepth() const {
        return implementation_->depth;
    }
    int GetPitch() const {
        return implementation_->pitch;
    }
    int GetSize(int& width, int& height, int& depth) const;
    int IsPaletteDepth() const {
        return implementation_->depth < 9;
    }
    int GetSurfaceType() const;
    int GetDriverKind() const;
    int HasAlphaPlane() const {
        return implementation_->alphaPlane != nullptr;
    }
    win32::BYTE* GetAlphaPlane() const {
        return implementation_->alphaPlane;
    }
    int GetAlphaPlanePitch() const {
        return implementation_->signedAlphaPitch;
    }
    win32::DWORD GetLastError() const {
        return lastError_;
    }

    // Palette and colour key.
    int SetPalette(SharedPalette* palette, int remap);
    int SetLogPalette(const win32::LOGPALETTE* palette, int remap);
    int CopyPalette(const cSurface& other, int remap);
    // Both at most 8 bits: the pixels become the nearest indexes of the other surface's palette.
    void RemapToPaletteOf(const cSurface& other);
    void SetColorKey(win32::COLORREF color);

    // Lost-device registrations keyed by this front end.
    void AddLostDeviceCallback(LostDeviceCallback callback, win32::LPARAM argument);
    void RemoveLostDeviceCallback(LostDeviceCallback callback, win32::LPARAM argument);

    // Whole-surface transformations.
    int CopyTo(cSurface& destination) const;
    int CropToContent(win32::RECT* bounds = nullptr);
    int RotateDegrees(cSurface& destination, int angle, int antialias, win32::COLORREF background,
                      int transparency);
    int Rotate(cSurface& destination, double angle, int antialias, win32::COLORREF background,
               int transparency);
    // Make the destination from this surface as prototype at the turned size (the rest on the background
    // colour) and turn this surface into it; 0 when the turned size is empty or the destination is this one.
    int RotateInto(cSurface& destination, int angle, int antialias, win32::COLORREF background);
    int RotateIntoExact(cSurface& destination, double angle, int antialias, win32::COLORREF background);
    // The size of width x height turned by the angle in degrees: exact at the quarter turns, else the
    // bounding box of the turned rectangle.
    static void GetRotatedSize(int& width, int& height, float angle);

    // Drawing in software.
    int DrawLine(int x1, int y1, int x2, int y2, int thickness, win32::COLORREF color);
    int RectangleFlat(int x1, int y1, int x2, int y2, win32::COLORREF inside, int thickness,
                      win32::COLORREF outline, int fill);
    // Thick lines (and every line of a surface that cannot draw lines itself) go through the GDI line.

    // Fill objects over a rectangle of this surface's coordinates, or over the whole surface.
    int FillWith(int x, int y, int width, int height, CFillData* fill);
    int FillAllWith(CFillData* fill);

    // Shapes through the surface's device context (0 and error SurfaceErrorNoDeviceContext without one):
    // the box's corners in any order, right and bottom exclusive; a thick outline lies inside the box.
    int EllipseGdi(int x1, int y1, int x2, int y2, win32::COLORREF inside, int thickness,
                   win32::COLORREF outline, int fill);
    int PolygonGdi(const win32::POINT* points, int count, win32::COLORREF inside, int thickness,
                   win32::COLORREF outline, int fill);
    // Outlines only: nothing without a thickness. The rectangle's is drawn in software.
    int EllipseOutline(int x1, int y1, int x2, int y2, int thickness, win32::COLORREF outline);
    int PolygonOutline(const win32::POINT* points, int count, int thickness, win32::COLORREF outline);
    int RectangleOutline(int x1, int y1, int x2, int y2, int thickness, win32::COLORREF outline);

    // Shapes painted by fill objects (the inside and the outline band) and put on the surface with an ink
    // effect and blit flags; the fills' colours never read as the transparent black. 0 when nothing of the
    // shape lies inside the clip rectangle.
    int RectangleEx(int x1, int y1, int x2, int y2, CFillData* inside, int thickness, CFillData* outline,
                    int blitFlags, win32::LPARAM reserved, int ink, win32::LPARAM parameter, int filled);
    int EllipseEx(int x1, int y1, int x2, int y2, CFillData* inside, int thickness, CFillData* outline,
                  int blitFlags, win32::LPARAM reserved, int ink, win32::LPARAM parameter, int filled);
    int PolygonEx(const win32::POINT* points, int count, CFillData* inside, int thickness, CFillData* outline,
                  int blitFlags, win32::LPARAM reserved, int ink, win32::LPARAM parameter, int filled);
    int RectangleOutlineEx(int x1, int y1, int x2, int y2, int thickness, CFillData* outline, int blitFlags,
                           win32::LPARAM reserved, int ink, win32::LPARAM parameter);
    int EllipseOutlineEx(int x1, int y1, int x2, int y2, int thickness, CFillData* outline, int blitFlags,
                         win32::LPARAM reserved, int ink, win32::LPARAM parameter);
    int PolygonOutlineEx(const win32::POINT* points, int count, int thickness, CFillData* outline,
                         int blitFlags, win32::LPARAM reserved, int ink, win32::LPARAM parameter);
    int RectangleFilled(int x1, int y1, int x2, int y2, CFillData* inside, int blitFlags,
                        win32::LPARAM reserved, int ink, win32::LPARAM parameter);
    int EllipseFilled(int x1, int y1, int x2, int y2, CFillData* inside, int blitFlags,
                      win32::LPARAM reserved, int ink, win32::LPARAM parameter);
    int PolygonFilled(const win32::POINT* points, int count, CFillData* inside, int blitFlags,
                      win32::LPARAM reserved, int ink, win32::LPARAM parameter);
    int DrawLineEx(int x1, int y1, int x2, int y2, int thickness, CFillData* fill, int blitFlags,
                   win32::LPARAM reserved, int ink, win32::LPARAM parameter);

    // Narrows the DC's drawing to the surface's clip rectangle; answers the DC's previous narrowing (null:
    // none), which RestoreClipRegion puts back.
    win32::HRGN ApplyClipToDC(win32::HDC dc);

    // Fills the area around (x, y) whose colours are within the tolerance of its colour; the bounds of what
    // was filled come back with right and bottom exclusive.
    int FloodFill(int x, int y, int& left, int& top, int& right, int& bottom, win32::COLORREF color,
                  int blitFlags, int tolerance, win32::LPARAM reserved, int ink, win32::LPARAM parameter);

    // Device-independent bitmaps.
    int LoadDib(const win32::BITMAPINFO* info, const void* bits, int options);
    int LoadDibFromStream(CInputFile* stream, win32::LPARAM reserved, int options);
    int LoadDibFile(const char* fileName, int options);
    int LoadDibFileW(const win32::WCHAR* fileName, int options);
    int BuildDib(win32::BITMAPINFO* info, void* bits, int flags);
    int SaveDibToStream(COutputFile* stream);
    int SaveDibFile(const char* fileName);
    int SaveDibFileW(const win32::WCHAR* fileName);
    int GetDibSize() const;

private:
    int SaveDibToCreatedFile(COutputFile& file, int created);
    void Drop();
    // What shapes through the DC add to the caller's coordinates: minus the origin unless the DC has it.
    win32::POINT DcShift() const;
    int ShapeEx(int kind, const win32::POINT* points, int count, int x1, int y1, int x2, int y2,
                CFillData* inside, int thickness, CFillData* outline, int blitFlags, int ink,
                win32::LPARAM parameter, int filled);
    int ForwardBlit(cSurfaceImplementation* destination, int x, int y, int sourceX, int sourceY, int width,
                    int height, int mode, int ink, win32::LPARAM parameter, int flags) const;

    cSurfaceImplementation* implementation_;
    int originX_ = 0;
    int originY_ = 0;
    win32::DWORD lastError_ = 0;
};

VTRS2_API cSurface* NewSurface();
// Puts back the clip that cSurface::ApplyClipToDC answered, and deletes that region.
VTRS2_API void RestoreClipRegion(win32::HDC dc, win32::HRGN region);
VTRS2_API void DeleteSurface(cSurface* surface);

// Sizes of device-independent bitmaps (15 bits counts as 16).
VTRS2_API int GetDibHeaderSize(int bitsPerPixel);
VTRS2_API int GetDibRowBytes(int width, int bitsPerPixel);
VTRS2_API int GetDibSize(int width, int height, int bitsPerPixel);
