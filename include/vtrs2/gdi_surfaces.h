// Surfaces that draw through GDI: one over a device context that belongs to a window or the screen, and DIB
// sections whose memory device context is made on demand (cDIBSectionSurface) or lives as long as the
// surface (cDIBDCSurface). The DIB section classes also carry the full-screen mode change.
#pragma once

#include "vtrs2/export.h"
#include "vtrs2/surface_implementation.h"
#include "win32/gdi.h"

#include <cstdint>

class VTRS2_API cDCSurface : public cSurfaceImplementation {
public:
    cDCSurface() = default;
    cDCSurface(const cDCSurface&) = delete;
    cDCSurface& operator=(const cDCSurface&) = delete;
    ~cDCSurface() override;

    // Over a caller's DC (not released), or with null over the screen's DC (released); null when there is
    // no DC to be had.
    static cDCSurface* CreateForDC(win32::HDC dc);
    // Over a window's DC, released with the surface. The layer draws no window frames, so the whole-window DC
    // is the client area's.
    static cDCSurface* CreateForWindow(win32::HWND window, int wholeWindow);
    // Lets go of a DC the surface obtained itself, then draws on the given one (not released).
    void SetDC(win32::HDC dc);

    cSurfaceImplementation* DestroyAndFree(unsigned flags) override;
    cSurfaceImplementation* CreateSameKind(int width, int height) override;
    int SetDepth(int depth) override;
    int GetType() override;
    void SetOrigin(int x, int y) override;
    int GetOrigin() override;
    int SupportsOrigin() override;
    int IsDCOnly() override;
    win32::HDC GetDeviceContext() override;
    void GetClipRect(int& x, int& y, int& width, int& height) override;
    void SetClipRect(int x, int y, int width, int height) override;
    void ResetClipRect() override;
    void SetPixelIndex(int x, int y, int index) override;
    void SetPixel(int x, int y, win32::COLORREF color) override;
    int GetPixelValue(int x, int y, win32::DWORD& value) override;
    int GetPixel(int x, int y, win32::COLORREF& color) override;
    int BlitFromDC(int x, int y, win32::HDC source, int sourceX, int sourceY, int width, int height, int, int,
                   int) override;
    int Blit(cSurfaceImplementation* destination, int x, int y, int sourceX, int sourceY, int width,
             int height, int mode, int ink, win32::LPARAM parameter, int flags) override;
    int BlitSameDepth(cSurfaceImplementation* destination, int x, int y, int sourceX, int sourceY, int width,
                      int height, int mode, PixelCallback callback, win32::LPARAM argument) override;
    int StretchBlitFromDC(int x, int y, int width, int height, win32::HDC source, int sourceX, int sourceY,
                          int sourceWidth, int sourceHeight, int, int, int) override;
    int StretchBlit(cSurfaceImplementation* destination, int x, int y, int width, int height, int sourceX,
                    int sourceY, int sourceWidth, int sourceHeight, int mode, int ink,
                    win32::LPARAM parameter, int flags) override;
    int MirrorHorizontal(int x, int y, int width, int height) override;
    int MirrorVertical(int x, int y, int width, int height) override;
    int FillRectValue(int x, int y, int width, int height, win32::DWORD value) override;
    int FillRect(int x, int y, int width, int height, win32::COLORREF color) override;
    int TextOutWide(win32::LPCWSTR text, int length, int x, int y, win32::UINT align, win32::RECT* clip,
                    win32::COLORREF color, win32::HFONT font, win32::LPARAM reserved, int ink,
                    win32::LPARAM parameter, int flags) override;
    int TextOutAnsi(win32::LPCSTR text, int length, int x, int y, win32::UINT align, win32::RECT* clip,
                    win32::COLORREF color, win32::HFONT font, win32::LPARAM reserved, int ink,
                    win32::LPARAM parameter, int flags) override;
    int DrawTextWide(win32::LPCWSTR text, int length, win32::RECT* rect, win32::UINT format,
                     win32::COLORREF color, win32::HFONT font, win32::LPARAM reserved, int ink,
                     win32::LPARAM parameter, int flags, int leftMargin, int rightMargin,
                     int tabLength) override;
    int DrawTextAnsi(win32::LPCSTR text, int length, win32::RECT* rect, win32::UINT format,
                     win32::COLORREF color, win32::HFONT font, win32::LPARAM reserved, int ink,
                     win32::LPARAM parameter, int flags, int leftMargin, int rightMargin,
                     int tabLength) override;
    int ReplaceColor(win32::COLORREF newColor, win32::COLORREF oldColor) override;
    int SetLogPalette(const win32::LOGPALETTE* palette, int remap) override;
    int GetLogPalette(win32::LOGPALETTE* palette) override;

    win32::HDC dc = nullptr;
    win32::HWND window = nullptr; // the window the DC was taken from; null for a caller's DC or the screen's
    std::int32_t owned = 0;
    std::int32_t originX = 0;
    std::int32_t originY = 0;

private:
    void Release();
    void TakeSize();
};

// The screen mode a full-screen surface changed from, and the window it restyled.
struct FullScreenState {
    std::int32_t active = 0;
    win32::RECT savedRect{};
    win32::DEVMODEW savedMode{};
    win32::DWORD savedStyle = 0;
};

class VTRS2_API cDIBSectionSurface : public cSurfaceImplementation {
public:
    cDIBSectionSurface() = default;
    cDIBSectionSurface(const cDIBSectionSurface&) = delete;
    cDIBSectionSurface& operator=(const cDIBSectionSurface&) = delete;
    ~cDIBSectionSurface() override;

    cSurfaceImplementation* DestroyAndFree(unsigned flags) override;
    // A new section of the prototype's format; its memory DC is made again when somebody asks for it.
    cSurfaceImplementation* CreateSameKind(int width, int height) override;
    void EnumDisplayModes(EnumDisplayModesCallback callback, void* argument) override;
    int EnterFullScreen(win32::HWND window, int width, int height, int depth) override;
    void LeaveFullScreen(win32::HWND window) override;
    void CopyFullScreenState(cSurfaceImplementation* other) override;
    int SetDepth(int depth) override;
    int GetType() override;
    void SetOrigin(int x, int y) override;
    int GetOrigin() override;
    int SupportsOrigin() override;
    win32::HDC GetDeviceContext() override;
    void ReleaseDeviceContext(win32::HDC dc) override;
    int BlitFromDC(int x, int y, win32::HDC source, int sourceX, int sourceY, int width, int height, int, int,
                   int) override;
    int Blit(cSurfaceImplementation* destination, int x, int y, int sourceX, int sourceY, int width,
             int height, int mode, int ink, win32::LPARAM parameter, int flags) override;
    int StretchBlitFromDC(int x, int y, int width, int height, win32::HDC source, int sourceX, int sourceY,
                          int sourceWidth, int sourceHeight, int, int, int) override;
    int StretchBlit(cSurfaceImplementation* destination, int x, int y, int width, int height, int sourceX,
                    int sourceY, int sourceWidth, int sourceHeight, int mode, int ink,
                    win32::LPARAM parameter, int flags) override;
    int SetPalette(SharedPalette* palette, int remap) override;
    int SetWindow(win32::HWND window) override;

    win32::HDC memoryDC = nullptr;
    std::int32_t originX = 0;
    std::int32_t originY = 0;
    win32::HWND window = nullptr; // whose DC the memory DC is made compatible with; null: the screen
    std::int32_t dcUseCount = 0;
    win32::BITMAPINFOHEADER header{};
    win32::HBITMAP section = nullptr;
    win32::HGDIOBJ previousBitmap = nullptr;
    FullScreenState fullScreen;

protected:
    // Makes a section of this one's format at the size into `created`; the memory DC stays selected when
    // `keepDC` is set. False (with what was made freed by the caller's Delete) on failure.
    bool MakeSection(cDIBSectionSurface& created, int width, int height, bool keepDC) const;
    void SetColorTable(win32::HDC dc) const;
    void FreeSection();
};

class VTRS2_API cDIBDCSurface : public cDIBSectionSurface {
public:
    cDIBDCSurface() = default;
    ~cDIBDCSurface() override = default;

    cSurfaceImplementation* DestroyAndFree(unsigned flags) override;
    // A new section that keeps its memory DC.
    cSurfaceImplementation* CreateSameKind(int width, int height) override;
    int GetType() override;
    void SetOrigin(int x, int y) override;
    win32::HDC GetDeviceContext() override;
    void ReleaseDeviceContext(win32::HDC dc) override;
};

// The window a full-screen surface took the screen for, or null: palettes stay out of other windows then.
VTRS2_API win32::HWND GetFullScreenWindow();
